// The message store under front ends run as processes (vastrel-gui.exe beside the stand-in decoder): two
// front ends writing into one store at once, one of them killed in the middle of a flood.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "messages/sqlite_db.h"
#include "resource.h"
#include "store_support/query_rows.h"
#include "win/handles.h"
#include "win/run_fixture.h"

namespace {

// The running numbers of run `run`'s flood records ("#<n> ...") in the store, in id order.
std::vector<long> FloodNumbers(messages::Database& db, int run) {
    std::vector<long> numbers;
    const std::string sql = "SELECT text FROM record_rows WHERE run_id = " + std::to_string(run) + " ORDER BY id";
    for (const std::string& text : store_support::QueryRows(db, sql.c_str()))
        numbers.push_back(text.starts_with('#') ? std::atol(text.c_str() + 1) : -1);
    return numbers;
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
    void Command(UINT id) const { ::PostMessageW(window, WM_COMMAND, id, 0); }
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
    std::int64_t Stored(const char* sql) const try {
        auto db = messages::Database::Open(store, SQLITE_OPEN_READWRITE);  // not made here
        return std::stoll(store_support::QueryRows(db, sql).at(0));
    } catch (const std::exception&) {
        return -1;
    }

    std::wstring work;
    std::string store;
};

// Two receivers, two front ends, one store, the later one opening it while the other writes: one ends
// its flood and stops, the other is killed in the middle of its own. The store is undamaged and holds
// each run's records once and in order, the stopped run's all of them, the killed run's up to its last
// commit; the next front end goes on writing into it.
TEST_F(StoreProcessTest, TwoFrontEndsOneKilledLeaveAWholeStoreAndTheNextRunGoesOn) {
    GuiProcess killed, stopped;
    ASSERT_NO_FATAL_FAILURE(Script("wait-client\nflood 200000 120\nwait-stop\n"));  // each inherits its own
    ASSERT_TRUE(killed.Start(work));
    killed.Command(ID_DECODER_START);
    ASSERT_TRUE(guitest::PumpUntil([&] { return Stored("SELECT count(*) FROM record_rows") > 0; }, 20000));
    ASSERT_NO_FATAL_FAILURE(Script("wait-client\nflood 2000 100\nwait-stop\n"));
    ASSERT_TRUE(stopped.Start(work));
    stopped.Command(ID_DECODER_START);
    // Killed while both write; the other then ends its flood.
    ASSERT_TRUE(guitest::PumpUntil([&] { return Stored("SELECT count(*) FROM record_rows WHERE run_id = 2") > 0 &&
                                                Stored("SELECT count(*) FROM record_rows WHERE run_id = 1") >= 3000; }, 60000));
    ::TerminateProcess(killed.pi.hProcess, 9);
    ASSERT_TRUE(guitest::PumpUntil([&] { return Stored("SELECT count(*) FROM record_rows WHERE run_id = 2") == 2000; }, 60000));
    stopped.Command(ID_DECODER_STOP);
    EXPECT_TRUE(stopped.Exit());
    EndOrphanDecoders();
    {
        auto db = messages::Database::Open(store);
        EXPECT_EQ(store_support::QueryRows(db, "PRAGMA integrity_check"), std::vector<std::string>{"ok"});
        EXPECT_EQ(store_support::QueryRows(db, "SELECT count(DISTINCT instance) FROM runs"),
                  std::vector<std::string>{"2"});  // each front end has its own name
        EXPECT_TRUE(FloodNumbers(db, 2) == guitest::Numbers(0, 2000));
        const std::vector<long> cut = FloodNumbers(db, 1);
        EXPECT_GE(cut.size(), 3000u);
        EXPECT_LT(cut.size(), 200000u);
        EXPECT_TRUE(cut == guitest::Numbers(0, static_cast<long>(cut.size()))) << "records lost, doubled or out of order";
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
              (std::vector<std::string>{"1|1", "2|0", "3|0"}));
}

}  // namespace
