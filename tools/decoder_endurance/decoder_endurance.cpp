// Start/stop endurance: `cycles` decoder runs through the main window, runs of `long` records and
// bursts of `burst` records (written at once) in turn. Each run is stopped once its last record is
// shown in the log; a second thread measures how long the window takes to answer throughout.
//   decoder-endurance.exe [cycles = 200] [long = 20000] [burst = 3000]
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <psapi.h>
#include <richedit.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "win/main_window_parts.h"
#include "app/main_frame.h"
#include "resource.h"
#include "win/app_module.h"

namespace {

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

// Dispatches what waits, for at most a slice of time: under a flood the hand-over posts its next
// drain before the last one returns, so the queue may never be empty.
void Pump() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
    MSG msg;
    while (std::chrono::steady_clock::now() < end && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// The log's last characters.
std::wstring LogTail(CLogView& log) {
    const LONG end = static_cast<LONG>(log.text().Length());
    wchar_t text[256] = {};
    TEXTRANGEW range{{std::max<LONG>(0, end - 200), end}, text};
    ::SendMessageW(log.hwnd(), EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
    return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int cycles = argc > 1 ? std::max(1, _wtoi(argv[1])) : 200;
    const long longRun = argc > 2 ? std::max(1, _wtoi(argv[2])) : 20000;
    const long burst = argc > 3 ? std::max(1, _wtoi(argv[3])) : 3000;
    ::CoInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_USEREX_CLASSES | ICC_COOL_CLASSES};
    ::InitCommonControlsEx(&icc);
    ::LoadLibraryW(L"RICHED20.DLL");
    win::g_module.Init(::GetModuleHandleW(nullptr));

    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring work = std::wstring(temp) + L"vastrel_endurance_" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(work.c_str(), nullptr);
    ::CopyFileW((Folder(self) + L"vastrel-sim.exe").c_str(), (work + L"\\vastrel.exe").c_str(), FALSE);
    ::SetEnvironmentVariableW(L"VASTREL_SIM_SCRIPT", (work + L"\\script.txt").c_str());
    ::SetCurrentDirectoryW(work.c_str());

    CMainFrame frame;
    if (!frame.CreateMainWindow()) return 2;
    ::ShowWindow(frame.hwnd(), SW_SHOWNORMAL);
    ::SendMessageW(frame.hwnd(), WM_COMMAND, ID_PANE_DECODER_LOG, 0);
    for (int c = 0; c < decoder::kCategories; ++c) frame.Run().Filter().Set(c, true);
    Pump();

    std::atomic<bool> done{false}, proberDone{false};
    std::atomic<long> worstMs{0}, probes{0}, timeouts{0};
    std::thread prober([&] {
        while (!done) {
            const auto t0 = std::chrono::steady_clock::now();
            DWORD_PTR result = 0;
            if (!::SendMessageTimeoutW(frame.hwnd(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result)) ++timeouts;
            const long ms = static_cast<long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count());
            worstMs = std::max(worstMs.load(), ms);
            ++probes;
            ::Sleep(20);
        }
        proberDone = true;
    });

    std::printf("endurance: %d cycles, runs of %ld records and bursts of %ld in turn\n", cycles, longRun, burst);
    int shown = 0;
    long worstCycleMs = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const long records = cycle % 2 == 0 ? longRun : burst;
        {
            std::ofstream script(std::filesystem::path(work + L"\\script.txt"), std::ios::binary);
            script << "wait-client\nflood " << records << " 80\nwait-stop\n";
        }
        const auto t0 = std::chrono::steady_clock::now();
        ::SendMessageW(frame.hwnd(), WM_COMMAND, ID_DECODER_START, 0);
        const std::wstring last = L"#" + std::to_wstring(records - 1) + L" ";
        const auto deadline = t0 + std::chrono::minutes(3);
        bool seen = false;
        while (!seen && std::chrono::steady_clock::now() < deadline) {
            Pump();
            seen = LogTail(guitest::LogViewOf(frame.hwnd())).find(last) != std::wstring::npos;
            if (!seen) ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        ::SendMessageW(frame.hwnd(), WM_COMMAND, ID_DECODER_STOP, 0);
        const long ms = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count());
        worstCycleMs = std::max(worstCycleMs, ms);
        shown += seen ? 1 : 0;
        if (!seen || (cycle + 1) % 10 == 0) {
            PROCESS_MEMORY_COUNTERS memory{};
            memory.cb = sizeof(memory);
            ::K32GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
            DWORD handles = 0;
            ::GetProcessHandleCount(::GetCurrentProcess(), &handles);
            std::printf("cycle %3d: %s; %ld ms; working set %zu KiB, %lu handles, %lu GDI, %lu USER; worst answer "
                        "so far %ld ms\n",
                        cycle + 1, seen ? "last record shown" : "LAST RECORD NOT SHOWN", ms,
                        memory.WorkingSetSize / 1024, handles, ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS),
                        ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), worstMs.load());
            std::fflush(stdout);
        }
    }
    done = true;
    // The window answers the prober's last round trip while it ends.
    while (!proberDone) {
        Pump();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    prober.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("end: %d of %d runs showed their last record; %.1f s; longest cycle %ld ms; window answer: %ld round "
                "trips, worst %ld ms, %ld timeouts over 5000 ms\n",
                shown, cycles, seconds, worstCycleMs, probes.load(), worstMs.load(), timeouts.load());
    ::DestroyWindow(frame.hwnd());
    ::CoUninitialize();
    return shown == cycles && timeouts == 0 ? 0 : 1;
}
