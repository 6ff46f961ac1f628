# Accuracy of the Ctrl+click carrier snap: synthetic carriers through the analyser, error table.
add_executable(carrier_bench ${CMAKE_CURRENT_LIST_DIR}/carrier_bench.cpp)
target_include_directories(carrier_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/audio_spectrum)
target_compile_options(carrier_bench PRIVATE -O2)
target_compile_definitions(carrier_bench PRIVATE NDEBUG)
target_link_libraries(carrier_bench PRIVATE vastrel_spectrum_opt)
