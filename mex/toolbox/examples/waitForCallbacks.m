function done = waitForCallbacks(isDone, timeoutSeconds, progress)
%WAITFORCALLBACKS  Wait until a condition holds, letting camera callbacks run.
%   DONE = WAITFORCALLBACKS(ISDONE, TIMEOUTSECONDS) calls the function
%   handle ISDONE until it returns true or TIMEOUTSECONDS have passed, and
%   returns its last answer. Between calls it pauses, so MATLAB runs the
%   callbacks of watchDriverSignal and submitBuffers in its idle loop.
%   GNU Octave has no idle loop that takes the driver events: there the
%   camera bridge's event pump, pumpEvents, is called when it is on the path.
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
%   See also PAUSE, DRAWNOW.

pump = exist('pumpEvents', 'file') == 3;
if nargin < 3
  progress = @() 0;
end
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
