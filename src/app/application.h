// Process start-up and the main window's run.
#pragma once
#include <windows.h>

// Creates the main window, centres and shows it, runs the message loop; the quit code, or 0 when
// the window cannot be created.
int RunMainWindow(const wchar_t* commandLine, int showCommand);
// Everything between the entry point and the exit code: process services, RunMainWindow, teardown.
int RunApplication(HINSTANCE instance, const wchar_t* commandLine, int showCommand);
