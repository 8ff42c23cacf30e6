function check(condition, description, varargin)
  % Counts one check; prints and records a failure when condition is false.
  global OCTAVE_TEST_CHECKS OCTAVE_TEST_FAILURES
  if isempty(OCTAVE_TEST_CHECKS), OCTAVE_TEST_CHECKS = 0; OCTAVE_TEST_FAILURES = {}; end
  OCTAVE_TEST_CHECKS += 1;
  if ~(islogical(condition) || isnumeric(condition)) || isempty(condition) || ~all(condition(:))
    text = sprintf(description, varargin{:});
    OCTAVE_TEST_FAILURES{end + 1} = text;
    stack = dbstack();
    where = '';
    if numel(stack) >= 2, where = sprintf(' (%s line %d)', stack(2).name, stack(2).line); end
    fprintf(2, 'FAILED: %s%s\n', text, where);
  end
end
