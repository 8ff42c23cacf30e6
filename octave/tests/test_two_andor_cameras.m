% Two Andor cameras watched at once, each callback reading its image with
% takeEarliest: the driver's current camera is the whole process's, and each
% callback must read the camera whose event it is, whichever was selected
% last.
camsim('andorReset');
one = SimulatedAndorCamera(100, 16, 12);
two = SimulatedAndorCamera(101, 8, 8);
camsim('andorSetFirstImageNumber', 101, 500000);
start(one);
start(two);
global CAMERA_READS
CAMERA_READS = zeros(0, 2);
watchDriverSignal(one, @readingCallback);
watchDriverSignal(two, @readingCallback);
for round = 1:3
  produce(one, 1);
  produce(two, 1);
  camsim('andorSelect', 100 + mod(round, 2));  % another camera current, as other code leaves it
  check(waitUntil(@() size(globalValue('CAMERA_READS'), 1) >= 2 * round, 5), 'round %d: both callbacks ran', round);
end
reads = CAMERA_READS;
checkEqual(reads(reads(:, 1) == 100, 2)', [1 2 3], 'camera 100''s callback read camera 100''s images');
checkEqual(reads(reads(:, 1) == 101, 2)', [500000 500001 500002], 'camera 101''s callback read camera 101''s images');
watchDriverSignal(one);
watchDriverSignal(two);
stop(one);
stop(two);
