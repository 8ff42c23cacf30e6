% The installed toolbox's simulated cameras, as a user starts them: a
% camsim that does not load is refused with the way out and leaves the path
% as it was; then simulatedCamerasExample, the session the toolbox ships,
% from useSimulatedCameras on; calling it again; camsim's help.
prefix = getenv('CAMERA_TOOLBOX_PREFIX');
simulation = fullfile(prefix, 'simulation');
onPath = @(folder) any(strcmp(folder, strsplit(path, pathsep)));

% A toolbox folder whose camsim cannot be loaded, as when a real driver of
% the same name is loaded already and the simulated exports are missing.
broken = fullfile(pwd, 'toolbox-with-broken-camsim');
if ~exist(fullfile(broken, 'simulation'), 'dir')
  mkdir(fullfile(broken, 'simulation'));
end
copyfile(fullfile(prefix, 'useSimulatedCameras.m'), broken);
file = fopen(fullfile(broken, 'simulation', ['camsim.' mexext]), 'w');
fputs(file, 'not a MEX file');
fclose(file);
before = path;
home = cd(broken);
try
  useSimulatedCameras;
  check(false, 'useSimulatedCameras refuses a camsim that does not load');
catch err
  checkEqual(err.identifier, 'useSimulatedCameras:driverLoaded', 'the refusal''s identifier');
  check(~isempty(strfind(err.message, fullfile(broken, 'simulation'))), 'it names the folder: %s', err.message);
  check(~isempty(strfind(err.message, 'Restart MATLAB and call useSimulatedCameras before any camera function or videoinput.')), ...
        'it says how to try again: %s', err.message);
end
cd(home);
checkEqual(path, before, 'a refusal leaves the path as it was');

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
