function result = simulatedCamerasExample()
%SIMULATEDCAMERASEXAMPLE  A session on simulated Andor and QImaging cameras, from useSimulatedCameras on.
%   RESULT = SIMULATEDCAMERASEXAMPLE() runs, on the toolbox's simulated
%   cameras, what a session on real ones does, and prints each step:
%     1. useSimulatedCameras, in a MATLAB that has not used a camera yet;
%     2. an Andor camera set up with camsim('andorAddCamera', ...), making
%        images by itself: its driver events, through watchDriverSignal,
%        read 10 images with takeEarliest (andorEventsExample);
%     3. a QImaging camera set up with camsim('qcamAddCamera', ...): a
%        stream of 20 frames through submitBuffers (qcamStreamExample);
%     4. a driver failure made on purpose, camsim('qcamInjectStatus', ...):
%        the error snapPicture raises, what cameraStatus says of it, and
%        the next grab, which works;
%     5. the Image Acquisition Toolbox, where it is installed: corvid
%        registered, videoinput('corvid', 0), five frames with getdata.
%   RESULT is a struct of what came: andorImages and qcamImages (the
%   numbers the simulators stamp in each image, in the order they came),
%   failure (the error message of step 4), snapImage (the number of the
%   image grabbed after it) and videoFrames (the size of getdata's frames,
%   [] without the Image Acquisition Toolbox).
%
%   Run it at the start of a session: useSimulatedCameras refuses once a
%   real camera driver is loaded. Restart MATLAB to use real cameras again.
%
%   See also USESIMULATEDCAMERAS, CAMSIM, ANDOREVENTSEXAMPLE,
%   QCAMSTREAMEXAMPLE, CAMERASTATUS.

useSimulatedCameras
fprintf('1. useSimulatedCameras: camsim is %s\n', which('camsim'));
if exist('pumpEvents', 'file') == 3
  % GNU Octave: the project's event pump gives Octave's thread the message
  % queue that MATLAB's has from the start.
  pumpEvents('install');
end
% The number each simulator stamps in an image's first pixels.
stamp16 = @(picture) double(picture(1)) + 65536 * double(picture(2));
stamps16 = @(pictures) arrayfun(@(k) stamp16(pictures(1, 1:2, k)), 1:size(pictures, 3));

% 2. Andor: camera 100, 64 pixels wide and 48 high, an image every 20 ms.
camsim('andorReset');
camsim('andorAddCamera', 100, 64, 48);
camsim('andorSetFramePeriod', 100, 0.02);
camsim('andorSetFreeRunning', true);
camsim('andorStart', 100);
andor = AndorCamera(100, 64, 48);
pictures = andorEventsExample(andor, 10);
camsim('andorStop', 100);
result.andorImages = stamps16(pictures);
state = camsim('andorCamera', 100);
fprintf('2. Andor camera 100: images %s read, %d lost, callback cleared: %d\n', ...
        mat2str(result.andorImages), state.lost, ~state.hasEvent);

% 3. QImaging: camera 200, 64 by 48 at 16 bits, an image every 5 ms while
% a frame is queued. The stream prints a line per frame: evalc keeps them.
camsim('qcamReset');
camsim('qcamAddCamera', 200, 'QSIM0200', 64, 48, 16);
camsim('qcamSetFramePeriod', 200, 0.005);
camsim('qcamSetFreeRunning', true);
qcam = QCamCamera(200);
printed = evalc('frames = qcamStreamExample(qcam, 20, 3);');
camsim('qcamSetFreeRunning', false);
result.qcamImages = stamps16(frames);
counters = camsim('qcamCounters', 200);
fprintf('3. QCam camera 200: frames %s, %d queued, %d still out; submitBuffers printed %d lines, kept by evalc\n', ...
        mat2str(result.qcamImages), counters.queued, counters.waiting, numel(strfind(printed, sprintf('\n'))));

% 4. A failure on demand: the next grab of camera 201 (8 bits) fails with
% status 9, the driver's "no open camera has this handle".
camsim('qcamAddCamera', 201, 'QSIM0201', 32, 24, 8);
snapCamera = QCamCamera(201);
camsim('qcamInjectStatus', 'qcamGrabImage', 9, 'once');
failed = false;
try
  snapPicture(snapCamera);
catch err
  failed = true;
  result.failure = err.message;
end
if ~failed
  error('simulatedCamerasExample: the grab did not fail as camsim asked');
end
fprintf('4. snapPicture failed: %s\n   cameraStatus(err) says: ', result.failure);
cameraStatus(err);
picture = snapPicture(snapCamera);
result.snapImage = double(typecast(picture(1:4), 'uint32'));
fprintf('   the next grab works: a %d-by-%d picture, image %d\n', size(picture, 1), size(picture, 2), ...
        result.snapImage);

% 5. The Image Acquisition Toolbox, where it is: corvid lists camera 100
% as device 0.
result.videoFrames = [];
if exist('videoinput', 'file')
  registerCorvid
  camsim('andorSetFreeRunning', true);
  vid = videoinput('corvid', 0);
  vid.FramesPerTrigger = 5;
  start(vid);
  wait(vid, 10);
  data = getdata(vid, 5);
  delete(vid);
  result.videoFrames = size(data);
  fprintf('5. videoinput(''corvid'', 0): getdata gave %s\n', mat2str(result.videoFrames));
else
  fprintf('5. no videoinput here (the Image Acquisition Toolbox is not installed): corvid skipped\n');
end
end
