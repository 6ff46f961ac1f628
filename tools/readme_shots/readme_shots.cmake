# readme-shots.exe: opens the main window in a given state for the README pictures (tools/readme_shots.sh).
if(VASTREL_WIN)
  add_executable(readme-shots ${CMAKE_CURRENT_LIST_DIR}/readme_shots.cpp ${PROJECT_SOURCE_DIR}/resources/app.rc)
  target_link_libraries(readme-shots PRIVATE vastrel_app)
  target_include_directories(readme-shots PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/resources)
  vastrel_static_runtime(readme-shots)
  target_link_options(readme-shots PRIVATE -municode -mwindows)
endif()
