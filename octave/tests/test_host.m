% The Octave host itself: camera classes, the simulator control, the event
% pump and its queue.
camsim('andorReset');
camsim('qcamReset');

% Camera classes as the MEX libraries read them.
andor = SimulatedAndorCamera(100, 64, 48);
checkEqual(andor.cameraHandle, 100, 'AndorCamera cameraHandle is a double');
checkEqual([andor.expectedM, andor.expectedN], [48, 64], 'AndorCamera expectedM x expectedN is rows x columns');
again = SimulatedAndorCamera(100);
checkEqual([again.expectedM, again.expectedN], [48, 64], 'an opened AndorCamera takes the simulated size');
qcam = SimulatedQCamCamera(200, 'QSIM0200', 32, 24, 12);
checkEqual(qcam.cameraHandle, int32(200), 'QCamCamera cameraHandle is an int32');
try
  SimulatedAndorCamera(555);
  check(false, 'opening a camera the driver lacks is refused');
catch err
  check(~isempty(strfind(err.message, 'no Andor camera 555')), 'refusal names the camera: %s', err.message);
end

% Adding a camera the simulator has already opens it when it is the one
% asked for (a script run again), and refuses it, saying what is there,
% when it is not.
checkEqual(camsim('qcamCamera', 200), struct('serial', 'QSIM0200', 'width', 32, 'height', 24, 'bitDepth', 12), ...
           'camsim reports a QCam camera as the driver does');
again = SimulatedAndorCamera(100, 64, 48);
checkEqual([again.cameraHandle, again.expectedM, again.expectedN], [100, 48, 64], 'the same Andor camera is opened again');
again = SimulatedQCamCamera(200, 'QSIM0200', 32, 24, 12);
checkEqual(again.cameraHandle, int32(200), 'the same QCam camera is opened again');
differing = {
  @() SimulatedAndorCamera(100, 48, 64), 'SimulatedAndorCamera', 'has a camera 100 already, 64 wide and 48 high'
  @() SimulatedQCamCamera(200, 'QSIM0200', 32, 24, 16), 'SimulatedQCamCamera', 'camera 200 already, ''QSIM0200'', 32 by 24 at 12 bits'
  @() SimulatedQCamCamera(200, 'QSIM9999', 32, 24, 12), 'SimulatedQCamCamera', 'camera 200 already, ''QSIM0200'''
  @() SimulatedQCamCamera(200, 'QSIM0200', 24, 32, 12), 'SimulatedQCamCamera', '32 by 24 at 12 bits'};
for k = 1:rows(differing)
  [make, className, text] = differing{k, :};
  try
    make();
    check(false, '%s refuses a camera that differs (%d)', className, k);
  catch err
    checkEqual(err.identifier, [className ':inUse'], '%s refuses a camera that differs (%d)', className, k);
    check(~isempty(strfind(err.message, text)), 'and says what is there: %s', err.message);
  end
end

% Start and stop reach the simulated drivers.
start(andor);
state = camsim('andorCamera', 100);
checkEqual(state.acquiring, 1, 'AndorCamera start begins an acquisition');
checkEqual(produce(andor, 2), 2, 'a started camera makes images on demand');
stop(andor);
state = camsim('andorCamera', 100);
checkEqual(state.acquiring, 0, 'AndorCamera stop ends it');
checkEqual(state.produced, 2, 'the camera counted its images');

% The event pump: install is idempotent and gives the thread its queue.
pumpEvents('install');
pumpEvents('install');
checkEqual(camsim('queueLength'), 0, 'Octave''s thread has an empty message queue after install');
checkEqual(pumpEvents(), 0, 'an empty queue gives nothing to take');
checkEqual(camsim('waitForMessage', 0), 0, 'no message is waiting');
try
  pumpEvents('pump');
  check(false, 'an unknown pumpEvents command is refused');
catch err
  checkEqual(err.message, 'pumpEvents: pumpEvents: the only command is ''install''.', 'pumpEvents refusal');
end

% A registered callback runs only when Octave takes its messages: the
% event stays queued until pumpEvents, and is then dispatched once.
global CALLBACK_CALLS
CALLBACK_CALLS = {};
watchDriverSignal(andor, @recordCallback);
start(andor);
produce(andor, 1);
checkEqual(camsim('waitForMessage', 5000), 1, 'the driver event reaches Octave''s queue');
checkEqual(callbackCount(), 0, 'nothing runs before the queue is pumped');
checkEqual(pumpEvents(), 1, 'pumpEvents takes the one message');
checkEqual(callbackCount(), 1, 'and its callback ran');
checkEqual(pumpEvents(), 0, 'a message is dispatched once');
watchDriverSignal(andor);
stop(andor);
