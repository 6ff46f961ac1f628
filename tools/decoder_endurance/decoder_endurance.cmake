# decoder-endurance.exe: many decoder start/stop cycles through the main window, long runs and bursts
# in turn (prints figures; run by hand).
vastrel_app_tool(decoder-endurance ${CMAKE_CURRENT_LIST_DIR}/decoder_endurance.cpp CONSOLE)
if(TARGET decoder-endurance)
  add_dependencies(decoder-endurance vastrel-sim)
endif()
