%TAKEEARLIEST  Copy the oldest unread image of the current Andor camera.
%   IMAGE = TAKEEARLIEST(CAMERA, BITDEPTH) takes the oldest image the Andor
%   driver holds unread for its current camera and returns it as a new
%   CAMERA.expectedM-by-CAMERA.expectedN array: int16 for BITDEPTH 16,
%   int32 for BITDEPTH 32. The image counts as read: the next call returns
%   the next one.
%
%   IMAGE = TAKEEARLIEST(CAMERA, BITDEPTH, OUTPUTSIZE) makes the array
%   OUTPUTSIZE(1)-by-OUTPUTSIZE(2) (a 2-element double array) or
%   OUTPUTSIZE-by-1 (a scalar) instead; CAMERA's size properties are not
%   read then. An empty OUTPUTSIZE is as none.
%
%   TAKEEARLIEST(CAMERA, BITDEPTH, 'NAME') copies the image, in place, into
%   the existing global variable NAME, which keeps its class and size: the
%   driver writes the pixels, BITDEPTH bits each, from the start of its
%   storage. Give it as many elements as the image has pixels, of class
%   int16 or uint16 for BITDEPTH 16, int32 or uint32 for 32.
%
%   The driver reads the current camera, the one selected last by anyone
%   in the process, not necessarily CAMERA: CAMERA only gives the size of
%   the new array. To read a given camera, read it in that camera's own
%   WATCHDRIVERSIGNAL callback: each callback runs with its camera selected.
%       watchDriverSignal(cam, @(camera, ~) disp(max(max(takeEarliest(camera, 16)))));
%
%   Inputs
%     CAMERA      an object with numeric expectedM and expectedN properties
%                 (rows and columns of the new array), such as an
%                 ANDORCAMERA; not read when OUTPUTSIZE or NAME is given.
%     BITDEPTH    16 or 32 (a fraction is truncated toward zero).
%     OUTPUTSIZE  [rows columns] as a double array, or a scalar row count.
%     NAME        the name of a global variable (at most 63 characters).
%
%   The pixels arrive as the driver writes them, row by row of the sensor,
%   in the array's column-major storage: for an image WIDTH pixels wide and
%   HEIGHT high read into a HEIGHT-by-WIDTH array,
%   reshape(IMAGE(:), WIDTH, HEIGHT)' is the picture as the camera saw it.
%   The driver is asked for as many pixels as the array has elements (rows
%   times columns, in 32 bits) and refuses a count other than the image's
%   with a status error.
%   The bits are the camera's unsigned counts, so a bright pixel (above
%   32767) reads as a negative int16: typecast(IMAGE, 'uint16') gives the
%   counts back for BITDEPTH 16. The picture of an ANDORCAMERA CAM is
%       picture = reshape(typecast(IMAGE(:), 'uint16'), CAM.expectedN, CAM.expectedM)';
%
%   With no output argument the image is still taken from the driver, and
%   dropped. A global variable NAME that does not exist is not an error:
%       Failed to find variable 'NAME' in workspace. Aborting read.
%   is printed and nothing is read.
%
%   Errors (a failed driver call reports the driver's status as a number,
%   for example 20024 when the camera holds no unread image: CAMERASTATUS
%   names it and says what it means, cameraStatus(20024), or
%   cameraStatus(err) on the error caught)
%     ERROR in takeEarliest call. Status code <status> was returned
%     takeEarliest: at least two inputs are needed, the camera object and the bit depth.
%     takeEarliest: the bit depth must be 16 or 32.
%     takeEarliest: the third input must be an output size or the name of a global variable.
%     takeEarliest: without an output size the camera object must have numeric expectedM and expectedN properties.
%     takeEarliest: the output size must be a full array; it is sparse.
%      At this time, if an output size array is specified, it must be given as class 'double'.
%     Either a scalar valure or a 2 element array must be supplied as the outputSize
%     takeEarliest: the global variable 'NAME' must be a numeric array whose elements are at least BITDEPTH bits wide.
%     takeEarliest: the global variable 'NAME' must be a full, real array; it is sparse.
%     takeEarliest: the global variable 'NAME' must be a full, real array; it is complex.
%
%   Example
%     % cam = AndorCamera(handle, 512, 512), acquiring
%     image = takeEarliest(cam, 16);              % 512-by-512 int16
%     picture = reshape(typecast(image(:), 'uint16'), 512, 512)';
%     imagesc(picture); axis image; colormap gray
%     global lastImage
%     lastImage = zeros(512, 512, 'int16');
%     takeEarliest(cam, 16, 'lastImage');         % into the global variable
%
%   See also WATCHDRIVERSIGNAL, ANDORCAMERA, CAMERASTATUS, andorEventsExample.
