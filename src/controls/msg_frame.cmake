# The messages pane: a library of its own beside the property grid.
vastrel_win_library(vastrel_msgframe
  SOURCES msg_frame.cpp
  LIBS vastrel_winlayer comctl32 gdi32 user32)
