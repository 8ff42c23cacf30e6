function checkRefusal(call, identifier, message, description)
  % A check that call() raises an M-file's error with this identifier and
  % message (Octave adds nothing to those, unlike a MEX library's texts).
  try
    call();
    check(false, '%s: no error raised (expected "%s")', description, message);
  catch err
    check(strcmp(err.identifier, identifier) && strcmp(err.message, message), ...
          '%s: error %s "%s", expected %s "%s"', description, err.identifier, err.message, identifier, message);
  end
end
