classdef SimulatedAndorCamera < AndorCamera
  % An AndorCamera on the simulated Andor driver, with the controls a test
  % needs: its size comes from the simulator, and start, stop and produce
  % drive the simulated camera.
  %
  %   cam = SimulatedAndorCamera(100, 64, 48)  % adds camera 100, 64 wide and 48 high, and opens it
  %   cam = SimulatedAndorCamera(100)          % opens camera 100 of the simulated driver
  %   start(cam); produce(cam, 3); stop(cam);

  methods
    function obj = SimulatedAndorCamera(handle, varargin)
      % The superclass call must come first and unconditionally, so the
      % simulator is asked before it.
      state = SimulatedAndorCamera.openOrAdd(handle, varargin{:});
      obj = obj@AndorCamera(handle, state.width, state.height);
    end

    function start(obj)
      % Selects the camera and starts its acquisition.
      status = camsim('andorStart', obj.cameraHandle);
      if status ~= 20002
        error('SimulatedAndorCamera: startAcquisition returned %d.', status);
      end
    end

    function stop(obj)
      % Selects the camera and aborts its acquisition.
      camsim('andorStop', obj.cameraHandle);
    end

    function made = produce(obj, count)
      % Deterministic mode: the camera makes count images now.
      made = camsim('andorProduce', obj.cameraHandle, count);
    end
  end

  methods (Static, Access = private)
    function state = openOrAdd(handle, varargin)
      % Callbacks need Octave's thread to have its message queue first.
      pumpEvents('install');
      if numel(varargin) == 2
        camsim('andorAddCamera', handle, varargin{1}, varargin{2});
      elseif ~isempty(varargin)
        error('SimulatedAndorCamera: give a camera handle, and a width and height to add the camera.');
      end
      state = camsim('andorCamera', handle);  % refuses a camera the driver does not have
    end
  end
end
