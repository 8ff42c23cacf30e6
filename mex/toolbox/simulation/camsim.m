%CAMSIM  Control the simulated Andor and QImaging cameras.
%   CAMSIM(COMMAND, ...) runs one command of the simulated drivers in this
%   folder, ATMCD32D (Andor) and QCamDriver (QImaging), with the arguments
%   after COMMAND. VALUE = CAMSIM(COMMAND, ...) returns what the command
%   answers (each command below says what). Call USESIMULATEDCAMERAS first:
%   it loads CAMSIM, and with it these drivers, before any camera library.
%   This help is in the toolbox's folder as well as in its simulation
%   folder, where CAMSIM is: a call before USESIMULATEDCAMERAS runs it.
%
%   The toolbox's functions and the corvid adaptor then drive the simulated
%   cameras exactly as they drive real ones: CAMSIM plays the hardware.
%   Numbers are doubles; handles and counts must be whole numbers that fit
%   32 bits. WHEN is 'once' (the default: the next call only) or 'always'.
%
%   At first each driver holds the cameras its environment variables ask
%   for, by default one free-running camera each: Andor camera 100, 512 by
%   512 pixels, and QImaging camera 200, serial 'QSIM0200', 640 by 480 at
%   8 bits. The reset commands start from no camera instead.
%
%   Environment variables
%
%   Each driver reads its variables once, when it is loaded (by
%   useSimulatedCameras): set them with setenv before that. A value that
%   does not parse is reported on the error output and the default is used.
%   The Andor cameras of the environment are the corvid adaptor's devices
%   too, in the same order.
%
%   ANDOR_SIM_CAMERAS          How many Andor cameras, 0 to 64; their
%                              handles are 100, 101, ... Default 1.
%   ANDOR_SIM_SIZE             Each camera's detector size, WIDTHxHEIGHT
%                              (1 to 65535 a side), or a comma-separated
%                              list, one per camera, the last standing for
%                              the cameras after it. Default 512x512.
%   ANDOR_SIM_MODE             'free': acquisitions make images by
%                              themselves, one each frame period;
%                              'deterministic': only when andorProduce
%                              asks. Default free.
%   ANDOR_SIM_FRAME_PERIOD_MS  Milliseconds between free-running images,
%                              0 to 3600000; 0 follows the exposure time.
%                              Default 0.
%   ANDOR_SIM_RING             Images each camera keeps, 1 to 1048576.
%                              Default 16.
%   ANDOR_SIM_FIRST_IMAGE      The number of the first image of every
%                              acquisition, 0 to 4294967295, or a
%                              comma-separated list, one per camera, the
%                              last standing for the cameras after it.
%                              Default 1.
%   ANDOR_SIM_MOTION           How far the scene's spots travel per image,
%                              in pixels, 0 (a still scene) to 1000.
%                              Default 1.
%   ANDOR_SIM_SEED             The seed of the scene and its noise, 0 to
%                              4294967295. Default 1.
%   ANDOR_SIM_FAIL             Statuses to inject, as andorInjectStatus
%                              does: OPERATION[=STATUS][:once], several
%                              separated by commas; every call unless
%                              ':once', status 20075 unless given, e.g.
%                              'getImages16' or 'startAcquisition=20072:once'.
%                              Default none.
%   QCAM_SIM_CAMERAS           How many QImaging cameras, 0 to 64; their
%                              handles are 200, 201, ..., their serials
%                              'QSIM0200', 'QSIM0201', ... Default 1.
%   QCAM_SIM_SIZE              Each camera's image size, WIDTHxHEIGHT, or
%                              a comma-separated list, one per camera, the
%                              last standing for the cameras after it.
%                              Default 640x480.
%   QCAM_SIM_BIT_DEPTH         Bits a pixel of every camera: 8, 12 or 16.
%                              Default 8.
%   QCAM_SIM_MODE              'free': each camera with a frame queued gets
%                              an image every frame period;
%                              'deterministic': only when qcamProduce asks.
%                              Default free.
%   QCAM_SIM_FRAME_PERIOD_MS   Milliseconds between free-running images of
%                              every camera, 0.001 to 3600000. Default 10.
%   QCAM_SIM_FIRST_IMAGE       The number of each camera's first image, 0
%                              to 4294967295. Default 1.
%   QCAM_SIM_MOTION            How far the scene's spots travel per image,
%                              in pixels, 0 to 1000. Default 1.
%   QCAM_SIM_SEED              The seed of the scene and its noise, 0 to
%                              4294967295. Default 1.
%
%   Each image carries its number: an Andor image in its first two pixels
%   (low 16 bits, then high 16 bits; from 1 in each acquisition), a QImaging
%   image in its first four bytes at 8 bits or its first two pixels at 12
%   and 16 bits (from 1, counting every image of the camera). The rest is a
%   scene of drifting spots with noise.
%
%   CAMSIM stays loaded once called (clear all leaves it, and the drivers),
%   as a real driver stays in MATLAB's process.
%
%   Andor cameras
%
%   camsim('andorReset')
%       No cameras, deterministic mode (images only when andorProduce
%       asks), no injected statuses, an empty call log; ends every
%       acquisition. Returns nothing.
%       Error: camsim: the Andor driver cannot be reset from its own thread.
%   camsim('andorAddCamera', HANDLE, WIDTH, HEIGHT)
%       Adds a camera with this driver handle and detector size (1 to
%       65535 pixels a side). The first camera added becomes the driver's
%       current camera. Returns nothing.
%       Error: camsim: andorAddCamera failed with status N.
%       (20066: the handle is 0 or in use; 20067, 20068: a side out of range)
%   camsim('andorSetFreeRunning', ON)
%       ON true: acquisitions started from now on make images by themselves,
%       one each frame period; false: only when andorProduce asks. Returns
%       nothing.
%   STATUS = camsim('andorSetFramePeriod', HANDLE, SECONDS)
%       Seconds between the camera's free-running images (0: its exposure
%       time), from its next start.
%   STATUS = camsim('andorSetRingCapacity', HANDLE, IMAGES)
%       Images the camera keeps (16 at first); an unread image pushed out is
%       lost. From its next start.
%       Error: camsim: the ring holds at least one image.
%   STATUS = camsim('andorSetFirstImageNumber', HANDLE, NUMBER)
%       The number of the first image of the camera's next acquisitions, 0
%       to 4294967295 (numbers count modulo 2^32).
%   STATUS = camsim('andorSetSceneMotion', HANDLE, PIXELS)
%       How far the scene's spots travel per image, 0 (a still scene) to
%       1000, from the next start.
%   STATUS = camsim('andorSetSceneSeed', HANDLE, SEED)
%       The seed of the scene and its noise, 0 to 4294967295, from the next
%       start: the same seed gives the same images.
%   STATUS = camsim('andorStart', HANDLE)
%       Selects the camera and starts its acquisition, which runs until
%       andorStop. STATUS is the driver's: 20002 on success, 20072 when it
%       acquires already.
%   STATUS = camsim('andorStop', HANDLE)
%       Selects the camera and aborts its acquisition (20073: none ran).
%   STATUS = camsim('andorSelect', HANDLE)
%       Makes the camera the driver's current one, for the whole process.
%   MADE = camsim('andorProduce', HANDLE, COUNT)
%       The acquiring camera makes COUNT images now, as if their exposures
%       had ended, and signals its driver event; MADE is how many (0 when
%       it is not acquiring or there is no such camera).
%   camsim('andorInjectStatus', OPERATION, STATUS, WHEN)
%       The driver operation named OPERATION (such as 'readOldestImage16',
%       'startAcquisition', 'getImages16', 'setDriverEvent') returns STATUS
%       instead of doing its work. Returns nothing.
%       Error: camsim: the Andor driver has no operation 'NAME'.
%   camsim('andorClearStatuses')
%       No injected statuses. Returns nothing.
%   S = camsim('andorCamera', HANDLE)
%       A struct of what the camera holds: width, height, acquiring (1 or
%       0), lastImage (the newest image's number), hasEvent (1 while a
%       driver event is set, as watchDriverSignal sets one), produced, read
%       and lost (image counts).
%       Error: camsim: there is no Andor camera N.
%   HANDLE = camsim('andorCurrentCamera')
%       The driver's current camera, 0 when there is none.
%   OK = camsim('andorWaitForImages', HANDLE, COUNT, MILLISECONDS)
%       Blocks until the camera has made COUNT images in all, at most
%       MILLISECONDS; OK is 1, or 0 when the time ran out.
%
%   QImaging cameras
%
%   camsim('qcamReset')
%       No cameras, deterministic mode, no injected statuses, an empty call
%       log; frames still queued are dropped. Returns nothing.
%       Error: camsim: the QCam driver cannot be reset from its own thread.
%   camsim('qcamAddCamera', HANDLE, SERIAL, WIDTH, HEIGHT, BITDEPTH)
%       Adds a camera with this driver handle, serial text, image size and
%       bit depth (8, 12 or 16). Returns nothing.
%       Error: camsim: qcamAddCamera failed with status N.
%   camsim('qcamSetFreeRunning', ON)
%       ON true: each camera with a frame queued gets an image every frame
%       period; false: images come only when qcamProduce asks. Returns
%       nothing.
%   STATUS = camsim('qcamSetFramePeriod', HANDLE, SECONDS)
%   STATUS = camsim('qcamSetFramePeriod', SECONDS)
%       Seconds between the camera's free-running images; without HANDLE,
%       of every camera there is. STATUS is 0 on success, 9 for no such
%       camera.
%   STATUS = camsim('qcamSetNextImageNumber', HANDLE, NUMBER)
%       The number of the camera's next image, 0 to 4294967295.
%   STATUS = camsim('qcamSetSceneMotion', HANDLE, PIXELS)
%       How far the scene's spots travel per image, 0 to 1000.
%   STATUS = camsim('qcamSetSceneSeed', HANDLE, SEED)
%       The seed of the scene and its noise, 0 to 4294967295.
%   FILLED = camsim('qcamProduce', HANDLE, COUNT)
%       COUNT images arrive now; FILLED is how many frames they filled (an
%       image with no frame queued for it is lost).
%   camsim('qcamInjectStatus', OPERATION, STATUS, WHEN)
%       The driver operation named OPERATION (such as 'qcamGrabImage',
%       'qcamQueueBuffer', 'qcamGetInfo') returns STATUS; 'frameCompletion'
%       completes queued frames with STATUS as their error code. Returns
%       nothing.
%       Error: camsim: the QCam driver has no operation 'NAME'.
%   camsim('qcamClearStatuses')
%       No injected statuses. Returns nothing.
%   C = camsim('qcamCounters', HANDLE)
%       A struct of frame counts: queued, completed, failed (completed with
%       an error code), produced, grabbed, lost, and waiting (frames still
%       queued).
%       Error: camsim: there is no QCam camera N.
%   C = camsim('qcamCamera', HANDLE)
%       A struct: serial, width, height, bitDepth, as the driver answers
%       them to the toolbox (an injected status applies).
%       Errors: camsim: there is no QCam camera N.
%               camsim: the QCam driver answered status S about camera N.
%   OK = camsim('qcamWaitForCompletions', COUNT, MILLISECONDS)
%       Blocks until COUNT frames have completed since the reset, at most
%       MILLISECONDS; OK is 1, or 0 when the time ran out.
%   OK = camsim('qcamWaitUntilDrained', MILLISECONDS)
%       Blocks until no frame is queued, at most MILLISECONDS.
%
%   Message queue (builds on the project's Win32 stand-in only: GNU Octave
%   on Linux; on Windows these are unknown commands)
%
%   OK = camsim('waitForMessage', MILLISECONDS)
%       Blocks until a message is queued for this thread (one already there
%       counts), at most MILLISECONDS (a negative number: no limit); it does
%       not take it.
%   N = camsim('queueLength')
%       Messages queued for this thread (-1 before it has a queue).
%   TEXTS = camsim('messageBoxes')
%       A cell column of the texts of the message boxes shown so far.
%   camsim('clearMessageBoxes')
%       Forgets them. Returns nothing.
%   N = camsim('runningThreads')
%       Threads started with CreateThread still running.
%   OK = camsim('waitForRunningThreads', N, MILLISECONDS)
%       Blocks until at most N run, at most MILLISECONDS.
%   N = camsim('hookCount')
%       WH_GETMESSAGE hooks installed.
%
%   Errors of every command
%     camsim: the ATMCD32D.dll loaded in this MATLAB is not the simulated
%         driver; restart MATLAB and call useSimulatedCameras before any
%         camera function. (Or QCamDriver.dll: a camera library loaded the
%         vendor's driver first.)
%     camsim: the first argument must be a command name.
%     camsim: unknown command 'NAME'.
%     camsim: 'NAME' takes MIN to MAX arguments.
%     camsim: argument N is missing.
%     camsim: argument N must be a number.
%     camsim: argument N must be a 32-bit integer.
%     camsim: argument N must be a whole number from 0 to 4294967295.
%     camsim: argument N must be text.
%     camsim: argument N must be 'once' or 'always'.
%   (N counts COMMAND as argument 1.)
%
%   Example
%     useSimulatedCameras
%     camsim('andorReset'); camsim('andorAddCamera', 100, 64, 48);
%     cam = AndorCamera(100, 64, 48);
%     camsim('andorStart', 100); camsim('andorProduce', 100, 1);
%     picture = takeEarliest(cam, 16);    % 48-by-64, image 1
%
%   See also USESIMULATEDCAMERAS, ANDORCAMERA, QCAMCAMERA, CAMERASTATUS,
%   simulatedCamerasExample.
