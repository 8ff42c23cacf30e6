% The installed toolbox folder as a MATLAB user meets it: its files come
% first on the path, each help file prints, every error a MEX function
% raises is quoted in its help, Contents.m lists every file with the file's
% own summary, the camera classes refuse what no driver handle or image
% size can be, and registerCorvid registers the adaptor beside it.
prefix = getenv('CAMERA_TOOLBOX_PREFIX');
examples = fullfile(prefix, 'examples');
mexFunctions = {'watchDriverSignal', 'submitBuffers', 'takeEarliest', 'snapPicture'};

% The installed files, not the build's or the sources', answer to the names.
for k = 1:numel(mexFunctions)
  name = mexFunctions{k};
  checkEqual(which(name), fullfile(prefix, [name '.mex']), '%s is the installed MEX file', name);
  check(exist(fullfile(prefix, [name '.m']), 'file') == 2, 'its help file is installed beside it: %s', name);
end
for name = {'AndorCamera', 'QCamCamera', 'cameraStatus', 'registerCorvid'}
  checkEqual(which(name{1}), fullfile(prefix, [name{1} '.m']), '%s is the installed file', name{1});
end

% help prints each file's help text.
helpText = @(name) evalc(sprintf('help %s', name));
helpLines = struct( ...
  'watchDriverSignal', 'WATCHDRIVERSIGNAL  Call a function each time the Andor driver signals a camera''s event.', ...
  'submitBuffers', 'SUBMITBUFFERS  Queue frames on a QImaging camera and hand each filled frame to a function.', ...
  'takeEarliest', 'TAKEEARLIEST  Copy the oldest unread image of the current Andor camera.', ...
  'snapPicture', 'SNAPPICTURE  Grab one image from a QImaging camera and wait for it.', ...
  'AndorCamera', 'ANDORCAMERA  An Andor camera as watchDriverSignal and takeEarliest take it.', ...
  'QCamCamera', 'QCAMCAMERA  A QImaging camera as submitBuffers and snapPicture take it.', ...
  'cameraStatus', 'CAMERASTATUS  Name and meaning of a status the Andor or QCam driver returned.', ...
  'registerCorvid', 'imaqregister(fullfile(fileparts(which(''registerCorvid'')), ''corvid.dll''), ''unregister'');', ...
  'andorEventsExample', 'ANDOREVENTSEXAMPLE  Read Andor images as the driver signals them', ...
  'qcamStreamExample', 'QCAMSTREAMEXAMPLE  Stream frames from a QImaging camera (submitBuffers).', ...
  'qcamSnapExample', 'QCAMSNAPEXAMPLE  Grab one picture from an 8-bit QImaging camera (snapPicture).');
for name = fieldnames(helpLines)'
  text = helpText(name{1});
  check(~isempty(strfind(text, helpLines.(name{1}))), 'help %s prints its help: %s', name{1}, text(1:min(end, 300)));
end
% A status a MEX function reports is a bare number: each help sends the
% reader to cameraStatus.
for k = 1:numel(mexFunctions)
  check(~isempty(strfind(helpText(mexFunctions{k}), 'CAMERASTATUS')), 'help %s names cameraStatus', mexFunctions{k});
end
[~, folderName] = fileparts(prefix);
for topic = {'Contents', folderName}
  text = helpText(topic{1});
  check(~isempty(strfind(text, 'Camera Bridge for Andor and QImaging cameras')), 'help %s prints Contents.m', topic{1});
  check(~isempty(regexp(text, 'Version \d+\.\d+\.\d+', 'once')), 'with the version filled in: %s', text(1:min(end, 200)));
end

% Contents.m names every file of the folder and of examples/, each with the
% summary of the file's own first help line.
contents = fileread(fullfile(prefix, 'Contents.m'));
entries = regexp(contents, '%\s+(\w+)\s+- ([^\n]*)', 'tokens');
listed = cellfun(@(e) e{1}, entries, 'UniformOutput', false);
files = [dir(fullfile(prefix, '*.m')); dir(fullfile(examples, '*.m'))];
for k = 1:numel(files)
  [~, name] = fileparts(files(k).name);
  if strcmp(name, 'Contents'), continue; end
  at = find(strcmp(listed, name));
  check(numel(at) == 1, 'Contents.m lists %s once', name);
  if numel(at) ~= 1, continue; end
  source = fileread(fullfile(files(k).folder, files(k).name));
  first = regexp(source, ['%' upper(name) '  ([^\n]*)'], 'tokens', 'once');
  check(~isempty(first), '%s has a first help line "%%%s  summary"', name, upper(name));
  if ~isempty(first)
    checkEqual(strtrim(entries{at}{2}), strtrim(first{1}), 'the summary of %s in Contents.m is its own', name);
  end
end
checkEqual(numel(listed), numel(files) - 1, 'Contents.m lists nothing that is not installed');

% The errors the MEX functions raise are quoted, word for word, in their
% help. Octave puts "<library>: " before the text.
quoted = @(library, message) ~isempty(strfind(helpText(library), regexprep(message, ['^' library ': '], '', 'once')));
camsim('andorReset');
camsim('qcamReset');
andor = SimulatedAndorCamera(100, 8, 6);
qcam = SimulatedQCamCamera(200, 'QSIM0200', 8, 6, 16);
snapCamera = SimulatedQCamCamera(201, 'QSIM0201', 8, 6, 16);
global errorGlobal
refusals = {
  'watchDriverSignal', @() watchDriverSignal()
  'watchDriverSignal', @() watchDriverSignal(struct('x', 1), @disp)
  'watchDriverSignal', @() watchDriverSignal(andor, 'disp')
  'takeEarliest', @() takeEarliest(andor)
  'takeEarliest', @() takeEarliest(andor, 8)
  'takeEarliest', @() takeEarliest(andor, 16, {1})
  'takeEarliest', @() takeEarliest(struct('x', 1), 16)
  'takeEarliest', @() takeEarliest(andor, 16, sparse([6 8]))
  'takeEarliest', @() takeEarliest(andor, 16, int32([6 8]))
  'takeEarliest', @() takeEarliest(andor, 16, [6 8 1])
  'submitBuffers', @() submitBuffers(struct('x', 1))
  'submitBuffers', @() submitBuffers(qcam)
  'submitBuffers', @() submitBuffers(qcam, 'disp', 1)
  'submitBuffers', @() submitBuffers(qcam, @disp, 'a')
  'submitBuffers', @() submitBuffers(qcam, @disp, -5)
  'snapPicture', @() snapPicture(struct('x', 1))};
for k = 1:rows(refusals)
  [library, call] = refusals{k, :};
  try
    evalc('call()');
    check(false, '%s refusal %d raised no error', library, k);
  catch err
    check(quoted(library, err.message), 'help %s quotes its error "%s"', library, err.message);
  end
end
% Errors whose text carries names and numbers: the help names them.
named = {'Status code -?\d+', 'Status code <status>'; 'images of \d+ bytes', 'images of <bytes> bytes';
         'its \d+-by-\d+', 'its <height>-by-<width>'; '''errorGlobal''', '''NAME'''; 'least 16 bits', 'least BITDEPTH bits'};
placeholders = @(message) regexprep(message, named(:, 1), named(:, 2));
templated = {
  'takeEarliest', @() takeEarliest(andor, 16, 'errorGlobal'), int8(zeros(6, 8))
  'takeEarliest', @() takeEarliest(andor, 16, 'errorGlobal'), sparse(zeros(6, 8))
  'takeEarliest', @() takeEarliest(andor, 16, 'errorGlobal'), complex(zeros(6, 8), 1)
  'takeEarliest', @() takeEarliest(andor, 16), []
  'snapPicture', @() snapPicture(snapCamera), []};
camsim('qcamInjectStatus', 'qcamGrabImage', 13, 'once');
for k = 1:rows(templated) + 1
  if k <= rows(templated)
    [library, call, errorGlobal] = templated{k, :};
  else
    % A grab the driver fails: the first call that reaches the driver.
    clear snapPicture
    eightBit = SimulatedQCamCamera(202, 'QSIM0202', 8, 6, 8);
    library = 'snapPicture';
    call = @() snapPicture(eightBit);
  end
  try
    call();
    check(false, '%s refusal with names %d raised no error', library, k);
  catch err
    message = placeholders(err.message);
    check(quoted(library, message), 'help %s quotes its error "%s" (raised as "%s")', library, message, err.message);
  end
end

% The camera classes hold what the MEX functions read, of the classes they
% read, and refuse what no driver handle or image size can be.
cam = AndorCamera(int32(100), 8, 6);
checkEqual(cam.cameraHandle, 100, 'an Andor handle is kept as a double');
checkEqual([cam.expectedM, cam.expectedN], [6, 8], 'expectedM is the height, expectedN the width');
start(andor);
produce(andor, 1);
checkEqual(size(takeEarliest(cam, 16)), [6 8], 'takeEarliest takes an AndorCamera');
stop(andor);
checkEqual(AndorCamera(-2147483648, 1, 1).cameraHandle, -2147483648, 'the lowest 32-bit handle is one');
checkEqual(AndorCamera(1, 65535, 32768).expectedM, 32768, 'an image of 2^31 - 32768 pixels can be read');
badAndor = {{}, {1, 2}, {1.5, 8, 6}, {NaN, 8, 6}, {2147483648, 8, 6}, {[1 2], 8, 6}, {'1', 8, 6}, {true, 8, 6}, ...
            {1i, 8, 6}, {1, 0, 6}, {1, 8, -6}, {1, 8.5, 6}, {1, Inf, 6}, {1, 65536, 32768}};
for k = 1:numel(badAndor)
  try
    AndorCamera(badAndor{k}{:});
    check(false, 'AndorCamera refuses argument set %d', k);
  catch err
    check(strncmp(err.identifier, 'AndorCamera:', 12), 'AndorCamera refuses argument set %d: %s', k, err.message);
  end
end
try
  cam.cameraHandle = 5;
  check(false, 'an AndorCamera''s properties are read-only');
catch
  checkEqual(cam.cameraHandle, 100, 'an AndorCamera''s properties are read-only');
end
checkEqual(QCamCamera(200).cameraHandle, int32(200), 'a QCam handle is kept as an int32');
checkEqual(QCamCamera(uint32(4294967295)).cameraHandle, int32(-1), 'a uint32 handle keeps its bits');
checkEqual(QCamCamera(int64(-2147483648)).cameraHandle, intmin('int32'), 'any whole number in range is taken');
badQCam = {{}, {1, 2}, {2147483648}, {-2147483649}, {0.5}, {NaN}, {'200'}, {[200 201]}, {int32([])}};
for k = 1:numel(badQCam)
  try
    QCamCamera(badQCam{k}{:});
    check(false, 'QCamCamera refuses argument set %d', k);
  catch err
    % Too many inputs are refused by the language itself.
    check(strncmp(err.identifier, 'QCamCamera:', 11) || strcmp(err.identifier, 'Octave:invalid-fun-call'), ...
          'QCamCamera refuses argument set %d: %s', k, err.message);
  end
end
camsim('qcamReset');
SimulatedQCamCamera(203, 'QSIM0203', 8, 6, 8);
clear snapPicture
checkEqual(size(snapPicture(QCamCamera(203))), [6 8], 'snapPicture takes a QCamCamera');

% registerCorvid registers the adaptor beside it, then resets the toolbox.
% Octave has no Image Acquisition Toolbox: stand-ins note the calls.
stubs = tempname();
mkdir(stubs);
stub = fopen(fullfile(stubs, 'imaqregister.m'), 'w');
fprintf(stub, 'function imaqregister(varargin)\n  global IMAQ_CALLS\n  IMAQ_CALLS{end + 1} = [{''imaqregister''}, varargin];\nend\n');
fclose(stub);
stub = fopen(fullfile(stubs, 'imaqreset.m'), 'w');
fprintf(stub, 'function imaqreset()\n  global IMAQ_CALLS\n  IMAQ_CALLS{end + 1} = {''imaqreset''};\nend\n');
fclose(stub);
addpath(stubs);
global IMAQ_CALLS
IMAQ_CALLS = {};
adaptor = fullfile(prefix, 'corvid.so');
if exist(adaptor, 'file')
  checkEqual(registerCorvid(), adaptor, 'registerCorvid names the installed adaptor');
  checkEqual(IMAQ_CALLS, {{'imaqregister', adaptor}, {'imaqreset'}}, 'it registers that file, then resets');
else
  % A build without the adaptor kit installs no corvid.
  try
    registerCorvid();
    check(false, 'registerCorvid without an adaptor beside it is refused');
  catch err
    checkEqual(err.identifier, 'registerCorvid:missing', 'registerCorvid without an adaptor beside it is refused');
    checkEqual(IMAQ_CALLS, {}, 'and registers nothing');
  end
end
rmpath(stubs);
confirm_recursive_rmdir(false, 'local');
rmdir(stubs, 's');
