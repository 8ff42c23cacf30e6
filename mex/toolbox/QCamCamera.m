classdef QCamCamera < handle
  %QCAMCAMERA  A QImaging camera as submitBuffers and snapPicture take it.
  %   CAM = QCAMCAMERA(CAMERAHANDLE) describes the QCam camera whose driver
  %   handle is CAMERAHANDLE. It does not talk to the driver: open and set
  %   up the camera, and start its stream, with the QCam SDK as usual.
  %   submitBuffers and snapPicture take the image size and bit depth from
  %   the driver.
  %
  %   The handle
  %     CAMERAHANDLE is the QCam driver's handle of an opened camera: the
  %     handle the QCam SDK gives your own code when it opens the camera.
  %     The camera must stay open while the toolbox uses it: submitBuffers
  %     and snapPicture pass the handle to the driver with every call, and
  %     the driver answers a handle of no open camera with status 9
  %     (snapPicture's error; submitBuffers then gets 0-by-0 frames and no
  %     callback runs). The handle's 32 bits are kept as given.
  %     The simulated QCam driver (useSimulatedCameras) has cameras 200,
  %     201, ... open at first (QCAM_SIM_CAMERAS, QCAM_SIM_SIZE,
  %     QCAM_SIM_BIT_DEPTH), and camsim('qcamAddCamera', HANDLE, SERIAL,
  %     WIDTH, HEIGHT, BITDEPTH) adds one, open: that number is its handle,
  %     QCamCamera(200) the first one.
  %
  %   Properties (read-only)
  %     cameraHandle  the driver handle, an int32. A uint32 handle keeps its
  %                   32 bits (it is typecast, not clamped).
  %
  %   Example
  %     cam = QCamCamera(qcamHandle);    % qcamHandle: from the QCam SDK
  %     picture = snapPicture(cam);
  %
  %   A quiet stream
  %     submitBuffers prints lines at each call and before each frame's
  %     callback. Run a stream and the wait for its frames inside evalc to
  %     keep them out of the Command Window; evalc returns them:
  %       log = evalc('pictures = qcamStreamExample(cam, 1000);');
  %     Callbacks print when they run: evalc around submitBuffers alone
  %     keeps only the call's lines, not those of frames that come back
  %     after it has returned.
  %
  %   See also ANDORCAMERA, SUBMITBUFFERS, SNAPPICTURE, CAMERASTATUS.

  properties (SetAccess = private)
    cameraHandle = int32(0);
  end

  methods
    function obj = QCamCamera(cameraHandle)
      if nargin ~= 1
        error('QCamCamera:arguments', 'QCamCamera: give the camera''s driver handle.');
      end
      if isa(cameraHandle, 'uint32') && isscalar(cameraHandle) && isreal(cameraHandle)
        obj.cameraHandle = typecast(cameraHandle, 'int32');
        return;
      end
      if ~isnumeric(cameraHandle) || ~isreal(cameraHandle) || ~isscalar(cameraHandle) || issparse(cameraHandle) || ...
         ~isfinite(cameraHandle) || double(cameraHandle) ~= fix(double(cameraHandle)) || ...
         cameraHandle < -2147483648 || cameraHandle > 2147483647
        error('QCamCamera:cameraHandle', ...
              'QCamCamera: the camera handle must be a whole number from -2147483648 to 2147483647, or a uint32.');
      end
      obj.cameraHandle = int32(cameraHandle);
    end
  end
end
