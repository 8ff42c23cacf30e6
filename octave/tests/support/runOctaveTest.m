function runOctaveTest(name)
  % Runs the test script name in the base workspace and ends Octave: exit
  % status 0 when every check passed and the script ran to its end, 1
  % otherwise. The counts live in the environment, which "clear all" in a
  % script leaves alone.
  setenv('OCTAVE_TEST_CHECKS', '0');
  setenv('OCTAVE_TEST_FAILURES', '0');
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
  checks = str2double(getenv('OCTAVE_TEST_CHECKS'));
  failed = str2double(getenv('OCTAVE_TEST_FAILURES'));
  printf('%s: %d checks, %d failed\n', name, checks, failed);
  exit(double(failed > 0 || ~completed || checks == 0));
end
