function number = frameStamp(frame)
  % The image number the simulated QCam camera stamps in a 12- or 16-bit
  % frame: pixel 1 holds its low 16 bits, pixel 2 its high 16 bits. NaN for
  % a frame too small to carry one.
  if numel(frame) < 2
    number = NaN;
  else
    number = double(frame(1)) + 65536 * double(frame(2));
  end
end
