// The message store under front ends run as processes (vastrel-gui.exe beside the stand-in decoder): a
// front end killed in the middle of a flood, and two front ends writing into one store at once.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "messages/sqlite_db.h"
#include "resource.h"
#include "store_support/query_rows.h"
#include "win/file_bytes.h"
#include "win/gui_support.h"
#include "win/handles.h"
#include "win/utf8.h"

namespace {

std::int64_t Scalar(messages::Database& db, const char* sql) {
    messages::Statement s(db, sql);
    return s.Step() ? s.ColumnInt64(0) : -1;
}

// Whether a store holds run `run`'s flood records ("#<n> ...") once each, 0 to n - 1 in id order; n.
std::size_t WholeFlood(messages::Database& db, std::int64_t run, bool& whole) {
    messages::Statement rows(db, "SELECT text FROM record_rows WHERE run_id = ? ORDER BY id");
    rows.Bind(1, run);
    std::size_t n = 0;
    whole = true;
    for (; rows.Step(); ++n)
        if (std::string(rows.ColumnText(0)).rfind("#" + std::to_string(n) + " ", 0) != 0) whole = false;
    return n;
}

// A vastrel-gui.exe started in the test's folder (which holds vastrel.exe and its script).
struct GuiProcess {
    PROCESS_INFORMATION pi{};
    HWND window = nullptr;

    bool Start(const std::wstring& folder) {
        std::wstring commandLine = L"\"" + guitest::ProgramFolder() + L"vastrel-gui.exe\"";
        STARTUPINFOW si{sizeof(si)};
        if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
            return false;
        ::WaitForInputIdle(pi.hProcess, 10000);
        return guitest::PumpUntil([&] { return (window = Find()) != nullptr; }, 20000);
    }
    HWND Find() const {
        std::pair<DWORD, HWND> search{pi.dwProcessId, nullptr};
        ::EnumWindows(
            [](HWND hwnd, LPARAM param) -> BOOL {
                auto* s = reinterpret_cast<std::pair<DWORD, HWND>*>(param);
                DWORD pid = 0;
                ::GetWindowThreadProcessId(hwnd, &pid);
                if (pid != s->first || !::IsWindowVisible(hwnd) || guitest::ClassName(hwnd) == L"#32770" ||
                    ::GetWindow(hwnd, GW_OWNER))
                    return TRUE;
                s->second = hwnd;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.second;
    }
    void Command(UINT id) const { ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    bool Exit() {
        ::PostMessageW(window, WM_CLOSE, 0, 0);
        return ::WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0;
    }
    ~GuiProcess() {
        if (!pi.hProcess) return;
        if (::WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) ::TerminateProcess(pi.hProcess, 99);
        ::WaitForSingleObject(pi.hProcess, 10000);
        ::CloseHandle(pi.hProcess);
        ::CloseHandle(pi.hThread);
    }
};

// Ends every stand-in decoder (vastrel.exe) a killed front end left behind.
void EndOrphanDecoders() {
    win::UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{sizeof(entry)};
    for (BOOL more = snapshot && ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, L"vastrel.exe") != 0) continue;
        win::UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (process && ::WaitForSingleObject(process.get(), 5000) == WAIT_TIMEOUT) ::TerminateProcess(process.get(), 9);
    }
}

class StoreProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        work = std::wstring(temp) + L"vastrel_store_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
               win::Wide(::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(work), ignored);
        ::CreateDirectoryW(work.c_str(), nullptr);
        store = win::Utf8(work) + "\\vastrel-messages.db";
        ASSERT_TRUE(::CopyFileW((guitest::ProgramFolder() + L"vastrel-sim.exe").c_str(), (work + L"\\vastrel.exe").c_str(), FALSE));
    }
    void TearDown() override {
        EndOrphanDecoders();
        ::SetEnvironmentVariableW(L"VASTREL_SIM_SCRIPT", nullptr);
    }
    void Script(const std::string& text) {
        ASSERT_TRUE(guitest::WriteFileBytes(work + L"\\script.txt", text));
        ::SetEnvironmentVariableW(L"VASTREL_SIM_SCRIPT", (work + L"\\script.txt").c_str());
    }
    // `sql`'s first value, read by a connection of the test's own; -1 while there is no store yet.
    std::int64_t Stored(const char* sql) const {
        if (!std::filesystem::exists(std::filesystem::path(work + L"\\vastrel-messages.db"))) return -1;
        try {
            auto db = messages::Database::Open(store);
            return Scalar(db, sql);
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
    ASSERT_NO_FATAL_FAILURE(Script("wait-client\nflood 200000 120\nwait-stop\n"));
    {
        GuiProcess gui;
        ASSERT_TRUE(gui.Start(work));
        gui.Command(ID_DECODER_START);
        ASSERT_TRUE(guitest::PumpUntil([&] { return Stored("SELECT count(*) FROM record_rows") >= 3000; }, 60000));
        ::TerminateProcess(gui.pi.hProcess, 9);
    }
    EndOrphanDecoders();
    {
        auto db = messages::Database::Open(store);
        EXPECT_EQ(store_support::QueryRows(db, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
        EXPECT_EQ(Scalar(db, "SELECT count(*) FROM runs"), 1);
        bool whole = false;
        const std::size_t n = WholeFlood(db, 1, whole);
        EXPECT_GE(n, 3000u);
        EXPECT_LT(n, 200000u);
        EXPECT_TRUE(whole) << "records lost, doubled or out of order";
    }

    ASSERT_NO_FATAL_FAILURE(Script("wait-client\nrecord L5xxxxxxxSECURITE\\nAFTER THE CRASH\\n\nwait-stop\n"));
    GuiProcess next;
    ASSERT_TRUE(next.Start(work));
    next.Command(ID_DECODER_START);
    ASSERT_TRUE(guitest::PumpUntil([&] { return Stored("SELECT count(*) FROM messages WHERE text LIKE '%AFTER THE CRASH%'") == 1; },
                                   20000));
    next.Command(ID_DECODER_STOP);
    ASSERT_TRUE(next.Exit());
    auto db = messages::Database::Open(store);
    // The killed run has no stop time.
    EXPECT_EQ(store_support::QueryRows(db, "SELECT id, stopped_ms IS NULL FROM runs ORDER BY id"),
              (std::vector<std::string>{"1|1", "2|0"}));
}

// Two receivers, two front ends, one store: both floods arrive whole, each in its own run and order.
// The later front end opens the store while the other one writes it.
TEST_F(StoreProcessTest, TwoFrontEndsWritingIntoOneStoreLoseNothing) {
    ASSERT_NO_FATAL_FAILURE(Script("wait-client\nflood 2000 100\nwait-stop\n"));
    GuiProcess first, second;
    ASSERT_TRUE(first.Start(work));
    ASSERT_TRUE(second.Start(work));
    first.Command(ID_DECODER_START);
    second.Command(ID_DECODER_START);
    ASSERT_TRUE(guitest::PumpUntil([&] { return Stored("SELECT count(*) FROM record_rows") == 4000; }, 120000));
    first.Command(ID_DECODER_STOP);
    second.Command(ID_DECODER_STOP);
    EXPECT_TRUE(first.Exit());
    EXPECT_TRUE(second.Exit());

    auto db = messages::Database::Open(store);
    EXPECT_EQ(Scalar(db, "SELECT count(DISTINCT instance) FROM runs"), 2);  // each front end has its own name
    EXPECT_EQ(Scalar(db, "SELECT count(*) FROM runs WHERE stopped_ms IS NULL"), 0);
    for (std::int64_t run : {1, 2}) {
        bool whole = false;
        EXPECT_EQ(WholeFlood(db, run, whole), 2000u) << run;
        EXPECT_TRUE(whole) << run;
    }
}

}  // namespace
