# browser-bench.exe: the messages pane on a store of a million messages under Wine (prints figures;
# run by hand).
vastrel_app_tool(browser-bench ${CMAKE_CURRENT_LIST_DIR}/browser_bench.cpp CONSOLE)
if(TARGET browser-bench)
  target_link_libraries(browser-bench PRIVATE messages_store)
endif()
