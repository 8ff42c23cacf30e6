function n = streamedFrameCount()
  % Frames requeueingCallback has seen so far (a condition for waitUntil).
  global FRAME_STREAM
  n = FRAME_STREAM.count;
end
