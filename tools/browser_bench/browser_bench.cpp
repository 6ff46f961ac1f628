// Measures the messages pane on a large store: building the store (once, kept for later runs), the
// pane shown with its first screen, searches (and when their count follows on the other thread),
// paging, and the working set over an empty store; then where a search's time goes, piece by piece.
//   browser-bench.exe [messages] [folder]     (1000000 messages in %TEMP%\vastrel_browser_bench)
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "win/main_window_parts.h"
#include "app/main_frame.h"
#include "browser/match_counter.h"
#include "decoder/utc_clock.h"
#include "browser/message_query.h"
#include "messages/message_store.h"
#include "messages/schema.h"
#include "messages/warning_rows.h"
#include "win/app_module.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

size_t WorkingSetKiB() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    ::K32GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    return counters.WorkingSetSize / 1024;
}

void Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

std::string Utf8(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s += static_cast<char>(c);  // our own ASCII paths
    return s;
}

// `count` messages over the last 30 days, oldest first, a mix of stations, priorities and lengths.
void BuildStore(const std::wstring& path, long count) {
    const auto start = Clock::now();
    auto store = messages::MessageStore::Open(Utf8(path));
    messages::Database& db = store->database();
    const char* bodies[] = {"GALE WARNING AREA %d WIND SW 8 TO 9 SEA ROUGH VISIBILITY MODERATE",
                            "NAVAREA III %d/26 GUNNERY EXERCISES IN AREA BOUNDED BY POSITIONS",
                            "WEATHER BULLETIN %d HIGH PRESSURE CENTRE MOVING EAST SLOWLY",
                            "SECURITE NAV WARNING %d BUOY OFF STATION",
                            "PAN PAN %d VESSEL DISABLED REQUESTING ASSISTANCE",
                            "MAYDAY RELAY %d PERSON IN WATER ALL SHIPS KEEP SHARP LOOKOUT",
                            "ICE REPORT %d ISOLATED BERGS NORTH OF 60N",
                            "TRAFFIC LIST %d CALLS FOR VESSELS LISTED BELOW"};
    const int les[] = {101, 102, 104, 112, 113, 117, 121, 122, 144, 301};
    const std::int64_t now = decoder::SystemUtcMs();
    const std::int64_t span = 30 * messages::kDayMs;
    db.Execute("PRAGMA synchronous=OFF");
    for (long done = 0; done < count;) {
        messages::Transaction tx(db);
        messages::Statement insert(db, "INSERT INTO message_rows (first_heard_ms, last_heard_ms, les, frame, priority, "
                                       "copies, len, text) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
        for (long batch = 0; batch < 50'000 && done < count; ++batch, ++done) {
            // Mostly routine; distress and urgency rare, as on the air.
            constexpr int kRoutine[] = {0, 1, 2, 3, 6, 7};
            const int body = done % 97 == 0 ? 5 : done % 41 == 0 ? 4 : kRoutine[done % 6];
            char text[256];
            std::snprintf(text, sizeof text, bodies[body], static_cast<int>(done % 1000));
            std::string message = text;
            if (done % 3 == 0) message += "\nSECOND LINE OF THE MESSAGE WITH MORE DETAIL\nEND";
            const std::int64_t ms = now - span + span * done / count;
            insert.Reset(true);
            insert.Bind(1, ms).Bind(2, ms).Bind(3, static_cast<std::int64_t>(les[done % 10]))
                .Bind(4, static_cast<std::int64_t>(done % 10000))
                .Bind(5, static_cast<std::int64_t>(messages::PriorityOfText(message)))
                .Bind(6, static_cast<std::int64_t>(1 + done % 3)).Bind(7, static_cast<std::int64_t>(message.size()))
                .Bind(8, message);
            insert.Step();
        }
        tx.Commit();
    }
    std::printf("built a store of %ld messages in %.1f s\n", count, MsSince(start) / 1000);
    // Read as the store's writer reads an old store while idle, so that the board has warnings.
    const auto reading = Clock::now();
    while (messages::ReadUnreadMessages(db, 5000) > 0) {
    }
    store.reset();
    std::printf("read its messages in %.1f s\n", MsSince(reading) / 1000);
}

long Messages(const std::wstring& path) {
    try {
        auto store = messages::MessageStore::Open(Utf8(path));
        messages::Statement s(store->database(), "SELECT count(*) FROM message_rows");
        return s.Step() ? static_cast<long>(s.ColumnInt64(0)) : 0;
    } catch (const std::exception&) {
        return -1;
    }
}

struct Figures {
    double shown = 0, worstSearch = 0, worstPage = 0, meanPage = 0, end = 0, home = 0, worstCount = 0;
    double board = 0, missing = 0, markAll = 0;
    size_t workingSetKiB = 0;
};

// Pumps until the pane has its count (at most a minute); the milliseconds since `start`.
double UntilCounted(CMsgFrame& pane, Clock::time_point start) {
    while (pane.counting() && MsSince(start) < 60'000) {
        Pump();
        ::Sleep(1);
    }
    return MsSince(start);
}

// Where a search's time goes: the query's own refresh (the budgeted count and the first page), the
// count on the other thread, the list told its length, and the first paint.
void Breakdown(CMsgFrame& pane, const std::wstring& path) {
    std::printf("where the time goes (the query on a connection of its own, then the pane's list):\n");
    browser::MessageQuery query(Utf8(path));
    for (const char* expression : {"", "(age_day<1) & les=121", "priority>=urgency | text~\"MAYDAY\"",
                                   "\"GALE WARNING\" & age_hour<12", "\"PERSON IN WATER\"", "les=121", "state=inforce"}) {
        messages::Filter filter;
        messages::FilterError error;
        messages::Filter::Parse(expression, filter, error);
        query.SetFilter(filter);
        auto t = Clock::now();
        query.Refresh(decoder::SystemUtcMs());
        const double refresh = MsSince(t);
        t = Clock::now();
        for (int row = 0; row < 40; ++row) query.RowAt(row);
        const double rows = MsSince(t);
        t = Clock::now();
        std::int64_t counted = query.count();
        if (!query.countKnown()) {
            browser::MatchCounter counter(query.path(), query.countSql());
            while (!counter.done()) ::Sleep(1);
            counted = counter.count();
        }
        const double count = MsSince(t);
        t = Clock::now();
        query.SetSort(browser::Column::Frame, false);
        query.Reorder();
        for (int row = 0; row < 40; ++row) query.RowAt(row);
        const double byFrame = MsSince(t);
        query.SetSort(browser::Column::Received, true);
        std::printf("  %-38s refresh %7.1f ms (count %s), 40 rows %6.1f ms, count %8.1f ms (%lld), sorted by frame %7.1f ms\n",
                    (std::string("'") + expression + "'").c_str(), refresh, query.countKnown() ? "made" : "left",
                    rows, count, static_cast<long long>(counted), byFrame);
    }
    auto t = Clock::now();
    const std::size_t boardRows = query.InForceBoard().size();
    std::printf("  the in-force board alone: %.1f ms (%zu rows)\n", MsSince(t), boardRows);
    HWND list = pane.list();
    t = Clock::now();
    ::SendMessageW(list, LVM_SETITEMCOUNT, 1'000'000, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    const double setCount = MsSince(t);
    ::InvalidateRect(list, nullptr, FALSE);
    t = Clock::now();
    ::UpdateWindow(list);
    const double paint = MsSince(t);
    std::printf("  the list told 1,000,000 rows: %.1f ms; its paint: %.1f ms\n", setCount, paint);
}

// Selects the pane and measures it on the store at `path`, as a user would go through it.
Figures Measure(CMainFrame& frame, const std::wstring& path, bool print) {
    CMsgFrame& pane = guitest::MessagesPaneOf(frame.hwnd());
    HWND list = pane.list();
    Figures f;
    ::SendMessageW(frame.hwnd(), WM_COMMAND, ID_PANE_FFT_SETTINGS, 0);
    Pump();
    auto t = Clock::now();
    pane.SetStorePath(path);
    ::SendMessageW(frame.hwnd(), WM_COMMAND, ID_PANE_MESSAGES, 0);
    ::UpdateWindow(frame.hwnd());
    ::UpdateWindow(list);
    f.shown = MsSince(t);
    const double shownCounted = UntilCounted(pane, t);
    if (print) std::printf("pane selected, first screen: %.1f ms, counted after %.1f ms (%lld messages match the initial filter)\n",
                           f.shown, shownCounted, static_cast<long long>(pane.matchCount()));
    for (const wchar_t* expression : {L"", L"(age_day<1) & les=121", L"priority>=urgency | text~\"MAYDAY\"",
                                      L"!(les=112) & frame>=1000 & frame<2000", L"\"GALE WARNING\" & age_hour<12",
                                      L"les=121", L""}) {
        ::SetWindowTextW(pane.filterEdit(), expression);
        t = Clock::now();
        ::SendMessageW(pane.searchButton(), BM_CLICK, 0, 0);
        ::UpdateWindow(list);
        const double ms = MsSince(t);
        f.worstSearch = std::max(f.worstSearch, ms);
        const double counted = UntilCounted(pane, t);
        f.worstCount = std::max(f.worstCount, counted);
        if (print) std::printf("search %-40ls first screen %8.1f ms, counted after %8.1f ms, %lld matches\n",
                               (std::wstring(L"'") + expression + L"'").c_str(), ms, counted,
                               static_cast<long long>(pane.matchCount()));
        Pump();
    }
    ::SetFocus(list);
    const int pages = 40;
    double total = 0;
    double keyTotal = 0;
    for (int i = 0; i < pages; ++i) {
        t = Clock::now();
        ::SendMessageW(list, WM_KEYDOWN, VK_NEXT, 0);
        keyTotal += MsSince(t);
        ::UpdateWindow(list);
        const double ms = MsSince(t);
        total += ms;
        f.worstPage = std::max(f.worstPage, ms);
        Pump();
    }
    f.meanPage = total / pages;
    if (print) std::printf("page down: the key itself %.1f ms of it on average (the rest is painting)\n", keyTotal / pages);
    t = Clock::now();
    ::SendMessageW(list, WM_KEYDOWN, VK_END, 0);
    ::UpdateWindow(list);
    f.end = MsSince(t);
    for (int i = 0; i < 10; ++i) {
        t = Clock::now();
        ::SendMessageW(list, WM_KEYDOWN, VK_PRIOR, 0);
        ::UpdateWindow(list);
        f.worstPage = std::max(f.worstPage, MsSince(t));
        Pump();
    }
    t = Clock::now();
    ::SendMessageW(list, WM_KEYDOWN, VK_HOME, 0);
    ::UpdateWindow(list);
    f.home = MsSince(t);
    Pump();
    // The in-force board, the missing list, and "Mark all read" over every message unread.
    for (const wchar_t* expression : {L"state=inforce", L"missing"}) {
        ::SetWindowTextW(pane.filterEdit(), expression);
        t = Clock::now();
        ::SendMessageW(pane.searchButton(), BM_CLICK, 0, 0);
        ::UpdateWindow(list);
        (expression[0] == L's' ? f.board : f.missing) = MsSince(t);
        if (print) std::printf("'%ls': first screen %.1f ms, %d rows\n", expression, MsSince(t),
                               static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)));
        Pump();
    }
    {
        messages::Database db = messages::Database::Open(Utf8(path));
        db.Execute("UPDATE seen_mark SET upto = 0; DELETE FROM seen_rows;");
    }
    pane.CheckForNewMessages();
    Pump();
    const std::int64_t unread = pane.unreadCount();
    t = Clock::now();
    pane.MarkAllRead();
    ::UpdateWindow(list);
    f.markAll = MsSince(t);
    if (print) std::printf("Mark all read over %lld unread: %.1f ms\n", static_cast<long long>(unread), f.markAll);
    ::SetWindowTextW(pane.filterEdit(), L"");
    ::SendMessageW(pane.searchButton(), BM_CLICK, 0, 0);
    Pump();
    f.workingSetKiB = WorkingSetKiB();
    if (print) {
        std::printf("worst first screen of a search %.1f ms; worst wait for its count %.1f ms\n", f.worstSearch,
                    f.worstCount);
        std::printf("page down x%d: mean %.1f ms, worst page (down or up) %.1f ms; End %.1f ms; Home %.1f ms\n", pages,
                    f.meanPage, f.worstPage, f.end, f.home);
    }
    return f;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const long count = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 1'000'000;
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = argc > 2 ? std::wstring(argv[2]) : std::wstring(temp) + L"vastrel_browser_bench";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring big = folder + L"\\messages-" + std::to_wstring(count) + L".db";
    const std::wstring empty = folder + L"\\empty.db";
    if (Messages(big) != count) {
        for (const wchar_t* suffix : {L"", L"-wal", L"-shm"}) ::DeleteFileW((big + suffix).c_str());
        BuildStore(big, count);
    }
    if (Messages(empty) != 0) return 3;  // made (empty) by the look

    ::CoInitialize(nullptr);
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_USEREX_CLASSES | ICC_COOL_CLASSES | ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&icc);
    ::LoadLibraryW(L"RICHED20.DLL");
    win::g_module.Init(::GetModuleHandleW(nullptr));
    ::SetCurrentDirectoryW(folder.c_str());
    CMainFrame frame;
    frame.Rows().WriteText(settings::kStoreFile, L"");
    if (!frame.CreateMainWindow()) return 2;
    ::ShowWindow(frame.hwnd(), SW_SHOWNORMAL);
    Pump();

    // The same walk twice on the empty store (the first warms code and caches), then on the large one.
    Measure(frame, empty, false);
    const Figures emptyFigures = Measure(frame, empty, false);
    std::printf("empty store: working set %zu KiB after the walk\n", emptyFigures.workingSetKiB);
    std::printf("store of %ld messages:\n", count);
    const Figures bigFigures = Measure(frame, big, true);
    std::printf("working set %zu KiB after the walk: %+.1f MB over the empty store\n", bigFigures.workingSetKiB,
                (static_cast<double>(bigFigures.workingSetKiB) - static_cast<double>(emptyFigures.workingSetKiB)) / 1024);
    Breakdown(guitest::MessagesPaneOf(frame.hwnd()), big);
    ::DestroyWindow(frame.hwnd());
    ::CoUninitialize();
    return 0;
}
