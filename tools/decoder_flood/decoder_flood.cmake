# decoder-flood.exe: the decoder-stream load benchmark under Wine (prints figures; run by hand).
if(VASTREL_WIN)
  add_executable(decoder-flood ${CMAKE_CURRENT_LIST_DIR}/decoder_flood.cpp ${PROJECT_SOURCE_DIR}/resources/app.rc)
  target_link_libraries(decoder-flood PRIVATE vastrel_app)
  target_include_directories(decoder-flood PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/resources)
  vastrel_static_runtime(decoder-flood)
  target_link_options(decoder-flood PRIVATE -municode -mconsole)
  add_dependencies(decoder-flood vastrel-sim)
endif()
