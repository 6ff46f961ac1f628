# nlohmann-json (Debian's nlohmann-json3-dev, header only) as the interface target vastrel_json for
# both builds. The cross build must not search the build machine's /usr/include (glibc's headers would
# shadow MinGW's), so the one folder it needs is copied into the build tree and used from there.
find_path(VASTREL_JSON_DIR nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
if(NOT VASTREL_JSON_DIR)
  message(FATAL_ERROR "nlohmann/json.hpp not found: run tools/testbed.sh install (Debian package nlohmann-json3-dev)")
endif()
set(_json_copy "${CMAKE_BINARY_DIR}/third_party/include")
file(COPY "${VASTREL_JSON_DIR}/nlohmann" DESTINATION "${_json_copy}")
add_library(vastrel_json INTERFACE)
target_include_directories(vastrel_json SYSTEM INTERFACE "${_json_copy}")
add_library(vastrel_json_opt ALIAS vastrel_json)
