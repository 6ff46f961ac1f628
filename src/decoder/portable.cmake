# Decoder control, portable part: command line, argument splitting, the record stream, typed records
# and their sinks.
vastrel_portable_library(decoder_portable
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/command_line.cpp
    ${CMAKE_CURRENT_LIST_DIR}/argument_split.cpp
    ${CMAKE_CURRENT_LIST_DIR}/record_stream.cpp
    ${CMAKE_CURRENT_LIST_DIR}/decoder_record.cpp
    ${CMAKE_CURRENT_LIST_DIR}/record_sink.cpp
    ${CMAKE_CURRENT_LIST_DIR}/restart_backoff.cpp
    ${CMAKE_CURRENT_LIST_DIR}/log_update.cpp)
