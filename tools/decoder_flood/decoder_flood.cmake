# decoder-flood.exe: the decoder-stream load benchmark under Wine (prints figures; run by hand).
vastrel_app_tool(decoder-flood ${CMAKE_CURRENT_LIST_DIR}/decoder_flood.cpp CONSOLE)
if(TARGET decoder-flood)
  add_dependencies(decoder-flood vastrel-sim)
endif()
if(TARGET decoder-flood)
  # "feed": a loopback listener (udp_listener_win.h, shared with the feed's run tests) reads the
  # datagrams back.
  target_link_libraries(decoder-flood PRIVATE vastrel_json ws2_32)
endif()
