# The analyser, the sample accumulator and the spectrum model are portable; the display window is
# Windows-only.
vastrel_portable_library(vastrel_spectrum
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/xfft.cpp ${CMAKE_CURRENT_LIST_DIR}/real_fft.cpp
          ${CMAKE_CURRENT_LIST_DIR}/sample_accumulator.cpp ${CMAKE_CURRENT_LIST_DIR}/spectrum_model.cpp
          ${CMAKE_CURRENT_LIST_DIR}/carrier_finder.cpp)

vastrel_win_library(vastrel_spectrum_win
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fft_display.cpp ${CMAKE_CURRENT_LIST_DIR}/fft_display_paint.cpp
          ${CMAKE_CURRENT_LIST_DIR}/fft_display_readout.cpp
  LIBS vastrel_spectrum vastrel_winlayer comctl32 gdi32 user32)
