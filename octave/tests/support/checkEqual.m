function checkEqual(actual, expected, description, varargin)
  % A check that actual equals expected in class, size and value.
  same = strcmp(class(actual), class(expected)) && isequal(size(actual), size(expected)) && isequal(actual, expected);
  if ~same
    description = [description ': got %s, expected %s'];
    varargin = [varargin, {describe(actual), describe(expected)}];
  end
  check(same, description, varargin{:});
end

function text = describe(value)
  if ischar(value)
    text = ['''' value ''''];
  elseif isnumeric(value) || islogical(value)
    text = sprintf('%s %s [%s]', class(value), mat2str(size(value)), num2str(value(1:min(end, 8))(:)'));
  else
    text = sprintf('%s %s', class(value), mat2str(size(value)));
  end
end
