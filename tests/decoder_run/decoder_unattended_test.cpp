// Unattended running through the real main window and the stand-in decoder: a decoder that ends by
// itself (with the daily text log under a clock the test sets), the restart after it, and an end behind
// a long backlog in the log.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>

#include "resource.h"
#include "win/run_fixture.h"

namespace {

class UnattendedTest : public RunTest {
protected:
    void SetUp() override {
        RunTest::SetUp();
        frame->Run().Filter().Set(1, true);
    }
    // "Restart when it ends" with a first delay of `firstMs`, doubling up to `longestMs`.
    void UseRestart(int firstMs, int longestMs = 300000) {
        frame->Rows().WriteBool(settings::kAutoRestart, true);
        frame->Run().SetRestartBackoff(decoder::RestartBackoff({}, decoder::RestartTiming{firstMs, longestMs, 60000}));
    }
    // Starts the decoder and holds the hand-over back from then on, as a loaded machine would: the
    // records queue up behind the log.
    void StartWithLogHeldBack() {
        Command(ID_DECODER_START);
        ASSERT_TRUE(frame->Run().Running());
        frame->Run().HoldHandOver(true);
    }
    // The log ends with the flood's newest lines up to the bound, whole and in order, then the note.
    void ExpectNewestFloodLinesThenTheNote(const std::wstring& log) {
        const std::vector<long> shown = guitest::FloodNumbers(log);
        ASSERT_FALSE(shown.empty());
        EXPECT_LE(shown.size(), 1000u);
        EXPECT_GE(shown.size(), 990u);
        EXPECT_EQ(shown, guitest::Numbers(shown.front(), kFlood, true));
        const std::size_t note = log.find(L"\nDecoder ended (exit code 3) at ");
        ASSERT_NE(note, std::wstring::npos);
        EXPECT_EQ(log.rfind(L"\n#", note), log.rfind(L"\n#2499 ", note));
        EXPECT_LE(guitest::LogViewOf(frame->hwnd()).text().Lines(), 1000u + 40u);
    }
    static constexpr long kFlood = 2500;
    static constexpr const char* kFloodThenExit3 = "wait-client\nflood 2500 80\nexit 3\n";
};

// A decoder that ends by itself, with the daily filtered text log: the end is said in the status, and
// in red in the log and the text log after the last record; the window stays running until Stop, and
// nothing restarts. Each reading of the clock is a second later: the text log opens at 23:59:58 and the
// records come from 23:59:59 on, so the second opens the next day's file, which keeps only what the log
// shows.
TEST_F(UnattendedTest, ADecoderThatEndsIsSaidEverywhereAndTheDailyTextLogSwitchesAtMidnight) {
    InstallDecoder(
        "wait-client\n"
        "record L1xxxxxxxone\\n\n"
        "record L1xxxxxxxtwo\\n\n"
        "record L5xxxxxxxhidden\\n\n"
        "record L1xxxxxxxlast words\\n\n"
        "exit 3\n");
    UseTextLog();
    frame->Rows().WriteBool(settings::kLogDaily, true);
    frame->Rows().WriteBool(settings::kDecoderLogUseFilter, true);
    frame->Run().Filter().Set(5, false);
    auto readings = std::make_shared<std::atomic<int>>(0);
    frame->Run().SetClock([readings] { return 1796687998000LL + 1000LL * readings->fetch_add(1); });  // 2026-12-07 23:59:58
    Command(ID_DECODER_START);
    ASSERT_TRUE(WaitForStatus(L"Decoder ended (exit code 3)")) << win::Utf8(Status());
    ASSERT_TRUE(WaitForLog(L" UTC\n")) << win::Utf8(LogText());
    const std::wstring log = LogText();
    const std::wstring records = L"Decoder started\none\ntwo\nlast words\n";
    EXPECT_EQ(log, records + L"Decoder ended (exit code 3) at 2026-12-08 00:00:03 UTC\n");
    EXPECT_EQ(LogColourAt(records.size()), RGB(200, 0, 0));
    EXPECT_EQ(guitest::LogFiles(logDir), (std::vector<std::wstring>{L"20261207_235958.log", L"20261208_000000.log"}));
    EXPECT_EQ(TextLog(L"20261207_235958.log"), "one\n");
    EXPECT_EQ(TextLog(L"20261208_000000.log").find("two\nlast words\nDecoder ended (exit code 3) at 2026-12-08 00:00:"), 0u);

    EXPECT_TRUE(frame->Run().Running() && Disabled(ID_DECODER_START));
    EXPECT_FALSE(frame->Run().RestartPending());
    const auto before = std::chrono::steady_clock::now();
    Command(ID_DECODER_STOP);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(1500));  // nothing left to wait for
    EXPECT_EQ(Status(), L"Idle");
    EXPECT_EQ(LogText().substr(log.size()), L"Decoder terminated\n");
    EXPECT_EQ(frame->Run().Runs(), 1u);
}

// The restart makes a new run with a new name and a new text log and says so in the log; a decoder that
// keeps ending waits longer (here up to 1.3 s), Stop cancels the pending restart, and a user's start
// begins again from the first delay.
TEST_F(UnattendedTest, RestartsMakeNewRunsWaitLongerEachTimeAndStopCancelsThePendingOne) {
    InstallDecoder("wait-client\nrecord L1xxxxxxxfirst run\\n\nexit 3\n");
    UseTextLog();
    UseRestart(1200, 1300);  // over a second, so that the new text log's name (to the second) differs
    Command(ID_DECODER_START);
    const std::wstring firstName = frame->Run().InstanceName();
    ASSERT_TRUE(guitest::PumpUntil([&] { return frame->Run().RestartPending(); }, 15000)) << win::Utf8(LogText());
    EXPECT_EQ(Status(), L"Decoder ended (exit code 3)");
    EXPECT_FALSE(Disabled(ID_DECODER_STOP));  // pending, the window stays in its running state
    ASSERT_EQ(guitest::LogFiles(logDir).size(), 1u);

    RewriteScript("wait-client\nrecord L1xxxxxxxsecond run\\n\nexit 3\n");
    ASSERT_TRUE(WaitForLog(L"Restarting the decoder in 1.3 s at ")) << win::Utf8(LogText());
    EXPECT_EQ(frame->Run().Restarts(), 1u);
    EXPECT_EQ(frame->Run().Runs(), 2u);
    EXPECT_NE(frame->Run().InstanceName(), firstName);
    // The log keeps the first run: its end, the restart and the new run follow in order.
    const std::wstring log = LogText();
    EXPECT_EQ(log.find(L"Decoder started\nfirst run\nDecoder ended (exit code 3) at "), 0u) << win::Utf8(log);
    const std::size_t restarted = log.find(L"Decoder restarted (restart 1) at ");
    ASSERT_NE(restarted, std::wstring::npos) << win::Utf8(log);
    EXPECT_LT(log.find(L"Restarting the decoder in 1.2 s at "), restarted);
    EXPECT_NE(log.find(L"Decoder started\nsecond run\n", restarted), std::wstring::npos) << win::Utf8(log);
    const std::vector<std::wstring> files = guitest::LogFiles(logDir);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(TextLog(files[0]).find("first run\nDecoder ended (exit code 3) at "), 0u);
    EXPECT_EQ(TextLog(files[1]).find("Decoder restarted (restart 1) at "), 0u) << TextLog(files[1]);
    EXPECT_NE(TextLog(files[1]).find(" UTC\nsecond run\n"), std::string::npos) << TextLog(files[1]);

    Command(ID_DECODER_STOP);
    EXPECT_FALSE(frame->Run().RestartPending());
    EXPECT_EQ(Status(), L"Idle");
    EXPECT_FALSE(Disabled(ID_DECODER_START));
    EXPECT_TRUE(Disabled(ID_DECODER_STOP));
    // Past the cancelled delay of 1.3 s, no run has begun.
    EXPECT_FALSE(guitest::PumpUntil([&] { return frame->Run().Runs() > 2 || frame->Run().Running(); }, 1500));
    EXPECT_TRUE(LogText().ends_with(L"Decoder terminated\n")) << win::Utf8(LogText());

    Command(ID_DECODER_START);
    ASSERT_TRUE(guitest::PumpUntil([&] { return frame->Run().RestartPending(); }, 15000));
    EXPECT_EQ(guitest::Occurrences(LogText(), L"Restarting the decoder in 1.2 s at "), 1u) << win::Utf8(LogText());  // the log began anew
    Command(ID_DECODER_STOP);
}

// A log far behind a fast decoder does not hold back the word that it ended: the status says it at
// once, the note follows the last record once the log gets there, and the stop appends only the lines
// the log's bound keeps. With "Restart when it ends" the restart does not wait for the log either: the
// log keeps the newest lines up to its bound, the notes after them, and the new run after those.
TEST_F(UnattendedTest, ADecoderEndingWithALongBacklogIsSaidAtOnceAndRestartedWithoutWaitingForTheLog) {
    InstallDecoder(kFloodThenExit3);
    UseTextLog();
    guitest::MessageBoxWatcher boxes;
    Show();
    Command(ID_PANE_DECODER_LOG);
    guitest::LogViewOf(frame->hwnd()).text().SetLineLimit(1000);
    ASSERT_NO_FATAL_FAILURE(StartWithLogHeldBack());
    ASSERT_TRUE(WaitForStatus(L"Decoder ended (exit code 3)", 60000)) << win::Utf8(Status());
    EXPECT_LT(guitest::LogViewOf(frame->hwnd()).text().Lines(), 1000u);  // said ahead of the records still queued
    EXPECT_EQ(LogText().find(L"Decoder ended"), std::wstring::npos) << "the note waits behind the records";
    EXPECT_TRUE(frame->Run().Running());
    // The text log has every record, then the note.
    const std::string textLog = TextLog();
    EXPECT_EQ(guitest::FloodNumbers(win::Wide(textLog)), guitest::Numbers(0, kFlood));
    EXPECT_GT(textLog.find("\nDecoder ended (exit code 3) at "), textLog.find("#2499 "));
    Command(ID_DECODER_STOP);
    EXPECT_EQ(Status(), L"Idle");
    std::wstring log = LogText();
    EXPECT_EQ(log.find(L"#"), 0u) << win::Utf8(log.substr(0, 80));
    ExpectNewestFloodLinesThenTheNote(log);
    EXPECT_TRUE(log.ends_with(L" UTC\nDecoder terminated\n")) << win::Utf8(log.substr(log.size() - 80));

    UseRestart(1200);
    ASSERT_NO_FATAL_FAILURE(StartWithLogHeldBack());
    RewriteScript("wait-client\nrecord L1xxxxxxxsecond run\\n\nwait-stop\n");
    ASSERT_TRUE(guitest::PumpUntil([&] { return frame->Run().RestartPending() || frame->Run().Restarts() > 0; }, 60000));
    log = LogText();
    ExpectNewestFloodLinesThenTheNote(log);
    EXPECT_GT(log.find(L"Restarting the decoder in 1.2 s at "), log.find(L"\nDecoder ended (exit code 3) at "));
    frame->Run().HoldHandOver(false);
    ASSERT_TRUE(WaitForLog(L"second run\n")) << win::Utf8(LogText());
    EXPECT_EQ(frame->Run().Restarts(), 1u);
    EXPECT_LE(guitest::LogViewOf(frame->hwnd()).text().Lines(), 1000u + 40u);
    Command(ID_DECODER_STOP);
    EXPECT_EQ(Status(), L"Idle");
    EXPECT_EQ(boxes.count(), 0u);
}

}  // namespace
