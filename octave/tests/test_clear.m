% Clearing the MEX libraries with callbacks registered and events and
% frames queued, then loading them again. Octave's "clear mex" clears a
% variable named mex; its "clear functions" and "clear all" unload MEX
% libraries, as MATLAB's "clear mex" does.
camsim('andorReset');
camsim('qcamReset');
cam = SimulatedAndorCamera(100, 8, 8);
qcam = SimulatedQCamCamera(200, 'QSIM0200', 8, 4, 8);
start(cam);
global CALLBACK_CALLS
CALLBACK_CALLS = {};
baseHooks = camsim('hookCount');

% A driver event and a completed frame are queued, and two frames are out.
watchDriverSignal(cam, @recordCallback);
evalc('submitBuffers(qcam, @recordCallback, 3)');
checkEqual(camsim('hookCount'), baseHooks + 2, 'each callback library hooks Octave''s thread');
produce(cam, 1);
produce(qcam, 1);
camsim('qcamWaitForCompletions', 1, 5000);
checkEqual(camsim('queueLength'), 2, 'one event of each library is queued');

% "clear mex" is no MEX clear in Octave: everything stays.
clear mex
checkEqual(camsim('runningThreads'), 1, 'Octave''s clear mex leaves the watcher running');

% clear functions: watchDriverSignal goes with its thread, its hook and its
% event; submitBuffers, with frames out, stays loaded and delivers them.
before = numel(CALLBACK_CALLS);
clear functions
checkEqual(camsim('runningThreads'), 0, 'the watcher thread has ended');
state = camsim('andorCamera', 100);
checkEqual(state.hasEvent, 0, 'the driver event was taken back');
checkEqual(camsim('hookCount'), baseHooks + 1, 'only submitBuffers still hooks the thread');
pumpEvents();
calls = CALLBACK_CALLS(before + 1:end);
checkEqual(numel(calls), 1, 'of the two queued events one reaches a callback');
checkEqual(class(calls{1}.arguments{1}), 'SimulatedQCamCamera', 'the frame''s, not the cleared driver event''s');
checkEqual(camsim('queueLength'), 0, 'nothing is left queued');
camsim('andorProduce', 100, 1);
checkEqual(camsim('waitForMessage', 200), 0, 'a cleared camera posts nothing');

% Loading watchDriverSignal again works like the first time.
cam = SimulatedAndorCamera(100);
CALLBACK_CALLS = {};
watchDriverSignal(cam, @recordCallback);
camsim('andorProduce', 100, 1);
check(waitUntil(@() callbackCount() >= 1, 5), 'a reloaded watchDriverSignal delivers again');
checkEqual(class(CALLBACK_CALLS{1}.arguments{1}), 'SimulatedAndorCamera', 'with the camera object');

% clear all: globals and classes go too; the frames still out come back to
% the callback submitBuffers holds, and then the library lets itself go.
camsim('andorProduce', 100, 1);
camsim('waitForMessage', 5000);
clear all
checkEqual(camsim('runningThreads'), 0, 'clear all ends the watcher too');
checkEqual(camsim('queueLength'), 0, 'and drops its queued event');
camsim('qcamProduce', 200, 2);
camsim('qcamWaitForCompletions', 3, 5000);
global CALLBACK_CALLS
check(waitUntil(@() callbackCount() >= 2, 5), 'frames out at clear all still reach their callback');
counters = camsim('qcamCounters', 200);
checkEqual(counters.waiting, 0, 'every frame came back');
clear functions
checkEqual(camsim('hookCount'), 0, 'with nothing out, submitBuffers unloads and removes its hook');

% And loads again from scratch.
qcam = SimulatedQCamCamera(200);
CALLBACK_CALLS = {};
printed = evalc('submitBuffers(qcam, @recordCallback, 1)');
check(~isempty(strfind(printed, 'Detected new camera! Handle: 200')), 'a reloaded submitBuffers starts afresh');
camsim('qcamProduce', 200, 1);
check(waitUntil(@() callbackCount() >= 1, 5), 'and delivers frames');
checkEqual(size(CALLBACK_CALLS{1}.arguments{2}.frameData), [4 8], 'of the camera''s size');
camsim('andorStop', 100);
