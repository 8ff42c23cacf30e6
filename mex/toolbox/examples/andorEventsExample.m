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
%   (default 10; Inf waits for ever).
%
%   takeEarliest returns each image as int16, the driver's pixels bit for
%   bit, in the array's column-major storage row by row: the picture is
%       raw = takeEarliest(camera, 16);
%       picture = reshape(typecast(raw(:), 'uint16'), camera.expectedN, camera.expectedM)';
%   Without the typecast, counts above 32767 read as negative numbers: the
%   brightest pixels come out darkest.
%
%   Before calling it, make CAMERA and start an acquisition that runs until
%   it is aborted, with the Andor SDK:
%       cam = AndorCamera(cameraHandle, width, height);
%       pictures = andorEventsExample(cam, 20);
%       imagesc(pictures(:, :, end)); axis image; colormap gray
%
%   The callbacks run while the example waits in waitForCallbacks. MATLAB
%   runs them in its idle loop, in pause; in GNU Octave, where pause runs no
%   callback, waitForCallbacks calls the event pump, pumpEvents. The
%   example stops its callback with watchDriverSignal(CAMERA); the toolbox
%   README's "Callbacks in practice" says more.
%
%   When a read fails with a driver status ("Status code N"), CAMERASTATUS
%   names the status and says what it means.
%
%   Errors
%     andorEventsExample: give the Andor camera object and the number of images to read.
%     andorEventsExample: the first argument must be an Andor camera object, such as an AndorCamera, with cameraHandle, expectedM and expectedN properties.
%     andorEventsExample: the image count must be a whole number, at least 1.
%     andorEventsExample: the timeout must be a number of seconds greater than 0.
%     andorEventsExample: reading an image failed: <takeEarliest's error>
%     andorEventsExample: only <received> of <count> images came, then none for <timeout> s; is the camera acquiring?
%   and watchDriverSignal's own errors.
%
%   See also WATCHDRIVERSIGNAL, TAKEEARLIEST, ANDORCAMERA, WAITFORCALLBACKS, CAMERASTATUS.

if nargin < 2
  error('andorEventsExample:arguments', ...
        'andorEventsExample: give the Andor camera object and the number of images to read.');
end
if ~isAndorCamera(camera)
  error('andorEventsExample:camera', ...
        ['andorEventsExample: the first argument must be an Andor camera object, such as an AndorCamera, ' ...
         'with cameraHandle, expectedM and expectedN properties.']);
end
if ~isCount(imageCount)
  error('andorEventsExample:imageCount', 'andorEventsExample: the image count must be a whole number, at least 1.');
end
if nargin < 3
  timeoutSeconds = 10;
elseif ~isSeconds(timeoutSeconds)
  error('andorEventsExample:timeout', 'andorEventsExample: the timeout must be a number of seconds greater than 0.');
end
imageCount = double(imageCount);
timeoutSeconds = double(timeoutSeconds);
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

function ok = isAndorCamera(camera)
ok = isobject(camera) && isscalar(camera) && isprop(camera, 'cameraHandle') && isprop(camera, 'expectedM') && ...
     isprop(camera, 'expectedN');
end

function ok = isCount(value)
ok = isnumeric(value) && isreal(value) && isscalar(value) && ~issparse(value) && isfinite(value) && ...
     value >= 1 && double(value) == fix(double(value));
end

function ok = isSeconds(value)
ok = isnumeric(value) && isreal(value) && isscalar(value) && ~issparse(value) && value > 0;
end
