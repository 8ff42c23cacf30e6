classdef AndorCamera < handle
  % A simulated Andor camera, as the toolkit's camera class presents one to
  % the MEX libraries: cameraHandle (double), expectedM and expectedN (image
  % rows and columns).
  %
  %   cam = AndorCamera(100, 64, 48)  % adds camera 100, 64 wide and 48 high, and opens it
  %   cam = AndorCamera(100)          % opens camera 100 of the simulated driver
  %   start(cam); produce(cam, 3); stop(cam);

  properties
    cameraHandle = 0;
    expectedM = 0;
    expectedN = 0;
  end

  methods
    function obj = AndorCamera(handle, width, height)
      pumpEvents('install');
      if nargin == 3
        camsim('andorAddCamera', handle, width, height);
      elseif nargin ~= 1
        error('AndorCamera: give a camera handle, and a width and height to add the camera.');
      end
      state = camsim('andorCamera', handle);
      obj.cameraHandle = double(handle);
      obj.expectedM = state.height;
      obj.expectedN = state.width;
    end

    function start(obj)
      % Selects the camera and starts its acquisition.
      status = camsim('andorStart', obj.cameraHandle);
      if status ~= 20002
        error('AndorCamera: startAcquisition returned %d.', status);
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
end
