// What the front end costs while it shows the live spectrum: the real main window, shown, with
// "Turn ON" at a rate and channel, its messages pumped as the program's own loop does, and the
// process's CPU time against wall time. An idle stretch first gives the window's own background cost.
//   capture-cpu.exe [seconds per run, default 60] [minimized]
// "minimized" keeps the window from painting, to tell the analysis from the drawing.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstdio>
#include <cwchar>

#include "win/main_window_parts.h"
#include "app/main_frame.h"
#include "resource.h"
#include "settings/settings.h"
#include "win/app_module.h"

namespace {

double ProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& f) {
        return static_cast<double>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime) * 1e-7;
    };
    return seconds(kernel) + seconds(user);
}

// Runs the message loop for `seconds`, then returns the process CPU time used meanwhile.
double PumpFor(double seconds, double& wall) {
    const ULONGLONG start = ::GetTickCount64();
    const double cpu0 = ProcessCpuSeconds();
    const ULONGLONG end = start + static_cast<ULONGLONG>(seconds * 1000);
    for (ULONGLONG now = start; now < end; now = ::GetTickCount64()) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    wall = static_cast<double>(::GetTickCount64() - start) / 1000.0;
    return ProcessCpuSeconds() - cpu0;
}

void Report(const char* label, double cpu, double wall, int frames) {
    std::printf("%-26s cpu %7.3f s  wall %7.3f s  = %5.2f %% of a core  (%d frames analysed)\n", label, cpu, wall,
                100.0 * cpu / wall, frames);
}

bool Measure(CMainFrame& frame, const char* label, std::int32_t rate, std::int32_t channel, double seconds) {
    const auto& rates = settings::kSampleRates;
    std::int32_t rateIndex = -1;
    for (std::size_t i = 0; i < rates.size(); ++i)
        if (rates[i] == rate) rateIndex = static_cast<std::int32_t>(i);
    frame.Rows().WriteIndex(settings::kSampleRate, rateIndex);
    frame.Rows().WriteIndex(settings::kCardChannel, channel);
    ::SendMessageW(frame.hwnd(), WM_COMMAND, ID_FFT_ON, 0);
    if (!guitest::CaptureOn(frame.menu())) {
        std::printf("%-26s capture did not start\n", label);
        return false;
    }
    double wall = 0;
    PumpFor(2, wall);  // let the stream settle
    const int frames0 = frame.Spectrum().fft.framesTotal;
    const double cpu = PumpFor(seconds, wall);
    Report(label, cpu, wall, frame.Spectrum().fft.framesTotal - frames0);
    ::SendMessageW(frame.hwnd(), WM_COMMAND, ID_FFT_OFF, 0);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    double seconds = argc > 1 ? std::wcstod(argv[1], nullptr) : 60;
    if (!(seconds > 0)) seconds = 60;
    ::CoInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_USEREX_CLASSES | ICC_COOL_CLASSES};
    ::InitCommonControlsEx(&icc);
    ::LoadLibraryW(L"RICHED20.DLL");
    win::g_module.Init(::GetModuleHandleW(nullptr));

    CMainFrame frame;
    if (!frame.CreateMainWindow()) return 2;
    frame.CentreOnMonitor();
    const bool minimized = argc > 2 && std::wcscmp(argv[2], L"minimized") == 0;
    ::ShowWindow(frame.hwnd(), minimized ? SW_SHOWMINNOACTIVE : SW_SHOWNORMAL);
    ::UpdateWindow(frame.hwnd());
    double wall = 0;
    const double idle = PumpFor(seconds < 10 ? seconds : 10, wall);
    Report(minimized ? "idle (window minimized)" : "idle (window shown)", idle, wall, 0);
    bool ok = Measure(frame, "48000 Hz mono", 48000, 0, seconds);
    ok = Measure(frame, "192000 Hz stereo (left)", 192000, 1, seconds) && ok;
    ::DestroyWindow(frame.hwnd());
    ::CoUninitialize();
    return ok ? 0 : 1;
}
