function picture = qcamSnapExample(camera)
%QCAMSNAPEXAMPLE  Grab one picture from an 8-bit QImaging camera (snapPicture).
%   PICTURE = QCAMSNAPEXAMPLE(CAMERA) grabs one image from the QCam camera
%   CAMERA with snapPicture and returns it as the camera saw it, a
%   HEIGHT-by-WIDTH uint8 matrix. Without an output it shows the picture.
%
%   snapPicture keeps the camera of its first call, so the example clears
%   it first: the grab is from CAMERA.
%
%   snapPicture returns the bytes as the camera wrote them, row by row into
%   the matrix's column-major storage: the picture is
%       raw = snapPicture(camera);
%       [height, width] = size(raw);
%       picture = reshape(raw(:), width, height)';
%
%   Before calling it, open the camera with the QCam SDK:
%       cam = QCamCamera(qcamHandle);
%       qcamSnapExample(cam)
%
%   Errors
%     qcamSnapExample: give the QCam camera object.
%     qcamSnapExample: the first argument must be a QCam camera object, such as a QCamCamera, whose cameraHandle property is an int32 or uint32.
%   and snapPicture's own errors (a camera of more than 8 bits is refused
%   there).
%
%   See also SNAPPICTURE, QCAMCAMERA, CAMERASTATUS.

if nargin < 1
  error('qcamSnapExample:arguments', 'qcamSnapExample: give the QCam camera object.');
end
if ~isQCamCamera(camera)
  error('qcamSnapExample:camera', ...
        ['qcamSnapExample: the first argument must be a QCam camera object, such as a QCamCamera, ' ...
         'whose cameraHandle property is an int32 or uint32.']);
end
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

function ok = isQCamCamera(camera)
ok = isobject(camera) && isscalar(camera) && isprop(camera, 'cameraHandle');
if ok
  handle = camera.cameraHandle;
  ok = (isa(handle, 'int32') || isa(handle, 'uint32')) && isscalar(handle);
end
end
