// The message store under a real run: files it must not use, a disk that fills up, a front end
// killed in the middle of a flood, and two front ends writing into one store at once.
#include "decoder_run_fixture.h"

#include <tlhelp32.h>

#include <algorithm>
#include <set>

#include "messages/sqlite_db.h"
#include "resource.h"
#include "settings/settings.h"
#include "win/handles.h"

namespace {

std::string Narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s.push_back(c < 128 ? static_cast<char>(c) : '?');
    return s;
}

std::size_t Count(const std::wstring& text, const std::wstring& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// The running numbers of the flood records ("#<n> ...") a store holds for one run, in id order.
std::vector<long> StoredFloodNumbers(messages::Database& db, std::int64_t run) {
    messages::Statement rows(db, "SELECT text FROM record_rows WHERE run_id = ? ORDER BY id");
    rows.Bind(1, run);
    std::vector<long> numbers;
    while (rows.Step()) {
        const std::string text(rows.ColumnText(0));
        if (!text.empty() && text[0] == '#') numbers.push_back(std::strtol(text.c_str() + 1, nullptr, 10));
    }
    return numbers;
}

bool IsZeroToN(const std::vector<long>& numbers) {
    for (std::size_t i = 0; i < numbers.size(); ++i)
        if (numbers[i] != static_cast<long>(i)) return false;
    return true;
}

std::int64_t Scalar(messages::Database& db, const char* sql) {
    messages::Statement s(db, sql);
    return s.Step() ? s.ColumnInt64(0) : -1;
}

using StoreRunTest = DecoderRunTest;

std::string SqlText(messages::Database& db, const char* sql) {
    messages::Statement s(db, sql);
    return s.Step() ? std::string(s.ColumnText(0)) : std::string("(none)");
}

// A run's warnings are read as they are stored: a later warning with an area cancels the first, and
// the coordinator's in-force list names one this station never heard.
TEST_F(StoreRunTest, ARunsWarningsReachTheViewsWithTheirStatesAndShapes) {
    InstallDecoder(
        "wait-client\n"
        "record L21210042frequency: 1200.0\\n\n"
        "record L5xxxxxxxSECURITE\\nNAVAREA I 214/26\\nNORTH SEA. DATA BUOY ADRIFT IN 55-48N 003-12E.\\nNNNN\\n\n"
        "record L5xxxxxxxSECURITE\\nNAVAREA I 221/26\\nNORTH SEA.\\nHAZARDOUS OPERATIONS IN AREA BOUNDED BY:\\n"
        "54-10.0N 007-20.0E, 54-15.0N 007-40.0E, 54-05.0N 007-45.0E.\\nCANCEL NAVAREA I 214/26.\\nNNNN\\n\n"
        "record L5xxxxxxxSECURITE\\nNAVAREA I WARNINGS IN FORCE AT 081000 UTC DEC 26:\\n2026 SERIES: 205, 221.\\nNNNN\\n\n"
        "wait-stop\n");
    Command(ID_DECODER_START);
    ASSERT_TRUE(guitest::PumpUntil([&] { return LogText().find(L"2026 SERIES") != std::wstring::npos; }, 15000))
        << LogText();
    Command(ID_DECODER_STOP);

    auto db = messages::Database::Open(Narrow(work) + "\\vastrel-messages.db");
    EXPECT_EQ(SqlText(db, "SELECT group_concat(number || ' ' || year || ' ' || kind || ' ' || state, ', ') FROM "
                       "(SELECT * FROM warnings WHERE number IS NOT NULL ORDER BY number)"),
              "214 2026 nav cancelled, 221 2026 nav inforce");
    EXPECT_EQ(SqlText(db, "SELECT c.number FROM warnings w JOIN warnings c ON c.id = w.cancelled_by"), "221");
    EXPECT_EQ(SqlText(db, "SELECT group_concat(kind || ' ' || lat || ' ' || lon, ', ') FROM (SELECT p.* FROM positions p "
                       "JOIN warnings w USING (id) ORDER BY w.number, p.shape, p.seq)"),
              "point 55.8 3.2, area 54.166667 7.333333, area 54.25 7.666667, area 54.083333 7.75");
    EXPECT_EQ(SqlText(db, "SELECT series || ' ' || number || '/' || year FROM missing_warnings"), "NAVAREA I 205/2026");
}

// Each file the store must not use is said once, in red, with the reason and the path; the file is
// left as it was, and the run, the log and the text log go on as without a store.
TEST_F(StoreRunTest, FilesTheStoreCannotUseAreSaidOnceAndTheRunGoesOn) {
    InstallDecoder(
        "wait-client\n"
        "record L21210042frequency: 1200.0\\n\n"
        "record L5xxxxxxxSECURITE\\nGALE WARNING\\n\n"
        "wait-stop\n");
    const std::wstring logDir = UseTextLog();

    std::ofstream(std::filesystem::path(work + L"\\plain.txt")) << "not a folder";
    const struct {
        const wchar_t* name;     // the File row's text
        const wchar_t* because;  // a word of the reason
    } cases[] = {
        {L"no such folder\\store.db", L"cannot be opened"},
        {L"plain.txt\\store.db", L"cannot be opened"},
        {L"readonly.db", L"read-only"},
        {L"locked.db", L"cannot be"},
    };
    // A store that exists but is marked read-only, and one another program holds open alone.
    guitest::GridOf(frame->hwnd()).setItemValue(frame->Rows().ValueItem(settings::kStoreFile), PropertyValue(L"readonly.db"));
    frame->Rows().WriteText(settings::kStoreFile, L"readonly.db");
    Command(ID_DECODER_START);
    ASSERT_TRUE(guitest::PumpUntil([&] { return LogText().ends_with(L"GALE WARNING\n"); }, 10000));
    Command(ID_DECODER_STOP);
    // The messages pane keeps a connection to the store it shows; the last connection to go folds the
    // journal into the file, so the pane is moved away first and the file is whole before it is marked.
    const PropertyValue elsewhere{std::wstring(L"elsewhere.db")};
    ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID), GRID_MSG_SET_VALUE,
                   reinterpret_cast<WPARAM>(&elsewhere), reinterpret_cast<LPARAM>(frame->Rows().ValueItem(settings::kStoreFile)));
    ASSERT_TRUE(::SetFileAttributesW((work + L"\\readonly.db").c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string readOnlyBytes = ReadFileBytes(work + L"\\readonly.db");
    std::ofstream(std::filesystem::path(work + L"\\locked.db"), std::ios::binary) << "held";
    win::UniqueHandle holder(::CreateFileW((work + L"\\locked.db").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);

    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.name));
        // Through the row, as the user sets it: the grid notifies and the store follows.
        const PropertyValue name{std::wstring(c.name)};
        ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID), GRID_MSG_SET_VALUE, reinterpret_cast<WPARAM>(&name),
                       reinterpret_cast<LPARAM>(frame->Rows().ValueItem(settings::kStoreFile)));
        ASSERT_EQ(frame->Rows().ReadText(settings::kStoreFile), c.name);
        Command(ID_DECODER_START);
        ASSERT_TRUE(frame->Run().Running());
        ASSERT_TRUE(guitest::PumpUntil([&] { return LogText().ends_with(L"GALE WARNING\n"); }, 10000)) << Narrow(LogText());
        Command(ID_DECODER_STOP);
        const std::wstring log = LogText();
        EXPECT_EQ(log.rfind(L"Message store: ", 0), 0u) << Narrow(log);
        EXPECT_EQ(Count(log, L"Message store: "), 1u) << Narrow(log);
        EXPECT_NE(log.find(c.because), std::wstring::npos) << Narrow(log);
        const std::wstring leaf = std::wstring(c.name).substr(std::wstring(c.name).rfind(L'\\') + 1);
        EXPECT_NE(log.find(leaf), std::wstring::npos) << Narrow(log);
        EXPECT_EQ(LogColourAt(0), RGB(200, 0, 0));
        EXPECT_TRUE(log.ends_with(L"frequency: 1200.0\nSECURITE\nGALE WARNING\nDecoder terminated\n")) << Narrow(log);
    }
    EXPECT_EQ(ReadFileBytes(work + L"\\readonly.db"), readOnlyBytes);
    holder.reset();
    EXPECT_EQ(ReadFileBytes(work + L"\\locked.db"), "held");
    EXPECT_EQ(::GetFileAttributesW((work + L"\\no such folder").c_str()), INVALID_FILE_ATTRIBUTES);
    ::SetFileAttributesW((work + L"\\readonly.db").c_str(), FILE_ATTRIBUTE_NORMAL);

    // Every text log holds both records.
    WIN32_FIND_DATAW found{};
    HANDLE h = ::FindFirstFileW((logDir + L"\\*.log").c_str(), &found);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    int files = 0;
    do {
        ++files;
        EXPECT_EQ(ReadFileBytes(logDir + L"\\" + found.cFileName), "frequency: 1200.0\r\nSECURITE\r\nGALE WARNING\r\n");
    } while (::FindNextFileW(h, &found));
    ::FindClose(h);
    EXPECT_GE(files, 1);  // runs within one second share a name
}

// A store that fills its disk mid-run: said once, with the path, while every record still reaches
// the log and the text log; what was committed before stays readable.
TEST_F(StoreRunTest, AStoreThatFillsUpIsSaidOnceAndTheRunGoesOn) {
    InstallDecoder(
        "wait-client\n"
        "flood 1500 400\n"
        "record L1xxxxxxxlast line\\n\n"
        "wait-stop\n");
    const std::wstring logDir = UseTextLog();
    frame->Run().StoreOptions().maxPages = 60;  // about 240 KB: room for a few hundred of the records
    Command(ID_DECODER_START);
    ASSERT_TRUE(frame->Run().Running());
    ASSERT_TRUE(guitest::PumpUntil([&] { return LogText().ends_with(L"last line\n"); }, 60000));
    Command(ID_DECODER_STOP);
    const std::wstring log = LogText();
    EXPECT_EQ(Count(log, L"Message store: "), 1u);
    const std::size_t note = log.find(L"Message store: ");
    ASSERT_NE(note, std::wstring::npos);
    const std::wstring noteLine = log.substr(note, log.find(L'\n', note) - note);
    EXPECT_NE(noteLine.find(L"full"), std::wstring::npos) << Narrow(noteLine);
    EXPECT_NE(noteLine.find(L"vastrel-messages.db"), std::wstring::npos) << Narrow(noteLine);
    EXPECT_EQ(LogColourAt(static_cast<LONG>(note)), RGB(200, 0, 0));

    const std::string text = ReadFileBytes(OnlyLogFile(logDir));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1501);
    auto db = messages::Database::Open(Narrow(work) + "\\vastrel-messages.db");
    messages::Statement check(db, "PRAGMA integrity_check");
    ASSERT_TRUE(check.Step());
    EXPECT_EQ(std::string(check.ColumnText(0)), "ok");
    const std::vector<long> stored = StoredFloodNumbers(db, Scalar(db, "SELECT max(id) FROM runs"));
    EXPECT_GT(stored.size(), 0u);
    EXPECT_LT(stored.size(), 1500u);
    EXPECT_TRUE(IsZeroToN(stored));  // what went in before the disk filled is whole and in order
}

// --- Front ends as processes ---

// A vastrel-gui.exe started in the test's folder (which holds vastrel.exe and its script).
struct GuiProcess {
    PROCESS_INFORMATION pi{};
    HWND window = nullptr;

    bool Start(const std::wstring& folder) {
        std::wstring commandLine = L"\"" + guitest::ProgramFolder() + L"vastrel-gui.exe\"";
        STARTUPINFOW si{sizeof(si)};
        if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                              &pi))
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
                if (pid == s->pid && ::IsWindowVisible(hwnd) && guitest::ClassName(hwnd) != L"#32770" &&
                    ::GetWindow(hwnd, GW_OWNER) == nullptr) {
                    s->found = hwnd;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    void Command(UINT id) const { ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    bool Exit() {
        ::PostMessageW(window, WM_CLOSE, 0, 0);
        return ::WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0;
    }
    void Kill() {
        ::TerminateProcess(pi.hProcess, 9);
        ::WaitForSingleObject(pi.hProcess, 10000);
    }
    ~GuiProcess() {
        if (!pi.hProcess) return;
        if (::WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) ::TerminateProcess(pi.hProcess, 99);
        ::CloseHandle(pi.hProcess);
        ::CloseHandle(pi.hThread);
    }
};

// Ends every stand-in decoder (vastrel.exe) a killed front end left behind.
void EndOrphanDecoders() {
    win::UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;
    PROCESSENTRY32W entry{sizeof(entry)};
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, L"vastrel.exe") != 0) continue;
        win::UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (!process) continue;
        if (::WaitForSingleObject(process.get(), 5000) == WAIT_TIMEOUT) ::TerminateProcess(process.get(), 9);
    }
}

class StoreProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string testName = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        work = ScratchFolder(std::wstring(testName.begin(), testName.end()).c_str());
        store = Narrow(work) + "\\vastrel-messages.db";
        ASSERT_TRUE(::CopyFileW((guitest::ProgramFolder() + L"vastrel-sim.exe").c_str(),
                                (work + L"\\vastrel.exe").c_str(), FALSE));
    }
    void TearDown() override {
        EndOrphanDecoders();
        ::SetEnvironmentVariableW(L"VASTREL_SIM_SCRIPT", nullptr);
    }
    void Script(const char* text) {
        std::ofstream(std::filesystem::path(work + L"\\script.txt"), std::ios::binary) << text;
        ::SetEnvironmentVariableW(L"VASTREL_SIM_SCRIPT", (work + L"\\script.txt").c_str());
    }
    // Records the store holds, read by a connection of the test's own; -1 before there is a store.
    std::int64_t StoredRecords() const {
        if (::GetFileAttributesW((work + L"\\vastrel-messages.db").c_str()) == INVALID_FILE_ATTRIBUTES) return -1;
        try {
            auto db = messages::Database::Open(store);
            return Scalar(db, "SELECT count(*) FROM record_rows");
        } catch (const std::exception&) {
            return -1;  // not made yet
        }
    }

    std::wstring work;
    std::string store;
};

// Killed in the middle of a flood: the store is undamaged, holds each record up to its last commit
// once and in order, and the next front end goes on writing into it.
TEST_F(StoreProcessTest, AKilledFrontEndLeavesAWholeStoreAndTheNextRunGoesOn) {
    Script("wait-client\nflood 200000 120\nwait-stop\n");
    {
        GuiProcess gui;
        ASSERT_TRUE(gui.Start(work));
        gui.Command(ID_DECODER_START);
        ASSERT_TRUE(guitest::PumpUntil([&] { return StoredRecords() >= 3000; }, 60000)) << StoredRecords();
        gui.Kill();
    }
    EndOrphanDecoders();
    {
        auto db = messages::Database::Open(store);
        messages::Statement check(db, "PRAGMA integrity_check");
        ASSERT_TRUE(check.Step());
        EXPECT_EQ(std::string(check.ColumnText(0)), "ok");
        EXPECT_EQ(Scalar(db, "SELECT count(*) FROM runs"), 1);
        const std::vector<long> numbers = StoredFloodNumbers(db, 1);
        EXPECT_GE(numbers.size(), 3000u);
        EXPECT_LT(numbers.size(), 200000u);
        EXPECT_TRUE(IsZeroToN(numbers)) << "records lost, doubled or out of order";
    }

    Script("wait-client\nrecord L5xxxxxxxSECURITE\\nAFTER THE CRASH\\n\nwait-stop\n");
    GuiProcess next;
    ASSERT_TRUE(next.Start(work));
    next.Command(ID_DECODER_START);
    ASSERT_TRUE(guitest::PumpUntil(
        [&] {
            try {
                auto db = messages::Database::Open(store);
                return Scalar(db, "SELECT count(*) FROM messages WHERE text LIKE '%AFTER THE CRASH%'") == 1;
            } catch (const std::exception&) {
                return false;
            }
        },
        20000));
    next.Command(ID_DECODER_STOP);
    ASSERT_TRUE(next.Exit());
    auto db = messages::Database::Open(store);
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM runs"), 2);
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM runs WHERE stopped_ms IS NOT NULL"), 1);  // the killed run has none
    EXPECT_TRUE(IsZeroToN(StoredFloodNumbers(db, 1)));
}

// Two receivers, two front ends, one store: both floods arrive whole, each in its own run and order.
TEST_F(StoreProcessTest, TwoFrontEndsWritingIntoOneStoreLoseNothing) {
    constexpr int kRecords = 6000;
    Script(("wait-client\nflood " + std::to_string(kRecords) + " 100\nwait-stop\n").c_str());
    GuiProcess first, second;
    ASSERT_TRUE(first.Start(work));
    ASSERT_TRUE(second.Start(work));
    first.Command(ID_DECODER_START);
    second.Command(ID_DECODER_START);
    ASSERT_TRUE(guitest::PumpUntil([&] { return StoredRecords() == 2 * kRecords; }, 120000)) << StoredRecords();
    first.Command(ID_DECODER_STOP);
    second.Command(ID_DECODER_STOP);
    EXPECT_TRUE(first.Exit());
    EXPECT_TRUE(second.Exit());

    auto db = messages::Database::Open(store);
    messages::Statement runs(db, "SELECT id, instance FROM runs ORDER BY id");
    std::set<std::string> instances;
    std::vector<std::int64_t> ids;
    while (runs.Step()) {
        ids.push_back(runs.ColumnInt64(0));
        instances.insert(std::string(runs.ColumnText(1)));
    }
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(instances.size(), 2u);  // each front end has its own instance name
    for (std::int64_t run : ids) {
        const std::vector<long> numbers = StoredFloodNumbers(db, run);
        EXPECT_EQ(numbers.size(), static_cast<std::size_t>(kRecords)) << run;
        EXPECT_TRUE(IsZeroToN(numbers)) << run;
    }
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM runs WHERE stopped_ms IS NULL"), 0);
}

}  // namespace
