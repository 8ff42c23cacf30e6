classdef SimulatedAndorCamera < AndorCamera
  % An AndorCamera on the simulated Andor driver, with the controls a test
  % needs: its size comes from the simulator, and start, stop and produce
  % drive the simulated camera.
  %
  %   cam = SimulatedAndorCamera(101, 64, 48)  % adds camera 101, 64 wide and 48 high, and opens it
  %   cam = SimulatedAndorCamera(100)          % opens camera 100 of the simulated driver
  %   start(cam); produce(cam, 3); stop(cam);
  %
  % A camera of that handle and size already there is opened as it is, so a
  % script runs again in the same session; one of another size is refused.
  % The simulator starts with camera 100, 512 by 512 (ANDOR_SIM_CAMERAS,
  % ANDOR_SIM_SIZE); camsim('andorReset') starts from none.

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
      % Makes count images now, also in free-running mode; 0 unless acquiring.
      made = camsim('andorProduce', obj.cameraHandle, count);
    end
  end

  methods (Static, Access = private)
    function state = openOrAdd(handle, varargin)
      % Callbacks need Octave's thread to have its message queue first.
      pumpEvents('install');
      if numel(varargin) == 2
        [width, height] = varargin{:};
        there = simulatorRecord('andorCamera', handle);
        if isempty(there)
          camsim('andorAddCamera', handle, width, height);
        elseif there.width ~= width || there.height ~= height
          error('SimulatedAndorCamera:inUse', ...
                ['SimulatedAndorCamera: the simulated Andor driver has a camera %d already, %d wide and %d high: ' ...
                 'open it with SimulatedAndorCamera(%d), add this one under another handle, or remove every ' ...
                 'camera with camsim(''andorReset'') first.'], handle, there.width, there.height, handle);
        end
      elseif ~isempty(varargin)
        error('SimulatedAndorCamera: give a camera handle, and a width and height to add the camera.');
      end
      state = camsim('andorCamera', handle);  % refuses a camera the driver does not have
    end
  end
end
