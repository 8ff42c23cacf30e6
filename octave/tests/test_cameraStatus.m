% cameraStatus against the simulated drivers: every status they define or
% return has its name and a meaning, found under its own driver; a code no
% driver returns is said to be unknown; the status errors of takeEarliest
% and snapPicture are read as they are raised.
root = fileparts(fileparts(fileparts(which('test_cameraStatus'))));
source = @(varargin) fileread(fullfile(root, varargin{:}));
helpText = evalc('help cameraStatus');

% The statuses, from the drivers' sources: success from the driver header;
% the others from the control header's list of statuses (named here as
% cameraStatus names them, the prefix DRV_ or QCAM_ for the simulator's)
% and from every status name the simulator's sources return or assign.
drivers = {
  'andor', 'andor_driver.h', 'ANDOR_STATUS_SUCCESS', 'DRV_SUCCESS', 'ANDOR_SIM_', 'DRV_'
  'qcam', 'qcam_driver.h', 'QCAM_STATUS_SUCCESS', 'QCAM_SUCCESS', 'QCAM_SIM_', 'QCAM_'};
for d = 1:rows(drivers)
  [driver, driverHeader, successMacro, successName, simPrefix, namePrefix] = drivers{d, :};
  success = regexp(source('drivers', driverHeader), ['#define ' successMacro '\s+(-?\d+)'], 'tokens', 'once');
  check(~isempty(success), '%s: %s is found', driver, successMacro);
  statuses = {str2double(success{1}), successName};

  header = source('platform', driver, 'include', [driver '_sim_control.h']);
  defined = regexp(header, ['#define ' simPrefix '(\w+)\s+(-?\d+)'], 'tokens');
  defined = containers.Map(cellfun(@(t) t{1}, defined, 'UniformOutput', false), ...
                           cellfun(@(t) str2double(t{2}), defined, 'UniformOutput', false));
  list = regexp(header, '/\* Statuses[^\n]*\*/\n(.*?)\n\n', 'tokens', 'once');
  check(~isempty(list), '%s: the control header lists its statuses', driver);
  listed = regexp(list{1}, ['#define ' simPrefix '(\w+)'], 'tokens');
  names = cellfun(@(t) t{1}, listed, 'UniformOutput', false);
  check(numel(names) >= 4, '%s: the statuses listed: %s', driver, strjoin(names, ' '));
  sources = dir(fullfile(root, 'platform', driver, 'src', '*.cpp'));
  for k = 1:numel(sources)
    text = source('platform', driver, 'src', sources(k).name);
    returned = regexp(text, ['(?:return|=)\s+' simPrefix '(\w+);'], 'tokens');
    names = [names, cellfun(@(t) t{1}, returned, 'UniformOutput', false)];
  end
  names = unique(names);
  for k = 1:numel(names)
    check(isKey(defined, names{k}), '%s: the header defines %s%s', driver, simPrefix, names{k});
    if isKey(defined, names{k})
      statuses(end + 1, :) = {defined(names{k}), [namePrefix names{k}]};
    end
  end

  for k = 1:rows(statuses)
    [code, name] = statuses{k, :};
    s = cameraStatus(code);
    checkEqual({s.code, s.driver, s.name}, {code, driver, name}, 'cameraStatus(%d) names the %s status', code, driver);
    check(ischar(s.meaning) && numel(s.meaning) > 10 && isempty(strfind(s.meaning, 'not a status')), ...
          'cameraStatus(%d) gives a meaning: %s', code, s.meaning);
    checkEqual(cameraStatus(code, upper(driver)), s, 'cameraStatus(%d, ''%s'') finds it too', code, upper(driver));
    check(~isempty(strfind(helpText, name)), 'help cameraStatus lists %s', name);
  end
end

% Printed rather than returned: one line with the code, the name and the meaning.
s = cameraStatus(int32(20024));
checkEqual(fieldnames(s)', {'code', 'driver', 'name', 'meaning'}, 'cameraStatus returns its fields');
checkEqual(evalc('cameraStatus(20024)'), sprintf('Andor status 20024 (DRV_NO_NEW_DATA): %s\n', s.meaning), ...
           'cameraStatus prints the status');
checkEqual(evalc('s = cameraStatus(20024);'), '', 'and prints nothing when its result is kept');

% Codes the drivers do not return: no name, a meaning that says so.
unknown = {13, '', 'Andor or the QCam'; 20001, '', 'Andor or the QCam'; 20024, 'qcam', 'QCam'; 9, 'andor', 'Andor'};
for k = 1:rows(unknown)
  [code, driver, label] = unknown{k, :};
  if isempty(driver)
    s = cameraStatus(code);
  else
    s = cameraStatus(code, driver);
  end
  checkEqual({s.code, s.driver, s.name}, {code, driver, ''}, 'cameraStatus(%d, ''%s'') knows no such status', code, driver);
  check(~isempty(strfind(s.meaning, 'not a status')) && ~isempty(strfind(s.meaning, label)), ...
        'the meaning of unknown status %d says so: %s', code, s.meaning);
end
printed = evalc('cameraStatus(13)');
check(~isempty(strfind(printed, 'Status 13: not a status')), 'an unknown status printed says so: %s', printed);

% The errors that report a status, as raised (Octave's form) and as MATLAB words them.
camsim('andorReset');
camsim('qcamReset');
andor = SimulatedAndorCamera(100, 8, 6);
camsim('andorInjectStatus', 'readOldestImage16', 20024, 'once');
try
  takeEarliest(andor, 16);
  check(false, 'takeEarliest reports the injected status');
catch err
  s = cameraStatus(err);
  checkEqual({s.code, s.driver, s.name}, {20024, 'andor', 'DRV_NO_NEW_DATA'}, 'cameraStatus reads takeEarliest''s error');
end
clear snapPicture
try
  snapPicture(QCamCamera(999));
  check(false, 'snapPicture of a camera the driver lacks fails');
catch err
  s = cameraStatus(err.message);
  checkEqual({s.code, s.driver, s.name}, {9, 'qcam', 'QCAM_INVALID_HANDLE'}, 'cameraStatus reads snapPicture''s error');
end
clear snapPicture
s = cameraStatus('ERROR in takeEarliest call. Status code 9 was returned');
checkEqual({s.driver, s.name}, {'andor', ''}, 'a message names its driver: 9 is no Andor status');

% What cannot be a status is refused.
refused = {{}, 'cameraStatus:arguments'; {1.5}, 'cameraStatus:code'; {[1 2]}, 'cameraStatus:code'; ...
           {NaN}, 'cameraStatus:code'; {{20024}}, 'cameraStatus:code'; {20024, 'matlab'}, 'cameraStatus:driver'; ...
           {'no status here'}, 'cameraStatus:message'};
for k = 1:rows(refused)
  [given, identifier] = refused{k, :};
  try
    cameraStatus(given{:});
    check(false, 'cameraStatus refuses argument set %d', k);
  catch err
    checkEqual(err.identifier, identifier, 'cameraStatus refuses argument set %d: %s', k, err.message);
    quoted = regexprep(err.message, 'no status here$', '<message>');
    check(~isempty(strfind(helpText, quoted)), 'help cameraStatus quotes its error "%s"', quoted);
  end
end
