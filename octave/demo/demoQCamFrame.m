function demoQCamFrame(~, event)
  % The demo's frame callback: notes each frame's image number and keeps
  % the last frame.
  global CAMERA_DEMO
  frame = event.frameData;
  CAMERA_DEMO.qcamStamps(end + 1) = double(frame(1)) + 65536 * double(frame(2));
  CAMERA_DEMO.qcamLast = frame;
end
