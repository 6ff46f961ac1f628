# decoder-flood.exe: the decoder-stream load benchmark under Wine (prints figures; run by hand).
vastrel_app_tool(decoder-flood ${CMAKE_CURRENT_LIST_DIR}/decoder_flood.cpp CONSOLE)
if(TARGET decoder-flood)
  add_dependencies(decoder-flood vastrel-sim)
endif()
