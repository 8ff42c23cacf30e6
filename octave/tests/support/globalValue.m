function value = globalValue(name)
  % The current value of the global variable NAME: an anonymous function
  % given to waitUntil holds the values of its variables when it was made,
  % so it reads a global that callbacks change through this.
  eval(['global ' name]);
  value = eval(name);
end
