// CFFTDisp: the pointer readout, a tracking tooltip beside the pointer with the frequency and the
// level under it. It lives apart from the picture, which stays as it is.
#include <windows.h>
#include <commctrl.h>

#include "audio/fft_display.h"
#include "win/dpi.h"

void CFFTDisp::ShowReadout(int x, int y) {
    if (!readout_.Ensure(hwnd())) return;  // no readout, everything else as usual
    readoutAt_ = POINT{x, y};
    UpdateReadoutText();
    // The offset is a 96-DPI measure: scaled to the screen the display is on, so that the tip keeps
    // clear of a pointer drawn larger at a higher DPI.
    const int dpi = win::DpiOf(hwnd());
    readout_.ShowAt(x + win::Scale(kReadoutOffsetX, dpi), y + win::Scale(kReadoutOffsetY, dpi));
}

// Also called by each paint, so that the level follows the frames while the pointer rests.
void CFFTDisp::UpdateReadoutText() {
    if (!readout_.hwnd() || readoutAt_.x < 0) return;
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    const std::string text = model_.ReadoutAt(model_.FrequencyAtX(readoutAt_.x, client.right - client.left));
    readout_.SetText(std::wstring(text.begin(), text.end()));  // digits, blanks, "Hz", "dB" and '-' only
}

void CFFTDisp::HideReadout() {
    readoutAt_ = POINT{-1, -1};
    readout_.Hide();
}
