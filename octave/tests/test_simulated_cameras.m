% The installed toolbox's simulated cameras, as a user starts them: a
% camsim that does not load is refused with the loader's reason and the
% likely cause, and leaves the path as it was; then
% simulatedCamerasExample, the session the toolbox ships, from
% useSimulatedCameras on; calling it again; camsim's help.
prefix = getenv('CAMERA_TOOLBOX_PREFIX');
simulation = fullfile(prefix, 'simulation');
onPath = @(folder) any(strcmp(folder, strsplit(path, pathsep)));

% Toolbox folders whose camsim cannot be loaded: each refusal quotes the
% loader's reason first, names the cause only where the reason shows it,
% and leaves the path as it was. The broken folders load nothing: they come
% before any simulated driver is in the process.
%   garbage: camsim is no MEX file, a reason that blames nothing;
%   missing: a driver camsim needs is not in the folder;
%   vendor:  a driver of the Andor name without the simulator's controls,
%            as when the vendor's is loaded already.
vendorDriver = getenv('CAMERA_VENDOR_ANDOR_DRIVER');
check(exist(vendorDriver, 'file') == 2, 'CTest names the stand-in of the vendor''s Andor driver: "%s"', vendorDriver);
cases = {'garbage', 'useSimulatedCameras:notLoaded', 'invalid ELF header|file too short|failed to load', {}; ...
         'missing', 'useSimulatedCameras:missingLibrary', 'libQCamDriver\.so: cannot open shared object file', ...
         {'A library that camsim needs is missing: the toolbox folder is incomplete.'}; ...
         'vendor', 'useSimulatedCameras:driverLoaded', 'undefined symbol: andorSim', ...
         {'A real camera driver (ATMCD32D or QCamDriver) is probably loaded in this session already', ...
          'Restart MATLAB and call useSimulatedCameras before any camera function or videoinput.'}};
blames = {'A real camera driver', 'A library that camsim needs is missing'};
for k = 1:rows(cases)
  [name, identifier, reason, causes] = cases{k, :};
  broken = fullfile(pwd, ['toolbox-' name]);
  if exist(broken, 'dir')
    confirm_recursive_rmdir(false, 'local');
    rmdir(broken, 's');
  end
  copyfile(prefix, broken);
  control = fullfile(broken, 'simulation', ['camsim.' mexext]);
  switch name
    case 'garbage'
      file = fopen(control, 'w');
      fputs(file, 'not a MEX file');
      fclose(file);
    case 'missing'
      delete(fullfile(broken, 'simulation', 'libQCamDriver.so'));
    case 'vendor'
      copyfile(vendorDriver, fullfile(broken, 'simulation', 'libATMCD32D.so'));
  end
  before = path;
  home = cd(broken);
  try
    useSimulatedCameras;
    check(false, '%s: useSimulatedCameras refuses a camsim that does not load', name);
  catch err
    checkEqual(err.identifier, identifier, sprintf('%s: the refusal''s identifier', name));
    opening = sprintf('useSimulatedCameras: the simulated camera drivers could not be loaded from %s: ', ...
                      fullfile(broken, 'simulation'));
    check(strncmp(err.message, opening, numel(opening)), '%s: it names the folder first: %s', name, err.message);
    quoted = regexp(err.message, reason, 'start', 'once');
    check(~isempty(quoted), '%s: then the loader''s reason: %s', name, err.message);
    for c = 1:numel(causes)
      at = strfind(err.message, causes{c});
      check(~isempty(at) && ~isempty(quoted) && at(1) > quoted, '%s: after it, the cause "%s"', name, causes{c});
    end
    for b = 1:numel(blames)
      if ~any(strncmp(causes, blames{b}, numel(blames{b})))
        check(isempty(strfind(err.message, blames{b})), '%s: and no other cause ("%s")', name, blames{b});
      end
    end
  end
  cd(home);
  checkEqual(path, before, sprintf('%s: a refusal leaves the path as it was', name));
end

% The session itself, as a user runs it (it prints each step).
result = simulatedCamerasExample();
checkEqual(which('camsim'), fullfile(simulation, ['camsim.' mexext]), 'camsim comes from the installed simulation folder');
checkEqual(result.andorImages, 1:10, 'the driver events read every Andor image once, in order');
checkEqual(result.qcamImages, 1:20, 'the stream brought every QCam frame once, in order');
check(~isempty(regexp(result.failure, 'ERROR in snapPicture call\. Status code 9 was returned$', 'once')), ...
      'the injected status is the grab''s error: %s', result.failure);
checkEqual(result.snapImage, 1, 'the grab after the failure gets the camera''s first image');
checkEqual(result.videoFrames, [], 'no videoinput in Octave: that part is skipped');

% Again: nothing changes, the simulators keep their cameras.
useSimulatedCameras;
checkEqual(sum(strcmp(simulation, strsplit(path, pathsep))), 1, 'the folder is on the path once');
state = camsim('andorCamera', 100);
checkEqual(state.read, 10, 'the simulators kept their cameras');

% camsim's help: its summary, as the folder's Contents.m gives it, and the
% errors every command may raise, word for word with their placeholders.
text = evalc('help camsim');
check(~isempty(strfind(text, 'CAMSIM  Control the simulated Andor and QImaging cameras.')), 'help camsim prints its help');
contents = fileread(fullfile(simulation, 'Contents.m'));
check(~isempty(strfind(contents, 'camsim         - Control the simulated Andor and QImaging cameras.')), ...
      'simulation/Contents.m lists camsim with its summary');
refusals = {@() camsim(), @() camsim('noSuchCommand'), @() camsim('andorReset', 1), ...
            @() camsim('andorAddCamera', 'a', 1, 1), @() camsim('andorAddCamera', 1.5, 1, 1), ...
            @() camsim('andorSetFirstImageNumber', 100, -1), @() camsim('qcamAddCamera', 200, 7, 1, 1, 8), ...
            @() camsim('andorInjectStatus', 'startAcquisition', 1, 'twice'), @() camsim('andorCamera', 7777), ...
            @() camsim('andorInjectStatus', 'noSuchOperation', 1), @() camsim('andorAddCamera', complex(1, 1), 1, 1), ...
            @() camsim('andorSetFramePeriod', 100, sparse(0.5))};
placeholders = {'argument \d+', 'argument N'; '''\w+'' takes \d+ to \d+', '''NAME'' takes MIN to MAX'; ...
                'command ''\w+''', 'command ''NAME'''; 'camera \d+', 'camera N'; 'operation ''\w+''', 'operation ''NAME'''};
for k = 1:numel(refusals)
  try
    refusals{k}();
    check(false, 'camsim refusal %d raised no error', k);
  catch err
    message = regexprep(regexprep(err.message, '^camsim: camsim: ', 'camsim: '), placeholders(:, 1), placeholders(:, 2));
    check(~isempty(strfind(text, message)), 'help camsim quotes its error "%s"', message);
  end
end
