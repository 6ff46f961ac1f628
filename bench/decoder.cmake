# Decoder record stream throughput (optimised, unsanitised library).
add_executable(decoder_bench ${CMAKE_CURRENT_LIST_DIR}/decoder_bench.cpp)
target_link_libraries(decoder_bench PRIVATE decoder_portable_opt)
target_include_directories(decoder_bench PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_compile_options(decoder_bench PRIVATE -O2)
