# nlohmann-json, header only, from Debian's nlohmann-json3-dev (tools/testbed.sh install). The
# cross build does not search /usr/include, so only the folder that holds nlohmann/json.hpp is added,
# as the interface target vastrel_json, for the targets that use it.
find_path(VASTREL_JSON_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT VASTREL_JSON_INCLUDE)
  message(FATAL_ERROR "nlohmann/json.hpp not found: run tools/testbed.sh install (it installs nlohmann-json3-dev)")
endif()
# /usr/include holds other libraries' headers too; the cross build must not pick those up in place of
# MinGW's, so the folder goes in through a copy of the one header tree it needs.
if(VASTREL_WIN)
  set(_json_dir ${CMAKE_BINARY_DIR}/json-include)
  file(COPY ${VASTREL_JSON_INCLUDE}/nlohmann DESTINATION ${_json_dir})
else()
  set(_json_dir ${VASTREL_JSON_INCLUDE})
endif()
add_library(vastrel_json INTERFACE)
target_include_directories(vastrel_json SYSTEM INTERFACE ${_json_dir})
add_library(vastrel_json_opt ALIAS vastrel_json)
