# Decoder control, portable part: command line, argument splitting and the record stream.
vastrel_portable_library(decoder_portable
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/command_line.cpp
    ${CMAKE_CURRENT_LIST_DIR}/argument_split.cpp
    ${CMAKE_CURRENT_LIST_DIR}/record_stream.cpp)
