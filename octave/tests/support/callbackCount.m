function n = callbackCount()
  global CALLBACK_CALLS
  n = numel(CALLBACK_CALLS);
end
