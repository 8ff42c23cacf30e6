function recordCallback(varargin)
  % A MEX callback that records its arguments and the outputs asked of it
  % in the global CALLBACK_CALLS, one entry per call.
  global CALLBACK_CALLS
  CALLBACK_CALLS{end + 1} = struct('arguments', {varargin}, 'nargout', nargout);
end
