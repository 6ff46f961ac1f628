# The stand-in decoder, bin/vastrel-sim.exe (never named vastrel.exe, so it cannot be mistaken for the
# real decoder).
add_executable(vastrel-sim
  ${CMAKE_CURRENT_LIST_DIR}/sim_main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sim_options.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sim_script.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sim_traffic.cpp)
target_include_directories(vastrel-sim PRIVATE ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(vastrel-sim PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
target_compile_options(vastrel-sim PRIVATE -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)
target_link_options(vastrel-sim PRIVATE -municode -mconsole)
target_link_libraries(vastrel-sim PRIVATE shell32 kernel32)
vastrel_static_runtime(vastrel-sim)
