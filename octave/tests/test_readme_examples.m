% The examples of octave/README.md as a new user meets them: every block
% fenced "```matlab", in order, in a fresh Octave whose path is only what
% the blocks add (folders relative to the repository root, the MEX folder
% that of this build), the simulators configured by their defaults. Any
% error or warning, or a callback's error, fails. A block fenced
% "```matlab no-run" is shown, not run.
root = fileparts(fileparts(fileparts(which('test_readme_examples'))));
readme = fileread(fullfile(root, 'octave', 'README.md'));
octave = getenv('CAMERA_OCTAVE');
mexFolder = getenv('CAMERA_OCTAVE_MEX_DIR');
check(~isempty(octave) && ~isempty(mexFolder), 'CTest names the Octave program and the MEX folder');

% Every fence that opens a MATLAB-language block says whether it runs: a
% misspelt info string must not quietly drop an example.
infos = regexp(readme, '(?m)^```(matlab[^\n]*)\n', 'tokens');
infos = cellfun(@(t) strtrim(t{1}), infos, 'UniformOutput', false);
unknown = infos(~ismember(infos, {'matlab', 'matlab no-run'}));
check(isempty(unknown), 'README fences are "matlab" or "matlab no-run": %s', strjoin(unknown, ', '));
[blocks, blockStarts] = regexp(readme, '(?m)^```matlab\n(.*?)^```', 'tokens', 'start');
blocks = cellfun(@(t) t{1}, blocks, 'UniformOutput', false);
check(numel(blocks) >= 4, 'the README has its examples (%d blocks found)', numel(blocks));
check(~isempty(regexp(blocks{1}, '^addpath\(', 'once')), 'the first block sets the path: %s', blocks{1});

% The path, wherever a block sets it: relative folders are the
% repository's, and the preset's MEX folder this build's.
presetMex = 'build/octave/octave/mex';
absolute = @(line) regexprep(regexprep(line, ['''' presetMex ''''], ['''' mexFolder '''']), ...
                             '([(,]\s*)''([^''/][^'']*)''', ['$1''' root '/$2''']);
for b = 1:numel(blocks)
  lines = strsplit(blocks{b}, "\n");
  for k = 1:numel(lines)
    if strncmp(lines{k}, 'addpath(', 8)
      lines{k} = absolute(lines{k});
    end
  end
  blocks{b} = strjoin(lines, "\n");
end

script = '';
for k = 1:numel(blocks)
  line = 1 + numel(strfind(readme(1:blockStarts(k)), "\n"));
  script = [script sprintf('fprintf(''=== README block %d, line %d\\n'');\n', k, line) blocks{k} "\n"];
end
script = [script "fprintf('=== README examples ran to their end\\n');\n"];
work = pwd();
file = fopen(fullfile(work, 'readme_examples.m'), 'w');
fputs(file, script);
fclose(file);

% A new user's shell sets none of the simulators' variables (those the
% control headers list).
headers = [fileread(fullfile(root, 'platform', 'andor', 'include', 'andor_sim_control.h')) ...
           fileread(fullfile(root, 'platform', 'qcam', 'include', 'qcam_sim_control.h'))];
variables = unique(cellfun(@(t) t{1}, regexp(headers, '(?m)^ \*\s+((?:ANDOR|QCAM)_SIM_[A-Z_]+)\s', 'tokens'), ...
                           'UniformOutput', false));
check(any(strcmp(variables, 'ANDOR_SIM_CAMERAS')) && any(strcmp(variables, 'QCAM_SIM_CAMERAS')), ...
      'the simulators'' variables are found: %s', strjoin(variables, ' '));
unset = strjoin(cellfun(@(v) ['-u ' v], variables, 'UniformOutput', false), ' ');
command = sprintf('cd ''%s'' && env %s timeout 240 ''%s'' --no-gui --no-window-system --norc --no-history --quiet --eval "source(''readme_examples.m'')" 2>&1', ...
                  work, unset, octave);
[status, output] = system(command);
printf('%s', output);
check(status == 0, 'the README examples run without an error (Octave exited with %d)', status);
check(~isempty(strfind(output, '=== README examples ran to their end')), 'every block ran');
for pattern = {'(?m)^error: ', '(?m)^warning: ', 'ERROR in '}
  found = regexp(output, [pattern{1} '[^\n]*'], 'match', 'once');
  check(isempty(found), 'the examples print no "%s": %s', pattern{1}, found);
end
% What the examples say they print.
check(~isempty(regexp(output, '(?m)^ok = 1$', 'once')), 'the pump''s example waits for its callbacks'' reads');
check(~isempty(regexp(output, '(?m)^\s+48\s+64$', 'once')), 'the session prints the Andor image''s size, 48 64');
check(~isempty(regexp(output, '(?m)^1\n.*^2$', 'once')), 'the session prints the QCam image numbers 1 and 2');
