# log-bench.exe: time to clear the decoder log and to append a line at growing sizes, under Wine
# (prints figures; run by hand).
vastrel_app_tool(log-bench ${CMAKE_CURRENT_LIST_DIR}/log_bench.cpp CONSOLE)
