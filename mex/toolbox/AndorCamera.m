classdef AndorCamera < handle
  %ANDORCAMERA  An Andor camera as watchDriverSignal and takeEarliest take it.
  %   CAM = ANDORCAMERA(CAMERAHANDLE, WIDTH, HEIGHT) describes the Andor
  %   camera whose driver handle is CAMERAHANDLE (the handle the Andor
  %   driver gives for the camera) and whose images are WIDTH pixels wide
  %   and HEIGHT pixels high (the image area set on the camera, after
  %   binning). It does not talk to the driver: set the camera up and start
  %   its acquisition with the Andor SDK as usual.
  %
  %   Properties (read-only)
  %     cameraHandle  the driver handle, a double
  %     expectedM     rows of the array takeEarliest makes: HEIGHT
  %     expectedN     columns of that array: WIDTH
  %   Make a new object when the image area changes.
  %
  %   The driver writes an image row by row into the array's column-major
  %   storage, so the picture as the camera saw it is
  %   reshape(image(:), cam.expectedN, cam.expectedM)'.
  %
  %   Example
  %     cam = AndorCamera(cameraHandle, 512, 512);
  %     watchDriverSignal(cam, @(camera, ~) disp(size(takeEarliest(camera, 16))));
  %
  %   See also QCAMCAMERA, WATCHDRIVERSIGNAL, TAKEEARLIEST.

  properties (SetAccess = private)
    cameraHandle = 0;
    expectedM = 0;
    expectedN = 0;
  end

  methods
    function obj = AndorCamera(cameraHandle, width, height)
      if nargin ~= 3
        error('AndorCamera:arguments', ...
              'AndorCamera: give the camera''s driver handle, and its image width and height in pixels.');
      end
      if ~isWholeScalar(cameraHandle) || cameraHandle < -2147483648 || cameraHandle > 2147483647
        error('AndorCamera:cameraHandle', ...
              'AndorCamera: the camera handle must be a whole number from -2147483648 to 2147483647.');
      end
      if ~isWholeScalar(width) || ~isWholeScalar(height) || width < 1 || height < 1
        error('AndorCamera:size', 'AndorCamera: the width and height must be whole numbers of pixels, at least 1.');
      end
      % takeEarliest asks the driver for rows times columns pixels in 32 bits.
      if double(width) * double(height) > 2147483647
        error('AndorCamera:size', 'AndorCamera: an image of %d by %d pixels is too large to read.', ...
              double(width), double(height));
      end
      obj.cameraHandle = double(cameraHandle);
      obj.expectedM = double(height);
      obj.expectedN = double(width);
    end
  end
end

function ok = isWholeScalar(value)
  ok = isnumeric(value) && isreal(value) && isscalar(value) && ~issparse(value) && ...
       isfinite(value) && double(value) == fix(double(value));
end
