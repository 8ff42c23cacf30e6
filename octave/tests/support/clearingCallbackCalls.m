function n = clearingCallbackCalls(cameraHandle)
  % Calls of clearingCallback for the camera so far.
  n = str2double(getenv(sprintf('CLEARING_CALLS_%d', cameraHandle)));
  if isnan(n), n = 0; end
end
