% What a frame callback holds is its own frame: after it took messages
% inside itself (drawnow), after it kept the struct for later, after the
% library let go of the frame and was cleared; and a frame the camera
% failed to fill says so.
camsim('qcamReset');
cam = SimulatedQCamCamera(200, 'QSIM0200', 16, 12, 16);

% drawnow inside a callback runs the next frame's dispatch there.
global PUMPED
PUMPED = struct('calls', 0, 'before', [], 'after', [], 'nested', []);
evalc('submitBuffers(cam, @pumpingCallback, 2)');
produce(cam, 1);
check(waitUntil(@() globalValue('PUMPED').calls >= 2, 5), 'both frames reach the callback, the second inside the first');
checkEqual(frameStamp(PUMPED.before), 1, 'the first callback has the first image');
checkEqual(frameStamp(PUMPED.nested), 2, 'the nested one the second');
checkEqual(PUMPED.after, PUMPED.before, 'the first callback''s frame is unchanged after the nested dispatch');

% A 200-frame stream whose callback keeps every struct.
global KEPT
KEPT = struct('total', 200, 'out', 8, 'frames', {{}}, 'seen', {{}});
camsim('qcamSetFramePeriod', 0.001);
evalc(['submitBuffers(cam, @keepingCallback, KEPT.out); start(cam); ' ...
       'waitUntil(@() numel(globalValue(''KEPT'').frames) >= KEPT.total, 60); stop(cam);']);
checkEqual(camsim('qcamWaitUntilDrained', 5000), 1, 'no frame is left queued');
evalc('pumpEvents();');
checkEqual(numel(KEPT.frames), KEPT.total, 'one callback per frame');
clear submitBuffers
stamps = cellfun(@(s) frameStamp(s.frameData), KEPT.frames);
checkEqual(stamps, 2 + (1:KEPT.total), 'each kept struct holds its own image, after the library is cleared');
checkEqual(cellfun(@(s, seen) isequal(s.frameData, seen), KEPT.frames, KEPT.seen), true(1, KEPT.total), ...
           'and every pixel of it');
checkEqual(cellfun(@(s) s.errorCode, KEPT.frames), zeros(1, KEPT.total), 'good frames have error code 0');

% A frame completed with an error reaches its callback with the code.
global CALLBACK_CALLS
CALLBACK_CALLS = {};
evalc('submitBuffers(cam, @recordCallback, 2)');
camsim('qcamInjectStatus', 'frameCompletion', 20, 'once');
produce(cam, 2);
check(waitUntil(@() callbackCount() >= 2, 5), 'the failed frame and the good one reach the callback');
codes = cellfun(@(c) c.arguments{2}.errorCode, CALLBACK_CALLS);
checkEqual(codes, [20 0], 'the failed frame carries the driver''s code, the good one 0');
checkEqual(fieldnames(CALLBACK_CALLS{1}.arguments{2}), {'frameData'; 'errorCode'}, 'the struct''s fields');
