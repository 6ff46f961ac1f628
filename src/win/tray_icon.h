// TrayIcon is the program's icon in the notification area: its tooltip, its balloon notifications and
// the message its clicks send to the owner window (wParam: the icon's id; LOWORD(lParam): the event,
// such as NIN_BALLOONUSERCLICK or WM_CONTEXTMENU). It removes the icon when it goes.
#pragma once
#include <windows.h>

#include <shellapi.h>

#include <string>

namespace win {

class TrayIcon {
public:
    static constexpr UINT kId = 1;

    TrayIcon() = default;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;
    ~TrayIcon() { Remove(); }

    // Adds the icon for `owner`, whose clicks come as `callbackMessage`; false when the shell refused it.
    bool Add(HWND owner, UINT callbackMessage, HICON icon, const std::wstring& tip);
    // The tooltip (cut to the shell's 127 characters); kept for a later Add too.
    bool SetTip(const std::wstring& tip);
    // A balloon notification with the warning icon; false when the shell refused it.
    bool Notify(const std::wstring& title, const std::wstring& text);
    void Remove();

    bool added() const { return added_; }
    const std::wstring& tip() const { return tip_; }

private:
    NOTIFYICONDATAW Data(UINT flags) const;

    HWND owner_ = nullptr;
    UINT callback_ = 0;
    HICON icon_ = nullptr;  // shared, not owned
    std::wstring tip_;
    bool added_ = false;
};

}  // namespace win
