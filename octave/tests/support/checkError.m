function checkError(call, library, text, description)
  % A check that call() raises the MEX library's error text. Octave puts
  % "<library>: " before every mexErrMsgTxt text (MATLAB does not), so that
  % is what the message must be.
  expected = [library ': ' text];
  try
    call();
    check(false, '%s: no error raised (expected "%s")', description, expected);
  catch err
    check(strcmp(err.message, expected), '%s: error "%s", expected "%s"', description, err.message, expected);
  end
end
