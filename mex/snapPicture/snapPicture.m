%SNAPPICTURE  Grab one image from a QImaging camera and wait for it.
%   PICTURE = SNAPPICTURE(CAMERA) grabs an image from the QCam camera
%   CAMERA and returns it when the driver has it, as a HEIGHT-by-WIDTH
%   uint8 matrix of the size the driver gives for the camera's images.
%
%   Only the first call reads CAMERA: the library keeps that camera, its
%   image size and its grab buffer, and every later call grabs from the
%   same camera, whatever it is given (it may be given nothing). clear
%   snapPicture lets the next call take a camera again. Each call returns a
%   copy of the grab buffer.
%
%   Inputs
%     CAMERA  an object whose cameraHandle property is an int32 or uint32,
%             the driver's handle of the camera, such as a QCAMCAMERA.
%
%   The pixels arrive as the camera writes them, row by row, in the
%   matrix's column-major storage, a byte each: with [HEIGHT, WIDTH] =
%   size(PICTURE),
%       reshape(PICTURE(:), WIDTH, HEIGHT)'
%   is the picture as the camera saw it. Only 8-bit images can be grabbed;
%   frames of 12 or 16 bits come through SUBMITBUFFERS, whose help gives the
%   recipe for each bit depth.
%   With no output argument the grab happens all the same.
%
%   Errors (a failed grab reports the driver's status as a number, for
%   example 9 when no open camera has the handle: CAMERASTATUS names it and
%   says what it means, cameraStatus(9), or cameraStatus(err) on the error
%   caught)
%     ERROR in snapPicture call. Status code <status> was returned
%     snapPicture: the first argument must be a camera object whose cameraHandle property is a 32-bit integer.
%     snapPicture: the camera's images of <bytes> bytes do not fit its <height>-by-<width> uint8 picture; only 8-bit images can be grabbed.
%   A first call that fails before its grab changes nothing: the next call
%   reads its camera again. After a failed grab the next call grabs anew.
%
%   Example
%     % cam = QCamCamera(handle), an 8-bit camera
%     picture = snapPicture(cam);
%     [height, width] = size(picture);
%     imagesc(reshape(picture(:), width, height)'); axis image; colormap gray
%
%   See also SUBMITBUFFERS, QCAMCAMERA, CAMERASTATUS, qcamSnapExample.
