function state = simulatorRecord(command, handle)
  % What camsim's COMMAND reports of the simulated camera HANDLE, or [] when
  % the simulator has no such camera; any other failure is raised.
  try
    state = camsim(command, handle);
  catch err
    if isempty(strfind(err.message, 'there is no'))
      rethrow(err);
    end
    state = [];
  end
end
