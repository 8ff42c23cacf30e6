classdef SimulatedQCamCamera < QCamCamera
  % A QCamCamera on the simulated QCam driver, with the controls a test
  % needs: start and stop switch the simulated driver between free-running
  % and on-demand images, produce delivers images now.
  %
  %   cam = SimulatedQCamCamera(200, 'QSIM0200', 64, 48, 16)  % adds camera 200 (64 x 48, 16 bits) and opens it
  %   cam = SimulatedQCamCamera(200)                          % opens camera 200 of the simulated driver
  %   start(cam); ... stop(cam);

  methods
    function obj = SimulatedQCamCamera(handle, varargin)
      SimulatedQCamCamera.openOrAdd(handle, varargin{:});
      obj = obj@QCamCamera(handle);
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

  methods (Static, Access = private)
    function openOrAdd(handle, varargin)
      pumpEvents('install');
      if numel(varargin) == 4
        camsim('qcamAddCamera', handle, varargin{:});
      elseif ~isempty(varargin)
        error('SimulatedQCamCamera: give a camera handle, and a serial, width, height and bit depth to add the camera.');
      end
      camsim('qcamCounters', handle);  % refuses a camera the driver does not have
    end
  end
end
