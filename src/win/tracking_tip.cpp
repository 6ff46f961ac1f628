// The tracking tooltip beside the pointer.
#include <windows.h>
#include <commctrl.h>

#include "win/tracking_tip.h"
#include "win/window.h"

namespace win {

TTTOOLINFOW TrackingTip::Info() const {
    TTTOOLINFOW info{};
    // The version 5 size: accepted by every comctl32, with or without the version 6 manifest.
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_TRANSPARENT;
    info.hwnd = owner_;
    info.uId = 1;
    return info;
}

bool TrackingTip::Ensure(HWND owner, int maxWidth) {
    if (tip_) return true;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);
    tip_.reset(::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, TOOLTIPS_CLASSW, nullptr,
                                 WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, owner, nullptr, Window::Instance(), nullptr));
    if (!tip_) return false;
    owner_ = owner;
    text_.clear();
    TTTOOLINFOW info = Info();
    info.lpszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(tip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    if (maxWidth > 0) ::SendMessageW(tip_.get(), TTM_SETMAXTIPWIDTH, 0, maxWidth);
    return true;
}

void TrackingTip::SetText(const std::wstring& text) {
    if (!tip_ || text == text_) return;
    text_ = text;
    TTTOOLINFOW info = Info();
    info.lpszText = text_.data();
    ::SendMessageW(tip_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

void TrackingTip::ShowAt(int x, int y) {
    if (!tip_) return;
    POINT screen{x, y};
    ::ClientToScreen(owner_, &screen);
    ::SendMessageW(tip_.get(), TTM_TRACKPOSITION, 0, MAKELPARAM(screen.x, screen.y));
    if (!::IsWindowVisible(tip_.get())) {
        TTTOOLINFOW info = Info();
        ::SendMessageW(tip_.get(), TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&info));
    }
}

void TrackingTip::Hide() {
    if (!tip_) return;
    TTTOOLINFOW info = Info();
    ::SendMessageW(tip_.get(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&info));
}

void TrackingTip::Reset() {
    tip_.reset();
    text_.clear();
}

}  // namespace win
