// Measures the decoder log: the time to clear it after N lines were appended in the six category
// colours, the time per appended line at that size, and the working set.
//   log-bench.exe [clear|settext] [shown] [colours=N] [kept=N] [lines ...]
//   log-bench.exe curve [shown] [kept=N] [total [step]]
// Defaults: clear, hidden, 6 colours, all lines kept, 1000 10000 100000 200000 lines. "settext" empties
// the log with WM_SETTEXT instead. "kept=N" bounds the log as the "Log lines kept" setting does.
// "curve" fills one log from 0 to `total` lines (200,000), bounded to N (10,000), and prints the time
// per line and the working set every `step` lines (10,000).
#include <windows.h>
#include <psapi.h>
#include <richedit.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "app/decoder_log.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

size_t WorkingSetMiB() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    ::K32GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    return counters.WorkingSetSize / (1024 * 1024);
}

void Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
}


std::wstring Line(long i) {
    // About 80 characters, like a decoder record.
    wchar_t text[96];
    std::swprintf(text, 96, L"%08ld category %d LES 121 frame 0042 bulletin board text of a typical length ....\n", i,
                  static_cast<int>(i % 6));
    return text;
}

// Line `i` in the colour of category i % colours (0: the colour in force).
void Append(CDecoderLog& log, const std::wstring& text, long i, int colours) {
    if (colours)
        log.Append(text, static_cast<decoder::Category>(i % std::min(colours, 6)));
    else
        log.AppendInColourInForce(text);
}

// Fills the log to `lines` lines, one colour per line, as the window does: pieces of 8 lines with
// the window's messages (painting included) answered between them. Returns the mean time per line
// over the last 1000 (microseconds).
double Fill(CDecoderLog& log, long lines, int colours) {
    const long timedFrom = lines > 1000 ? lines - 1000 : 0;
    Clock::time_point start{};
    for (long i = 0; i < lines;) {
        for (long end = std::min(i + 8, lines); i < end; ++i) {
            if (i == timedFrom) start = Clock::now();
            const std::wstring text = Line(i);
            Append(log, text, i, colours);
        }
        log.DrawPending();
        Pump();
    }
    return Ms(Clock::now() - start) * 1000.0 / static_cast<double>(lines - timedFrom);
}

// One log filled from 0 to `total` lines, bounded to `kept`: every `step` lines, the mean time per line
// over the step and the working set.
void Curve(HWND parent, long total, long step, std::size_t kept, bool shown, int colours) {
    CDecoderLog log;
    log.Create(parent, 1);
    log.SetLineLimit(kept);
    ::SetWindowPos(log.hwnd(), nullptr, 0, 0, 780, 540, SWP_NOZORDER | (shown ? SWP_SHOWWINDOW : 0));
    std::wprintf(L"curve: log %ls, lines kept %zu (0: all)\n%10ls %10ls %12ls %10ls\n", shown ? L"shown" : L"hidden", kept,
                 L"lines", L"held", L"us/line", L"MiB");
    for (long done = 0; done < total;) {
        const long next = std::min(done + step, total);
        const Clock::time_point start = Clock::now();
        for (long i = done; i < next;) {
            for (long end = std::min(i + 8, next); i < end; ++i) {
                const std::wstring text = Line(i);
                Append(log, text, i, colours);
            }
            log.DrawPending();
            Pump();
        }
        const double perLine = Ms(Clock::now() - start) * 1000.0 / static_cast<double>(next - done);
        done = next;
        std::wprintf(L"%10ld %10zu %12.2f %10zu\n", done, log.Lines(), perLine, WorkingSetMiB());
        std::fflush(stdout);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring method = L"clear";
    std::vector<long> sizes;
    bool shown = false;
    int colours = 6;
    std::size_t kept = 0;  // the log's bound on lines; 0 keeps all
    for (int i = 1; i < argc; ++i) {
        if (std::iswdigit(argv[i][0])) sizes.push_back(std::wcstol(argv[i], nullptr, 10));
        else if (std::wstring(argv[i]) == L"shown") shown = true;
        else if (std::wcsncmp(argv[i], L"colours=", 8) == 0) colours = std::max(0, _wtoi(argv[i] + 8));
        else if (std::wcsncmp(argv[i], L"kept=", 5) == 0) kept = static_cast<std::size_t>(_wtoi(argv[i] + 5));
        else method = argv[i];
    }
    if (method != L"clear" && method != L"settext" && method != L"curve") {
        std::fwprintf(stderr, L"usage: log-bench.exe [clear|settext|curve] [shown] [colours=N] [kept=N] [lines ...]\n");
        return 2;
    }
    HWND parent = ::CreateWindowExW(0, L"STATIC", L"log-bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600,
                                    nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (method == L"curve") {
        Curve(parent, sizes.empty() ? 200000 : sizes[0], sizes.size() > 1 ? sizes[1] : 10000, kept ? kept : 10000, shown,
              colours);
        ::DestroyWindow(parent);
        return 0;
    }
    if (sizes.empty()) sizes = {1000, 10000, 100000, 200000};
    std::wprintf(L"method %ls, log %ls, lines kept %zu (0: all)\n%10ls %12ls %14ls %10ls %10ls\n", method.c_str(),
                 shown ? L"shown" : L"hidden", kept, L"lines", L"clear ms", L"us/line(last1k)", L"MiB full",
                 L"MiB after");
    for (long lines : sizes) {
        CDecoderLog log;
        log.Create(parent, 1);
        log.SetLineLimit(kept);
        // Hidden, as while another pane is selected, unless asked: a shown log also pays for
        // drawing.
        ::SetWindowPos(log.hwnd(), nullptr, 0, 0, 780, 540, SWP_NOZORDER | (shown ? SWP_SHOWWINDOW : 0));
        const double perLine = Fill(log, lines, colours);
        Pump();
        const size_t full = WorkingSetMiB();
        const Clock::time_point start = Clock::now();
        if (method == L"clear")
            log.Clear();
        else
            ::SendMessageW(log.hwnd(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
        const double clearMs = Ms(Clock::now() - start);
        Pump();
        std::wprintf(L"%10ld %12.1f %14.1f %10zu %10zu\n", lines, clearMs, perLine, full, WorkingSetMiB());
        std::fflush(stdout);
    }
    ::DestroyWindow(parent);
    return 0;
}
