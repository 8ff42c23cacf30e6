function demoAndorEvent(camera, ~)
  % The demo's driver-event callback: one signal may stand for several
  % images, so it reads until the driver has none left unread.
  global CAMERA_DEMO
  while true
    try
      image = takeEarliest(camera, 16);
    catch
      return;   % "ERROR in takeEarliest call. Status code 20024 ...": nothing new
    end
    stamp = double(typecast(image(1), 'uint16')) + 65536 * double(image(2));
    CAMERA_DEMO.andorStamps(end + 1) = stamp;
    CAMERA_DEMO.andorLast = image;
  end
end
