// Soaks the front end in realistic traffic: the stand-in decoder's live stream (a frame every 8.64 s
// of about nine records, a message every few frames) at `speed` times real time, with capture, the
// text log, the message store and "Restart when it ends" on, and the decoder killed `kills` times
// along the way (each restart's delay is printed). Every simulated hour it prints the working set, the
// handles, the GDI and USER objects, and the records in the text log and in the store beside those the
// front end received; at its end, the reception ledger's hours (frames numbered at `speed` times real time
// against the real clock: the counts show the ledger works under load, not a real reception).
//   decoder-soak.exe [simulated hours = 24] [speed = 100] [kills = 2]
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <psapi.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "win/main_window_parts.h"
#include "app/main_frame.h"
#include "messages/sqlite_db.h"
#include "resource.h"
#include "settings/settings.h"
#include "win/app_module.h"

namespace {

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

// Counts what the reader delivered: records, and the lines their texts make in the text log.
class CountingSink : public decoder::IRecordSink {
public:
    void OnRecord(const decoder::Record& record) override {
        ++records;
        for (char c : record.text) lines += c == '\n' ? 1 : 0;
    }
    std::atomic<long long> records{0};
    std::atomic<long long> lines{0};
};

struct TextLogCount {
    long long lines = 0;  // record lines, the front end's own notes left out
    long long notes = 0;
    int files = 0;
};

TextLogCount CountTextLogs(const std::wstring& dir) {
    TextLogCount count;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(dir))) {
        if (entry.path().extension() != L".log") continue;
        ++count.files;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("Decoder ended (", 0) == 0 || line.rfind("Decoder restarted (", 0) == 0)
                ++count.notes;
            else
                ++count.lines;
        }
    }
    return count;
}

long long StoreRecords(const std::string& path) {
    try {
        messages::Database db = messages::Database::Open(path, SQLITE_OPEN_READONLY);
        messages::Statement count(db, "SELECT COUNT(*) FROM records");
        return count.Step() ? count.ColumnInt64(0) : -1;
    } catch (const std::exception&) {
        return -1;  // busy or not made yet
    }
}

// The reception ledger's hours as the store's view has them, one line each.
void PrintLedger(const std::string& path) {
    try {
        messages::Database db = messages::Database::Open(path, SQLITE_OPEN_READONLY);
        messages::Statement rows(db, "SELECT hour_utc, les, heard, expected, missed, snr_db FROM reception ORDER BY hour_utc, les");
        std::printf("ledger: %-24s %5s %6s %8s %6s %7s\n", "hour", "les", "heard", "expected", "missed", "snr dB");
        while (rows.Step()) {
            std::printf("ledger: %-24s %5lld %6lld %8lld %6lld %7s\n", std::string(rows.ColumnText(0)).c_str(),
                        static_cast<long long>(rows.ColumnInt64(1)), static_cast<long long>(rows.ColumnInt64(2)),
                        static_cast<long long>(rows.ColumnInt64(3)), static_cast<long long>(rows.ColumnInt64(4)),
                        rows.ColumnIsNull(5) ? "-" : std::string(rows.ColumnText(5)).c_str());
        }
    } catch (const std::exception& e) {
        std::printf("ledger: not readable (%s)\n", e.what());
    }
}

// Dispatches messages until `span` has passed. Bounded by time, not by an empty queue: under a flood
// the hand-over posts its next drain before the last one returns, so the queue is never empty.
void PumpFor(std::chrono::steady_clock::duration span) {
    const auto end = std::chrono::steady_clock::now() + span;
    MSG msg;
    while (std::chrono::steady_clock::now() < end) {
        if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        } else {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int hours = argc > 1 ? std::max(1, _wtoi(argv[1])) : 24;
    const int speed = argc > 2 ? std::max(1, std::min(1000, _wtoi(argv[2]))) : 100;
    const int kills = argc > 3 ? std::max(0, _wtoi(argv[3])) : 2;
    ::CoInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_USEREX_CLASSES | ICC_COOL_CLASSES};
    ::InitCommonControlsEx(&icc);
    ::LoadLibraryW(L"RICHED20.DLL");
    win::g_module.Init(::GetModuleHandleW(nullptr));

    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring work = std::wstring(temp) + L"vastrel_soak_" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring logDir = work + L"\\textlog";
    ::CreateDirectoryW(work.c_str(), nullptr);
    ::CreateDirectoryW(logDir.c_str(), nullptr);
    ::CopyFileW((Folder(self) + L"vastrel-sim.exe").c_str(), (work + L"\\vastrel.exe").c_str(), FALSE);
    const long long hourMs = 3600000LL / speed;  // one simulated hour in real milliseconds
    {
        // Each run (the first and every restart) streams for longer than the whole soak.
        std::ofstream script(std::filesystem::path(work + L"\\script.txt"), std::ios::binary);
        script << "wait-client\nlive " << hourMs * (hours + 1) << " " << speed << "\nwait-stop\n";
    }
    ::SetEnvironmentVariableW(L"VASTREL_SIM_SCRIPT", (work + L"\\script.txt").c_str());
    ::SetCurrentDirectoryW(work.c_str());

    CMainFrame frame;
    if (!frame.CreateMainWindow()) return 2;
    ::ShowWindow(frame.hwnd(), SW_SHOWNORMAL);
    ::SendMessageW(frame.hwnd(), WM_COMMAND, ID_PANE_DECODER_LOG, 0);
    // Capture runs throughout, as at a station: the spectrum is computed while the decoder runs.
    ::SendMessageW(frame.hwnd(), WM_COMMAND, ID_FFT_ON, 0);
    frame.Rows().WriteText(settings::kDecoderLogDir, logDir);
    frame.Rows().WriteBool(settings::kDecoderTextLog, true);
    frame.Rows().WriteBool(settings::kDecoderLogUseFilter, false);
    frame.Rows().WriteBool(settings::kAutoRestart, true);
    // Every category shown, as a listener who wants to see everything would have it.
    for (int c = 0; c < decoder::kCategories; ++c) frame.Run().Filter().Set(c, true);
    auto counter = std::make_shared<CountingSink>();
    frame.Run().AddRecordSink(counter);
    PumpFor(std::chrono::milliseconds(200));

    std::printf("soak: %d simulated hours at %dx (one hour = %.1f s), capture %s, store and text log on, restart "
                "on, %d kills\n", hours, speed, hourMs / 1000.0, guitest::CaptureOn(frame.menu()) ? "on" : "OFF", kills);
    std::printf("%5s %10s %8s %6s %6s %10s %10s %10s %10s %9s %8s\n", "hour", "WS KiB", "handles", "GDI", "USER",
                "recv lines", "text lines", "recv recs", "store recs", "log lines", "restarts");
    ::SendMessageW(frame.hwnd(), WM_COMMAND, ID_DECODER_START, 0);
    const auto start = std::chrono::steady_clock::now();
    int killed = 0;
    for (int hour = 1; hour <= hours; ++hour) {
        PumpFor(start + std::chrono::milliseconds(hourMs * hour) - std::chrono::steady_clock::now());
        // Kills spread evenly over the day, each at the end of its hour (or later, while a restart is pending).
        HANDLE decoderProcess = frame.Run().Process();
        if (killed < kills && hour >= (killed + 1) * hours / (kills + 1) && decoderProcess &&
            ::WaitForSingleObject(decoderProcess, 0) == WAIT_TIMEOUT) {  // a live decoder, not one already ended
            ::TerminateProcess(decoderProcess, 9);
            ++killed;
            // How long the restart takes (5 s after the end is asked for), in real time.
            const unsigned before = frame.Run().Restarts();
            const auto killedAt = std::chrono::steady_clock::now();
            while (frame.Run().Restarts() == before && std::chrono::steady_clock::now() - killedAt < std::chrono::minutes(5))
                PumpFor(std::chrono::milliseconds(50));
            std::printf("kill %d: restarted after %.1f s\n", killed,
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - killedAt).count());
        }
        PROCESS_MEMORY_COUNTERS memory{};
        memory.cb = sizeof(memory);
        ::K32GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
        DWORD handles = 0;
        ::GetProcessHandleCount(::GetCurrentProcess(), &handles);
        const TextLogCount text = CountTextLogs(logDir);
        std::printf("%5d %10zu %8lu %6lu %6lu %10lld %10lld %10lld %10lld %9zu %8u\n", hour,
                    memory.WorkingSetSize / 1024, handles, ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS),
                    ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), counter->lines.load(), text.lines,
                    counter->records.load(), StoreRecords("vastrel-messages.db"), guitest::LogViewOf(frame.hwnd()).text().Lines(),
                    frame.Run().Restarts());
        std::fflush(stdout);
    }
    ::SendMessageW(frame.hwnd(), WM_COMMAND, ID_DECODER_STOP, 0);
    PumpFor(std::chrono::milliseconds(200));
    const TextLogCount text = CountTextLogs(logDir);
    const long long stored = StoreRecords("vastrel-messages.db");
    const bool textComplete = text.lines == counter->lines.load();
    const bool storeComplete = stored == counter->records.load();
    std::printf("end: %lld records received (%lld lines); text log %lld lines in %d files (%lld notes): %s; "
                "store %lld records: %s; %u restarts after %d kills\n",
                counter->records.load(), counter->lines.load(), text.lines, text.files, text.notes,
                textComplete ? "complete" : "INCOMPLETE", stored, storeComplete ? "complete" : "INCOMPLETE",
                frame.Run().Restarts(), killed);
    PrintLedger("vastrel-messages.db");
    ::DestroyWindow(frame.hwnd());
    ::CoUninitialize();
    return textComplete && storeComplete ? 0 : 1;
}
