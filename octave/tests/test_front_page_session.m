% The front page's first session, as a newcomer types it: the "```matlab"
% block of README.md's "## A first session", in a fresh Octave whose path
% is only the installed toolbox folder (the block's build/demo/toolbox, the
% folder run-demo.sh installs, is this test's installed folder), with none
% of the simulators' variables set. Any error or warning fails, and each
% line's result is checked.
root = fileparts(fileparts(fileparts(which('test_front_page_session'))));
readme = fileread(fullfile(root, 'README.md'));
octave = getenv('CAMERA_OCTAVE');
prefix = getenv('CAMERA_TOOLBOX_PREFIX');
check(~isempty(octave) && ~isempty(prefix), 'CTest names the Octave program and the installed toolbox folder');

section = regexp(readme, '(?ms)^## A first session\n(.*?)(?=^## )', 'tokens', 'once');
check(~isempty(section), 'README.md has its section "A first session"');
blocks = regexp(section{1}, '(?m)^```matlab\n(.*?)^```', 'tokens');
checkEqual(numel(blocks), 1, 'the first session is one block');
session = blocks{1}{1};
check(~isempty(strfind(session, '''build/demo/toolbox''')), 'the session adds the installed folder: %s', session);
session = strrep(session, 'build/demo/toolbox', prefix);

script = [session "\n" ...
          "printf('=== pictures %s %s\\n', class(pictures), mat2str(size(pictures)));\n" ...
          "printf('=== picture %s %s\\n', class(picture), mat2str(size(picture)));\n" ...
          "printf('=== the session ran to its end\\n');\n"];
file = fopen(fullfile(pwd(), 'front_page_session.m'), 'w');
fputs(file, script);
fclose(file);

headers = [fileread(fullfile(root, 'platform', 'andor', 'include', 'andor_sim_control.h')) ...
           fileread(fullfile(root, 'platform', 'qcam', 'include', 'qcam_sim_control.h'))];
variables = unique(cellfun(@(t) t{1}, regexp(headers, '(?m)^ \*\s+((?:ANDOR|QCAM)_SIM_[A-Z_]+)\s', 'tokens'), ...
                           'UniformOutput', false));
unset = strjoin(cellfun(@(v) ['-u ' v], variables, 'UniformOutput', false), ' ');
command = sprintf('cd ''%s'' && env %s timeout 120 ''%s'' --no-gui --no-window-system --norc --no-history --quiet --eval "source(''front_page_session.m'')" 2>&1', ...
                  pwd(), unset, octave);
[status, output] = system(command);
printf('%s', output);
check(status == 0, 'the session runs without an error (Octave exited with %d)', status);
check(~isempty(strfind(output, '=== the session ran to its end')), 'every line ran');
for pattern = {'(?m)^error: ', '(?m)^warning: ', 'ERROR in '}
  found = regexp(output, [pattern{1} '[^\n]*'], 'match', 'once');
  check(isempty(found), 'the session prints no "%s": %s', pattern{1}, found);
end
check(~isempty(strfind(output, '=== pictures uint16 [512 512 10]')), 'ten 512-by-512 Andor pictures came');
check(~isempty(strfind(output, '=== picture uint8 [480 640]')), 'one 640-by-480 QCam picture came');
