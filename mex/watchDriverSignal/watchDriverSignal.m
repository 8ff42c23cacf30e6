%WATCHDRIVERSIGNAL  Call a function each time the Andor driver signals a camera's event.
%   WATCHDRIVERSIGNAL(CAMERA, CALLBACK) makes the Andor camera CAMERA the
%   driver's current camera, gives the driver an event for it and, each
%   time the driver signals that event (new data from the camera), calls
%
%       CALLBACK(CAMERA, EVENTDATA)
%
%   in MATLAB's own thread. MATLAB runs the call when it is idle: at the
%   prompt, or while a program waits in pause or drawnow; never in the
%   middle of other code. EVENTDATA is an empty (0-by-0) struct without
%   fields. One call may stand for several new images, so a callback that
%   reads images with TAKEEARLIEST reads until none is left.
%
%   WATCHDRIVERSIGNAL(CAMERA) or WATCHDRIVERSIGNAL(CAMERA, []) clears the
%   camera's callback and takes its event back from the driver. An event
%   that MATLAB has not yet taken when the callback is cleared calls
%   nothing, unless a new callback is registered for the camera before
%   MATLAB takes it. Clearing a camera that never had a callback does
%   nothing.
%
%   Inputs
%     CAMERA    an object whose cameraHandle property is a numeric scalar,
%               the driver's handle of the camera, such as an ANDORCAMERA.
%               A fraction is truncated toward zero (3.7 names camera 3).
%     CALLBACK  a function handle that takes two inputs.
%
%   WATCHDRIVERSIGNAL returns nothing and prints nothing.
%
%   Each camera (each cameraHandle) has at most one callback: registering
%   again replaces it. Callbacks for up to 100 cameras can be registered at
%   once. CALLBACK always receives the camera object of the camera's first
%   registration since the library was loaded.
%
%   Registering and clearing both select CAMERA as the driver's current
%   camera, which is the camera TAKEEARLIEST reads, for the whole process.
%   Each call of CALLBACK runs with its CAMERA selected, so TAKEEARLIEST in
%   the callback reads the camera whose event it is, also with several
%   cameras watched (see docs/several-andor-cameras.md of the project).
%
%   An error in CALLBACK does not stop the watching: it is printed as
%       ERROR in event callback of AndorCamera object: <message>
%   and the next event calls CALLBACK again.
%
%   Callbacks in practice (the toolbox README's section of that name says
%   more): WATCHDRIVERSIGNAL(CAMERA) stops the callback, also from inside
%   it. drawnow or pause inside a callback (pumpEvents in Octave) runs the
%   callbacks of other events waiting then, nested inside it, possibly out
%   of order. Wrap a callback's body in try/catch to handle its own errors
%   (takeEarliest's status 20024 ends each event's reads).
%
%   clear watchDriverSignal (or clear all, clear functions, clear mex) ends
%   every registration, also from inside a callback. Once one of its
%   callbacks has run, the library stays in memory until MATLAB exits, so a
%   rebuilt MEX file is only picked up after a restart.
%
%   Errors
%     watchDriverSignal: the first argument must be a camera object with a cameraHandle property.
%         (no input at all)
%     watchDriverSignal: the first argument must be a camera object with a numeric scalar cameraHandle property.
%     watchDriverSignal: the camera object's cameraHandle is not a camera handle.
%         (NaN, Inf, or outside the 32-bit integers)
%     watchDriverSignal: the second argument must be a function handle, or empty to clear.
%     watchDriverSignal: callbacks are registered for 100 cameras already; clear the library to register others.
%   The driver's own statuses are not reported: a camera the driver cannot
%   select, or an event it refuses, simply signals nothing. A status that
%   TAKEEARLIEST reports in CALLBACK is the driver's: CAMERASTATUS names it
%   (20024, no unread image left, ends each event's reads).
%
%   Example
%     % cam = AndorCamera(handle, width, height), acquiring
%     watchDriverSignal(cam, @(camera, ~) disp(size(takeEarliest(camera, 16))));
%     pause(2);                    % MATLAB idles: the callback runs
%     watchDriverSignal(cam);      % clears it
%   In Octave pause runs no callback: wait with pumpEvents() or
%   waitForCallbacks (in examples/) there.
%
%   See also TAKEEARLIEST, ANDORCAMERA, CAMERASTATUS, andorEventsExample.
