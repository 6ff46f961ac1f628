# grid-gallery.exe: a window with a property grid holding one row of every item kind.
add_executable(grid-gallery WIN32 ${CMAKE_CURRENT_LIST_DIR}/grid_gallery.cpp)
target_link_libraries(grid-gallery PRIVATE vastrel_controls)
target_include_directories(grid-gallery PRIVATE ${PROJECT_SOURCE_DIR}/src)
vastrel_static_runtime(grid-gallery)
target_link_options(grid-gallery PRIVATE -municode -mwindows)
