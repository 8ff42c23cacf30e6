% snapPicture as Octave code meets it: size and class of the picture, its
% pixels, the camera of the first call, and the status error.
camsim('qcamReset');
cam = SimulatedQCamCamera(200, 'QSIM0200', 64, 48, 8);
other = SimulatedQCamCamera(201, 'QSIM0201', 16, 8, 8);
% At 8 bits the simulator stamps the image number little-endian in bytes 0 to 3.
stamp = @(picture) double(typecast(picture(1:4), 'uint32'));

checkError(@() snapPicture(struct('cameraHandle', 200)), 'snapPicture', ...
  'snapPicture: the first argument must be a camera object whose cameraHandle property is a 32-bit integer.', ...
  'a first call without a camera object');
first = snapPicture(cam);
checkEqual(class(first), 'uint8', 'the picture is uint8');
checkEqual(size(first), [48 64], 'of height x width');
checkEqual(stamp(first), 1, 'holding the camera''s first image');
second = snapPicture(other);
checkEqual(size(second), [48 64], 'a later call with another camera still grabs the first camera');
checkEqual(stamp(second), 2, 'its next image');
checkEqual(stamp(first), 1, 'the picture handed out earlier keeps its image');
counters = camsim('qcamCounters', 201);
checkEqual(counters.produced, 0, 'the other camera made nothing');
snapPicture(cam);   % no output asked: the grab happens all the same
counters = camsim('qcamCounters', 200);
checkEqual(counters.grabbed, 3, 'three grabs reached the caller');

camsim('qcamInjectStatus', 'qcamGrabImage', 13, 'once');
checkError(@() snapPicture(cam), 'snapPicture', 'ERROR in snapPicture call. Status code 13 was returned', ...
  'a failed grab');
third = snapPicture(cam);
checkEqual(size(third), [48 64], 'the next grab works again');
checkEqual(stamp(third) > 3, true, 'with a newer image');
