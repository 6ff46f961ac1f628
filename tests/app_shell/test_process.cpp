// The real program as a process: every way of closing it ends it with exit code 1.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "resource.h"
#include "win/gui_support.h"

namespace {

struct Gui {
    PROCESS_INFORMATION pi{};
    HWND window = nullptr;

    bool Start(const std::wstring& arguments = L"") {
        std::wstring commandLine = L"\"" + guitest::ProgramFolder() + L"vastrel-gui.exe\"" + arguments;
        STARTUPINFOW si{sizeof(si)};
        if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return false;
        ::WaitForInputIdle(pi.hProcess, 10000);
        return guitest::PumpUntil([&] { return (window = Find()) != nullptr; }, 20000);
    }
    HWND Find() const {
        struct Search {
            DWORD pid;
            HWND found;
        } search{pi.dwProcessId, nullptr};
        ::EnumWindows(
            [](HWND hwnd, LPARAM param) -> BOOL {
                auto* s = reinterpret_cast<Search*>(param);
                DWORD pid = 0;
                ::GetWindowThreadProcessId(hwnd, &pid);
                if (pid == s->pid && guitest::WindowText(hwnd) == L"Corvane VASTREL GUI v0.4" &&
                    ::IsWindowVisible(hwnd)) {
                    s->found = hwnd;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    DWORD WaitForExit() {
        DWORD code = 12345;
        if (::WaitForSingleObject(pi.hProcess, 15000) == WAIT_OBJECT_0) ::GetExitCodeProcess(pi.hProcess, &code);
        return code;
    }
    ~Gui() {
        if (pi.hProcess) {
            if (::WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) ::TerminateProcess(pi.hProcess, 99);
            ::CloseHandle(pi.hProcess);
            ::CloseHandle(pi.hThread);
        }
    }
};

// The visible pop-up menu (class #32768) of process `pid`, or null.
HWND PopupMenuOf(DWORD pid) {
    struct Search {
        DWORD pid;
        HWND found;
    } search{pid, nullptr};
    ::EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(hwnd, &owner);
            if (owner != s->pid || !::IsWindowVisible(hwnd) || guitest::ClassName(hwnd) != L"#32768") return TRUE;
            s->found = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void SendKey(WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    ::SendInput(1, &input, sizeof(input));
}

}  // namespace

TEST(GuiProcess, ExitMenuCommandEndsWithCodeOne) {
    Gui gui;
    ASSERT_TRUE(gui.Start(L" --ignored argument"));
    ::PostMessageW(gui.window, WM_COMMAND, MAKEWPARAM(ID_FILE_EXIT, 0), 0);
    EXPECT_EQ(gui.WaitForExit(), 1u);
}

TEST(GuiProcess, CloseBoxEndsWithCodeOne) {
    Gui gui;
    ASSERT_TRUE(gui.Start());
    ::PostMessageW(gui.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(gui.WaitForExit(), 1u);
}

TEST(GuiProcess, AltF4EndsWithCodeOne) {
    Gui gui;
    ASSERT_TRUE(gui.Start());
    ::SetForegroundWindow(gui.window);
    ASSERT_TRUE(guitest::PumpUntil([&] { return ::GetForegroundWindow() == gui.window; }, 5000));
    SendKey(VK_MENU, false);
    SendKey(VK_F4, false);
    SendKey(VK_F4, true);
    SendKey(VK_MENU, true);
    EXPECT_EQ(gui.WaitForExit(), 1u);
}

TEST(GuiProcess, TheTrayMenusExitEndsWithCodeOne) {
    Gui gui;
    ASSERT_TRUE(gui.Start());
    // The tray icon's menu, as a right click on the icon opens it (CMainFrame::kTrayMessage).
    ::PostMessageW(gui.window, WM_APP + 0x31, 1, WM_CONTEXTMENU);
    HWND menu = nullptr;
    ASSERT_TRUE(guitest::PumpUntil([&] { return (menu = PopupMenuOf(gui.pi.dwProcessId)) != nullptr; }, 10000));
    // "E&xit" by its mnemonic, as the keyboard chooses it.
    ::PostMessageW(menu, WM_KEYDOWN, 'X', 0);
    ::PostMessageW(menu, WM_CHAR, 'x', 0);
    EXPECT_EQ(gui.WaitForExit(), 1u);
}
