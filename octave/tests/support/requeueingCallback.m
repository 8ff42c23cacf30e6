function requeueingCallback(camera, s)
  % A frame callback that keeps a one-frame stream going: it notes the
  % frame's stamp and whether the frame is a uint16 matrix of FRAME_STREAM.size,
  % then queues the next frame from inside the callback until
  % FRAME_STREAM.total frames have arrived. The stamp is read here, while the
  % callback holds the frame, not from a copy kept for later.
  global FRAME_STREAM
  n = FRAME_STREAM.count + 1;
  FRAME_STREAM.count = n;
  frame = s.frameData;
  FRAME_STREAM.stamps(n) = frameStamp(frame);
  FRAME_STREAM.wellFormed(n) = isa(frame, 'uint16') && isequal(size(frame), FRAME_STREAM.size);
  if n < FRAME_STREAM.total
    submitBuffers(camera, @requeueingCallback, 1);
  end
end
