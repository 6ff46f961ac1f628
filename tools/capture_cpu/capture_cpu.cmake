# capture-cpu.exe: what the front end costs while it captures, under Wine (prints figures; run by hand).
vastrel_app_tool(capture-cpu ${CMAKE_CURRENT_LIST_DIR}/capture_cpu.cpp CONSOLE)

# audio_capture_cpu.exe: what the capture engine alone costs on the primary device (run by hand).
if(VASTREL_WIN)
  add_executable(audio_capture_cpu ${CMAKE_CURRENT_LIST_DIR}/capture_engine_cpu.cpp)
  target_link_libraries(audio_capture_cpu PRIVATE vastrel_capture_win vastrel_capture)
  target_include_directories(audio_capture_cpu PRIVATE ${PROJECT_SOURCE_DIR}/src)
  vastrel_static_runtime(audio_capture_cpu)
  target_link_options(audio_capture_cpu PRIVATE -mconsole)
endif()
