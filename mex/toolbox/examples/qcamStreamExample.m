function pictures = qcamStreamExample(camera, frameCount, framesOut, timeoutSeconds)
%QCAMSTREAMEXAMPLE  Stream frames from a QImaging camera (submitBuffers).
%   PICTURES = QCAMSTREAMEXAMPLE(CAMERA, FRAMECOUNT) queues 4 frames on the
%   QCam camera CAMERA with submitBuffers. The callback keeps each filled
%   frame and queues the next one, so that 4 frames stay out until
%   FRAMECOUNT have been queued; it returns once every frame is back.
%   PICTURES is HEIGHT-by-WIDTH-by-FRAMECOUNT: each image as the camera saw
%   it, in the order the frames came back, uint8 for a camera of 8 bits a
%   pixel and uint16 for one of 12 or 16 bits. A frame the camera did not
%   fill (its errorCode is not 0) is no picture: its page stays zero, a
%   warning names the driver's error, and the stream goes on.
%
%   PICTURES = QCAMSTREAMEXAMPLE(CAMERA, FRAMECOUNT, FRAMESOUT,
%   TIMEOUTSECONDS) keeps FRAMESOUT frames out (default 4) and gives up
%   with an error when no frame has come for TIMEOUTSECONDS (default 10;
%   Inf waits for ever); frames still out then come back to the callback
%   later.
%
%   The image size and bit depth are the ones submitBuffers prints as it
%   queues the first frames ("Frame Size -- Height: ... BitDepth: ..."),
%   which it reads from the driver. Each frame is a HEIGHT-by-WIDTH uint16
%   matrix that the camera fills row by row in its column-major storage, so
%   the picture is, for 12 or 16 bits,
%       picture = reshape(s.frameData(:), width, height)';
%   and for 8 bits, where the camera fills only the first WIDTH*HEIGHT
%   bytes, a byte per pixel,
%       bytes = typecast(s.frameData(:), 'uint8');
%       picture = reshape(bytes(1:width * height), width, height)';
%
%   Before calling it, open the camera and start its stream with the QCam
%   SDK:
%       cam = QCamCamera(qcamHandle);
%       pictures = qcamStreamExample(cam, 100);
%       imagesc(pictures(:, :, end)); axis image; colormap gray
%   submitBuffers prints a few lines at each call and each frame, and this
%   example a summary at the end. To keep a long stream quiet, call the
%   example inside evalc, which returns what was printed:
%       log = evalc('pictures = qcamStreamExample(cam, 1000);');
%   That works because the frames' callbacks run inside the example, while
%   it waits; frames still out when it gives up come back later and print.
%
%   The callbacks run while the example waits in waitForCallbacks. MATLAB
%   runs them in its idle loop, in pause; in GNU Octave, where pause runs no
%   callback, waitForCallbacks calls the event pump, pumpEvents. The
%   callback stops the stream by queuing no more frames: clear
%   submitBuffers does not stop it while frames are out. The toolbox
%   README's "Callbacks in practice" says more.
%
%   Errors
%     qcamStreamExample: give the QCam camera object and the number of frames to stream.
%     qcamStreamExample: the first argument must be a QCam camera object, such as a QCamCamera, whose cameraHandle property is an int32 or uint32.
%     qcamStreamExample: the frame count must be a whole number, at least 1.
%     qcamStreamExample: the number of frames out must be a whole number, at least 1.
%     qcamStreamExample: the timeout must be a number of seconds greater than 0.
%     qcamStreamExample: only <received> of <count> frames came back, then none for <timeout> s; is the camera streaming?
%   and submitBuffers' own errors. A frame not filled warns, with the
%   identifier qcamStreamExample:frameFailed.
%
%   See also SUBMITBUFFERS, QCAMCAMERA, WAITFORCALLBACKS, CAMERASTATUS.

if nargin < 2
  error('qcamStreamExample:arguments', ...
        'qcamStreamExample: give the QCam camera object and the number of frames to stream.');
end
if ~isQCamCamera(camera)
  error('qcamStreamExample:camera', ...
        ['qcamStreamExample: the first argument must be a QCam camera object, such as a QCamCamera, ' ...
         'whose cameraHandle property is an int32 or uint32.']);
end
if ~isCount(frameCount)
  error('qcamStreamExample:frameCount', 'qcamStreamExample: the frame count must be a whole number, at least 1.');
end
if nargin < 3
  framesOut = 4;
elseif ~isCount(framesOut)
  error('qcamStreamExample:framesOut', ...
        'qcamStreamExample: the number of frames out must be a whole number, at least 1.');
end
if nargin < 4
  timeoutSeconds = 10;
elseif ~isSeconds(timeoutSeconds)
  error('qcamStreamExample:timeout', 'qcamStreamExample: the timeout must be a number of seconds greater than 0.');
end
frameCount = double(frameCount);
framesOut = double(framesOut);
timeoutSeconds = double(timeoutSeconds);

received = 0;
queued = min(framesOut, frameCount);

started = tic;
% The library says the frames' size and bit depth only in what it prints:
% the example reads them there and prints the lines all the same.
callback = @onFrame;
printed = evalc('submitBuffers(camera, callback, queued);');
fprintf('%s', printed);
frameSize = regexp(printed, 'Height: (\d+)\s+Width: (\d+)\s+BitDepth: (\d+)', 'tokens', 'once');
height = str2double(frameSize{1});
width = str2double(frameSize{2});
if str2double(frameSize{3}) <= 8
  pixelClass = 'uint8';
else
  pixelClass = 'uint16';
end
pictures = zeros(height, width, frameCount, pixelClass);
waitForCallbacks(@allBack, timeoutSeconds, @count);
if received < frameCount
  error('qcamStreamExample: only %d of %d frames came back, then none for %g s; is the camera streaming?', ...
        received, frameCount, timeoutSeconds);
end
fprintf('qcamStreamExample: %d frames received, %d out at a time, in %.2f s\n', received, ...
        min(framesOut, frameCount), toc(started));

  function n = count()
    n = received;
  end

  function done = allBack()
    % A function, not an anonymous one: that would hold a copy of the count.
    done = received >= frameCount;
  end

  function onFrame(source, s)
    received = received + 1;
    if s.errorCode == 0
      pictures(:, :, received) = pictureOf(s.frameData, height, width, pixelClass);
    else
      status = cameraStatus(s.errorCode, 'qcam');
      warning('qcamStreamExample:frameFailed', 'qcamStreamExample: frame %d was not filled (%d): %s', ...
              received, s.errorCode, status.meaning);
    end
    if queued < frameCount
      queued = queued + 1;
      submitBuffers(source, @onFrame, 1);
    end
  end
end

function picture = pictureOf(frame, height, width, pixelClass)
% The camera writes each row into the storage of one matrix column; at 8
% bits it fills only the first width * height bytes of the uint16 matrix.
if strcmp(pixelClass, 'uint8')
  bytes = typecast(frame(:), 'uint8');
  picture = reshape(bytes(1:width * height), width, height)';
else
  picture = reshape(frame(:), width, height)';
end
end

function ok = isQCamCamera(camera)
ok = isobject(camera) && isscalar(camera) && isprop(camera, 'cameraHandle');
if ok
  handle = camera.cameraHandle;
  ok = (isa(handle, 'int32') || isa(handle, 'uint32')) && isscalar(handle);
end
end

function ok = isCount(value)
ok = isnumeric(value) && isreal(value) && isscalar(value) && ~issparse(value) && isfinite(value) && ...
     value >= 1 && double(value) == fix(double(value));
end

function ok = isSeconds(value)
ok = isnumeric(value) && isreal(value) && isscalar(value) && ~issparse(value) && value > 0;
end
