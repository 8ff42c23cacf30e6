function useSimulatedCameras()
%USESIMULATEDCAMERAS  Drive simulated cameras instead of real ones in this MATLAB session.
%   USESIMULATEDCAMERAS adds the simulation folder beside this file to the
%   path and loads its control function, CAMSIM, which loads the simulated
%   Andor and QImaging drivers beside it (ATMCD32D and QCamDriver). From
%   then on, in this MATLAB session, every camera function of the toolbox
%   (watchDriverSignal, takeEarliest, submitBuffers, snapPicture) and the
%   corvid adaptor (videoinput('corvid', ...)) drive the simulated cameras:
%   a library that asks for a driver gets the module of that name already
%   loaded, whatever the vendors' installers put on the path.
%
%   Call it first: before any camera function or videoinput. A camera
%   library loaded before it may have loaded the vendor's driver already,
%   which then stays for the whole session; USESIMULATEDCAMERAS then
%   refuses (see Errors) and changes nothing.
%
%   Calling it again does nothing more. There is no way back within the
%   session: the simulated drivers stay loaded until MATLAB exits. To use
%   real cameras again, restart MATLAB and do not call USESIMULATEDCAMERAS.
%
%   The simulators start with one camera each: Andor camera 100 (512 by
%   512) and QImaging camera 200 (serial 'QSIM0200', 640 by 480, 8 bits),
%   both making images by themselves. CAMSIM adds, sets up and drives
%   cameras, makes a driver call fail on demand and reports what the
%   drivers hold: help camsim.
%
%   In GNU Octave it works the same, with the toolbox built for Octave.
%
%   Errors
%     Each refusal changes nothing (the path is as it was) and quotes first
%     the reason MATLAB gave for not loading camsim, then the likely cause
%     where the reason shows it:
%     useSimulatedCameras:driverLoaded  a camera driver of the same name
%         without the simulator's controls is loaded in this session already
%         (a real ATMCD32D or QCamDriver, loaded by a camera function or
%         videoinput that ran before): restart MATLAB and call
%         useSimulatedCameras before any camera function or videoinput.
%     useSimulatedCameras:missingLibrary  a library camsim needs is not
%         there (the message names it): the toolbox folder is incomplete;
%         install it whole again.
%     useSimulatedCameras:notLoaded  camsim did not load for another
%         reason, which the message quotes.
%     useSimulatedCameras:notInstalled  the simulation folder beside this
%         file has no camsim for this MATLAB (mexext).
%
%   Example
%     useSimulatedCameras
%     cam = AndorCamera(100, 512, 512);   % the simulator's own camera
%     camsim('andorStart', 100);
%     watchDriverSignal(cam, @(camera, ~) disp(size(takeEarliest(camera, 16))));
%     pause(1)                            % prints "512 512" at each image
%     % (in GNU Octave pause runs no callback: pumpEvents('install') first,
%     % and wait with pumpEvents or waitForCallbacks instead)
%     watchDriverSignal(cam); camsim('andorStop', 100);
%
%   See also CAMSIM, simulatedCamerasExample.

folder = fullfile(fileparts(mfilename('fullpath')), 'simulation');
control = fullfile(folder, ['camsim.' mexext]);
if ~exist(control, 'file')
  error('useSimulatedCameras:notInstalled', ...
        'useSimulatedCameras: there is no %s: the toolbox''s simulation folder is missing or was built for another MATLAB.', ...
        control);
end
onPath = any(strcmp(folder, strsplit(path, pathsep)));
addpath(folder);
searchPath = getenv('PATH');
if ispc && ~any(strcmpi(folder, strsplit(getenv('PATH'), pathsep)))
  % camsim's drivers lie beside it; a process that loads MEX files without
  % looking beside them first still finds them here, ahead of the PATH
  % entries of the vendors' installers.
  setenv('PATH', [folder pathsep getenv('PATH')]);
end
% From its own folder: with the toolbox's root as the current folder, the
% root's camsim.m (camsim's help there) would come first, and call here.
home = cd(folder);
try
  camsim('andorCurrentCamera');
  cd(home);
catch err
  cd(home);
  if ~onPath
    rmpath(folder);
  end
  setenv('PATH', searchPath);
  [identifier, cause] = likelyCause(err);
  reason = strtrim(err.message);
  if ~isempty(cause) && isempty(regexp(reason, '[.!?]$', 'once'))
    reason = [reason '.'];
  end
  error(identifier, '%s', ...
        sprintf('useSimulatedCameras: the simulated camera drivers could not be loaded from %s: %s%s', ...
                folder, reason, cause));
end
end

function [identifier, cause] = likelyCause(err)
% What the loader's reason shows, in the words of the systems it comes
% from: Windows (MATLAB's and Octave's MEX loaders quote it), glibc's
% loader, and camsim's own check of the drivers.
reason = err.message;
if strcmp(err.identifier, 'camsim:driver')
  identifier = 'useSimulatedCameras:driverLoaded'; % camsim's own words say so, and what to do
  cause = '';
elseif ~isempty(regexp(reason, 'specified procedure could not be found|undefined symbol', 'once'))
  identifier = 'useSimulatedCameras:driverLoaded';
  cause = [' A real camera driver (ATMCD32D or QCamDriver) is probably loaded in this session already, ' ...
           'by a camera function or videoinput that ran before. Restart MATLAB and call useSimulatedCameras ' ...
           'before any camera function or videoinput.'];
elseif ~isempty(regexp(reason, 'specified module could not be found|cannot open shared object file', 'once'))
  identifier = 'useSimulatedCameras:missingLibrary';
  cause = [' A library that camsim needs is missing: the toolbox folder is incomplete. ' ...
           'Install it whole again (its release zip, or cmake --install).'];
else
  identifier = 'useSimulatedCameras:notLoaded';
  cause = '';
end
end
