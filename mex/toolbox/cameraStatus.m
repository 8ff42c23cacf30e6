function result = cameraStatus(code, driver)
%CAMERASTATUS  Name and meaning of a status the Andor or QCam driver returned.
%   CAMERASTATUS(CODE) prints the name and meaning of the driver status
%   CODE, such as the number in "ERROR in takeEarliest call. Status code
%   20024 was returned":
%
%       >> cameraStatus(20024)
%       Andor status 20024 (DRV_NO_NEW_DATA): no new data: ...
%
%   S = CAMERASTATUS(CODE) prints nothing and returns a struct with the
%   fields
%     code     CODE, a double
%     driver   'andor' or 'qcam': the driver whose status it is ('' for a
%              code neither driver is known to return, when no DRIVER is
%              given)
%     name     the status's name, '' for a code not known
%     meaning  what the status means, and where the camera functions
%              meet it; for a code not known, a text that says so
%
%   CAMERASTATUS(CODE, DRIVER) looks CODE up among the statuses of one
%   driver only, 'andor' or 'qcam'. Without DRIVER it looks among both:
%   the Andor driver's statuses are in the 20000s, the QCam driver's are
%   small numbers, and no code is a status of both.
%
%   CAMERASTATUS(ERR) takes the status from an error that reports one (the
%   error caught, or its message text), and the driver from the function that
%   raised it (takeEarliest: Andor, snapPicture: QCam):
%
%       try
%         picture = snapPicture(cam);
%       catch err
%         cameraStatus(err)
%       end
%
%   The statuses it knows
%     Andor  20002 DRV_SUCCESS          20072 DRV_ACQUIRING
%            20024 DRV_NO_NEW_DATA      20073 DRV_IDLE
%            20066 DRV_INVALID_P1       20075 DRV_NO_CAMERA
%            20067 DRV_INVALID_P2       20076 DRV_INVALID_P5
%            20068 DRV_INVALID_P3       20077 DRV_INVALID_P6
%            20069 DRV_INVALID_P4       (P1 to P6: an argument of the call)
%     QCam   0 QCAM_SUCCESS             9 QCAM_INVALID_HANDLE
%            1 QCAM_NOT_SUPPORTED       20 QCAM_BUFFER_TOO_SMALL
%            2 QCAM_INVALID_VALUE
%
%   Errors
%     cameraStatus: give a status code, or an error or message that reports one.
%     cameraStatus: the status code must be a whole number.
%     cameraStatus: the driver must be 'andor' or 'qcam'.
%     cameraStatus: <code> is a status of both drivers; give the driver, 'andor' or 'qcam'.
%     cameraStatus: the message reports no status code: <message>
%
%   See also TAKEEARLIEST, SNAPPICTURE, WATCHDRIVERSIGNAL, SUBMITBUFFERS.

if nargin < 1
  error('cameraStatus:arguments', 'cameraStatus: give a status code, or an error or message that reports one.');
end
if nargin < 2
  driver = '';
elseif ~ischar(driver) || ~any(strcmpi(driver, {'andor', 'qcam'}))
  error('cameraStatus:driver', 'cameraStatus: the driver must be ''andor'' or ''qcam''.');
else
  driver = lower(driver);
end

% A caught error is an MException in MATLAB and a struct in Octave.
if isa(code, 'MException') || (isstruct(code) && isscalar(code) && isfield(code, 'message'))
  code = code.message;
end
if ischar(code)
  [code, reporter] = statusOfMessage(code);
  if isempty(driver)
    driver = reporter;
  end
end
if ~isnumeric(code) || ~isscalar(code) || ~isreal(code) || ~isfinite(code) || double(code) ~= fix(double(code))
  error('cameraStatus:code', 'cameraStatus: the status code must be a whole number.');
end
code = double(code);

s = struct('code', code, 'driver', driver, 'name', '', 'meaning', '');
known = statusTable();
at = find(cell2mat(known(:, 2)) == code & (isempty(driver) | strcmp(known(:, 1), driver)));
if numel(at) > 1
  error('cameraStatus:driver', 'cameraStatus: %d is a status of both drivers; give the driver, ''andor'' or ''qcam''.', code);
elseif numel(at) == 1
  s.driver = known{at, 1};
  s.name = known{at, 3};
  s.meaning = known{at, 4};
elseif isempty(driver)
  s.meaning = 'not a status cameraStatus knows of the Andor or the QCam driver';
else
  s.meaning = sprintf('not a status cameraStatus knows of the %s driver', driverLabel(driver));
end

if nargout > 0
  result = s;
elseif isempty(s.name)
  fprintf('%s %d: %s\n', capitalized(statusLabel(s.driver)), s.code, s.meaning);
else
  fprintf('%s %d (%s): %s\n', capitalized(statusLabel(s.driver)), s.code, s.name, s.meaning);
end
end

function [code, driver] = statusOfMessage(message)
% The texts of the camera functions' status errors, in MATLAB's form and in
% Octave's (which puts the function's name first).
number = regexp(message, 'Status code (-?\d+)', 'tokens', 'once');
if isempty(number)
  error('cameraStatus:message', 'cameraStatus: the message reports no status code: %s', message);
end
code = str2double(number{1});
driver = '';
if ~isempty(strfind(message, 'takeEarliest'))
  driver = 'andor';
elseif ~isempty(strfind(message, 'snapPicture'))
  driver = 'qcam';
end
end

function label = statusLabel(driver)
if isempty(driver)
  label = 'status';
else
  label = [driverLabel(driver) ' status'];
end
end

function label = driverLabel(driver)
if strcmp(driver, 'andor')
  label = 'Andor';
else
  label = 'QCam';
end
end

function text = capitalized(text)
text(1) = upper(text(1));
end

function known = statusTable()
% Driver, code, name, meaning: every status the drivers return.
known = {
  'andor', 20002, 'DRV_SUCCESS', 'success: the driver did what was asked'
  'andor', 20024, 'DRV_NO_NEW_DATA', ['no new data: the camera holds no image that has not been read, or a wait ' ...
                                      'for an image ended without one (its acquisition was aborted). For ' ...
                                      'takeEarliest the usual end of reading: every image has been read']
  'andor', 20066, 'DRV_INVALID_P1', ['the first argument of the driver call is not valid: a camera handle no ' ...
                                     'camera has, an image the camera no longer holds, or no buffer to read into']
  'andor', 20067, 'DRV_INVALID_P2', ['the second argument of the driver call is not valid. For takeEarliest: ' ...
                                     'the array does not have as many elements as the image has pixels (give ' ...
                                     'the camera''s image size, or an output size of as many elements)']
  'andor', 20068, 'DRV_INVALID_P3', 'the third argument of the driver call is not valid'
  'andor', 20069, 'DRV_INVALID_P4', 'the fourth argument of the driver call is not valid'
  'andor', 20072, 'DRV_ACQUIRING', ['an acquisition is running: the driver refuses to start another, or to ' ...
                                    'change the image area or exposure, until it is aborted']
  'andor', 20073, 'DRV_IDLE', 'no acquisition is running: there is nothing to wait for or abort'
  'andor', 20075, 'DRV_NO_CAMERA', ['there is no camera to act on: the driver has no camera, or none is ' ...
                                    'selected as its current camera']
  'andor', 20076, 'DRV_INVALID_P5', 'the fifth argument of the driver call is not valid'
  'andor', 20077, 'DRV_INVALID_P6', 'the sixth argument of the driver call is not valid'
  'qcam', 0, 'QCAM_SUCCESS', 'success: the driver did what was asked'
  'qcam', 1, 'QCAM_NOT_SUPPORTED', 'not supported: the camera does not know the information asked for'
  'qcam', 2, 'QCAM_INVALID_VALUE', 'a value is not valid: a missing buffer or frame record, or a size of zero'
  'qcam', 9, 'QCAM_INVALID_HANDLE', ['no open camera has this handle: check the camera object''s ' ...
                                     'cameraHandle, and that the camera is open']
  'qcam', 20, 'QCAM_BUFFER_TOO_SMALL', ['the frame''s buffer is missing or too small for the image: the ' ...
                                        'frame comes back with nothing written to it']};
end
