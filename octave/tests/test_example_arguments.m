% The examples refuse what they cannot use with their own message, before
% they register a callback, queue a frame or grab: a text (what Octave's
% internals would choke on), a count below 1 (which would return an empty
% result), and the other driver's camera object.
camsim('andorReset');
camsim('qcamReset');
andor = SimulatedAndorCamera(100, 16, 8);
qcam = SimulatedQCamCamera(200, 'QSIM0200', 16, 8, 16);
plain = PlainCamera(200);

prefix = 'andorEventsExample: ';
camera = [prefix 'the first argument must be an Andor camera object, such as an AndorCamera, with cameraHandle, ' ...
          'expectedM and expectedN properties.'];
count = [prefix 'the image count must be a whole number, at least 1.'];
timeout = [prefix 'the timeout must be a number of seconds greater than 0.'];
checkRefusal(@() andorEventsExample(andor), 'andorEventsExample:arguments', ...
             [prefix 'give the Andor camera object and the number of images to read.'], 'andorEventsExample, no count');
checkRefusal(@() andorEventsExample(qcam, 3), 'andorEventsExample:camera', camera, 'andorEventsExample, a QCam camera');
checkRefusal(@() andorEventsExample(struct('cameraHandle', 100, 'expectedM', 8, 'expectedN', 16), 3), ...
             'andorEventsExample:camera', camera, 'andorEventsExample, a struct');
for bad = {'10', -3, 0, 2.5, NaN, Inf, [2 3], true, 3 + 1i}
  checkRefusal(@() andorEventsExample(andor, bad{1}), 'andorEventsExample:imageCount', count, ...
               sprintf('andorEventsExample, image count %s', disp(bad{1})));
end
for bad = {'1', 0, -1, NaN, [1 2]}
  checkRefusal(@() andorEventsExample(andor, 3, bad{1}), 'andorEventsExample:timeout', timeout, ...
               sprintf('andorEventsExample, timeout %s', disp(bad{1})));
end
state = camsim('andorCamera', 100);
checkEqual(state.hasEvent, 0, 'a refused andorEventsExample registered no callback');

prefix = 'qcamStreamExample: ';
camera = [prefix 'the first argument must be a QCam camera object, such as a QCamCamera, whose cameraHandle ' ...
          'property is an int32 or uint32.'];
checkRefusal(@() qcamStreamExample(qcam), 'qcamStreamExample:arguments', ...
             [prefix 'give the QCam camera object and the number of frames to stream.'], 'qcamStreamExample, no count');
checkRefusal(@() qcamStreamExample(andor, 3), 'qcamStreamExample:camera', camera, 'qcamStreamExample, an Andor camera');
checkRefusal(@() qcamStreamExample(plain, 3), 'qcamStreamExample:camera', camera, ...
             'qcamStreamExample, a double cameraHandle');
checkRefusal(@() qcamStreamExample(struct('cameraHandle', int32(200)), 3), 'qcamStreamExample:camera', camera, ...
             'qcamStreamExample, a struct');
for bad = {'10', -3, 0, 1.5, NaN}
  checkRefusal(@() qcamStreamExample(qcam, bad{1}), 'qcamStreamExample:frameCount', ...
               [prefix 'the frame count must be a whole number, at least 1.'], ...
               sprintf('qcamStreamExample, frame count %s', disp(bad{1})));
  checkRefusal(@() qcamStreamExample(qcam, 3, bad{1}), 'qcamStreamExample:framesOut', ...
               [prefix 'the number of frames out must be a whole number, at least 1.'], ...
               sprintf('qcamStreamExample, frames out %s', disp(bad{1})));
end
checkRefusal(@() qcamStreamExample(qcam, 3, 2, -1), 'qcamStreamExample:timeout', ...
             [prefix 'the timeout must be a number of seconds greater than 0.'], 'qcamStreamExample, timeout -1');

checkRefusal(@() qcamSnapExample(), 'qcamSnapExample:arguments', 'qcamSnapExample: give the QCam camera object.', ...
             'qcamSnapExample, no camera');
checkRefusal(@() qcamSnapExample(andor), 'qcamSnapExample:camera', ...
             ['qcamSnapExample: the first argument must be a QCam camera object, such as a QCamCamera, whose ' ...
              'cameraHandle property is an int32 or uint32.'], 'qcamSnapExample, an Andor camera');
counters = camsim('qcamCounters', 200);
checkEqual([counters.queued, counters.grabbed], [0, 0], 'the refused QCam examples queued and grabbed nothing');

prefix = 'waitForCallbacks: ';
checkRefusal(@() waitForCallbacks(@() true), 'waitForCallbacks:arguments', ...
             [prefix 'give the condition, a function handle, and the timeout in seconds.'], 'waitForCallbacks, no timeout');
checkRefusal(@() waitForCallbacks(true, 1), 'waitForCallbacks:condition', ...
             [prefix 'the condition must be a function handle that returns true when the wait is over.'], ...
             'waitForCallbacks, a logical condition');
checkRefusal(@() waitForCallbacks(@() true, '1'), 'waitForCallbacks:timeout', ...
             [prefix 'the timeout must be a number of seconds greater than 0.'], 'waitForCallbacks, a text timeout');
checkRefusal(@() waitForCallbacks(@() true, 1, 5), 'waitForCallbacks:progress', ...
             [prefix 'the progress must be a function handle that returns a number.'], 'waitForCallbacks, a number progress');

% What the checks let through still works: whole numbers of any numeric
% class, an infinite timeout.
camsim('qcamSetFramePeriod', 0.002);
start(qcam);
evalc('frames = qcamStreamExample(qcam, int32(3), uint8(2), Inf);');
stop(qcam);
checkEqual(size(frames, 3), 3, 'qcamStreamExample takes integer-class counts and an infinite timeout');
checkEqual(waitForCallbacks(@() true, 0.1), true, 'waitForCallbacks answers at once when the condition holds');
