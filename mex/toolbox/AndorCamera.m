classdef AndorCamera < handle
  %ANDORCAMERA  An Andor camera as watchDriverSignal and takeEarliest take it.
  %   CAM = ANDORCAMERA(CAMERAHANDLE, WIDTH, HEIGHT) describes the Andor
  %   camera whose driver handle is CAMERAHANDLE and whose images are WIDTH
  %   pixels wide and HEIGHT pixels high (the image area set on the camera,
  %   after binning). It does not talk to the driver: set the camera up and
  %   start its acquisition with the Andor SDK as usual.
  %
  %   The handle
  %     CAMERAHANDLE is the Andor driver's handle of the camera: the number
  %     the driver's getCameraHandle gives for the camera's index (0 for the
  %     first camera the driver finds), which your own code gets from the
  %     Andor SDK, and the one the corvid adaptor uses for device N. It
  %     must be a whole number that fits 32 bits. watchDriverSignal selects
  %     the camera by it (the driver's current camera is the whole
  %     process's); takeEarliest reads only WIDTH and HEIGHT and reads the
  %     current camera. A handle the driver does not know is not refused
  %     here: the callback of that camera then never runs.
  %     The simulated Andor driver (useSimulatedCameras) has cameras 100,
  %     101, ... at first (ANDOR_SIM_CAMERAS, ANDOR_SIM_SIZE), and
  %     camsim('andorAddCamera', HANDLE, WIDTH, HEIGHT) adds one: that
  %     number is its handle, AndorCamera(100, 512, 512) the first one.
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
