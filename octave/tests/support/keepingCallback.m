function keepingCallback(camera, s)
  % A frame callback that keeps every struct it is handed (as frames{end+1}
  % = s does) in the global KEPT, with a copy of its pixels taken now, and
  % queues the next frame until KEPT.total frames have arrived.
  global KEPT
  KEPT.frames{end + 1} = s;
  KEPT.seen{end + 1} = s.frameData + 0;
  if numel(KEPT.frames) < KEPT.total - KEPT.out + 1
    submitBuffers(camera, @keepingCallback, 1);
  end
end
