function pictures = qcamStreamExample(camera, frameCount, framesOut, timeoutSeconds)
%QCAMSTREAMEXAMPLE  Stream frames from a QImaging camera (submitBuffers).
%   PICTURES = QCAMSTREAMEXAMPLE(CAMERA, FRAMECOUNT) queues 4 frames on the
%   QCam camera CAMERA with submitBuffers. The callback keeps each filled
%   frame and queues the next one, so that 4 frames stay out until
%   FRAMECOUNT have been queued; it returns once every frame is back.
%   PICTURES is HEIGHT-by-WIDTH-by-FRAMECOUNT uint16: each image as the
%   camera saw it, in the order the frames came back. A frame the camera did
%   not fill (its errorCode is not 0) is no picture: its page stays zero,
%   a warning names the driver's error, and the stream goes on.
%
%   PICTURES = QCAMSTREAMEXAMPLE(CAMERA, FRAMECOUNT, FRAMESOUT,
%   TIMEOUTSECONDS) keeps FRAMESOUT frames out (default 4) and gives up
%   with an error when no frame has come for TIMEOUTSECONDS (default 10); frames still out then
%   come back to the callback later.
%
%   For cameras of 12 or 16 bits a pixel. Before calling it, open the
%   camera and start its stream with the QCam SDK:
%       cam = QCamCamera(cameraHandle);
%       pictures = qcamStreamExample(cam, 100);
%   submitBuffers prints a few lines at each call and each frame, and this
%   example a summary at the end. To keep a long stream quiet, call the
%   example inside evalc, which returns what was printed:
%       log = evalc('pictures = qcamStreamExample(cam, 1000);');
%   That works because the frames' callbacks run inside the example, while
%   it waits; frames still out when it gives up come back later and print.
%
%   The callbacks run while the example waits in pause. MATLAB runs them
%   in its idle loop; in GNU Octave (the project's own tests) the camera
%   bridge's event pump, pumpEvents, runs them.
%
%   See also SUBMITBUFFERS, QCAMCAMERA.

if nargin < 3
  framesOut = 4;
end
if nargin < 4
  timeoutSeconds = 10;
end
pictures = zeros(0, 0, frameCount, 'uint16');
received = 0;
queued = min(framesOut, frameCount);

started = tic;
submitBuffers(camera, @onFrame, queued);
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
    % The camera writes each row into the storage of one matrix column.
    frame = s.frameData;
    [height, width] = size(frame);
    if received == 1
      pictures = zeros(height, width, frameCount, 'uint16');
    end
    if s.errorCode == 0
      pictures(:, :, received) = reshape(frame(:), width, height)';
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
