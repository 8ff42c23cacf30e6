function why = sceneMismatch(picture, bitDepth, number)
  % Why PICTURE is not the simulated camera's image NUMBER of a still scene
  % at BITDEPTH bits, drawn the way round the camera saw it; '' when it is.
  % The class is not looked at: a test checks it on its own, and a wrong
  % recipe's picture is judged by its values.
  %
  % The reference is the simulators' scene, worked out here from its
  % definition rather than read from them: a background rising by an eighth
  % of the range from the top left corner to the bottom right one, plus
  % noise of at most 2^(bitDepth/2 - 1) - 1, plus bright spots; the image
  % number stamped in the first pixels of the top row (4 bytes at 8 bits, 2
  % pixels of 16 bits deeper). So every pixel but the stamp lies at or above
  % the background, most lie within the noise of it, and the spots rise far
  % above it.
  [height, width] = size(picture);
  maxValue = 2 ^ bitDepth - 1;
  noiseMax = 2 ^ (floor(bitDepth / 2) - 1) - 1;
  top = maxValue - noiseMax;
  [x, y] = meshgrid(0:width - 1, 0:height - 1);
  % The same operations in the same order as the simulator's, which
  % truncates the result to a whole count.
  background = floor(top / 16 + top / 8 * (x / width + y / height) / 2);

  values = double(picture);
  if bitDepth == 8
    stampPixels = 4;
    stamp = sum(values(1, 1:4) .* 256 .^ (0:3));
  else
    stampPixels = 2;
    stamp = values(1, 1) + 65536 * values(1, 2);
  end
  rest = true(height, width);
  rest(1, 1:stampPixels) = false;
  above = values(rest) - background(rest);
  why = '';
  if any(above < 0)
    why = sprintf('%d pixels lie below the scene''s background', sum(above < 0));
  elseif mean(above <= noiseMax) < 0.8
    why = sprintf('only %.0f%% of the pixels lie within the noise of the background', 100 * mean(above <= noiseMax));
  elseif ~any(above > 4 * noiseMax + 1)
    why = 'no spot shows';
  elseif stamp ~= number
    why = sprintf('the first pixels hold image number %d, not %d', stamp, number);
  end
end
