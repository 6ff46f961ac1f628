// Floods the front end with decoder records through the stand-in decoder and reports how it keeps
// up: records per second, the longest time the window took to answer, memory before and after, and
// whether every record reached the text log in order; with "feed", also how many of the feed's
// datagrams (every record, one loopback destination) a listener received, and whether in order;
// with "feed=host:port", the feed goes there instead, to a listener outside this process (such as
// tools/feed_listen.py, which counts and checks them outside Wine).
//   decoder-flood.exe [records] [bytes per record] [hidden] [direct] [nostore] [feed|feed=host:port] [messages]
#include "win/main_window_parts.h"
#include "udp_listener_win.h"

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
#include <sstream>
#include <string>
#include <thread>
#include <mutex>
#include <memory>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/main_frame.h"
#include "messages/sqlite_db.h"
#include "resource.h"
#include "settings/settings.h"
#include "win/app_module.h"

namespace {

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

size_t WorkingSetKiB() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    ::K32GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    return counters.WorkingSetSize / 1024;
}

std::wstring OnlyLogFile(const std::wstring& dir) {
    WIN32_FIND_DATAW found{};
    HANDLE h = ::FindFirstFileW((dir + L"\\*.log").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return {};
    ::FindClose(h);
    return dir + L"\\" + found.cFileName;
}

// Follows the text log as it grows, reading only what was added, and counts the flood records
// while checking that their running numbers follow each other. Runs off the window's thread so
// that the measuring does not slow the window it measures.
class TextLogFollower {
public:
    void Poll(const std::wstring& path) {
        if (path.empty()) return;
        std::ifstream in(std::filesystem::path(path), std::ios::binary);
        if (!in) return;
        in.seekg(offset_);
        char chunk[65536];
        while (in.read(chunk, sizeof(chunk)), in.gcount() > 0) {
            const std::streamsize got = in.gcount();
            offset_ += got;
            for (std::streamsize i = 0; i < got; ++i) {
                if (chunk[i] != '\n') {
                    line_.push_back(chunk[i]);
                    continue;
                }
                if (!line_.empty() && line_[0] == '#') {
                    if (std::atol(line_.c_str() + 1) != seen_) ordered_ = false;
                    ++seen_;
                }
                line_.clear();
            }
        }
    }
    long seen() const { return seen_; }
    bool ordered() const { return ordered_; }

private:
    std::streamoff offset_ = 0;
    std::string line_;
    std::atomic<long> seen_{0};
    std::atomic<bool> ordered_{true};
};

std::vector<std::wstring> LogLines(HWND log) {
    GETTEXTLENGTHEX length{GTL_NUMCHARS | GTL_PRECISE, 1200};
    const LRESULT chars = ::SendMessageW(log, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
    std::wstring text(static_cast<std::size_t>(chars > 0 ? chars : 0) + 1, L'\0');
    GETTEXTEX get{};
    get.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    get.codepage = 1200;
    const LRESULT n = ::SendMessageW(log, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(text.data()));
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    std::vector<std::wstring> lines;
    std::wstringstream in(text);
    for (std::wstring line; std::getline(in, line, L'\r');) lines.push_back(line);
    return lines;
}

void Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const long records = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 100000;
    const long bytes = argc > 2 ? std::wcstol(argv[2], nullptr, 10) : 80;
    // The modes after the numbers may be combined ("hidden nostore").
    const auto mode = [&](const wchar_t* name) {
        for (int i = 3; i < argc; ++i)
            if (std::wstring(argv[i]) == name) return true;
        return false;
    };
    ::CoInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_USEREX_CLASSES | ICC_COOL_CLASSES};
    ::InitCommonControlsEx(&icc);
    ::LoadLibraryW(L"RICHED20.DLL");
    win::g_module.Init(::GetModuleHandleW(nullptr));

    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring work = std::wstring(temp) + L"vastrel_flood_" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(work.c_str(), nullptr);
    // A folder left by an earlier run with the same process id: its text log would be followed instead.
    for (std::wstring old; !(old = OnlyLogFile(work)).empty();)
        if (!::DeleteFileW(old.c_str())) break;
    ::CopyFileW((Folder(self) + L"vastrel-sim.exe").c_str(), (work + L"\\vastrel.exe").c_str(), FALSE);
    {
        std::ofstream script(std::filesystem::path(work + L"\\script.txt"), std::ios::binary);
        script << "flood " << records << " " << bytes << "\nwait-stop\n";
    }
    ::SetEnvironmentVariableW(L"VASTREL_SIM_SCRIPT", (work + L"\\script.txt").c_str());
    ::SetCurrentDirectoryW(work.c_str());

    CMainFrame frame;
    if (!frame.CreateMainWindow()) return 2;
    ::ShowWindow(frame.hwnd(), SW_SHOWNORMAL);
    frame.Rows().WriteText(settings::kDecoderLogDir, work);
    frame.Rows().WriteBool(settings::kDecoderTextLog, true);
    // "nostore": no message store, to tell the store's cost from the rest.
    if (mode(L"nostore")) frame.Rows().WriteText(settings::kStoreFile, L"");
    // "messages": the messages pane shown, following the store live, instead of the decoder log.
    if (mode(L"messages")) ::SendMessageW(frame.hwnd(), WM_COMMAND, ID_PANE_MESSAGES, 0);
    // "hidden": every category off in the log filter, to tell the log's cost from the rest.
    if (mode(L"hidden"))
        for (UINT id : {ID_FILTER_FRAME_HEADERS, ID_FILTER_BB_CONTENTS, ID_FILTER_BB_HEADER, ID_FILTER_UNKNOWN,
                        ID_FILTER_MESSAGE_TEXT}) ::SendMessageW(frame.hwnd(), WM_COMMAND, id, 0);
    // "feed": the feed on, every record, to a listener on 127.0.0.1.
    std::unique_ptr<UdpListener> listener;
    if (mode(L"feed")) {
        listener = std::make_unique<UdpListener>(AF_INET);
        frame.Rows().WriteText(settings::kFeedTo, listener->Destination());
        frame.Rows().WriteBool(settings::kFeedAll, true);
    }
    for (int i = 3; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg.rfind(L"feed=", 0) != 0) continue;
        frame.Rows().WriteText(settings::kFeedTo, arg.substr(5));
        frame.Rows().WriteBool(settings::kFeedAll, true);
    }
    Pump();
    const size_t memoryBefore = WorkingSetKiB();
    if (mode(L"direct")) {
        const std::wstring line = std::wstring(70, L'x') + L"\n";
        const auto t0 = std::chrono::steady_clock::now();
        const int formats = argc > 4 ? std::max(1, _wtoi(argv[4])) : 6;
        const COLORREF colours[] = {RGB(60, 60, 60),    RGB(100, 100, 200), RGB(0, 0, 200),
                                    RGB(200, 200, 200), RGB(200, 0, 0),     RGB(100, 200, 100)};
        CLogView& log = guitest::LogViewOf(frame.hwnd());
        for (long i = 0; i < records; ++i) log.Append(line, colours[i % std::min(formats, 6)]);
        std::printf("direct: %.2f s, working set %zu KiB before, %zu KiB after\n",
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), memoryBefore,
                    WorkingSetKiB());
        return 0;
    }

    // A second thread measures how long the window takes to answer while records pour in.
    std::atomic<bool> done{false}, proberDone{false};
    std::atomic<long> worstMs{0}, timeouts{0}, probes{0}, slow{0};
    std::mutex slowLock;
    std::vector<std::pair<double, long>> slowTimes;  // when (s after the start command) and how long (ms)
    const auto floodStart = std::chrono::steady_clock::now();
    std::thread prober([&] {
        while (!done) {
            const auto start = std::chrono::steady_clock::now();
            DWORD_PTR result = 0;
            if (!::SendMessageTimeoutW(frame.hwnd(), WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result)) ++timeouts;
            const long ms = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  std::chrono::steady_clock::now() - start)
                                                  .count());
            if (ms > worstMs) worstMs = ms;
            ++probes;
            if (ms >= 200) {
                ++slow;
                std::lock_guard guard(slowLock);
                if (slowTimes.size() < 8)
                    slowTimes.push_back({std::chrono::duration<double>(start - floodStart).count(), ms});
            }
            ::Sleep(20);
        }
        proberDone = true;
    });

    TextLogFollower follower;
    std::atomic<bool> following{true};
    std::thread checker([&] {
        while (following && follower.seen() < records) {
            follower.Poll(OnlyLogFile(work));
            ::Sleep(100);
        }
    });

    const auto start = std::chrono::steady_clock::now();
    ::SendMessageW(frame.hwnd(), WM_COMMAND, ID_DECODER_START, 0);
    const auto deadline = start + std::chrono::minutes(15);
    while (std::chrono::steady_clock::now() < deadline && follower.seen() < records) {
        Pump();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    Pump();
    following = false;
    checker.join();
    const auto floodEnd = std::chrono::steady_clock::now();
    const std::size_t fedAtFloodEnd = listener ? listener->count() : 0;
    const double seconds = std::chrono::duration<double>(floodEnd - start).count();
    GETTEXTLENGTHEX query{GTL_NUMCHARS, 1200};
    const LRESULT logChars = ::SendMessageW(guitest::FindChild(frame.hwnd(), IDC_DECODER_LOG), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&query), 0);
    const size_t memoryAfter = WorkingSetKiB();
    const auto stopAt = std::chrono::steady_clock::now();
    ::SendMessageW(frame.hwnd(), WM_COMMAND, ID_DECODER_STOP, 0);
    const double stopBegan = std::chrono::duration<double>(stopAt - floodStart).count();
    const double stopSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - stopAt).count();
    done = true;
    // The window answers the last probe while the prober ends.
    while (!proberDone) {
        Pump();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    prober.join();
    follower.Poll(OnlyLogFile(work));
    const long seen = follower.seen();
    const bool complete = follower.ordered() && seen == records;

    std::printf("records: %ld of %ld bytes; text log complete and in order: %s (%ld seen)\n", records, bytes,
                complete ? "yes" : "NO", seen);
    std::printf("time: %.2f s, %.0f records/s\n", seconds, records / seconds);
    std::printf("window answer: %ld round trips, worst %ld ms, %ld of 200 ms or more, %ld timeouts over 2000 ms\n",
                probes.load(), worstMs.load(), slow.load(), timeouts.load());
    for (const auto& [when, ms] : slowTimes) std::printf("  slow answer at %.2f s: %ld ms\n", when, ms);
    std::printf("stop: sent at %.2f s, took %.2f s\n", stopBegan, stopSeconds);
    std::printf("decoder log: %ld characters; working set %zu KiB before, %zu KiB after\n",
                static_cast<long>(logChars), memoryBefore, memoryAfter);
    if (!frame.Rows().ReadText(settings::kStoreFile).empty()) {
        // The stop committed everything: the store's count is final.
        try {
            auto db = messages::Database::Open("vastrel-messages.db");
            messages::Statement count(db, "SELECT count(*) FROM record_rows");
            std::printf("message store: %lld records\n", count.Step() ? static_cast<long long>(count.ColumnInt64(0)) : -1LL);
        } catch (const std::exception& e) {
            std::printf("message store: %s\n", e.what());
        }
    }
    bool fed = true;
    if (listener) {
        // During a flood the feed keeps to its budget and falls behind; after it, it catches up. Wait
        // (120 s at most) until the listener has every datagram, then say how far behind it was.
        const auto until = floodEnd + std::chrono::seconds(120);
        while (listener->count() < static_cast<std::size_t>(records) && std::chrono::steady_clock::now() < until)
            ::Sleep(20);
        const std::vector<std::string> got = listener->Take();
        bool ordered = true;
        for (std::size_t i = 0; i < got.size() && ordered; ++i) {
            const nlohmann::json j = nlohmann::json::parse(got[i], nullptr, false);
            ordered = !j.is_discarded() && j["text"].is_string() &&
                      std::atol(j["text"].get<std::string>().c_str() + 1) == static_cast<long>(i);
        }
        fed = ordered && got.size() == static_cast<std::size_t>(records);
        std::printf("feed: %zu datagrams received of %ld, in order: %s (listener's receive buffer %d KiB)\n",
                    got.size(), records, ordered ? "yes" : "NO", listener->receiveBuffer() / 1024);
        std::printf("feed lag: %zu datagrams received when the flood ended; the last came %.2f s after its end\n",
                    fedAtFloodEnd,
                    got.empty() ? 0.0 : std::chrono::duration<double>(listener->lastArrival() - floodEnd).count());
        // What the feed said in the log (a drop, a destination it could not use), if anything.
        for (const std::wstring& line : LogLines(guitest::FindChild(frame.hwnd(), IDC_DECODER_LOG)))
            if (line.rfind(L"Feed:", 0) == 0) std::printf("  log: %ls\n", line.c_str());
    }
    if (!listener)
        for (const std::wstring& line : LogLines(guitest::FindChild(frame.hwnd(), IDC_DECODER_LOG)))
            if (line.rfind(L"Feed:", 0) == 0) std::printf("  log: %ls\n", line.c_str());
    ::DestroyWindow(frame.hwnd());
    ::CoUninitialize();
    return complete && fed ? 0 : 1;
}
