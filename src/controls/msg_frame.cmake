# The messages pane: a library of its own beside the property grid; its model is browser_model.
vastrel_win_library(vastrel_msgframe
  SOURCES msg_frame.cpp msg_frame_list.cpp msg_frame_commands.cpp
  LIBS browser_model vastrel_winlayer comctl32 comdlg32 shell32 gdi32 user32)
