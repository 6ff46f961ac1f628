// The real program as a process, started with arguments it ignores: it shows centred on the work area,
// and closing it by Alt+F4 or by the tray icon's menu (as by the menu's Exit) ends it with code 1.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "win/gui_support.h"

namespace {

// A visible top-level window of process `pid` with that class and title (null: any), or null.
HWND VisibleWindowOf(DWORD pid, const wchar_t* className, const wchar_t* title) {
    for (HWND h = nullptr; (h = ::FindWindowExW(nullptr, h, className, title)) != nullptr;) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(h, &owner);
        if (owner == pid && ::IsWindowVisible(h)) return h;
    }
    return nullptr;
}

bool AltF4(HWND window, DWORD) {
    ::SetForegroundWindow(window);
    if (!guitest::PumpUntil([&] { return ::GetForegroundWindow() == window; })) return false;
    for (auto [key, flags] : {std::pair<WORD, DWORD>{VK_MENU, 0}, {VK_F4, 0}, {VK_F4, KEYEVENTF_KEYUP}, {VK_MENU, KEYEVENTF_KEYUP}}) {
        INPUT input{INPUT_KEYBOARD};
        input.ki = {key, 0, flags};
        ::SendInput(1, &input, sizeof(input));
    }
    return true;
}

bool TrayMenuExit(HWND window, DWORD pid) {
    ::PostMessageW(window, WM_APP + 0x31, 1, WM_CONTEXTMENU);  // a right click on the tray icon
    HWND menu = nullptr;
    if (!guitest::PumpUntil([&] { return (menu = VisibleWindowOf(pid, L"#32768", nullptr)) != nullptr; }, 10000)) return false;
    ::PostMessageW(menu, WM_KEYDOWN, 'X', 0);  // "E&xit" by its mnemonic
    ::PostMessageW(menu, WM_CHAR, 'x', 0);
    return true;
}

}  // namespace

TEST(GuiProcess, ShowsCentredAndClosingEndsWithCodeOne) {
    for (auto close : {AltF4, TrayMenuExit}) {
        SCOPED_TRACE(close == AltF4 ? "Alt+F4" : "the tray menu's Exit");
        std::wstring commandLine = L"\"" + guitest::ProgramFolder() + L"vastrel-gui.exe\" --ignored argument";
        STARTUPINFOW si{sizeof(si)};
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        HWND window = nullptr;
        EXPECT_TRUE(guitest::PumpUntil([&] {
            return (window = VisibleWindowOf(pi.dwProcessId, nullptr, L"Corvane VASTREL GUI v0.4")) != nullptr;
        }, 20000));
        RECT rc{};
        ::GetWindowRect(window, &rc);
        MONITORINFO info{sizeof(info)};
        ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
        EXPECT_LE(std::max(std::abs((rc.left - info.rcWork.left) - (info.rcWork.right - rc.right)),
                           std::abs((rc.top - info.rcWork.top) - (info.rcWork.bottom - rc.bottom))), 1) << "off centre";
        EXPECT_TRUE(window && close(window, pi.dwProcessId));
        DWORD code = 12345;
        if (::WaitForSingleObject(pi.hProcess, 15000) == WAIT_OBJECT_0) ::GetExitCodeProcess(pi.hProcess, &code);
        EXPECT_EQ(code, 1u);
        if (code == 12345) ::TerminateProcess(pi.hProcess, 99);
        ::CloseHandle(pi.hProcess), ::CloseHandle(pi.hThread);
    }
}
