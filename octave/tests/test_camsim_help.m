% help camsim from the installed toolbox folder alone, as a new user asks
% it: a fresh Octave whose path is that folder, before useSimulatedCameras
% has put the simulation folder on it. It lists every environment variable
% the simulated drivers read, each with its meaning and its default, and
% none they do not read.
root = fileparts(fileparts(fileparts(which('test_camsim_help'))));
prefix = getenv('CAMERA_TOOLBOX_PREFIX');
octave = getenv('CAMERA_OCTAVE');
check(~isempty(octave) && ~isempty(prefix), 'CTest names the Octave program and the installed toolbox folder');
command = sprintf('''%s'' --no-gui --no-window-system --norc --no-history --quiet --eval "addpath(''%s''); help camsim" 2>&1', ...
                  octave, prefix);
[status, text] = system(command);
checkEqual(status, 0, 'help camsim works from the toolbox folder alone');
check(~isempty(strfind(text, 'CAMSIM  Control the simulated Andor and QImaging cameras.')), 'it prints camsim''s help: %s', text);

% What the drivers read: every variable name their sources quote.
sources = [dir(fullfile(root, 'platform', 'andor', 'src', '*.cpp')); dir(fullfile(root, 'platform', 'qcam', 'src', '*.cpp'))];
read = {};
for k = 1:numel(sources)
  found = regexp(fileread(fullfile(sources(k).folder, sources(k).name)), '"((?:ANDOR|QCAM)_SIM_[A-Z0-9_]+)', 'tokens');
  read = [read cellfun(@(t) t{1}, found, 'UniformOutput', false)];
end
read = unique(read);
check(all(ismember({'ANDOR_SIM_CAMERAS', 'ANDOR_SIM_FIRST_IMAGE', 'QCAM_SIM_BIT_DEPTH'}, read)), ...
      'the drivers'' variables are found: %s', strjoin(read, ' '));

section = regexp(text, '(?ms)^\s*Environment variables\n(.*?)^\s*Andor cameras\n', 'tokens', 'once');
check(~isempty(section), 'help camsim has a section "Environment variables"');
if isempty(section), return; end
names = regexp(section{1}, '(?ms)^\s+((?:ANDOR|QCAM)_SIM_[A-Z0-9_]+)\s+(.*?)(?=^\s+(?:ANDOR|QCAM)_SIM_|\z)', 'tokens');
listed = cellfun(@(t) t{1}, names, 'UniformOutput', false);
for k = 1:numel(read)
  at = find(strcmp(listed, read{k}));
  check(numel(at) == 1, 'help camsim lists %s once', read{k});
  if numel(at) ~= 1, continue; end
  meaning = regexprep(names{at}{2}, '\s+', ' ');
  check(~isempty(regexp(meaning, '\w+ \w+ \w+', 'once')), '%s has a meaning: %s', read{k}, meaning);
  check(~isempty(regexp(meaning, 'Default [^.]+\.', 'once')), '%s has a default: %s', read{k}, meaning);
end
stale = setdiff(listed, read);
check(isempty(stale), 'help camsim lists no variable the drivers do not read: %s', strjoin(stale, ' '));
