// CFFTDisp: the pointer readout, a tracking tooltip beside the pointer with the frequency and the
// level under it. It lives apart from the picture, which stays as it is.
#include <windows.h>
#include <commctrl.h>

#include "audio/fft_display.h"
#include "win/dpi.h"

namespace {

constexpr UINT_PTR kToolId = 1;

TTTOOLINFOW ToolInfo(HWND owner) {
    TTTOOLINFOW info{};
    // The version 5 size: accepted by every comctl32, with or without the version 6 manifest.
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_TRANSPARENT;
    info.hwnd = owner;
    info.uId = kToolId;
    return info;
}

}  // namespace

void CFFTDisp::ShowReadout(int x, int y) {
    if (!readout_) {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&icc);
        readout_.reset(::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, TOOLTIPS_CLASSW, nullptr,
                                         WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                         CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr, Instance(), nullptr));
        if (!readout_) return;  // no readout, everything else as usual
        TTTOOLINFOW info = ToolInfo(hwnd());
        info.lpszText = const_cast<wchar_t*>(L"");
        ::SendMessageW(readout_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
        readoutText_.clear();
    }
    readoutAt_ = POINT{x, y};
    UpdateReadoutText();
    // The offset is a 96-DPI measure: scaled to the screen the display is on, so that the tip keeps
    // clear of a pointer drawn larger at a higher DPI.
    const int dpi = win::DpiOf(hwnd());
    POINT screen{x + win::Scale(kReadoutOffsetX, dpi), y + win::Scale(kReadoutOffsetY, dpi)};
    ::ClientToScreen(hwnd(), &screen);
    ::SendMessageW(readout_.get(), TTM_TRACKPOSITION, 0, MAKELPARAM(screen.x, screen.y));
    if (!::IsWindowVisible(readout_.get())) {
        TTTOOLINFOW info = ToolInfo(hwnd());
        ::SendMessageW(readout_.get(), TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&info));
    }
}

// Also called by each paint, so that the level follows the frames while the pointer rests.
void CFFTDisp::UpdateReadoutText() {
    if (!readout_ || readoutAt_.x < 0) return;
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    const std::string text = model_.ReadoutAt(model_.FrequencyAtX(readoutAt_.x, client.right - client.left));
    const std::wstring wide(text.begin(), text.end());  // digits, blanks, "Hz", "dB" and '-' only
    if (wide == readoutText_) return;
    readoutText_ = wide;
    TTTOOLINFOW info = ToolInfo(hwnd());
    info.lpszText = const_cast<wchar_t*>(readoutText_.c_str());
    ::SendMessageW(readout_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

void CFFTDisp::HideReadout() {
    readoutAt_ = POINT{-1, -1};
    if (!readout_) return;
    TTTOOLINFOW info = ToolInfo(hwnd());
    ::SendMessageW(readout_.get(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&info));
}
