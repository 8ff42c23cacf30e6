% How a user stops callbacks, as the help texts tell it: a stream whose
% callback queues the next frame goes on through clear submitBuffers and
% clear functions, and stops when the callback queues no more, after which
% the library lets go; a driver-event callback stops itself with
% watchDriverSignal(camera).
camsim('qcamReset');
cam = SimulatedQCamCamera(200, 'QSIM0200', 16, 12, 16);
baseHooks = camsim('hookCount');
libraryMapped = @() ~isempty(strfind(fileread('/proc/self/maps'), '/submitBuffers.mex'));
global FRAME_STREAM
FRAME_STREAM = struct('total', Inf, 'size', [12 16], 'count', 0, 'stamps', [], 'wellFormed', []);

evalc('submitBuffers(cam, @requeueingCallback, 1);');
for command = {'clear submitBuffers', 'clear functions'}
  eval(command{1});
  before = FRAME_STREAM.count;
  camsim('qcamProduce', 200, 1);
  evalc('delivered = waitUntil(@() streamedFrameCount() > before, 5);');
  check(delivered, 'after %s the stream goes on', command{1});
  checkEqual(camsim('qcamCounters', 200).waiting, 1, sprintf('after %s the callback queued the next frame', command{1}));
  check(libraryMapped(), 'after %s submitBuffers stays loaded', command{1});
end

% The flag the callback reads: it queues no more after the next frame.
FRAME_STREAM.total = FRAME_STREAM.count + 1;
camsim('qcamProduce', 200, 1);
evalc('waitUntil(@() streamedFrameCount() >= FRAME_STREAM.total, 5);');
checkEqual(FRAME_STREAM.count, FRAME_STREAM.total, 'the last frame reached its callback');
checkEqual(camsim('qcamCounters', 200).waiting, 0, 'and no frame is out');
camsim('qcamProduce', 200, 1);
checkEqual(camsim('waitForMessage', 200), 0, 'a stopped stream delivers nothing more');
clear submitBuffers
check(~libraryMapped(), 'with no frame out, clear submitBuffers unloads the library');
checkEqual(camsim('hookCount'), baseHooks, 'and its hook is gone');

% A driver-event callback that clears its own registration in its first call.
camsim('andorReset');
andor = SimulatedAndorCamera(100, 8, 8);
start(andor);
setenv('CLEARING_COMMAND', 'watchDriverSignal(camera)');
setenv('CLEARING_CALLS_100', '0');
watchDriverSignal(andor, @clearingCallback);
produce(andor, 1);
check(waitUntil(@() clearingCallbackCalls(100) >= 1, 5), 'the callback ran');
state = camsim('andorCamera', 100);
checkEqual(state.hasEvent, 0, 'watchDriverSignal(camera) inside the callback took its event back');
produce(andor, 1);
checkEqual(camsim('waitForMessage', 200), 0, 'later images post nothing');
pumpEvents();
checkEqual(clearingCallbackCalls(100), 1, 'and call nothing');
setenv('CLEARING_COMMAND', '');
stop(andor);
