function runOctaveTest(name)
  % Runs the test script name and ends Octave: exit status 0 when every
  % check passed and the script ran to its end, 1 otherwise.
  global OCTAVE_TEST_CHECKS OCTAVE_TEST_FAILURES
  OCTAVE_TEST_CHECKS = 0;
  OCTAVE_TEST_FAILURES = {};
  completed = false;
  try
    evalin('base', name);
    completed = true;
  catch err
    fprintf(2, 'FAILED: %s stopped: %s\n', name, err.message);
    for k = 1:numel(err.stack)
      fprintf(2, '    at %s line %d\n', err.stack(k).name, err.stack(k).line);
    end
  end
  % The script may have cleared the globals.
  global OCTAVE_TEST_CHECKS OCTAVE_TEST_FAILURES
  failed = numel(OCTAVE_TEST_FAILURES);
  printf('%s: %d checks, %d failed\n', name, OCTAVE_TEST_CHECKS, failed);
  exit(double(failed > 0 || ~completed));
end
