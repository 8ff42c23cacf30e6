% takeEarliest as Octave code meets it: sizes and classes of the new array,
% the pixels the simulator stamped, the global-variable path, the errors.
camsim('andorReset');
cam = SimulatedAndorCamera(100, 10, 10);   % 100 pixels an image: 10 x 10, 100 x 1, 4 x 25 all fit
start(cam);
produce(cam, 12);
% The simulator stamps each image's number in its first two pixels (low,
% high 16 bits); images are numbered from 1 within the acquisition.
stamp = @(image) double(typecast(int16(image(1)), 'uint16')) + 65536 * double(image(2));

image = takeEarliest(cam, 16);
checkEqual(class(image), 'int16', 'bit depth 16 gives int16');
checkEqual(size(image), [10 10], 'no size: expectedM x expectedN');
checkEqual(stamp(image), 1, 'the oldest image comes first');
image = takeEarliest(cam, 16, []);
checkEqual(size(image), [10 10], 'an empty size: expectedM x expectedN');
checkEqual(stamp(image), 2, 'then the next');
image = takeEarliest(cam, 16, 100);
checkEqual(size(image), [100 1], 'a scalar size n gives n x 1');
image = takeEarliest(cam, 16, int32(100));
checkEqual(size(image), [100 1], 'a scalar of another class is taken as well');
image = takeEarliest(cam, 16, [4 25]);
checkEqual(size(image), [4 25], 'a two-element double size gives rows x columns');
image = takeEarliest(cam, 32, 100.9);
checkEqual(class(image), 'int32', 'bit depth 32 gives int32');
checkEqual(size(image), [100 1], 'a fractional size is truncated');
checkEqual(double(image(1)), 6, 'the 32-bit read carries the same stamp');
image = takeEarliest(cam, 16.7);
checkEqual(class(image), 'int16', 'bit depth 16.7 counts as 16');
checkEqual(stamp(image), 7, 'and reads the next image');
takeEarliest(cam, 16);   % no output asked: the image is consumed all the same
image = takeEarliest(cam, 16);
checkEqual(stamp(image), 9, 'a call without output consumed image 8');
state = camsim('andorCamera', 100);
checkEqual(state.read, 9, 'the driver counted nine reads');

% Into a global variable: no output, the variable filled in place.
global frameStore
frameStore = zeros(10, 10, 'int16');
takeEarliest(cam, 16, 'frameStore');
checkEqual(size(frameStore), [10 10], 'the global keeps its size');
checkEqual(class(frameStore), 'int16', 'and its class');
checkEqual(stamp(frameStore), 10, 'and holds the oldest image');
global frameWide
frameWide = zeros(100, 1, 'int32');
takeEarliest(cam, 32, 'frameWide');
checkEqual(double(frameWide(1)), 11, 'a 32-bit global is filled too');
printed = evalc('takeEarliest(cam, 16, ''noSuchGlobal'')');
checkEqual(printed, sprintf('Failed to find variable ''noSuchGlobal'' in workspace. Aborting read.\n'), ...
  'a missing global is reported');
state = camsim('andorCamera', 100);
checkEqual(state.read, 11, 'and nothing was read for it');

% Argument errors, each with its text.
checkError(@() takeEarliest(cam, 16, int32([4 25])), 'takeEarliest', ...
  ' At this time, if an output size array is specified, it must be given as class ''double''.', 'an int32 size pair');
checkError(@() takeEarliest(cam, 16, [1 2 3]), 'takeEarliest', ...
  'Either a scalar valure or a 2 element array must be supplied as the outputSize', 'a three-element size');
checkError(@() takeEarliest(cam), 'takeEarliest', ...
  'takeEarliest: at least two inputs are needed, the camera object and the bit depth.', 'one input');
checkError(@() takeEarliest(cam, 8), 'takeEarliest', 'takeEarliest: the bit depth must be 16 or 32.', 'bit depth 8');
checkError(@() takeEarliest(cam, 16, {1}), 'takeEarliest', ...
  'takeEarliest: the third input must be an output size or the name of a global variable.', 'a cell as third input');
global narrowStore
narrowStore = zeros(10, 10, 'uint8');
checkError(@() takeEarliest(cam, 16, 'narrowStore'), 'takeEarliest', ...
  'takeEarliest: the global variable ''narrowStore'' must be a numeric array whose elements are at least 16 bits wide.', ...
  'a global too narrow for the pixels');
% Sparse storage holds only the nonzero elements: the driver would write past
% it. A complex global would take the image in its real parts alone.
global sparseStore
sparseStore = sparse(10, 10);
checkError(@() takeEarliest(cam, 16, 'sparseStore'), 'takeEarliest', ...
  'takeEarliest: the global variable ''sparseStore'' must be a full, real array; it is sparse.', 'a sparse global');
global complexStore
complexStore = complex(zeros(10, 10), ones(10, 10));
checkError(@() takeEarliest(cam, 16, 'complexStore'), 'takeEarliest', ...
  'takeEarliest: the global variable ''complexStore'' must be a full, real array; it is complex.', 'a complex global');
checkEqual(complexStore, complex(zeros(10, 10), ones(10, 10)), 'the refused global is left as it was');
checkError(@() takeEarliest(cam, 16, sparse([0 100])), 'takeEarliest', ...
  'takeEarliest: the output size must be a full array; it is sparse.', 'a sparse size');
checkError(@() takeEarliest(struct('expectedM', 'x'), 16), 'takeEarliest', ...
  'takeEarliest: without an output size the camera object must have numeric expectedM and expectedN properties.', ...
  'no size and no size properties');
state = camsim('andorCamera', 100);
checkEqual(state.read, 11, 'refused calls read nothing');

% A failing driver status ends the call with its number.
camsim('andorInjectStatus', 'readOldestImage16', 20024, 'once');
checkError(@() takeEarliest(cam, 16), 'takeEarliest', 'ERROR in takeEarliest call. Status code 20024 was returned', ...
  'an injected driver status');
checkError(@() takeEarliest(cam, 16, 2.9), 'takeEarliest', 'ERROR in takeEarliest call. Status code 20067 was returned', ...
  'a size the image does not have: the driver''s refusal');
image = takeEarliest(cam, 16);
checkEqual(stamp(image), 12, 'after the errors the next image is still the oldest unread');
checkError(@() takeEarliest(cam, 16), 'takeEarliest', 'ERROR in takeEarliest call. Status code 20024 was returned', ...
  'no unread image left');
stop(cam);
