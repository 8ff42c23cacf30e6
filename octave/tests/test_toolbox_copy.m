% A copy of the installed toolbox folder with the build and source trees
% out of reach (toolbox_copy_test.sh), used as its README says: the folder
% on the path and nothing else of this project. Its help works before the
% simulated cameras are loaded; the README's session "Trying the toolbox
% without a camera", read from the copy's README, runs in a fresh Octave;
% and so does every example of examples/.
toolbox = getenv('CAMERA_TOOLBOX_COPY');
octave = getenv('CAMERA_OCTAVE');
check(exist(fullfile(toolbox, 'useSimulatedCameras.m'), 'file') == 2, 'the copy is a toolbox folder: %s', toolbox);
addpath(toolbox);

% Help from the folder alone: the event pump's, and camsim's before
% useSimulatedCameras has put the simulation folder on the path.
text = evalc('help pumpEvents');
check(~isempty(strfind(text, 'PUMPEVENTS  Run the camera callbacks waiting in GNU Octave.')), 'help pumpEvents: %s', text);
check(~isempty(strfind(text, 'pumpEvents(''install'')')) || ~isempty(strfind(text, 'PUMPEVENTS(''install'')')), ...
      'it says how callbacks run at the prompt');
text = evalc('help camsim');
check(~isempty(strfind(text, 'CAMSIM  Control the simulated Andor and QImaging cameras.')), 'help camsim: %s', text(1:min(end, 300)));
check(~isempty(strfind(text, 'ANDOR_SIM_CAMERAS')), 'help camsim lists the simulators'' variables');

% The README's session, block by block as the README has it, in an Octave
% of its own; any error, warning or callback error fails (the session's
% own failure on demand prints the error it catches).
readme = fileread(fullfile(toolbox, 'README.md'));
section = regexp(readme, '(?ms)^## Trying the toolbox without a camera\n(.*?)(?=^## |\z)', 'tokens', 'once');
check(~isempty(section), 'the README has its section "Trying the toolbox without a camera"');
if isempty(section), return; end
infos = regexp(section{1}, '(?m)^```(matlab[^\n]*)\n', 'tokens');
infos = cellfun(@(t) strtrim(t{1}), infos, 'UniformOutput', false);
unknown = infos(~ismember(infos, {'matlab', 'matlab no-run'}));
check(isempty(unknown), 'the section''s fences are "matlab" or "matlab no-run": %s', strjoin(unknown, ', '));
blocks = regexp(section{1}, '(?m)^```matlab\n(.*?)^```', 'tokens');
check(numel(blocks) >= 1, 'the section has its session (%d blocks)', numel(blocks));
script = sprintf('addpath(''%s'');\n', toolbox);
for k = 1:numel(blocks)
  script = [script sprintf('fprintf(''=== README block %d\\n'');\n', k) blocks{k}{1} "\n"];
end
script = [script "fprintf('=== the README session ran to its end\\n');\n"];
file = fopen(fullfile(pwd(), 'readme_session.m'), 'w');
fputs(file, script);
fclose(file);
command = sprintf('timeout 240 ''%s'' --no-gui --no-window-system --norc --no-history --quiet --eval "source(''readme_session.m'')" 2>&1', ...
                  octave);
[status, output] = system(command);
printf('%s', output);
checkEqual(status, 0, 'the README session runs without an error');
check(~isempty(strfind(output, '=== the README session ran to its end')), 'every block ran');
for pattern = {'(?m)^error: ', '(?m)^warning: ', 'ERROR in event callback'}
  found = regexp(output, [pattern{1} '[^\n]*'], 'match', 'once');
  check(isempty(found), 'the session prints no "%s": %s', pattern{1}, found);
end

% Every example, here, on the simulated cameras, called as its help says;
% a new example without its call here fails.
addpath(fullfile(toolbox, 'examples'));
useSimulatedCameras;
pumpEvents('install');
found = dir(fullfile(toolbox, 'examples', '*.m'));
names = sort(cellfun(@(name) name(1:end - 2), {found.name}, 'UniformOutput', false));
% simulatedCamerasExample first: it is a session from its start (snapPicture
% keeps the camera of its first call there).
known = {'simulatedCamerasExample', 'andorEventsExample', 'qcamStreamExample', 'qcamSnapExample', 'waitForCallbacks'};
checkEqual(names, sort(known), 'every example of the folder is run here');
for k = 1:numel(known)
  name = known{k};
  try
    switch name
      case 'simulatedCamerasExample'
        printed = evalc('result = simulatedCamerasExample();');
        checkEqual(result.andorImages, 1:10, 'simulatedCamerasExample: every Andor image once, in order');
        checkEqual(result.qcamImages, 1:20, 'simulatedCamerasExample: every QCam frame once, in order');
      case 'andorEventsExample'
        camsim('andorReset');
        camsim('andorAddCamera', 100, 64, 48);
        camsim('andorSetFreeRunning', true);
        camsim('andorSetFramePeriod', 100, 0.01);
        camsim('andorStart', 100);
        printed = evalc('result = andorEventsExample(AndorCamera(100, 64, 48), 5);');
        camsim('andorStop', 100);
        checkEqual(size(result), [48 64 5], 'andorEventsExample: five 48 x 64 pictures');
      case 'qcamStreamExample'
        camsim('qcamReset');
        camsim('qcamAddCamera', 201, 'QSIM0201', 64, 48, 16);
        camsim('qcamSetFreeRunning', true);
        printed = evalc('result = qcamStreamExample(QCamCamera(201), 6);');
        checkEqual(size(result), [48 64 6], 'qcamStreamExample: six 48 x 64 pictures of a 16-bit camera');
      case 'qcamSnapExample'
        camsim('qcamReset');
        camsim('qcamAddCamera', 202, 'QSIM0202', 64, 48, 8);
        printed = evalc('result = qcamSnapExample(QCamCamera(202));');
        checkEqual(size(result), [48 64], 'qcamSnapExample: one 48 x 64 picture of an 8-bit camera');
      case 'waitForCallbacks'
        printed = evalc('result = waitForCallbacks(@() true, 1);');
        checkEqual(result, true, 'waitForCallbacks: a condition that holds ends the wait');
    end
    check(isempty(strfind(printed, 'ERROR in event callback')), '%s: no callback failed: %s', name, printed);
  catch err
    check(false, '%s runs from the copy: %s', name, err.message);
  end
end
