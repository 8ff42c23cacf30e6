% submitBuffers over a long stream and across a second call: a callback
% that queues each next frame itself for 1,000 frames of a free-running
% camera; a second call made while the first call's frames are still out,
% whose frames and the earlier ones must each reach MATLAB with the image
% the camera wrote into them; and the library unloading once all is back.
camsim('qcamReset');
cam = SimulatedQCamCamera(200, 'QSIM0200', 16, 12, 16);
baseHooks = camsim('hookCount');
% Octave has no inmem: a library still loaded is one still mapped.
libraryMapped = @() ~isempty(strfind(fileread('/proc/self/maps'), '/submitBuffers.mex'));
check(~libraryMapped(), 'submitBuffers is not loaded before its first call');

% A 1,000-frame stream, one frame out at a time. The simulated camera makes
% an image only while a frame is queued, so no image falls between a frame
% and the one its callback queues: the stamps must run 1 to 1,000.
global FRAME_STREAM
total = 1000;
FRAME_STREAM = struct('total', total, 'size', [12 16], 'count', 0, ...
                      'stamps', nan(1, total), 'wellFormed', false(1, total));
camsim('qcamSetFramePeriod', 0.001);
% The library prints for every call and dispatch; kept out of the test's
% output and counted instead.
printed = evalc(['submitBuffers(cam, @requeueingCallback, 1); start(cam); ' ...
                 'streamed = waitUntil(@() streamedFrameCount() >= total, 60); stop(cam);']);
check(streamed, 'the stream delivers %d frames within 60 s (got %d)', total, FRAME_STREAM.count);
% Anything still on its way would arrive now.
checkEqual(camsim('qcamWaitUntilDrained', 5000), 1, 'no frame is left queued on the camera');
printed = [printed evalc('pumpEvents();')];
checkEqual(FRAME_STREAM.count, total, 'exactly one callback per frame');
stamps = FRAME_STREAM.stamps;
departure = find(stamps ~= 1:total, 1);
check(isempty(departure), 'the stamps run 1 to %d, each once: frame %d holds image %g', ...
      total, departure, stamps(max([departure 1])));
checkEqual(numel(unique(stamps(~isnan(stamps)))), total, 'no image reaches the callback twice');
checkEqual(find(~FRAME_STREAM.wellFormed), zeros(1, 0), 'every frame is a 12-by-16 uint16 matrix');
counters = camsim('qcamCounters', 200);
checkEqual([counters.queued counters.produced counters.completed counters.failed counters.lost], ...
           [total total total 0 0], 'the camera filled every queued frame with its own image, lost none');
checkEqual(numel(strfind(printed, 'Reached Matlab Callback Wrapper')), total, 'one dispatch per frame');
check(isempty(strfind(printed, 'ERROR')), 'no callback fails');
check(~mislocked('submitBuffers'), 'the library lets itself go once the stream is back');

% A second call while three frames of the first are out: the camera fills
% frames in the order they were queued, the first call's three before the
% second's two, and each frame must carry the image written into it. The
% record's latest callback is the one that runs, for every frame.
global CALLBACK_CALLS
CALLBACK_CALLS = {};
before = camsim('qcamCounters', 200);
evalc('submitBuffers(cam, @(c, s) recordCallback(''first'', c, s), 3)');
evalc('submitBuffers(cam, @(c, s) recordCallback(''second'', c, s), 2)');
counters = camsim('qcamCounters', 200);
checkEqual(counters.waiting, 5, 'the first call''s frames stay queued beside the second''s');
check(mislocked('submitBuffers'), 'the library stays locked while frames are out');
checkEqual(produce(cam, 5), 5, 'five images fill the five frames');
% Every frame is written before the first callback runs, so a frame that
% reached MATLAB through another frame's matrix shows another image.
checkEqual(camsim('qcamWaitForCompletions', before.completed + 5, 5000), 1, 'all five frames complete');
printed = evalc('waitUntil(@() callbackCount() >= 5, 5); pumpEvents();');
checkEqual(callbackCount(), 5, 'every frame of both calls reaches a callback');
labels = cellfun(@(c) c.arguments{1}, CALLBACK_CALLS, 'UniformOutput', false);
checkEqual(labels, repmat({'second'}, 1, numel(labels)), 'each through the latest call''s callback');
frames = cellfun(@(c) c.arguments{3}.frameData, CALLBACK_CALLS, 'UniformOutput', false);
checkEqual(cellfun(@frameStamp, frames), before.produced + (1:5), ...
           'each frame holds the image the camera wrote into it, in the order they were filled');
checkEqual(cellfun(@class, frames, 'UniformOutput', false), repmat({'uint16'}, 1, numel(frames)), 'uint16 frames');
checkEqual(cellfun(@(f) size(f, 1), frames), repmat(12, 1, numel(frames)), 'of 12 rows');
checkEqual(cellfun(@(f) size(f, 2), frames), repmat(16, 1, numel(frames)), 'and 16 columns');
check(isempty(strfind(printed, 'ERROR')), 'no callback fails');
counters = camsim('qcamCounters', 200);
checkEqual([counters.waiting counters.lost], [0 0], 'no frame is left queued, no image lost');
checkEqual(camsim('queueLength'), 0, 'no event is left for Octave''s thread');

% With every frame back, clearing the library unloads it.
check(~mislocked('submitBuffers'), 'the library unlocks itself once the last frame is back');
check(libraryMapped(), 'and is loaded until it is cleared');
clear submitBuffers
% Asked after the clear, mislocked would load the library again to answer.
check(~libraryMapped(), 'clear submitBuffers unloads the library');
checkEqual(camsim('hookCount'), baseHooks, 'its exit routine took its hook off Octave''s thread');
printed = evalc('submitBuffers(cam, @recordCallback, 0)');
check(~isempty(strfind(printed, 'Detected new camera! Handle: 200')), 'loaded again, it starts with no record');
