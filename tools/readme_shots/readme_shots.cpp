// Opens the main window and puts it into one state for a README picture, then runs until closed:
//   readme-shots.exe spectrum   capture on (play a carrier into the sound card first)
//   readme-shots.exe decoder    the stand-in decoder (vastrel.exe in the current folder) running,
//                               the "Decoder log" pane shown
//   readme-shots.exe messages   the "Messages" pane shown
//   readme-shots.exe browser    the stand-in decoder run (its script in VASTREL_SIM_SCRIPT) fills the
//                               store; the "Messages" pane lists its messages with one selected and
//                               its text shown, and the decoder is stopped once all have come
//   readme-shots.exe readout    as "spectrum", then the pointer is put on the carrier's upper edge
//                               (with the system's own cursor move, as a user's hand would), so
//                               that the readout tooltip shows its frequency and level
//   readme-shots.exe board      as "browser", then the "In force" quick filter: the in-force board
//   readme-shots.exe map        as "browser", then the "Map" pane with the run's shapes
//   readme-shots.exe reception  a day of made-up ledger rows in the store (vastrel-messages.db in the
//                               current folder), the "Reception" pane shown with the pointer's readout
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cmath>
#include <string>

#include "win/main_window_parts.h"
#include "app/main_frame.h"
#include "messages/message_store.h"
#include "resource.h"
#include "win/app_module.h"

namespace {

constexpr UINT_PTR kBrowserTimer = 1;
constexpr std::int64_t kBrowserMessages = 19;  // as many as tools/readme_shots/browser_run.txt sends
CMainFrame* g_frame = nullptr;
// What the browser stage does once the run's messages are listed.
enum class AfterRun { Nothing, Board, Map } g_after = AfterRun::Nothing;

// Waits for the run's messages in the pane, then selects the eighth (a gale warning) and stops the run.
void CALLBACK OnBrowserTimer(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    CMsgFrame& pane = guitest::MessagesPaneOf(g_frame->hwnd());
    pane.CheckForNewMessages();
    if (pane.matchCount() < kBrowserMessages) return;
    ::KillTimer(hwnd, id);
    // The splitter dragged down as a user would, so that the list shows all the run's messages.
    RECT list{};
    ::GetWindowRect(pane.list(), &list);
    POINT at{list.left + 40, list.bottom + 2};
    ::ScreenToClient(pane.hwnd(), &at);
    ::SendMessageW(pane.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    ::SendMessageW(pane.hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(at.x, at.y + 230));
    ::SendMessageW(pane.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y + 230));
    LVITEMW state{};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(pane.list(), LVM_SETITEMSTATE, 7, reinterpret_cast<LPARAM>(&state));
    ::SetFocus(pane.list());
    ::PostMessageW(hwnd, WM_COMMAND, ID_DECODER_STOP, 0);
    if (g_after == AfterRun::Board) pane.ApplyQuickFilter(CMsgFrame::QuickFilter::InForce);
    if (g_after == AfterRun::Map) ::PostMessageW(hwnd, WM_COMMAND, ID_PANE_MAP, 0);
}

// After the first frames have been averaged: the pointer on the carrier near 1900 Hz.
constexpr UINT_PTR kPointerTimer = 1;
constexpr UINT kPointerDelayMs = 4000;

void CALLBACK PutPointerOnCarrier(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    HWND display = guitest::FindChild(g_frame->hwnd(), IDC_SPECTRUM);
    RECT client{};
    ::GetClientRect(display, &client);
    int x = 0;
    if (!g_frame->Spectrum().ColumnOf(1900.0, client.right, x)) return;
    POINT at{x, client.bottom / 3};
    ::ClientToScreen(display, &at);
    ::SetCursorPos(at.x, at.y);
}

// A day of reception: most frames heard, a quiet night with the decoder off for three hours, an
// afternoon fade that shows in both the bars and the SNR line.
void FillLedger(std::int64_t nowMs) {
    auto store = messages::MessageStore::Open("vastrel-messages.db");
    messages::Database& db = store->database();
    db.Execute("DELETE FROM reception_rows WHERE instance = 'readme'");
    messages::Statement insert(db, "INSERT INTO reception_rows VALUES ('readme', ?, 121, ?, ?, ?, ?, ?, ?)");
    const std::int64_t hourMs = 3'600'000;
    const std::int64_t last = nowMs / hourMs * hourMs;
    for (int i = 0; i < 24; ++i) {
        if (i >= 4 && i <= 6) continue;  // no run
        const double fade = std::exp(-(i - 17) * (i - 17) / 6.0);
        const double snr = 12.0 + 1.5 * std::sin(i * 0.7) - 8.0 * fade;
        const std::int64_t expected = i == 23 ? 208 : 417;
        const auto heard = static_cast<std::int64_t>(expected * (0.985 - 0.45 * fade - 0.01 * (i % 3)));
        insert.Reset(true);
        insert.Bind(1, last - (23 - i) * hourMs).Bind(2, heard).Bind(3, expected).Bind(4, expected - heard);
        insert.Bind(5, snr * 60).Bind(6, std::int64_t{60}).Bind(7, snr - 2.5);
        insert.Step();
    }
}

void CALLBACK PointAtReceptionHour(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    HWND pane = guitest::FindChild(g_frame->hwnd(), IDC_RECEPTION_PANE);
    RECT client{};
    ::GetClientRect(pane, &client);
    // The hour of the fade, 17 of 24 across the plot between its two scales.
    const int margin = win::Scale(44, win::DpiOf(pane));
    const int x = margin + (client.right - 2 * margin) * 35 / 48;
    ::SendMessageW(pane, WM_MOUSEMOVE, 0, MAKELPARAM(x, client.bottom * 2 / 3));
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
        frame.Spectrum().centerFrequency = 1500.0;
        guitest::SpectrumClicked(frame.hwnd());
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
    } else if (stage == L"reception") {
        g_frame = &frame;
        FillLedger(frame.Run().UtcNow());
        ::SendMessageW(guitest::FindChild(frame.hwnd(), IDC_RECEPTION_BUTTON), BM_CLICK, 0, 0);
        ::SetTimer(nullptr, kPointerTimer, 1500, PointAtReceptionHour);
    } else if (stage == L"browser" || stage == L"board" || stage == L"map") {
        g_frame = &frame;
        g_after = stage == L"board" ? AfterRun::Board : stage == L"map" ? AfterRun::Map : AfterRun::Nothing;
        ::PostMessageW(frame.hwnd(), WM_COMMAND, ID_DECODER_START, 0);
        ::PostMessageW(frame.hwnd(), WM_COMMAND, ID_PANE_MESSAGES, 0);
        ::SetTimer(frame.hwnd(), kBrowserTimer, 200, OnBrowserTimer);
    }
    win::MessageLoop loop;
    const int result = loop.Run();
    ::CoUninitialize();
    return result;
}
