function picture = qcamSnapExample(camera)
%QCAMSNAPEXAMPLE  Grab one picture from an 8-bit QImaging camera (snapPicture).
%   PICTURE = QCAMSNAPEXAMPLE(CAMERA) grabs one image from the QCam camera
%   CAMERA with snapPicture and returns it as the camera saw it, a
%   HEIGHT-by-WIDTH uint8 matrix. Without an output it shows the picture.
%
%   snapPicture keeps the camera of its first call, so the example clears
%   it first: the grab is from CAMERA.
%
%   Before calling it, open the camera with the QCam SDK:
%       cam = QCamCamera(cameraHandle);
%       qcamSnapExample(cam)
%
%   See also SNAPPICTURE, QCAMCAMERA.

clear snapPicture
raw = snapPicture(camera);
% The camera writes each row into the storage of one matrix column.
[height, width] = size(raw);
picture = reshape(raw(:), width, height)';
fprintf('qcamSnapExample: one %d-by-%d picture, values %d to %d\n', height, width, ...
        min(picture(:)), max(picture(:)));
if nargout == 0
  imagesc(picture);
  axis image;
  colormap(gray(256));
  title('snapPicture');
  clear picture
end
end
