function pumpingCallback(camera, s)
  % A display callback that takes messages (as drawnow does) while the next
  % frame's event waits, then looks at its own frame again. Its first call
  % notes its frame before and after in the global PUMPED; the nested call
  % notes the frame it was given.
  global PUMPED
  PUMPED.calls = PUMPED.calls + 1;
  if PUMPED.calls > 1
    PUMPED.nested = s.frameData;
    return
  end
  PUMPED.before = s.frameData;
  produce(camera, 1);
  camsim('qcamWaitForCompletions', 2, 5000);
  camsim('waitForMessage', 5000);
  pumpEvents();
  PUMPED.after = s.frameData;
end
