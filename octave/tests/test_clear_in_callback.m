% A driver-event callback that clears the MEX libraries while its own event
% is being dispatched: Octave goes on, the library's registrations are gone,
% later events call nothing, and the library loads again as new. Octave's
% "clear mex" clears a variable named mex and leaves the library as it is.
baseHooks = camsim('hookCount');
for command = {'clear functions', 'clear all', 'clear mex'}
  command = command{1};
  unloads = ~strcmp(command, 'clear mex');
  camsim('andorReset');
  camsim('andorAddCamera', 100, 8, 8);
  camsim('andorAddCamera', 101, 8, 8);
  cam = SimulatedAndorCamera(100);
  other = SimulatedAndorCamera(101);
  start(cam);
  start(other);
  setenv('CLEARING_COMMAND', command);
  setenv('CLEARING_CALLS_100', '0');
  setenv('CLEARING_CALLS_101', '0');

  % Camera 100's event comes first; camera 101's, if its watcher posts it
  % before the clear stops it, waits behind.
  watchDriverSignal(cam, @clearingCallback);
  watchDriverSignal(other, @clearingCallback);
  produce(cam, 1);
  camsim('waitForMessage', 5000);
  produce(other, 1);
  check(waitUntil(@() clearingCallbackCalls(100) >= 1, 5), '%s: the callback ran', command);
  checkEqual(clearingCallbackCalls(100), 1, '%s: once', command);

  if unloads
    checkEqual(camsim('runningThreads'), 0, '%s: no watcher is left', command);
    checkEqual(camsim('hookCount'), baseHooks, '%s: the library''s hook is gone', command);
    for handle = [100 101]
      state = camsim('andorCamera', handle);
      checkEqual(state.hasEvent, 0, '%s: camera %d''s driver event was taken back', command, handle);
    end
    camsim('andorProduce', 100, 1);
    camsim('andorProduce', 101, 1);
    checkEqual(camsim('waitForMessage', 200), 0, '%s: later events post nothing', command);
    pumpEvents();
    checkEqual(clearingCallbackCalls(100), 1, '%s: and call nothing', command);
    checkEqual(clearingCallbackCalls(101), 0, '%s: the other camera''s event called nothing', command);
    % Classes go with the functions: the camera objects are made again.
    cam = SimulatedAndorCamera(100);
    other = SimulatedAndorCamera(101);
  else
    camsim('andorProduce', 100, 1);
    check(waitUntil(@() clearingCallbackCalls(100) >= 2, 5), '%s: the registration stays', command);
    check(waitUntil(@() clearingCallbackCalls(101) >= 1, 5), '%s: and the other camera''s too', command);
    watchDriverSignal(other);
  end

  % A callback registered now runs as on a first load.
  setenv('CLEARING_COMMAND', '');
  watchDriverSignal(cam, @clearingCallback);
  calls = clearingCallbackCalls(100);
  camsim('andorProduce', 100, 1);
  check(waitUntil(@() clearingCallbackCalls(100) > calls, 5), '%s: the library delivers again', command);
  watchDriverSignal(cam);
  checkEqual(camsim('runningThreads'), 0, '%s: cleared, no watcher runs', command);
  camsim('andorStop', 100);
  camsim('andorStop', 101);
end
