# Decoder control, Windows part: the reader thread and its hand-over to the user-interface thread.
vastrel_win_library(decoder_run
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/reader_win.cpp
  LIBS decoder_portable vastrel_winlayer user32 kernel32)
