// The settings grid's notifications and the centre-frequency row.
#include "app/main_frame.h"

void CMainFrame::RefreshCentreFrequencyRow() {}

void CMainFrame::ApplySampleRate() {}

LRESULT CMainFrame::OnNotify(const NMHDR& header, bool& handled) {
    (void)header;
    handled = false;
    return 0;
}
