// Configuration files.
#include "app/main_frame.h"

void CMainFrame::loadConfiguration(const wchar_t* path) { (void)path; }

void CMainFrame::saveConfiguration(const wchar_t* path) { (void)path; }
