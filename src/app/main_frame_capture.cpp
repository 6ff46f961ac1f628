// Capture start and stop (FFT menu).
#include "app/main_frame.h"

void CMainFrame::StartCapture() {}

void CMainFrame::StopCapture() {}
