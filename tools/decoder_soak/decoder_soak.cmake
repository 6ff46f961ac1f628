# decoder-soak.exe: a day of realistic traffic through the main window, faster than real time, with
# the decoder killed along the way and restarted (prints figures each simulated hour; run by hand).
vastrel_app_tool(decoder-soak ${CMAKE_CURRENT_LIST_DIR}/decoder_soak.cpp CONSOLE)
if(TARGET decoder-soak)
  add_dependencies(decoder-soak vastrel-sim)
endif()
