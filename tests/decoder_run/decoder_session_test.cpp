// The decoder session on its own, without a main window: launch outcomes, records reaching the
// sinks in order with the LES and frame in force, and the stop sequence.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "decoder/command_line.h"
#include "decoder/decoder_session_win.h"
#include "win/gui_support.h"
#include "win/message_wait.h"

namespace {

struct CollectingSink : decoder::IRecordSink {
    std::mutex lock;
    std::vector<decoder::Record> records;
    bool started = false, ended = false;
    void OnRunStarted() override { started = true; }
    void OnRecord(const decoder::Record& r) override {
        std::lock_guard<std::mutex> guard(lock);
        records.push_back(r);
    }
    void OnRunEnded() override { ended = true; }
    std::size_t Count() {
        std::lock_guard<std::mutex> guard(lock);
        return records.size();
    }
};

class DecoderSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        work_ = std::wstring(temp) + L"vastrel_session_" + std::to_wstring(::GetCurrentProcessId());
        ::CreateDirectoryW(work_.c_str(), nullptr);
        ASSERT_TRUE(::CopyFileW((guitest::ProgramFolder() + L"vastrel-sim.exe").c_str(), Exe().c_str(), FALSE));
    }
    void TearDown() override { ::SetEnvironmentVariableW(L"VASTREL_SIM_SCRIPT", nullptr); }
    std::wstring Exe() const { return work_ + L"\\vastrel.exe"; }
    std::wstring CommandLine(const std::wstring& name, const char* script) {
        const std::wstring path = work_ + L"\\" + name + L".txt";
        std::ofstream(std::filesystem::path(path), std::ios::binary) << script;
        ::SetEnvironmentVariableW(L"VASTREL_SIM_SCRIPT", path.c_str());
        return L"\"" + Exe() + L"\" -p" + name;
    }

    decoder::DecoderSession session{win::WaitAnsweringSentMessages};
    std::wstring work_;
};

TEST_F(DecoderSessionTest, RecordsReachTheSinksInOrderAndTheStopEndsEverything) {
    const std::wstring name = L"sess" + std::to_wstring(::GetTickCount());
    const auto launched = session.Launch(CommandLine(name,
        "wait-client\n"
        "record L1xxxxxxxbefore any header\\n\n"
        "record L21210042frequency: 1200.0\\n\n"
        "record L5999zzzzSECURITE gale warning\\n\n"
        "record Lxshort\n"
        "flood 300 40\n"
        "wait-stop\n"), name);
    ASSERT_EQ(launched.outcome, decoder::DecoderSession::Launched::Connected);
    ASSERT_TRUE(session.HasProcess());

    auto first = std::make_shared<CollectingSink>();
    auto second = std::make_shared<CollectingSink>();
    auto sinks = std::make_shared<decoder::RecordSinks>();
    sinks->Add(first);
    sinks->Add(second);
    ASSERT_TRUE(session.StartReader(sinks, [] { return std::int64_t{1234}; }));
    ASSERT_TRUE(guitest::PumpUntil([&] { return second->Count() == 303; }, 20000));
    EXPECT_FALSE(session.ReaderEnded());

    EXPECT_TRUE(session.Stop());
    EXPECT_FALSE(session.HasProcess());
    EXPECT_TRUE(first->started && first->ended && second->ended);
    ASSERT_EQ(first->records.size(), 303u);
    const auto& r = first->records;
    EXPECT_EQ(r[0].les, "");
    EXPECT_EQ(r[0].wideText, L"before any header\n");
    EXPECT_EQ(r[1].les, "121");
    EXPECT_DOUBLE_EQ(r[1].frequencyHz, 1215.0);
    EXPECT_EQ(r[2].category, decoder::Category::MessageText);
    EXPECT_EQ(r[2].les, "121");  // the header's LES, not its own header bytes
    EXPECT_EQ(r[2].frame, "0042");
    for (std::size_t i = 0; i < r.size(); ++i) {
        EXPECT_EQ(r[i].sequence, i);
        EXPECT_EQ(r[i].receivedUtcMs, 1234);
    }
    // The flood's running numbers follow each other.
    for (std::size_t i = 3; i < r.size(); ++i)
        ASSERT_EQ(r[i].text.rfind("#" + std::to_string(i - 3) + " ", 0), 0u) << i;
}

TEST_F(DecoderSessionTest, LaunchOutcomes) {
    const std::wstring name = L"sessfail" + std::to_wstring(::GetTickCount());
    auto launched = session.Launch(CommandLine(name, "nopipe\nexit 3\n"), name);
    EXPECT_EQ(launched.outcome, decoder::DecoderSession::Launched::DecoderEnded);
    EXPECT_EQ(launched.exitCode, 3u);
    EXPECT_FALSE(session.HasProcess());

    launched = session.Launch(L"\"" + work_ + L"\\missing.exe\" -pnothing", L"nothing");
    EXPECT_EQ(launched.outcome, decoder::DecoderSession::Launched::ProcessNotCreated);
    EXPECT_TRUE(session.Stop());  // nothing to stop: returns at once
}

}  // namespace
