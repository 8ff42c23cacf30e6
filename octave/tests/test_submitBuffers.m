% submitBuffers as Octave code meets it: argument errors, frames reaching
% the callback with their pixels, failing callbacks, a second call, the log.
camsim('qcamReset');
% The fixed log path names a file in the working folder here.
if exist('C:\QCamLog.txt', 'file'), unlink('C:\QCamLog.txt'); end
cam = SimulatedQCamCamera(200, 'QSIM0200', 16, 12, 16);
global CALLBACK_CALLS
CALLBACK_CALLS = {};
% At 16 bits the simulator stamps the image number in pixels 0 and 1.
stamp = @(frame) double(frame(1)) + 65536 * double(frame(2));
logLines = @(prefix) sum(strncmp(strsplit(fileread('C:\QCamLog.txt'), "\n"), prefix, numel(prefix)));

% Argument errors: the serial string is printed first, then the error.
printed = evalc('try, submitBuffers(cam, @recordCallback); catch err, end');
checkEqual(printed, sprintf('Serial String: QSIM0200\n'), 'the serial string comes before the argument checks');
checkEqual(err.message, 'submitBuffers: All arguments must be supplied', 'two arguments');
checkError(@() submitBuffers(cam), 'submitBuffers', 'All arguments must be supplied', 'one argument');
checkError(@() submitBuffers(cam, 'recordCallback', 2), 'submitBuffers', ...
  'The ''callbackFunc'' argument must be a function handle', 'a callback name');
checkError(@() submitBuffers(cam, @recordCallback, true), 'submitBuffers', ...
  'The ''numBufferedFrames'' argument must be a number specifying number of frames to queue.', 'a logical count');
checkError(@() submitBuffers(cam, @recordCallback, '3'), 'submitBuffers', ...
  'The ''numBufferedFrames'' argument must be a number specifying number of frames to queue.', 'a text count');
checkError(@() submitBuffers(struct('cameraHandle', 200), @recordCallback, 1), 'submitBuffers', ...
  'submitBuffers: the first argument must be a camera object whose cameraHandle property is a 32-bit integer.', ...
  'a struct for a camera');
counters = camsim('qcamCounters', 200);
checkEqual(counters.queued, 0, 'refused calls queue nothing');

% Frames reach the callback, in order, each with its own pixels.
printed = evalc('submitBuffers(cam, @recordCallback, 3)');
check(~isempty(strfind(printed, 'Detected new camera! Handle: 200')), 'the first call names a new camera');
check(isempty(strfind(printed, 'Clearing previous callback record')), 'and clears no earlier record');
check(~isempty(strfind(printed, sprintf('Frame Size -- Height: 12\t Width: 16\t BitDepth: 16\t SizeInBytes: 384'))), ...
  'it reports the frame size');
checkEqual(numel(strfind(printed, 'Queued a frame (address: ')), 3, 'and each queued frame');
checkEqual(logLines('Queued a frame at time: '), 3, 'the log has a line per queued frame');
checkEqual(produce(cam, 3), 3, 'three images fill the three frames');
check(waitUntil(@() callbackCount() >= 3, 5), 'every frame reaches the callback');
for k = 1:3
  call = CALLBACK_CALLS{k};
  checkEqual(numel(call.arguments), 2, 'frame %d: two arguments', k);
  checkEqual(class(call.arguments{1}), 'SimulatedQCamCamera', 'frame %d: the camera object first', k);
  checkEqual(call.arguments{1}.cameraHandle, int32(200), 'frame %d: of this camera', k);
  data = call.arguments{2};
  checkEqual(size(data), [1 1], 'frame %d: a 1-by-1 struct', k);
  checkEqual(fieldnames(data), {'frameData'; 'errorCode'}, 'frame %d: whose fields are frameData and errorCode', k);
  checkEqual(data.errorCode, 0, 'frame %d: a good frame', k);
  checkEqual(class(data.frameData), 'uint16', 'frame %d: uint16 pixels', k);
  checkEqual(size(data.frameData), [12 16], 'frame %d: height x width', k);
  checkEqual(stamp(data.frameData), k, 'frame %d: holds image %d', k, k);
  checkEqual(call.nargout, 0, 'frame %d: no output asked', k);
end
checkEqual(logLines('Entered QCam callback at time: '), 3, 'the log has a line per completion');

% A failing callback prints one line with its own message; the next frame
% calls it again.
CALLBACK_CALLS = {};
evalc('submitBuffers(cam, @failingCallback, 2)');
produce(cam, 1);
checkEqual(camsim('waitForMessage', 5000), 1, 'the frame''s event is queued');
printed = evalc('pumpEvents();');
lines = strsplit(strtrim(printed), "\n");
checkEqual(lines{1}, 'Reached Matlab Callback Wrapper', 'the dispatch announces itself');
prefix = 'ERROR in event callback of AndorCamera object: ';
checkEqual(numel(lines), 2, 'then one error line');
checkEqual(lines{end}, [prefix 'callback failed on call 1'], 'the error line quotes the callback''s error');
produce(cam, 1);
checkEqual(camsim('waitForMessage', 5000), 1, 'the next frame''s event is queued');
evalc('pumpEvents();');
checkEqual(callbackCount(), 2, 'and reaches the failing callback again');

% A second call for the camera replaces the callback; 2.9 frames are 2.
CALLBACK_CALLS = {};
printed = evalc('submitBuffers(cam, @(c, s) recordCallback(stamp(s.frameData)), 2.9)');
check(~isempty(strfind(printed, 'Clearing previous callback record...')), 'a second call clears the record');
check(isempty(strfind(printed, 'Detected new camera!')), 'and finds no new camera');
counters = camsim('qcamCounters', 200);
checkEqual(counters.waiting, 2, 'two frames wait');
produce(cam, 2);
check(waitUntil(@() callbackCount() >= 2, 5), 'both reach the latest callback');
checkEqual(cellfun(@(c) c.arguments{1}, CALLBACK_CALLS), [6 7], 'in the order the images came');

% No frames: the record is made ready, nothing is queued or logged.
before = logLines('Queued a frame at time: ');
printed = evalc('submitBuffers(cam, @recordCallback, 0)');
check(~isempty(strfind(printed, 'CallbackData -- ')), 'zero frames still reports the record');
checkEqual(numel(strfind(printed, 'Queued a frame')), 0, 'but queues nothing');
checkEqual(logLines('Queued a frame at time: '), before, 'and logs nothing');

% Free-running: frames keep coming while the camera runs.
CALLBACK_CALLS = {};
evalc('submitBuffers(cam, @recordCallback, 4)');
camsim('qcamSetFramePeriod', 0.005);
start(cam);
check(waitUntil(@() callbackCount() >= 4, 10), 'a running camera fills every queued frame');
stop(cam);
stamps = cellfun(@(c) stamp(c.arguments{2}.frameData), CALLBACK_CALLS);
checkEqual(diff(stamps), ones(1, 3), 'consecutive images, none lost');
counters = camsim('qcamCounters', 200);
checkEqual(counters.waiting, 0, 'no frame is left queued');
