function ok = waitUntil(condition, timeoutSeconds)
  % ok = waitUntil(condition, timeoutSeconds)
  %
  % Takes the messages queued to Octave's thread (so that MEX callbacks run)
  % until condition() is true, blocking between messages rather than
  % polling; false when timeoutSeconds pass first. Only conditions that a
  % callback makes true are worth waiting for here.
  started = tic();
  while true
    pumpEvents();
    if condition()
      ok = true;
      return;
    end
    remaining = timeoutSeconds - toc(started);
    if remaining <= 0
      ok = false;
      return;
    end
    camsim('waitForMessage', ceil(remaining * 1000));
  end
end
