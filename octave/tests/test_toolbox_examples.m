% The installed examples against the simulated cameras, called as a user
% calls them: each gets what it says, through its own wait (pause, with the
% event pump where it exists) and not through the tests' waitUntil, which
% is not on the path here.
check(exist('waitUntil', 'file') == 0, 'the tests'' own wait is not on the path');
prefix = getenv('CAMERA_TOOLBOX_PREFIX');
stamp = @(picture) double(picture(1, 1)) + 65536 * double(picture(1, 2));
stamps = @(pictures) arrayfun(@(k) stamp(pictures(:, :, k)), 1:size(pictures, 3));

% Driver events: every image of a free-running camera, in order, each image
% the right way round (the simulator stamps the image number in the first
% two pixels of the top row), and the callback cleared at the end.
camsim('andorReset');
andor = SimulatedAndorCamera(100, 32, 24);
camsim('andorSetFramePeriod', 100, 0.01);
camsim('andorSetFreeRunning', true);
start(andor);
printed = evalc('pictures = andorEventsExample(andor, 10);');
stop(andor);
checkEqual(class(pictures), 'uint16', 'andorEventsExample: uint16 pictures');
checkEqual(size(pictures), [24 32 10], 'andorEventsExample: height x width x images');
checkEqual(stamps(pictures), 1:10, 'andorEventsExample: every image once, in order, the right way round');
check(~isempty(regexp(printed, 'andorEventsExample: 10 images read at \d+ driver events', 'once')), ...
      'andorEventsExample says what it read: %s', printed);
state = camsim('andorCamera', 100);
checkEqual(state.hasEvent, 0, 'andorEventsExample clears its callback');
checkEqual(state.lost, 0, 'no image was lost');

% A camera that is not acquiring: the example gives up at its timeout, and
% still clears its callback.
idle = SimulatedAndorCamera(101, 32, 24);
try
  andorEventsExample(idle, 3, 0.3);
  check(false, 'andorEventsExample without images times out');
catch err
  checkEqual(err.message, 'andorEventsExample: only 0 of 3 images came, then none for 0.3 s; is the camera acquiring?', ...
             'andorEventsExample without images times out');
end
state = camsim('andorCamera', 101);
checkEqual(state.hasEvent, 0, 'a timed-out example clears its callback');

% A read the driver fails ends the example with the driver's status.
start(andor);
camsim('andorInjectStatus', 'readOldestImage16', 20075, 'once');
try
  andorEventsExample(andor, 3);
  check(false, 'andorEventsExample reports a failed read');
catch err
  check(~isempty(strfind(err.message, 'andorEventsExample: reading an image failed: ')) && ...
        ~isempty(strfind(err.message, 'Status code 20075')), 'andorEventsExample reports a failed read: %s', err.message);
end
stop(andor);
state = camsim('andorCamera', 100);
checkEqual(state.hasEvent, 0, 'a failed example clears its callback');

% A stream: 20 frames with 3 out at a time, each image once and in order,
% and nothing left queued.
camsim('qcamReset');
qcam = SimulatedQCamCamera(200, 'QSIM0200', 32, 24, 16);
camsim('qcamSetFramePeriod', 0.005);
start(qcam);
printed = evalc('frames = qcamStreamExample(qcam, 20, 3);');
stop(qcam);
checkEqual(class(frames), 'uint16', 'qcamStreamExample: uint16 pictures');
checkEqual(size(frames), [24 32 20], 'qcamStreamExample: height x width x frames');
checkEqual(stamps(frames), 1:20, 'qcamStreamExample: every image once, in order, the right way round');
check(~isempty(strfind(printed, 'qcamStreamExample: 20 frames received, 3 out at a time')), ...
      'qcamStreamExample says what it received');
checkEqual(numel(strfind(printed, 'Number of Buffered Frames: 3')), 1, 'it queued 3 frames first');
checkEqual(numel(strfind(printed, 'Number of Buffered Frames: 1')), 17, 'then one from each callback until 20 were queued');
counters = camsim('qcamCounters', 200);
checkEqual([counters.queued, counters.completed, counters.waiting], [20, 20, 0], 'all 20 queued frames came back');

% A quiet stream, as the help shows it: run inside evalc with its wait, a
% stream of 1,000 frames prints nothing outside, and evalc keeps every
% frame's line. evalc around submitBuffers alone keeps only the call's own
% lines: callbacks that run after it print.
camsim('qcamSetFramePeriod', 0.001);
start(qcam);
outside = evalc('inside = evalc(''frames = qcamStreamExample(qcam, 1000);'');');
stop(qcam);
checkEqual(outside, '', 'a stream run inside evalc prints nothing outside it');
checkEqual(numel(strfind(inside, 'Reached Matlab Callback Wrapper')), 1000, 'evalc keeps the line of every frame');
checkEqual(stamps(frames), 21:1020, 'the quiet stream delivers every image once, in order');
global CALLBACK_CALLS
CALLBACK_CALLS = {};
inside = '';
outside = evalc(['inside = evalc(''submitBuffers(qcam, @recordCallback, 2);''); produce(qcam, 2); ' ...
                 'camsim(''qcamWaitForCompletions'', 1022, 5000); pumpEvents();']);
checkEqual(numel(CALLBACK_CALLS), 2, 'both frames came back to their callback');
check(~isempty(strfind(inside, 'Number of Buffered Frames: 2')) && isempty(strfind(inside, 'Reached')), ...
      'evalc around submitBuffers keeps the call''s lines only: %s', inside);
checkEqual(numel(strfind(outside, 'Reached Matlab Callback Wrapper')), 2, 'the callbacks run later print outside it');

% One picture, from the camera given even when snapPicture has grabbed from
% another one before.
eightBit = SimulatedQCamCamera(201, 'QSIM0201', 32, 24, 8);
other = SimulatedQCamCamera(202, 'QSIM0202', 16, 8, 8);
snapPicture(other);
printed = evalc('picture = qcamSnapExample(eightBit);');
checkEqual(class(picture), 'uint8', 'qcamSnapExample: a uint8 picture');
checkEqual(size(picture), [24 32], 'qcamSnapExample: height x width');
% At 8 bits the image number fills the first four pixels of the top row.
checkEqual(double(typecast(picture(1, 1:4), 'uint32')), 1, 'qcamSnapExample: the camera''s first image, the right way round');
check(~isempty(strfind(printed, 'qcamSnapExample: one 24-by-32 picture')), 'qcamSnapExample says what it grabbed');
counters = camsim('qcamCounters', 201);
checkEqual(counters.grabbed, 1, 'qcamSnapExample grabbed from its camera');

% A stream that lasts longer than its timeout is waited for while its frames
% keep coming: the timeout counts from the last frame, not from the start.
camsim('qcamReset');
qcam = SimulatedQCamCamera(200, 'QSIM0200', 32, 24, 16);
camsim('qcamSetFramePeriod', 0.005);
start(qcam);
evalc('moving = qcamStreamExample(qcam, 100, 3, 0.2);');
stop(qcam);
checkEqual(size(moving, 3), 100, 'a stream of 0.5 s with a timeout of 0.2 s gets every frame');

% A frame the camera fails to fill is no picture: its page stays zero, a
% warning says why, and the stream goes on.
camsim('qcamReset');
qcam = SimulatedQCamCamera(200, 'QSIM0200', 32, 24, 16);
camsim('qcamSetFramePeriod', 0.005);
camsim('qcamInjectStatus', 'frameCompletion', 20, 'once');
start(qcam);
lastwarn('');
evalc('frames = qcamStreamExample(qcam, 5, 2);');
stop(qcam);
[message, identifier] = lastwarn();
checkEqual(identifier, 'qcamStreamExample:frameFailed', 'qcamStreamExample warns of a frame not filled');
check(~isempty(strfind(message, 'frame 1 was not filled (20)')), 'naming the frame and the code: %s', message);
checkEqual(squeeze(max(max(frames, [], 1), [], 2))' > 0, [false true true true true], ...
           'the failed frame''s page stays zero, the other four are pictures');
