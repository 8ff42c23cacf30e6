function failingCallback(varargin)
  % Records the call like recordCallback, then raises an error.
  recordCallback(varargin{:});
  global CALLBACK_CALLS
  error('Camera:test', 'callback failed on call %d', numel(CALLBACK_CALLS));
end
