# readme-shots.exe: opens the main window in a given state for the README pictures (tools/readme_shots.sh).
vastrel_app_tool(readme-shots ${CMAKE_CURRENT_LIST_DIR}/readme_shots.cpp WINDOWS)
