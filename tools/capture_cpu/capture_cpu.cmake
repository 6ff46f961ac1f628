# capture-cpu.exe: what the front end costs while it captures, under Wine (prints figures; run by hand).
vastrel_app_tool(capture-cpu ${CMAKE_CURRENT_LIST_DIR}/capture_cpu.cpp CONSOLE)
