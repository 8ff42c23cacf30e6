function cameraDemo(outputFolder)
  % cameraDemo(outputFolder)
  %
  % The four MEX libraries at work in Octave on simulated cameras:
  %  1. a driver-event callback (watchDriverSignal) that reads each new
  %     Andor image with takeEarliest;
  %  2. a queue of QCam buffers (submitBuffers) handed one by one to a
  %     frame callback;
  %  3. one synchronous QCam grab (snapPicture).
  % Saves a PNG picture of what each path delivered in outputFolder and
  % prints how many frames were received and lost.
  if nargin < 1, outputFolder = pwd(); end
  if ~exist(outputFolder, 'dir'), mkdir(outputFolder); end
  global CAMERA_DEMO
  CAMERA_DEMO = struct('andorStamps', [], 'andorLast', [], 'qcamStamps', [], 'qcamLast', []);

  camsim('andorReset');
  camsim('qcamReset');
  andor = SimulatedAndorCamera(100, 320, 240);
  camsim('andorSetFramePeriod', 100, 0.02);     % 50 images a second
  camsim('andorSetFreeRunning', true);
  queued = SimulatedQCamCamera(201, 'QSIM0201', 320, 240, 12);
  snapped = SimulatedQCamCamera(200, 'QSIM0200', 320, 240, 8);
  camsim('qcamSetFramePeriod', 0.02);

  % 1. Driver events: each signal reads every image that arrived since.
  watchDriverSignal(andor, @demoAndorEvent);
  start(andor);
  if ~waitUntil(@() received('andorStamps') >= 50, 20)
    error('cameraDemo: the Andor camera''s images did not arrive.');
  end
  stop(andor);
  watchDriverSignal(andor);
  state = camsim('andorCamera', 100);
  stamps = CAMERA_DEMO.andorStamps;
  gaps = sum(diff(stamps) - 1);
  printf('Andor driver events: %d images received with takeEarliest, %d made, %d lost (%d missing from the sequence)\n', ...
         numel(stamps), state.produced, state.lost, gaps);
  andorFile = fullfile(outputFolder, 'andor-takeEarliest.png');
  writePicture(andorFile, rowMajor(CAMERA_DEMO.andorLast, andor.expectedN, andor.expectedM));

  % 2. QCam buffers: 30 frames queued, each handed to the callback.
  frames = 30;
  evalc('submitBuffers(queued, @demoQCamFrame, frames)');   % its progress lines are long
  start(queued);
  % Each dispatch prints "Reached Matlab Callback Wrapper": kept out of the summary.
  evalc('arrived = waitUntil(@() received(''qcamStamps'') >= frames, 20);');
  if ~arrived
    error('cameraDemo: the QCam frames did not come back.');
  end
  stop(queued);
  counters = camsim('qcamCounters', 201);
  printf('QCam buffers: %d of %d queued frames received by the callback, %d images lost, %d frames failed\n', ...
         numel(CAMERA_DEMO.qcamStamps), frames, counters.lost, counters.failed);
  queueFile = fullfile(outputFolder, 'qcam-submitBuffers.png');
  writePicture(queueFile, rowMajor(CAMERA_DEMO.qcamLast, 320, 240));

  % 3. One synchronous grab.
  picture = snapPicture(snapped);
  printf('QCam snapshot: one %d x %d uint8 picture, image number %d\n', rows(picture), columns(picture), ...
         double(typecast(picture(1:4), 'uint32')));
  snapFile = fullfile(outputFolder, 'qcam-snapPicture.png');
  writePicture(snapFile, rowMajor(picture, 320, 240));

  printf('Pictures: %s, %s, %s\n', andorFile, queueFile, snapFile);
end

function n = received(field)
  % Read afresh on every call: an anonymous function would hold a copy.
  global CAMERA_DEMO
  n = numel(CAMERA_DEMO.(field));
end

function image = rowMajor(data, width, height)
  % The drivers write pixels row by row into the matrix's column-major
  % storage: put each row back where a picture has it.
  image = reshape(data(:), width, height)';
end

function writePicture(file, image)
  % Stretches the pixel values over 8 bits, leaving out the first row,
  % where the simulators stamp the image number.
  values = double(image);
  if isa(image, 'int16'), values = double(typecast(image(:), 'uint16')); values = reshape(values, size(image)); end
  scene = values(2:end, :);
  low = min(scene(:));
  high = max(scene(:));
  imwrite(uint8(255 * (values - low) / max(high - low, 1)), file);
end
