# Map: a whole redraw's projection and clipping at 1920x1080 (50 m land, 10,000 shapes), pan frames,
# land decoding, and the map's working set (optimised, unsanitised library).
find_package(benchmark QUIET)
if(benchmark_FOUND AND TARGET vastrel_map_opt)
  add_executable(map_bench ${CMAKE_CURRENT_LIST_DIR}/map_bench.cpp)
  target_include_directories(map_bench PRIVATE ${PROJECT_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)
  target_compile_options(map_bench PRIVATE -O2)
  target_compile_definitions(map_bench PRIVATE NDEBUG MAP_LAND_BIN="${VASTREL_LAND_BIN}")
  target_link_libraries(map_bench PRIVATE vastrel_map_opt benchmark::benchmark)
  add_dependencies(map_bench vastrel_land_data)
else()
  message(STATUS "map_bench skipped: Google Benchmark or vastrel_map_opt not found")
endif()
