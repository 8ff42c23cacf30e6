% The pictures drawn from each camera's frames by the recipes the help texts
% give, against the scene the simulated camera shows: a still scene, so that
% every pixel but the noise is known (sceneMismatch says what it checks). A
% recipe that draws the wrong picture must be told apart, or the check
% proves nothing.
global CALLBACK_CALLS
width = 96;
height = 64;

% A frame of each QCam bit depth, as submitBuffers hands it to a callback.
camsim('qcamReset');
for bitDepth = [8 12 16]
  handle = 300 + bitDepth;
  camera = SimulatedQCamCamera(handle, sprintf('QSIM%04d', handle), width, height, bitDepth);
  camsim('qcamSetSceneMotion', handle, 0);
  camsim('qcamSetSceneSeed', handle, 7);
  CALLBACK_CALLS = {};
  evalc('submitBuffers(camera, @recordCallback, 1);');
  produce(camera, 1);
  camsim('waitForMessage', 5000);
  pumpEvents();
  checkEqual(numel(CALLBACK_CALLS), 1, sprintf('%d bits: the frame came back', bitDepth));
  s = CALLBACK_CALLS{1}.arguments{2};
  [frameHeight, frameWidth] = size(s.frameData);
  checkEqual([frameHeight, frameWidth], [height, width], sprintf('%d bits: a height-by-width frame', bitDepth));
  plain = reshape(s.frameData(:), frameWidth, frameHeight)';
  pixels = s.frameData(:);
  if bitDepth == 8
    bytes = typecast(s.frameData(:), 'uint8');
    pixels = bytes(1:frameWidth * frameHeight);
    picture = reshape(pixels, frameWidth, frameHeight)';
    checkEqual(class(picture), 'uint8', '8 bits: a uint8 picture');
    % The deeper cameras' recipe on an 8-bit frame: two half-width copies
    % over a black lower half.
    check(~isempty(sceneMismatch(plain, bitDepth, 1)), '8 bits: the 16-bit recipe draws no picture of the scene');
  else
    picture = plain;
    checkEqual(class(picture), 'uint16', sprintf('%d bits: a uint16 picture', bitDepth));
  end
  why = sceneMismatch(picture, bitDepth, 1);
  check(isempty(why), '%d bits: the recipe draws the scene: %s', bitDepth, why);
  check(~isempty(sceneMismatch(reshape(pixels, frameHeight, frameWidth), bitDepth, 1)), ...
        '%d bits: the picture the wrong way round is told apart', bitDepth);
end

% snapPicture's picture of an 8-bit camera.
handle = 308;
clear snapPicture
raw = snapPicture(SimulatedQCamCamera(handle));
[rawHeight, rawWidth] = size(raw);
picture = reshape(raw(:), rawWidth, rawHeight)';
why = sceneMismatch(picture, 8, 2);
check(isempty(why), 'snapPicture: the recipe draws the scene: %s', why);
clear snapPicture

% An Andor image, int16 from takeEarliest: the spots' counts are above
% 32767, and without the typecast they read as negative.
camsim('andorReset');
andor = SimulatedAndorCamera(110, width, height);
camsim('andorSetSceneMotion', 110, 0);
camsim('andorSetSceneSeed', 110, 7);
start(andor);
produce(andor, 1);
image = takeEarliest(andor, 16);
checkEqual(class(image), 'int16', 'Andor: takeEarliest gives int16');
check(any(image(:) < 0), 'Andor: the brightest counts read as negative int16');
picture = reshape(typecast(image(:), 'uint16'), andor.expectedN, andor.expectedM)';
why = sceneMismatch(picture, 16, 1);
check(isempty(why), 'Andor: the recipe draws the scene: %s', why);
check(~isempty(sceneMismatch(reshape(image(:), andor.expectedN, andor.expectedM)', 16, 1)), ...
      'Andor: without the typecast the picture is told apart');

% The examples draw the same pictures: the Andor one, and streams of each
% QCam bit depth (8 bits is the simulator's default camera).
stop(andor);
camsim('andorSetFreeRunning', true);
camsim('andorSetFramePeriod', 110, 0.005);
start(andor);
evalc('pictures = andorEventsExample(andor, 3);');
stop(andor);
camsim('andorSetFreeRunning', false);
for k = 1:3
  why = sceneMismatch(pictures(:, :, k), 16, k);
  check(isempty(why), 'andorEventsExample: picture %d is the scene: %s', k, why);
end
camsim('qcamSetFramePeriod', 0.002);
camsim('qcamSetFreeRunning', true);
for bitDepth = [8 12 16]
  camera = SimulatedQCamCamera(300 + bitDepth);
  counters = camsim('qcamCounters', 300 + bitDepth);
  first = counters.produced + 1;
  evalc('pictures = qcamStreamExample(camera, 4, 2);');
  if bitDepth == 8
    pixelClass = 'uint8';
  else
    pixelClass = 'uint16';
  end
  checkEqual(class(pictures), pixelClass, sprintf('qcamStreamExample, %d bits: %s pictures', bitDepth, pixelClass));
  for k = 1:4
    why = sceneMismatch(pictures(:, :, k), bitDepth, first + k - 1);
    check(isempty(why), 'qcamStreamExample, %d bits: picture %d is the scene: %s', bitDepth, k, why);
  end
end
camsim('qcamSetFreeRunning', false);
evalc('picture = qcamSnapExample(SimulatedQCamCamera(308));');
counters = camsim('qcamCounters', 308);
why = sceneMismatch(picture, 8, counters.produced);
check(isempty(why), 'qcamSnapExample: the picture is the scene: %s', why);
