function check(condition, description, varargin)
  % Counts one check; prints a failure when condition is not all true.
  setenv('OCTAVE_TEST_CHECKS', num2str(str2double(getenv('OCTAVE_TEST_CHECKS')) + 1));
  if ~(islogical(condition) || isnumeric(condition)) || isempty(condition) || ~all(condition(:))
    setenv('OCTAVE_TEST_FAILURES', num2str(str2double(getenv('OCTAVE_TEST_FAILURES')) + 1));
    stack = dbstack();
    where = '';
    if numel(stack) >= 2, where = sprintf(' (%s line %d)', stack(2).name, stack(2).line); end
    fprintf(2, 'FAILED: %s%s\n', sprintf(description, varargin{:}), where);
  end
end
