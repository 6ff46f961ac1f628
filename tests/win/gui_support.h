// Helpers for tests that drive real windows: message pumping with bounded waits and a watcher that
// answers the message boxes a command shows.
#pragma once
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace guitest {

// Dispatches waiting messages of this thread.
inline void Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// Pumps messages until `done` holds or `timeoutMs` passes; returns the last value of `done`.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (Pump(); !done(); Pump()) {
        if (std::chrono::steady_clock::now() > end) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

inline std::wstring ClassName(HWND hwnd) {
    wchar_t name[128] = {};
    ::GetClassNameW(hwnd, name, 128);
    return name;
}

inline std::wstring WindowText(HWND hwnd) {
    wchar_t text[1024] = {};
    ::GetWindowTextW(hwnd, text, 1024);
    return text;
}

// The first visible dialog (class #32770) of this process, or null.
// The clipboard's text (CF_UNICODETEXT), empty when it holds none.
inline std::wstring ClipboardText() {
    std::wstring text;
    if (!::OpenClipboard(nullptr)) return text;
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(::GlobalLock(data))) text = chars;
        ::GlobalUnlock(data);
    }
    ::CloseClipboard();
    return text;
}

inline HWND VisibleDialog() {
    HWND found = nullptr;
    ::EnumWindows(
        [](HWND hwnd, LPARAM out) -> BOOL {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(hwnd, &pid);
            if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(hwnd) || ClassName(hwnd) != L"#32770") return TRUE;
            *reinterpret_cast<HWND*>(out) = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Answers every message box (dialog class #32770) of this process with OK and records its text and
// caption. Runs on its own thread, so it also answers boxes shown inside a modal loop of the
// user-interface thread.
class MessageBoxWatcher {
public:
    struct Box {
        std::wstring caption;
        std::wstring text;
        int answer = IDOK;
    };

    MessageBoxWatcher() : thread_([this] { Run(); }) {}
    ~MessageBoxWatcher() {
        stop_ = true;
        thread_.join();
    }
    std::vector<Box> boxes() {
        std::lock_guard<std::mutex> guard(lock_);
        return boxes_;
    }
    size_t count() { return boxes().size(); }
    // Stops answering: boxes then stay open until answered (for tests that look at a dialog).
    void Pause(bool paused) { paused_ = paused; }
    // Answers with each box's default button, as Enter would, instead of OK.
    void AnswerWithDefault(bool useDefault) { useDefault_ = useDefault; }

private:
    // The button Enter would press: the push button drawn as the default, else the focused one, else
    // the dialog's default id when it has such a button.
    static int DefaultButton(HWND box) {
        for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
            if (ClassName(child) == L"Button" && (::GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                return ::GetDlgCtrlID(child);
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        if (::GetGUIThreadInfo(::GetWindowThreadProcessId(box, nullptr), &info) && info.hwndFocus &&
            ::GetParent(info.hwndFocus) == box)
            return ::GetDlgCtrlID(info.hwndFocus);
        const LRESULT id = ::SendMessageW(box, DM_GETDEFID, 0, 0);
        if (HIWORD(id) == DC_HASDEFID && ::GetDlgItem(box, LOWORD(id))) return LOWORD(id);
        return IDOK;
    }
    static BOOL CALLBACK Visit(HWND hwnd, LPARAM self) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hwnd, &pid);
        auto* watcher = reinterpret_cast<MessageBoxWatcher*>(self);
        // A message box's text is the static control 0xFFFF.
        HWND textControl = ::GetDlgItem(hwnd, 0xFFFF);
        if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(hwnd) || ClassName(hwnd) != L"#32770" || !textControl ||
            std::find(watcher->answered_.begin(), watcher->answered_.end(), hwnd) != watcher->answered_.end())
            return TRUE;
        const int answer = watcher->useDefault_ ? DefaultButton(hwnd) : IDOK;
        {
            std::lock_guard<std::mutex> guard(watcher->lock_);
            watcher->boxes_.push_back({WindowText(hwnd), WindowText(textControl), answer});
        }
        ::PostMessageW(hwnd, WM_COMMAND, static_cast<WPARAM>(answer), 0);
        watcher->answered_.push_back(hwnd);
        return TRUE;
    }
    void Run() {
        while (!stop_) {
            if (!paused_) ::EnumWindows(Visit, reinterpret_cast<LPARAM>(this));
            // A box we answered may still be visible for a moment: forget it once it is gone.
            std::erase_if(answered_, [](HWND h) { return !::IsWindow(h); });
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    std::atomic<bool> stop_{false};
    std::atomic<bool> paused_{false};
    std::atomic<bool> useDefault_{false};
    std::mutex lock_;
    std::vector<Box> boxes_;
    std::vector<HWND> answered_;
    std::thread thread_;
};

// The folder the running test program lives in (bin/), with a trailing backslash.
inline std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

}  // namespace guitest
