function pictures = andorEventsExample(camera, imageCount, timeoutSeconds)
%ANDOREVENTSEXAMPLE  Read Andor images as the driver signals them (watchDriverSignal, takeEarliest).
%   PICTURES = ANDOREVENTSEXAMPLE(CAMERA, IMAGECOUNT) registers a callback
%   for the Andor camera CAMERA with watchDriverSignal. At each driver
%   event the callback reads every new image with takeEarliest, until
%   IMAGECOUNT images have been read; the callback is then cleared.
%   PICTURES is CAMERA.expectedM-by-CAMERA.expectedN-by-IMAGECOUNT uint16:
%   each image as the camera saw it, in the order the camera took them.
%
%   PICTURES = ANDOREVENTSEXAMPLE(CAMERA, IMAGECOUNT, TIMEOUTSECONDS)
%   gives up with an error when no image has come for TIMEOUTSECONDS
%   (default 10).
%
%   Before calling it, make CAMERA and start an acquisition that runs until
%   it is aborted, with the Andor SDK:
%       cam = AndorCamera(cameraHandle, width, height);
%       pictures = andorEventsExample(cam, 20);
%       imagesc(pictures(:, :, end)); axis image; colormap gray
%
%   The callbacks run while the example waits in pause. MATLAB runs them
%   in its idle loop; in GNU Octave (the project's own tests) the camera
%   bridge's event pump, pumpEvents, runs them.
%
%   When a read fails with a driver status ("Status code N"), CAMERASTATUS
%   names the status and says what it means.
%
%   See also WATCHDRIVERSIGNAL, TAKEEARLIEST, ANDORCAMERA, CAMERASTATUS.

if nargin < 3
  timeoutSeconds = 10;
end
pictures = zeros(camera.expectedM, camera.expectedN, imageCount, 'uint16');
received = 0;
eventCount = 0;
failure = [];

started = tic;
watchDriverSignal(camera, @onDriverEvent);
% Not an onCleanup object: the callback's handle, which the library holds,
% keeps this workspace, and so the object, alive. After Ctrl+C,
% watchDriverSignal(camera) clears the callback.
waitForCallbacks(@finished, timeoutSeconds, @count);
watchDriverSignal(camera);
if ~isempty(failure)
  error('andorEventsExample: reading an image failed: %s', failure.message);
end
if received < imageCount
  error('andorEventsExample: only %d of %d images came, then none for %g s; is the camera acquiring?', ...
        received, imageCount, timeoutSeconds);
end
fprintf('andorEventsExample: %d images read at %d driver events in %.2f s\n', received, eventCount, toc(started));

  function n = count()
    n = received;
  end

  function done = finished()
    % A function, not an anonymous one: that would hold copies of the counts.
    done = received >= imageCount || ~isempty(failure);
  end

  function onDriverEvent(source, ~)
    % One event may stand for several images: read until none is left.
    eventCount = eventCount + 1;
    while received < imageCount && isempty(failure)
      try
        raw = takeEarliest(source, 16);
      catch err
        % Status 20024: no unread image left, the usual end of an event.
        if isempty(strfind(err.message, 'Status code 20024'))
          failure = err;
        end
        return;
      end
      received = received + 1;
      % The driver writes each sensor row into the storage of one column
      % of the matrix, with the counts' bits in int16.
      counts = reshape(typecast(raw(:), 'uint16'), size(raw, 2), size(raw, 1));
      pictures(:, :, received) = counts';
    end
  end
end
