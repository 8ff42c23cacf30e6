classdef PlainCamera < handle
  % A camera object with nothing checked: its cameraHandle can be what no
  % toolbox camera class accepts (a fraction, NaN), to see what the MEX
  % libraries make of it.
  %
  %   cam = PlainCamera(3.7)

  properties
    cameraHandle = 0;
  end

  methods
    function obj = PlainCamera(cameraHandle)
      obj.cameraHandle = cameraHandle;
    end
  end
end
