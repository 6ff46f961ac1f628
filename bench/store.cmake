# Message store: insert rate and the messages pane's queries on a large store (optimised, unsanitised).
if(TARGET messages_store_opt)
  add_executable(store_bench ${CMAKE_CURRENT_LIST_DIR}/store_bench.cpp)
  target_include_directories(store_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(store_bench PRIVATE -O2)
  target_compile_definitions(store_bench PRIVATE NDEBUG)
  target_link_libraries(store_bench PRIVATE messages_store_opt)
endif()
