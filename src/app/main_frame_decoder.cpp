// Decoder start and stop (Decoder menu).
#include "app/main_frame.h"

void CMainFrame::StartDecoder() {}

void CMainFrame::StopDecoder() {}
