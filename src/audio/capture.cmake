# Capture: the portable engine, channel picker and device list, and the DirectSound service.
vastrel_portable_library(vastrel_capture
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/sound_capture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/channel_picker.cpp
    ${CMAKE_CURRENT_LIST_DIR}/capture_device_list.cpp)
find_package(Threads REQUIRED)
target_link_libraries(vastrel_capture PUBLIC Threads::Threads)
if(TARGET vastrel_capture_opt)
  target_link_libraries(vastrel_capture_opt PUBLIC Threads::Threads)
endif()

# dsound.dll is loaded at run time; dxguid is a static library of interface identifiers.
vastrel_win_library(vastrel_capture_win
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/dsound_capture_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/capture_devices_win.cpp
  LIBS vastrel_capture dxguid ole32)
