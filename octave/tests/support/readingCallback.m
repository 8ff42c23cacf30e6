function readingCallback(camera, ~)
  % A driver-event callback that reads its camera's new image with
  % takeEarliest and notes, in the global CAMERA_READS, the camera's handle
  % and the image number the simulator stamped in pixels 1 and 2.
  global CAMERA_READS
  image = typecast(reshape(takeEarliest(camera, 16), [], 1), 'uint16');
  CAMERA_READS(end + 1, :) = [double(camera.cameraHandle), double(image(1)) + 65536 * double(image(2))];
end
