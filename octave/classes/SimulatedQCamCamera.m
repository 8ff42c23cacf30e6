classdef SimulatedQCamCamera < QCamCamera
  % A QCamCamera on the simulated QCam driver, with the controls a test
  % needs: start and stop switch the simulated driver between free-running
  % and on-demand images, produce delivers images now.
  %
  %   cam = SimulatedQCamCamera(201, 'QSIM0201', 64, 48, 16)  % adds camera 201 (64 x 48, 16 bits) and opens it
  %   cam = SimulatedQCamCamera(200)                          % opens camera 200 of the simulated driver
  %   start(cam); ... stop(cam);
  %
  % A camera of that handle, serial, size and bit depth already there is
  % opened as it is, so a script runs again in the same session; one that
  % differs is refused. The simulator starts with camera 200, 'QSIM0200',
  % 640 by 480 at 8 bits (QCAM_SIM_CAMERAS, QCAM_SIM_SIZE,
  % QCAM_SIM_BIT_DEPTH); camsim('qcamReset') starts from none.

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
        [serial, width, height, bitDepth] = varargin{:};
        there = simulatorRecord('qcamCamera', handle);
        if isempty(there)
          camsim('qcamAddCamera', handle, serial, width, height, bitDepth);
        elseif ~isequal(there.serial, serial) || there.width ~= width || there.height ~= height || ...
               there.bitDepth ~= bitDepth
          error('SimulatedQCamCamera:inUse', ...
                ['SimulatedQCamCamera: the simulated QCam driver has a camera %d already, ''%s'', %d by %d at ' ...
                 '%d bits: open it with SimulatedQCamCamera(%d), add this one under another handle, or remove ' ...
                 'every camera with camsim(''qcamReset'') first.'], handle, there.serial, there.width, ...
                there.height, there.bitDepth, handle);
        end
      elseif ~isempty(varargin)
        error('SimulatedQCamCamera: give a camera handle, and a serial, width, height and bit depth to add the camera.');
      end
      camsim('qcamCounters', handle);  % refuses a camera the driver does not have
    end
  end
end
