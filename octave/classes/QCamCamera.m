classdef QCamCamera < handle
  % A simulated QImaging camera, as the toolkit's camera class presents one
  % to the MEX libraries: cameraHandle (int32).
  %
  %   cam = QCamCamera(200, 'QSIM0200', 64, 48, 16)  % adds camera 200 (64 x 48, 16 bits) and opens it
  %   cam = QCamCamera(200)                          % opens camera 200 of the simulated driver
  %   start(cam); ... stop(cam);

  properties
    cameraHandle = int32(0);
  end

  methods
    function obj = QCamCamera(handle, serial, width, height, bitDepth)
      pumpEvents('install');
      if nargin == 5
        camsim('qcamAddCamera', handle, serial, width, height, bitDepth);
      elseif nargin ~= 1
        error('QCamCamera: give a camera handle, and a serial, width, height and bit depth to add the camera.');
      end
      camsim('qcamCounters', handle);  % refuses a camera the driver does not have
      obj.cameraHandle = int32(handle);
    end

    function start(obj)
      % The simulated driver turns to free-running: every camera with a frame
      % queued gets an image each frame period.
      camsim('qcamSetFreeRunning', true);
    end

    function stop(obj)
      % Back to images only on demand (produce).
      camsim('qcamSetFreeRunning', false);
    end

    function made = produce(obj, count)
      % Deterministic mode: count images arrive now; returns how many frames they fill.
      made = camsim('qcamProduce', double(obj.cameraHandle), count);
    end
  end
end
