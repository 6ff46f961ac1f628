// Alerts in the window: the taskbar button flashes, the tray icon notifies, the sound plays and the
// alert's program runs; and the tray icon itself: its tooltip, its menu, the window hidden in it.
#include "app/main_frame.h"

#include <mmsystem.h>

#include <cwchar>

#include "decoder/command_line.h"
#include "resource.h"
#include "settings/settings.h"

void CMainFrame::SetAlertClock(std::function<std::int64_t()> clock) {
    alertClock_ = clock;
    alertPrograms_.SetClock(std::move(clock));
}

void CMainFrame::CreateTrayIcon() {
    HICON icon = static_cast<HICON>(::LoadImageW(Instance(), MAKEINTRESOURCEW(IDI_APPICON), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                                 LR_SHARED));
    trayIcon_.Add(hwnd(), kTrayMessage, icon, L"Idle");
    // A failed program is said in the log, in red, with the time.
    alertPrograms_.SetReport([this](const std::wstring& text) { run_.Note(text); });
}

void CMainFrame::RefreshTrayTip() {
    // "Decoding, LES 121, 3 new": the status without its dots, the station in force, the unread count.
    std::wstring tip(256, L'\0');
    tip.resize(static_cast<std::size_t>(::GetWindowTextW(statusField_, tip.data(), static_cast<int>(tip.size()))));
    while (!tip.empty() && tip.back() == L'.') tip.pop_back();
    wchar_t les[32] = {};
    ::GetWindowTextW(lesField_, les, 32);
    if (les[0] && std::wstring(les) != L"---") tip += L", LES " + std::wstring(les);
    if (unreadCount_ > 0) tip += L", " + std::to_wstring(unreadCount_) + L" new";
    if (tip != trayIcon_.tip()) trayIcon_.SetTip(tip);
}

void CMainFrame::OnRunAlert(const decoder::RunAlert& alert) {
    // The taskbar button flashes until the window is brought forward.
    FLASHWINFO flash{sizeof(flash), hwnd(), FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
    ::FlashWindowEx(&flash);
    ++alertsDone_.flashes;

    const decoder::UtcTime t = decoder::UtcTimeFromMs(alert.timeMs);
    wchar_t title[64] = {};
    std::swprintf(title, 64, L"Alert %04d-%02d-%02d %02d:%02d UTC", t.year, t.month, t.day, t.hour, t.minute);
    alertsDone_.title = title;
    alertsDone_.text = alert.headline;
    alertsDone_.message = alert.messageId;
    trayIcon_.Notify(title, alert.headline);
    ++alertsDone_.notifications;

    PlayAlertSound();

    const std::wstring program = settingRows_.ReadText(settings::kAlertProgram);
    if (program.find_first_not_of(L" \t") != std::wstring::npos) alertPrograms_.Run(program, alert.json);
}

void CMainFrame::PlayAlertSound() {
    const std::wstring setting = settingRows_.ReadText(settings::kAlertSound);
    const alerts::SoundKind kind = alerts::SoundKindOf(setting);
    if (kind == alerts::SoundKind::None) return;
    const std::int64_t now = alertClock_ ? alertClock_() : static_cast<std::int64_t>(::GetTickCount64());
    if (!soundPace_.Allow(now)) return;
    ++alertsDone_.sounds;
    // A file that cannot be played falls back to the warning sound rather than to silence.
    if (kind == alerts::SoundKind::File &&
        ::PlaySoundW(setting.c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT))
        return;
    ::MessageBeep(MB_ICONWARNING);
}

void CMainFrame::ShowFromTray() {
    ::ShowWindow(hwnd(), ::IsIconic(hwnd()) ? SW_RESTORE : SW_SHOW);
    ::SetForegroundWindow(hwnd());
}

void CMainFrame::OnTrayEvent(UINT event) {
    switch (event) {
    case NIN_BALLOONUSERCLICK:
        // The notification's message, selected in the browser.
        ShowFromTray();
        SelectPane(Pane::Messages);
        if (alertsDone_.message) messagesPane_.SelectMessage(alertsDone_.message);
        break;
    case NIN_SELECT:
    case NIN_KEYSELECT:
    case WM_LBUTTONUP:
        ShowFromTray();
        break;
    case WM_CONTEXTMENU:
    case WM_RBUTTONUP:
        ShowTrayMenu();
        break;
    default:
        break;
    }
}

void CMainFrame::ShowTrayMenu() {
    win::UniqueMenu menu(::CreatePopupMenu());
    if (!menu) return;
    ::AppendMenuW(menu.get(), MF_STRING, ID_TRAY_SHOW, L"&Show");
    if (run_.Running())
        ::AppendMenuW(menu.get(), MF_STRING, ID_DECODER_STOP, L"Sto&p decoder");
    else
        ::AppendMenuW(menu.get(), MF_STRING, ID_DECODER_START, L"&Start decoder");
    ::AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu.get(), MF_STRING, ID_FILE_EXIT, L"E&xit");
    ::SetMenuDefaultItem(menu.get(), ID_TRAY_SHOW, FALSE);
    POINT at{};
    ::GetCursorPos(&at);
    // The menu closes when the user clicks elsewhere only if the window is in front (a known rule of
    // the notification area's menus); the command comes as any menu's does.
    ::SetForegroundWindow(hwnd());
    ::TrackPopupMenu(menu.get(), TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd(), nullptr);
    ::PostMessageW(hwnd(), WM_NULL, 0, 0);
}
