// Opens the main window and puts it into one state for a README picture, then runs until closed:
//   readme-shots.exe spectrum   capture on (play a carrier into the sound card first)
//   readme-shots.exe decoder    the stand-in decoder (vastrel.exe in the current folder) running,
//                               the "Decoder log" pane shown
//   readme-shots.exe messages   the "Messages" pane shown
//   readme-shots.exe readout    as "spectrum", then the pointer is put on the carrier's upper edge
//                               (with the system's own cursor move, as a user's hand would), so
//                               that the readout tooltip shows its frequency and level
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <string>

#include "app/main_frame.h"
#include "resource.h"
#include "win/app_module.h"

namespace {

// After the first frames have been averaged: the pointer on the carrier near 1900 Hz.
constexpr UINT_PTR kPointerTimer = 1;
constexpr UINT kPointerDelayMs = 4000;
CMainFrame* g_frame = nullptr;

void CALLBACK PutPointerOnCarrier(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    HWND display = g_frame->spectrumDisplay.hwnd();
    RECT client{};
    ::GetClientRect(display, &client);
    int x = 0;
    if (!g_frame->spectrum.ColumnOf(1900.0, client.right, x)) return;
    POINT at{x, client.bottom / 3};
    ::ClientToScreen(display, &at);
    ::SetCursorPos(at.x, at.y);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    ::CoInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_USEREX_CLASSES | ICC_COOL_CLASSES};
    ::InitCommonControlsEx(&icc);
    ::LoadLibraryW(L"RICHED20.DLL");
    win::g_module.Init(instance);
    const std::wstring stage = commandLine ? commandLine : L"";

    CMainFrame frame;
    if (!frame.CreateMainWindow()) return 2;
    frame.CentreOnMonitor();
    ::ShowWindow(frame.hwnd(), SW_SHOWNORMAL);
    ::UpdateWindow(frame.hwnd());
    if (stage == L"spectrum" || stage == L"readout") {
        // A centre on the tone the script plays, so that the band sits around it.
        frame.spectrum.centerFrequency = 1500.0;
        frame.RefreshCentreFrequencyRow();
        ::PostMessageW(frame.hwnd(), WM_COMMAND, ID_FFT_ON, 0);
        if (stage == L"readout") {
            g_frame = &frame;
            ::SetTimer(nullptr, kPointerTimer, kPointerDelayMs, PutPointerOnCarrier);
        }
    } else if (stage == L"decoder") {
        ::PostMessageW(frame.hwnd(), WM_COMMAND, ID_DECODER_START, 0);
        ::PostMessageW(frame.hwnd(), WM_COMMAND, ID_PANE_DECODER_LOG, 0);
    } else if (stage == L"messages") {
        ::PostMessageW(frame.hwnd(), WM_COMMAND, ID_PANE_MESSAGES, 0);
    }
    win::MessageLoop loop;
    const int result = loop.Run();
    ::CoUninitialize();
    return result;
}
