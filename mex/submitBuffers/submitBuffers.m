%SUBMITBUFFERS  Queue frames on a QImaging camera and hand each filled frame to a function.
%   SUBMITBUFFERS(CAMERA, CALLBACKFUNC, NUMBUFFEREDFRAMES) queues
%   NUMBUFFEREDFRAMES new frames on the QCam camera CAMERA and returns at
%   once. Each frame is a HEIGHT-by-WIDTH uint16 matrix, of the size the
%   driver gives for the camera's images. As the camera fills each frame,
%   MATLAB calls, in its own thread and when it is idle (at the prompt, or
%   while a program waits in pause or drawnow),
%
%       CALLBACKFUNC(CAMERA, S)
%
%   where S.frameData is the frame: the very matrix the camera wrote into,
%   not a copy, and S.errorCode is 0 for a good frame. Every frame reaches a
%   callback once, also a frame the driver completes with an error: then
%   S.errorCode is the driver's error code (CAMERASTATUS(S.errorCode,
%   'qcam') names it) and S.frameData is no image of the camera's. Skip such
%   a frame, and in a stream queue the next one as usual:
%
%       if s.errorCode ~= 0
%         status = cameraStatus(s.errorCode, 'qcam');
%         warning('frame not filled: %s', status.meaning);
%       end
%
%   S is the callback's own: nothing changes it once the callback has it.
%   The callback may keep it (last = s, frames{end+1} = s) and it stays
%   that frame's. A callback that calls drawnow or pause runs the callbacks
%   of frames waiting then inside itself, and its own S is still its frame
%   afterwards.
%
%   Inputs
%     CAMERA             an object whose cameraHandle property is an int32
%                        or uint32, the driver's handle of the camera, such
%                        as a QCAMCAMERA.
%     CALLBACKFUNC       a function handle that takes two inputs.
%     NUMBUFFEREDFRAMES  a number from 0 to 2147483647 (a fraction is
%                        truncated toward zero); 0 queues nothing and only
%                        replaces the callback.
%
%   A callback may queue more frames: SUBMITBUFFERS(CAMERA, CALLBACKFUNC, 1)
%   from inside CALLBACKFUNC keeps a stream going with a fixed number of
%   frames out. The library lets go of a frame as soon as the frame is back
%   and its callback has returned (what the callback kept of S stays), so a
%   stream keeps only the frames out, however long it runs. Each camera has one callback, the latest given:
%   frames of an earlier call that complete after a later call go to the
%   later call's CALLBACKFUNC. CAMERA in the callback is the object of the
%   camera's first call since the library was loaded. Frames can be queued
%   for up to 100 cameras.
%
%   The pixels arrive as the camera writes them, row by row, in the
%   matrix's column-major storage. With [HEIGHT, WIDTH] = size(S.frameData),
%   the picture as the camera saw it is, for a 12- or 16-bit camera,
%       picture = reshape(S.frameData(:), WIDTH, HEIGHT)';      % uint16
%   and for an 8-bit camera, whose image fills only the first WIDTH*HEIGHT
%   bytes of the matrix, a byte per pixel,
%       bytes = typecast(S.frameData(:), 'uint8');
%       picture = reshape(bytes(1:WIDTH * HEIGHT), WIDTH, HEIGHT)';  % uint8
%   (the 12- or 16-bit recipe on an 8-bit frame shows two half-width copies
%   of the scene over a black lower half). SUBMITBUFFERS prints the
%   camera's bit depth ("BitDepth: ...") at each call.
%
%   Nothing takes a queued frame back from the driver. While any frame is
%   out the library locks itself in memory, so clear submitBuffers leaves
%   it loaded; it lets go when a callback finds the last frame back, by
%   calling itself by the name it was first called by. Keep this file and
%   submitBuffers.<mexext> on the path under their own names: not in a
%   private folder, not inside a package, not renamed. Otherwise the library
%   stays locked until its next call.
%
%   SUBMITBUFFERS prints its progress: the camera's serial number
%   ("Serial String: ..."), the frame count, whether the camera is new,
%   the frame size, bit depth and bytes, a line for each frame queued, and
%   "Reached Matlab Callback Wrapper" before each callback. It appends the
%   time of each frame queued and each frame completed to the log file
%   C:\QCamLog.txt (when it can be opened). It returns nothing.
%
%   To keep a stream's lines out of the Command Window, run the stream and
%   the wait for its frames inside evalc, which keeps what they print:
%       log = evalc('pictures = qcamStreamExample(cam, 1000);');
%   The callbacks print when they run, so evalc around SUBMITBUFFERS alone
%   keeps only the call's own lines: callbacks that run after evalc has
%   returned (in a later pause, or at the prompt) print as before.
%
%   An error in CALLBACKFUNC does not stop the frames: it is printed as
%       ERROR in event callback of AndorCamera object: <message>
%   and the next frame calls CALLBACKFUNC again.
%
%   Callbacks in practice (the toolbox README's section of that name says
%   more): a stream whose callback queues the next frame stops when the
%   callback queues no more (let it check a flag); clear submitBuffers,
%   clear all and clearing the variables stop nothing while frames are out,
%   as the library holds the callback and stays loaded until they are back.
%   drawnow or pause inside a callback (pumpEvents in Octave) runs the
%   callbacks of other frames waiting then, nested inside it, so frames can
%   be handled out of order. Wrap a callback's body in try/catch to handle
%   its own errors.
%
%   Errors
%     submitBuffers: the first argument must be a camera object whose cameraHandle property is a 32-bit integer.
%     All arguments must be supplied
%     The 'callbackFunc' argument must be a function handle
%     The 'numBufferedFrames' argument must be a number specifying number of frames to queue.
%     submitBuffers: the 'numBufferedFrames' argument must be from 0 to 2147483647.
%     submitBuffers: frames are queued for 100 cameras already; clear submitBuffers to queue frames for another camera.
%     submitBuffers: the camera's images of <bytes> bytes do not fit its <height>-by-<width> uint16 frame matrix.
%     submitBuffers: too many frames are out on the cameras already.
%   A refused call changes nothing. The driver's own statuses are not
%   reported: a frame the driver refuses to queue never reaches a callback,
%   and a camera whose size cannot be read gets 0-by-0 frames. CAMERASTATUS
%   names the statuses the QCam driver returns.
%
%   Example
%     % cam = QCamCamera(handle), streaming
%     submitBuffers(cam, @(camera, s) disp(max(s.frameData(:))), 4);
%     pause(1);                    % MATLAB idles: the callbacks run
%   In Octave pause runs no callback: wait with pumpEvents() or
%   waitForCallbacks (in examples/) there.
%
%   See also SNAPPICTURE, QCAMCAMERA, CAMERASTATUS, qcamStreamExample.
