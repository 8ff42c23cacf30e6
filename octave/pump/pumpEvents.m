%PUMPEVENTS  Run the camera callbacks waiting in GNU Octave.
%   In Octave the toolbox's callbacks (those of watchDriverSignal and
%   submitBuffers) run only when PUMPEVENTS runs: MATLAB takes the camera
%   events in its idle loop, in pause and in drawnow, and Octave has no such
%   loop. PUMPEVENTS takes every event waiting for Octave's thread and runs
%   its callback, here, in the order the events came. MATLAB has no
%   PUMPEVENTS and needs none.
%
%   N = PUMPEVENTS() also returns how many events it took (0: none was
%   waiting). It takes at most 10000 per call, so that a callback that
%   keeps queuing work gives Octave its thread back; the rest wait for the
%   next call.
%
%   PUMPEVENTS('install') makes Octave run PUMPEVENTS while it waits at its
%   prompt (add_input_event_hook), so that callbacks run there as they do at
%   MATLAB's prompt. Call it once per session, before the first camera
%   function; calling it again, or after clear all, does nothing more.
%
%   pause runs no callback in Octave. A script or function that waits for
%   callbacks calls PUMPEVENTS in its loop, or uses waitForCallbacks in the
%   toolbox's examples folder, which does.
%
%   Errors
%     pumpEvents: the only command is 'install'.
%     pumpEvents: add_input_event_hook refused the event pump.
%
%   Example
%     pumpEvents('install')
%     useSimulatedCameras
%     cam = AndorCamera(100, 512, 512);
%     camsim('andorStart', 100);
%     watchDriverSignal(cam, @(camera, ~) disp(size(takeEarliest(camera, 16))));
%     camsim('andorWaitForImages', 100, 1, 5000);
%     pumpEvents();                       % prints "512 512" for each image
%     watchDriverSignal(cam); camsim('andorStop', 100);
%
%   See also WATCHDRIVERSIGNAL, SUBMITBUFFERS, waitForCallbacks.
