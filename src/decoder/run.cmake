# Decoder control, Windows part: the decoder session, its reader thread and the hand-over to the
# user-interface thread.
vastrel_win_library(decoder_run
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/reader_win.cpp ${CMAKE_CURRENT_LIST_DIR}/hand_over_win.cpp
          ${CMAKE_CURRENT_LIST_DIR}/decoder_session_win.cpp
  LIBS decoder_portable vastrel_winlayer user32 kernel32)

# The decoder run as a model: a run's session, sinks, hand-over and restart, for the main window to show.
vastrel_win_library(decoder_run_model
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/decoder_run_win.cpp
  LIBS decoder_run messages_store reception_portable feed_win alerts_portable vastrel_settings vastrel_winlayer user32 kernel32)
