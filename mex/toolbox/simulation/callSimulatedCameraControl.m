function varargout = callSimulatedCameraControl(varargin)
% camsim itself, for the root's camsim.m, which runs it from the
% simulation folder as the current folder: called from the root's file, the
% name camsim would be that file again.
[varargout{1:nargout}] = camsim(varargin{:});
end
