function clearingCallback(camera, eventData)
  % A watchDriverSignal callback that counts its calls per camera, in the
  % environment, which every clear leaves alone; on camera 100 it then runs
  % the command in CLEARING_COMMAND, while its own event is being dispatched.
  name = sprintf('CLEARING_CALLS_%d', camera.cameraHandle);
  setenv(name, num2str(clearingCallbackCalls(camera.cameraHandle) + 1));
  if camera.cameraHandle == 100
    eval(getenv('CLEARING_COMMAND'));
  end
end
