% watchDriverSignal as Octave code meets it: argument errors, the callback's
% exact arguments, clearing, replacing, and errors raised by the callback.
camsim('andorReset');
cam = SimulatedAndorCamera(100, 16, 12);
other = SimulatedAndorCamera(101, 8, 8);
start(cam);
start(other);
global CALLBACK_CALLS
CALLBACK_CALLS = {};
one = @() callbackCount() >= 1;

% Argument errors, each with its text; nothing is registered by them.
checkError(@() watchDriverSignal(), 'watchDriverSignal', ...
  'watchDriverSignal: the first argument must be a camera object with a cameraHandle property.', 'no argument');
checkError(@() watchDriverSignal(struct('x', 1), @recordCallback), 'watchDriverSignal', ...
  'watchDriverSignal: the first argument must be a camera object with a numeric scalar cameraHandle property.', ...
  'an argument without cameraHandle');
checkError(@() watchDriverSignal(cam, 'recordCallback'), 'watchDriverSignal', ...
  'watchDriverSignal: the second argument must be a function handle, or empty to clear.', 'a name, not a handle');
checkError(@() watchDriverSignal(cam, {@recordCallback, @recordCallback}), 'watchDriverSignal', ...
  'watchDriverSignal: the second argument must be a function handle, or empty to clear.', 'a cell of handles');
state = camsim('andorCamera', 100);
checkEqual(state.hasEvent, 0, 'a refused call gives the driver no event');

% The callback gets exactly the camera object and a 0-by-0 struct without
% fields, and is asked for no output.
watchDriverSignal(cam, @recordCallback);
state = camsim('andorCamera', 100);
checkEqual(state.hasEvent, 1, 'registering gives the camera a driver event');
checkEqual(camsim('andorCurrentCamera'), 100, 'and selects the camera');
produce(cam, 1);
check(waitUntil(one, 5), 'a driver signal calls the callback');
call = CALLBACK_CALLS{1};
checkEqual(numel(call.arguments), 2, 'the callback gets two arguments');
checkEqual(class(call.arguments{1}), 'SimulatedAndorCamera', 'the first is the camera object');
checkEqual(call.arguments{1}.cameraHandle, 100, 'of this camera');
checkEqual(class(call.arguments{2}), 'struct', 'the second is a struct');
checkEqual(size(call.arguments{2}), [0 0], 'of size 0-by-0');
checkEqual(numel(fieldnames(call.arguments{2})), 0, 'with no fields');
checkEqual(call.nargout, 0, 'no output is asked of the callback');

% Each later signal calls it again, once per message.
produce(cam, 1);
check(waitUntil(@() callbackCount() >= 2, 5), 'the next signal calls it again');
checkEqual(pumpEvents(), 0, 'and leaves nothing queued');

% Clearing with one argument, or with an empty second one, stops the calls;
% events already queued call nothing either.
produce(cam, 1);
checkEqual(camsim('waitForMessage', 5000), 1, 'an event is queued');
watchDriverSignal(cam);
pumpEvents();
checkEqual(callbackCount(), 2, 'an event queued before the clear calls nothing');
state = camsim('andorCamera', 100);
checkEqual(state.hasEvent, 0, 'clearing takes the event back from the driver');
produce(cam, 1);
checkEqual(camsim('waitForMessage', 200), 0, 'a cleared camera posts nothing');
watchDriverSignal(cam, @recordCallback);
watchDriverSignal(cam, []);
state = camsim('andorCamera', 100);
checkEqual(state.hasEvent, 0, 'an empty second argument clears too');
watchDriverSignal(other);  % never registered: nothing happens, nothing is printed
checkEqual(evalc('watchDriverSignal(other, [])'), '', 'clearing an unregistered camera prints nothing');

% Registering again replaces the callback; the camera object is the one
% given first.
CALLBACK_CALLS = {};
watchDriverSignal(cam, @(c, s) recordCallback(c, s, 'first'));
watchDriverSignal(cam, @(c, s) recordCallback(c, s, 'second'));
produce(cam, 1);
check(waitUntil(one, 5), 'the replaced registration is called');
checkEqual(CALLBACK_CALLS{1}.arguments{3}, 'second', 'the latest callback runs, once');
checkEqual(numel(CALLBACK_CALLS), 1, 'and only it');
checkEqual(camsim('runningThreads'), 1, 'one watcher thread per registered camera');
watchDriverSignal(cam);
checkEqual(camsim('runningThreads'), 0, 'clearing ends the watcher');

% Two cameras, each with its own callback.
CALLBACK_CALLS = {};
watchDriverSignal(cam, @(c, s) recordCallback(c.cameraHandle));
watchDriverSignal(other, @(c, s) recordCallback(c.cameraHandle));
produce(other, 1);
check(waitUntil(one, 5), 'the second camera''s signal is delivered');
checkEqual(CALLBACK_CALLS{1}.arguments{1}, 101, 'to the second camera''s callback');
produce(cam, 1);
check(waitUntil(@() callbackCount() >= 2, 5), 'the first camera''s too');
checkEqual(CALLBACK_CALLS{2}.arguments{1}, 100, 'to its own callback');
watchDriverSignal(other);

% A handle property of 3.7 names camera 3.
% The toolbox's AndorCamera refuses such a handle; a plain object does not.
SimulatedAndorCamera(3, 4, 4);
three = PlainCamera(3.7);
watchDriverSignal(three, @recordCallback);
checkEqual(camsim('andorCurrentCamera'), 3, 'cameraHandle 3.7 selects camera 3');
watchDriverSignal(three);

% A failing callback prints one line with its own message, and the next
% event calls it again; the message is where lasterr reads it, as after an
% error at the prompt.
CALLBACK_CALLS = {};
watchDriverSignal(cam, @failingCallback);
produce(cam, 1);
checkEqual(camsim('waitForMessage', 5000), 1, 'the failing callback''s event is queued');
printed = evalc('pumpEvents();');
checkEqual(callbackCount(), 1, 'the failing callback ran');
prefix = 'ERROR in event callback of AndorCamera object: ';
lines = strsplit(strtrim(printed), "\n");
checkEqual(numel(lines), 1, 'one line is printed');
checkEqual(lines{1}, [prefix 'callback failed on call 1'], 'the error line quotes the callback''s error');
checkEqual(lasterr(), 'callback failed on call 1', 'lasterr reads the callback''s error');
produce(cam, 1);
checkEqual(camsim('waitForMessage', 5000), 1, 'the next event is queued');
printed = evalc('pumpEvents();');
checkEqual(callbackCount(), 2, 'and calls the failing callback again');
checkEqual(strtrim(printed), [prefix 'callback failed on call 2'], 'with that call''s own error');

% A message with format characters is printed as it is; a callback that
% answers a value (any size) is no failure.
watchDriverSignal(cam, @(camera, ~) error('Camera:test', '%s', '100% \n of %d'));
produce(cam, 1);
checkEqual(camsim('waitForMessage', 5000), 1, 'the formatted failure''s event is queued');
printed = evalc('pumpEvents();');
checkEqual(strtrim(printed), [prefix '100% \n of %d'], 'the message is printed word for word');
watchDriverSignal(cam, @(camera, ~) zeros(3, 4));
produce(cam, 1);
checkEqual(camsim('waitForMessage', 5000), 1, 'the answering callback''s event is queued');
printed = evalc('pumpEvents();');
checkEqual(printed, '', 'a callback answering a matrix prints nothing');
watchDriverSignal(cam);
stop(cam);
stop(other);
