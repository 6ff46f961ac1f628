#include "win/tray_icon.h"

#include <cwchar>

namespace win {

NOTIFYICONDATAW TrayIcon::Data(UINT flags) const {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = owner_;
    data.uID = kId;
    data.uFlags = flags;
    data.uCallbackMessage = callback_;
    data.hIcon = icon_;
    wcsncpy_s(data.szTip, tip_.c_str(), _TRUNCATE);
    return data;
}

bool TrayIcon::Add(HWND owner, UINT callbackMessage, HICON icon, const std::wstring& tip) {
    Remove();
    owner_ = owner;
    callback_ = callbackMessage;
    icon_ = icon;
    tip_ = tip;
    NOTIFYICONDATAW data = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP);
    added_ = ::Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    if (added_) {
        data.uVersion = NOTIFYICON_VERSION_4;
        ::Shell_NotifyIconW(NIM_SETVERSION, &data);
    }
    return added_;
}

bool TrayIcon::SetTip(const std::wstring& tip) {
    tip_ = tip;
    if (!added_) return false;
    NOTIFYICONDATAW data = Data(NIF_TIP | NIF_SHOWTIP);
    return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

bool TrayIcon::Notify(const std::wstring& title, const std::wstring& text) {
    if (!added_) return false;
    NOTIFYICONDATAW data = Data(NIF_INFO);
    wcsncpy_s(data.szInfoTitle, title.c_str(), _TRUNCATE);
    wcsncpy_s(data.szInfo, text.empty() ? L" " : text.c_str(), _TRUNCATE);
    data.dwInfoFlags = NIIF_WARNING;
    return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

void TrayIcon::Remove() {
    if (!added_) return;
    NOTIFYICONDATAW data = Data(0);
    ::Shell_NotifyIconW(NIM_DELETE, &data);
    added_ = false;
}

}  // namespace win
