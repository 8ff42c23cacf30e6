function done = waitForCallbacks(isDone, timeoutSeconds, progress)
%WAITFORCALLBACKS  Wait until a condition holds, letting camera callbacks run.
%   DONE = WAITFORCALLBACKS(ISDONE, TIMEOUTSECONDS) calls the function
%   handle ISDONE until it returns true or TIMEOUTSECONDS have passed, and
%   returns its last answer. Between calls it pauses, so MATLAB runs the
%   callbacks of watchDriverSignal and submitBuffers in its idle loop.
%   GNU Octave has no idle loop that takes the driver events, and its
%   pause runs no callback: there the camera bridge's event pump,
%   pumpEvents, is called when it is on the path.
%
%   DONE = WAITFORCALLBACKS(ISDONE, TIMEOUTSECONDS, PROGRESS) counts the
%   timeout from the last change of PROGRESS(), a function returning a
%   number (how many frames came, say): a long stream is waited for as long
%   as it keeps moving, and one that stalls is given up after TIMEOUTSECONDS.
%
%   ISDONE and PROGRESS must read their state afresh: a nested function, or a function of
%   a handle object. An anonymous function holds copies of the variables it
%   names, so it would never see a callback's count change.
%
%   Errors
%     waitForCallbacks: give the condition, a function handle, and the timeout in seconds.
%     waitForCallbacks: the condition must be a function handle that returns true when the wait is over.
%     waitForCallbacks: the timeout must be a number of seconds greater than 0.
%     waitForCallbacks: the progress must be a function handle that returns a number.
%
%   See also PAUSE, DRAWNOW.

if nargin < 2
  error('waitForCallbacks:arguments', ...
        'waitForCallbacks: give the condition, a function handle, and the timeout in seconds.');
end
if ~isa(isDone, 'function_handle') || ~isscalar(isDone)
  error('waitForCallbacks:condition', ...
        'waitForCallbacks: the condition must be a function handle that returns true when the wait is over.');
end
if ~isnumeric(timeoutSeconds) || ~isreal(timeoutSeconds) || ~isscalar(timeoutSeconds) || ...
   issparse(timeoutSeconds) || ~(timeoutSeconds > 0)
  error('waitForCallbacks:timeout', 'waitForCallbacks: the timeout must be a number of seconds greater than 0.');
end
if nargin < 3
  progress = @() 0;
elseif ~isa(progress, 'function_handle') || ~isscalar(progress)
  error('waitForCallbacks:progress', 'waitForCallbacks: the progress must be a function handle that returns a number.');
end
pump = exist('pumpEvents', 'file') == 3;
started = tic;
last = progress();
done = isDone();
while ~done && toc(started) < timeoutSeconds
  if pump
    pumpEvents();
  end
  pause(0.01);
  done = isDone();
  now = progress();
  if now ~= last
    last = now;
    started = tic;
  end
end
end
