function adaptorFile = registerCorvid()
%REGISTERCORVID  Register the corvid adaptor for Andor cameras with the Image Acquisition Toolbox.
%   REGISTERCORVID registers corvid, the adaptor installed in the same
%   folder as this file (corvid.dll), with imaqregister, then calls
%   imaqreset so that the toolbox loads it: imaqhwinfo then lists the
%   adaptor 'corvid' with a device for each Andor camera (the first is
%   device 0: videoinput('corvid', 0, 'testing')). Before moving the
%   folder, undo the registration (below); then run it from the new place.
%
%   imaqreset disconnects and deletes every video input object of the
%   session, so run it before making any.
%
%   ADAPTORFILE = REGISTERCORVID also returns the adaptor's full file name.
%
%   To undo the registration:
%       imaqregister(fullfile(fileparts(which('registerCorvid')), 'corvid.dll'), 'unregister');
%       imaqreset
%
%   See also IMAQREGISTER, IMAQRESET, IMAQHWINFO.

if ispc
  name = 'corvid.dll';
else
  % A build for another platform names its adaptor as that platform's libraries.
  name = 'corvid.so';
end
file = fullfile(fileparts(mfilename('fullpath')), name);
if ~exist(file, 'file')
  error('registerCorvid:missing', 'registerCorvid: there is no adaptor %s beside this file.', file);
end
imaqregister(file);
imaqreset;
if nargout > 0
  adaptorFile = file;
end
end
