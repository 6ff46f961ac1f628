// Unattended running through the real main window and the stand-in decoder: a decoder that ends by
// itself, the restart after it, the text log's daily switch under a clock the test sets, and the
// decoder log's trimming at its bound.
#include <windows.h>
#include <richedit.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "decoder_run_fixture.h"
#include "resource.h"
#include "settings/settings.h"

namespace {

std::vector<std::wstring> LogFiles(const std::wstring& dir) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE h = ::FindFirstFileW((dir + L"\\*.log").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do names.push_back(found.cFileName);
    while (::FindNextFileW(h, &found));
    ::FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

// The text log is written in text mode: line ends read back as they were written.
std::string TextLogContents(const std::wstring& path) {
    std::string bytes = ReadFileBytes(path);
    bytes.erase(std::remove(bytes.begin(), bytes.end(), '\r'), bytes.end());
    return bytes;
}

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }
// The running numbers of the stand-in's flood records ("#<n> ...") in the lines of `text`, in order.
std::vector<long> FloodNumbers(const std::wstring& text) {
    std::vector<long> numbers;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(L'\n', at);
        if (end == std::wstring::npos) end = text.size();
        if (text[at] == L'#') numbers.push_back(std::wcstol(text.c_str() + at + 1, nullptr, 10));
        at = end + 1;
    }
    return numbers;
}

// The flood's records the log shows by default: all but category 4's (every sixth, from the fifth).
std::vector<long> ShownFloodNumbers(long from, long to) {
    std::vector<long> numbers;
    for (long n = from; n < to; ++n)
        if (n % 6 != 4) numbers.push_back(n);
    return numbers;
}

std::size_t CountOf(const std::wstring& text, const std::wstring& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class UnattendedTest : public DecoderRunTest {
protected:
    // 20,000 records at once, then the decoder ends with exit code 3.
    static constexpr const char* kFloodThenExit3 = "wait-client\nflood 20000 80\nexit 3\n";

    // Starts the decoder with the log shown and bounded to 1,000 lines, and holds the hand-over back
    // from then on, as a loaded machine would: the records queue up behind the log.
    void StartWithLogHeldBack() {
        ::SendMessageW(frame->hwnd(), WM_COMMAND, ID_PANE_DECODER_LOG, 0);
        guitest::LogViewOf(frame->hwnd()).text().SetLineLimit(1000);
        Command(ID_DECODER_START);
        ASSERT_TRUE(frame->Run().Running());
        frame->Run().HoldHandOver(true);
    }
    void UseTextLog() {
        logDir = work + L"\\textlog";
        ::CreateDirectoryW(logDir.c_str(), nullptr);
        frame->Rows().WriteBool(settings::kDecoderTextLog, true);
        frame->Rows().WriteText(settings::kDecoderLogDir, logDir);
        frame->Rows().WriteBool(settings::kDecoderLogUseFilter, false);
        frame->Run().Filter().Set(1, true);
    }
    void RewriteScript(const char* script) {
        std::ofstream(std::filesystem::path(work + L"\\script.txt"), std::ios::binary) << script;
    }
    bool WaitForStatus(const std::wstring& status, int timeoutMs = 15000) {
        return guitest::PumpUntil([&] { return Text(guitest::FindChild(frame->hwnd(), IDC_STATUS_FIELD)) == status; }, timeoutMs);
    }
    std::wstring logDir;
};

TEST_F(UnattendedTest, DecoderThatExitsWithCode3IsSaidInStatusLogAndTextLogAndStopRunsThrough) {
    InstallDecoder(
        "wait-client\n"
        "record L1xxxxxxxlast words\\n\n"
        "exit 3\n");
    UseTextLog();
    guitest::MessageBoxWatcher boxes;
    Command(ID_DECODER_START);
    ASSERT_TRUE(frame->Run().Running());
    ASSERT_TRUE(WaitForStatus(L"Decoder ended (exit code 3)")) << Text(guitest::FindChild(frame->hwnd(), IDC_STATUS_FIELD));

    // The note follows the last record, in red, with the time.
    const std::wstring note = L"Decoder ended (exit code 3) at ";
    ASSERT_TRUE(guitest::PumpUntil([&] { return Contains(LogText(), note); }, 10000)) << LogText();
    const std::wstring log = LogText();
    const std::size_t at = log.find(note);
    ASSERT_NE(at, std::wstring::npos) << log;
    EXPECT_EQ(log.substr(0, at), L"Decoder started\nlast words\n");
    EXPECT_EQ(log.size(), at + note.size() + std::wstring(L"2026-12-07 11:58:03 UTC\n").size()) << log;
    EXPECT_EQ(log.substr(log.size() - 5), L" UTC\n");
    EXPECT_EQ(LogColourAt(static_cast<LONG>(at)), RGB(200, 0, 0));
    EXPECT_EQ(TextLogContents(OnlyLogFile(logDir)).find("last words\nDecoder ended (exit code 3) at "), 0u);

    // Everything else as before: the running state stays until Stop, and nothing restarts.
    EXPECT_TRUE(frame->Run().Running());
    EXPECT_FALSE(frame->Run().RestartPending());
    EXPECT_TRUE(Disabled(ID_DECODER_START));
    EXPECT_FALSE(Disabled(ID_DECODER_STOP));
    EXPECT_FALSE(::IsWindowEnabled(guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID)));

    const auto before = std::chrono::steady_clock::now();
    Command(ID_DECODER_STOP);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count();
    EXPECT_LT(seconds, 1.5);  // nothing left to wait for
    EXPECT_FALSE(frame->Run().Running());
    EXPECT_EQ(Text(guitest::FindChild(frame->hwnd(), IDC_STATUS_FIELD)), L"Idle");
    EXPECT_EQ(LogText().substr(log.size()), L"Decoder terminated\n");
    EXPECT_FALSE(Disabled(ID_DECODER_START));
    EXPECT_EQ(frame->Run().Runs(), 1u);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(UnattendedTest, RestartMakesANewRunWithANewNameAndANewTextLogAndSaysSoInTheLog) {
    InstallDecoder(
        "wait-client\n"
        "record L1xxxxxxxfirst run\\n\n"
        "exit 3\n");
    UseTextLog();
    frame->Rows().WriteBool(settings::kAutoRestart, true);
    // Over a second, so that the new text log's name (to the second) differs from the first one's.
    frame->Run().SetRestartBackoff(decoder::RestartBackoff({}, decoder::RestartTiming{1200, 300000, 60000}));
    guitest::MessageBoxWatcher boxes;
    Command(ID_DECODER_START);
    const std::wstring firstName = frame->Run().InstanceName();
    ASSERT_TRUE(guitest::PumpUntil([&] { return frame->Run().RestartPending(); }, 15000)) << LogText();
    EXPECT_EQ(Text(guitest::FindChild(frame->hwnd(), IDC_STATUS_FIELD)), L"Decoder ended (exit code 3)");
    EXPECT_TRUE(Contains(LogText(), L"first run\nDecoder ended (exit code 3) at ")) << LogText();
    EXPECT_TRUE(Contains(LogText(), L"Restarting the decoder in 1.2 s at ")) << LogText();
    EXPECT_FALSE(Disabled(ID_DECODER_STOP));  // pending, the window stays in its running state
    ASSERT_EQ(LogFiles(logDir).size(), 1u);

    RewriteScript(
        "wait-client\n"
        "record L1xxxxxxxsecond run\\n\n"
        "wait-stop\n");
    ASSERT_TRUE(guitest::PumpUntil([&] { return Contains(LogText(), L"second run\n"); }, 15000)) << LogText();
    EXPECT_EQ(frame->Run().Restarts(), 1u);
    EXPECT_EQ(frame->Run().Runs(), 2u);
    EXPECT_NE(frame->Run().InstanceName(), firstName);
    EXPECT_EQ(Text(guitest::FindChild(frame->hwnd(), IDC_STATUS_FIELD)), L"Waiting for first frame...");
    // The log keeps the first run: its end, the restart and the new run follow in order.
    const std::wstring log = LogText();
    EXPECT_EQ(log.find(L"Decoder started\nfirst run\nDecoder ended (exit code 3) at "), 0u) << log;
    const std::size_t restarted = log.find(L"Decoder restarted (restart 1) at ");
    ASSERT_NE(restarted, std::wstring::npos) << log;
    EXPECT_LT(log.find(L"Restarting the decoder in 1.2 s"), restarted);
    EXPECT_NE(log.find(L"Decoder started\nsecond run\n", restarted), std::wstring::npos) << log;

    const std::vector<std::wstring> files = LogFiles(logDir);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(TextLogContents(logDir + L"\\" + files[0]).find("first run\nDecoder ended (exit code 3) at "), 0u);
    const std::string second = TextLogContents(logDir + L"\\" + files[1]);
    EXPECT_EQ(second.find("Decoder restarted (restart 1) at "), 0u) << second;
    EXPECT_NE(second.find(" UTC\nsecond run\n"), std::string::npos) << second;

    Command(ID_DECODER_STOP);
    EXPECT_EQ(Text(guitest::FindChild(frame->hwnd(), IDC_STATUS_FIELD)), L"Idle");
    EXPECT_EQ(boxes.count(), 0u);
}

// A log far behind a fast decoder (its hand-over held here, as a loaded machine would hold it) does
// not hold back the word that the decoder ended: the status says it at once, the note follows the
// last record once the log gets there, and the stop appends only the lines the log's bound keeps.
TEST_F(UnattendedTest, ADecoderEndingWithALongBacklogIsSaidAtOnceAndTheStopShowsTheKeptLines) {
    InstallDecoder(kFloodThenExit3);
    UseTextLog();
    guitest::MessageBoxWatcher boxes;
    ASSERT_NO_FATAL_FAILURE(StartWithLogHeldBack());
    ASSERT_TRUE(WaitForStatus(L"Decoder ended (exit code 3)", 60000)) << Text(guitest::FindChild(frame->hwnd(), IDC_STATUS_FIELD));
    EXPECT_LT(guitest::LogViewOf(frame->hwnd()).text().Lines(), 1000u);  // said ahead of the records still queued
    EXPECT_FALSE(Contains(LogText(), L"Decoder ended")) << "the note waits behind the records";
    EXPECT_TRUE(frame->Run().Running());
    EXPECT_FALSE(Disabled(ID_DECODER_STOP));
    // The text log has every record, then the note.
    const std::string textLog = TextLogContents(OnlyLogFile(logDir));
    std::vector<long> all;
    for (long n = 0; n < 20000; ++n) all.push_back(n);
    EXPECT_EQ(FloodNumbers(FromUtf8(textLog)), all);
    EXPECT_NE(textLog.find("#19999 "), std::string::npos);
    EXPECT_GT(textLog.find("\nDecoder ended (exit code 3) at "), textLog.find("#19999 "));

    Command(ID_DECODER_STOP);
    EXPECT_FALSE(frame->Run().Running());
    EXPECT_EQ(Text(guitest::FindChild(frame->hwnd(), IDC_STATUS_FIELD)), L"Idle");
    const std::wstring log = LogText();
    // The newest lines up to the bound, whole, in order, then the notes.
    const std::vector<long> shown = FloodNumbers(log);
    ASSERT_FALSE(shown.empty());
    EXPECT_LE(shown.size(), 1000u);
    EXPECT_GE(shown.size(), 990u);
    EXPECT_EQ(shown, ShownFloodNumbers(shown.front(), 20000));
    EXPECT_LE(guitest::LogViewOf(frame->hwnd()).text().Lines(), 1000u + 40u);
    EXPECT_EQ(log.find(L"#"), 0u) << log.substr(0, 80);
    const std::size_t note = log.find(L"\nDecoder ended (exit code 3) at ");
    ASSERT_NE(note, std::wstring::npos);
    EXPECT_EQ(log.rfind(L"\n#", note), log.rfind(L"\n#19999 ", note));
    EXPECT_TRUE(log.ends_with(L" UTC\nDecoder terminated\n")) << log.substr(log.size() - 80);
    EXPECT_EQ(boxes.count(), 0u);
}

// The same with "Restart when it ends": the restart does not wait for the log to catch up; the log
// keeps the newest lines up to its bound, the notes after them, and the new run after those.
TEST_F(UnattendedTest, ADecoderEndingWithALongBacklogIsRestartedWithoutWaitingForTheLog) {
    InstallDecoder(kFloodThenExit3);
    UseTextLog();
    frame->Rows().WriteBool(settings::kAutoRestart, true);
    // Over a second, so that the new text log's name (to the second) differs from the first one's.
    frame->Run().SetRestartBackoff(decoder::RestartBackoff({}, decoder::RestartTiming{1200, 300000, 60000}));
    guitest::MessageBoxWatcher boxes;
    ASSERT_NO_FATAL_FAILURE(StartWithLogHeldBack());
    RewriteScript(
        "wait-client\n"
        "record L1xxxxxxxsecond run\\n\n"
        "wait-stop\n");
    ASSERT_TRUE(guitest::PumpUntil([&] { return frame->Run().RestartPending() || frame->Run().Restarts() > 0; }, 60000))
        << Text(guitest::FindChild(frame->hwnd(), IDC_STATUS_FIELD));
    const std::wstring log = LogText();
    const std::vector<long> shown = FloodNumbers(log);
    ASSERT_FALSE(shown.empty());
    EXPECT_LE(shown.size(), 1000u);
    EXPECT_EQ(shown, ShownFloodNumbers(shown.front(), 20000));
    const std::size_t note = log.find(L"\nDecoder ended (exit code 3) at ");
    ASSERT_NE(note, std::wstring::npos) << log.substr(log.size() > 200 ? log.size() - 200 : 0);
    EXPECT_EQ(log.rfind(L"\n#", note), log.rfind(L"\n#19999 ", note));
    EXPECT_GT(log.find(L"Restarting the decoder in 1.2 s at "), note);

    frame->Run().HoldHandOver(false);
    ASSERT_TRUE(guitest::PumpUntil([&] { return Contains(LogText(), L"second run\n"); }, 15000)) << LogText();
    EXPECT_EQ(frame->Run().Restarts(), 1u);
    EXPECT_EQ(frame->Run().Runs(), 2u);
    EXPECT_LE(guitest::LogViewOf(frame->hwnd()).text().Lines(), 1000u + 40u);
    EXPECT_EQ(LogFiles(logDir).size(), 2u);
    Command(ID_DECODER_STOP);
    EXPECT_EQ(Text(guitest::FindChild(frame->hwnd(), IDC_STATUS_FIELD)), L"Idle");
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(UnattendedTest, ADecoderThatKeepsEndingWaitsTwiceAsLongAndStopCancelsThePendingRestart) {
    InstallDecoder("wait-client\nexit 3\n");
    frame->Rows().WriteBool(settings::kAutoRestart, true);
    frame->Run().SetRestartBackoff(decoder::RestartBackoff({}, decoder::RestartTiming{500, 300000, 60000}));
    guitest::MessageBoxWatcher boxes;
    Command(ID_DECODER_START);
    ASSERT_TRUE(guitest::PumpUntil([&] { return Contains(LogText(), L"Restarting the decoder in 1 s at "); }, 20000))
        << LogText();
    EXPECT_EQ(CountOf(LogText(), L"Restarting the decoder in 0.5 s at "), 1u);
    EXPECT_EQ(frame->Run().Restarts(), 1u);
    ASSERT_TRUE(frame->Run().RestartPending());

    Command(ID_DECODER_STOP);
    EXPECT_FALSE(frame->Run().RestartPending());
    EXPECT_FALSE(frame->Run().Running());
    EXPECT_EQ(Text(guitest::FindChild(frame->hwnd(), IDC_STATUS_FIELD)), L"Idle");
    EXPECT_FALSE(Disabled(ID_DECODER_START));
    EXPECT_TRUE(Disabled(ID_DECODER_STOP));
    // Well past the cancelled delay, no run has begun.
    EXPECT_FALSE(guitest::PumpUntil([&] { return frame->Run().Runs() > 2 || frame->Run().Running(); }, 2500));
    EXPECT_TRUE(LogText().ends_with(L"Decoder terminated\n")) << LogText();

    // A user's start begins again from the first delay.
    Command(ID_DECODER_START);
    ASSERT_TRUE(guitest::PumpUntil([&] { return frame->Run().RestartPending(); }, 15000));
    EXPECT_TRUE(LogText().find(L"Restarting the decoder in 0.5 s at ") != std::wstring::npos) << LogText();
    Command(ID_DECODER_STOP);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(UnattendedTest, DailyTextLogSwitchesAtUtcMidnightWithoutLosingOrDoublingARecord) {
    InstallDecoder(
        "wait-client\n"
        "record L1xxxxxxxone\\n\n"
        "record L1xxxxxxxtwo\\n\n"
        "record L1xxxxxxxthree\\n\n"
        "wait-stop\n");
    UseTextLog();
    frame->Rows().WriteBool(settings::kLogDaily, true);
    // Each reading of the clock is a second later: the text log opens at 23:59:58, and the records
    // come at 23:59:59, 00:00:00 and 00:00:01.
    auto readings = std::make_shared<std::atomic<int>>(0);
    constexpr std::int64_t k235958 = 1796687998000;  // 2026-12-07 23:59:58 UTC
    frame->Run().SetClock([readings] { return k235958 + 1000LL * readings->fetch_add(1); });
    guitest::MessageBoxWatcher boxes;
    Command(ID_DECODER_START);
    ASSERT_TRUE(guitest::PumpUntil([&] { return Contains(LogText(), L"three\n"); }, 15000)) << LogText();
    Command(ID_DECODER_STOP);
    EXPECT_EQ(LogFiles(logDir), (std::vector<std::wstring>{L"20261207_235958.log", L"20261208_000000.log"}));
    EXPECT_EQ(TextLogContents(logDir + L"\\20261207_235958.log"), "one\n");
    EXPECT_EQ(TextLogContents(logDir + L"\\20261208_000000.log"), "two\nthree\n");
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(UnattendedTest, WithoutTheDailyRowOneFileTakesTheRunAcrossMidnight) {
    InstallDecoder(
        "wait-client\n"
        "record L1xxxxxxxone\\n\n"
        "record L1xxxxxxxtwo\\n\n"
        "wait-stop\n");
    UseTextLog();
    auto readings = std::make_shared<std::atomic<int>>(0);
    frame->Run().SetClock([readings] { return 1796687998000LL + 1000LL * readings->fetch_add(1); });
    Command(ID_DECODER_START);
    ASSERT_TRUE(guitest::PumpUntil([&] { return Contains(LogText(), L"two\n"); }, 15000)) << LogText();
    Command(ID_DECODER_STOP);
    EXPECT_EQ(LogFiles(logDir), (std::vector<std::wstring>{L"20261207_235958.log"}));
    EXPECT_EQ(TextLogContents(logDir + L"\\20261207_235958.log"), "one\ntwo\n");
}

// The log's bound, with records appended as the window appends them.
class LogBoundTest : public UnattendedTest {
protected:
    void AppendLines(int from, int to) {
        for (int i = from; i < to; ++i) {
            wchar_t line[32];
            std::swprintf(line, 32, L"line %04d\n", i);
            guitest::LogViewOf(frame->hwnd()).Append(line, RGB(100, 100, 200));
        }
    }
    std::wstring LineAt(LONG line) const {
        HWND log = guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG);
        const LONG start = static_cast<LONG>(::SendMessageW(log, EM_LINEINDEX, line, 0));
        const std::wstring text = LogText();
        return text.substr(static_cast<std::size_t>(start), text.find(L'\n', static_cast<std::size_t>(start)) - start);
    }
    std::wstring SelectedText() const {
        wchar_t buffer[256] = {};
        ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(buffer));
        return buffer;
    }
};

TEST_F(LogBoundTest, PastTheBoundWholeLinesLeaveTheTopAndTheLogFollowsTheNewest) {
    ::SendMessageW(frame->hwnd(), WM_COMMAND, ID_PANE_DECODER_LOG, 0);
    guitest::LogViewOf(frame->hwnd()).text().SetLineLimit(100);
    AppendLines(0, 300);
    const std::wstring text = LogText();
    const std::size_t lines = guitest::LogViewOf(frame->hwnd()).text().Lines();
    EXPECT_GE(lines, 100u);
    EXPECT_EQ(lines, 100u);
    EXPECT_EQ(CountOf(text, L"\n"), lines);
    wchar_t first[32];
    std::swprintf(first, 32, L"line %04d\n", static_cast<int>(300 - lines));
    EXPECT_EQ(text.find(first), 0u) << text.substr(0, 40);  // whole lines, the oldest gone
    EXPECT_TRUE(text.ends_with(L"line 0299\n"));
    EXPECT_EQ(static_cast<std::size_t>(static_cast<LONG>(guitest::LogViewOf(frame->hwnd()).text().Length())), text.size());
    CHARRANGE caret{};
    ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&caret));
    EXPECT_EQ(caret.cpMin, static_cast<LONG>(guitest::LogViewOf(frame->hwnd()).text().Length()));
    EXPECT_EQ(caret.cpMax, static_cast<LONG>(guitest::LogViewOf(frame->hwnd()).text().Length()));
    EXPECT_GT(::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), EM_GETFIRSTVISIBLELINE, 0, 0), 0);  // scrolled down

    // The bound off: nothing leaves.
    guitest::LogViewOf(frame->hwnd()).text().SetLineLimit(0);
    AppendLines(300, 400);
    EXPECT_EQ(guitest::LogViewOf(frame->hwnd()).text().Lines(), lines + 100);
}

TEST_F(LogBoundTest, AUsersSelectionAndViewStayOnTheSameTextWhileLinesLeaveTheTop) {
    ::SendMessageW(frame->hwnd(), WM_COMMAND, ID_PANE_DECODER_LOG, 0);
    guitest::LogViewOf(frame->hwnd()).text().SetLineLimit(100);
    AppendLines(0, 130);
    // Select "line 0100" and scroll so that line 0090 is the first one shown.
    const std::wstring text = LogText();
    const LONG at = static_cast<LONG>(text.find(L"line 0100"));
    CHARRANGE selection{at, at + 9};
    ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    const LONG topLine = static_cast<LONG>(::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), EM_LINEFROMCHAR,
                                                          text.find(L"line 0090"), 0));
    const LONG shown = static_cast<LONG>(::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), EM_GETFIRSTVISIBLELINE, 0, 0));
    ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), EM_LINESCROLL, 0, topLine - shown);
    guitest::Pump();
    const std::wstring shownFirst =
        LineAt(static_cast<LONG>(::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), EM_GETFIRSTVISIBLELINE, 0, 0)));
    ASSERT_GE(shownFirst, L"line 0080");
    ASSERT_LE(shownFirst, L"line 0095");
    const std::size_t linesBefore = guitest::LogViewOf(frame->hwnd()).text().Lines();
    POINTL selectedAt{};
    ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&selectedAt), at);

    AppendLines(130, 170);  // lines 0000 to 0069 leave
    EXPECT_EQ(LogText().find(L"line 0070\n"), 0u);  // whole lines did leave
    EXPECT_LT(guitest::LogViewOf(frame->hwnd()).text().Lines(), linesBefore + 40);
    EXPECT_EQ(SelectedText(), L"line 0100");
    // To the pixel: the selected text stands where it stood.
    POINTL selectedNow{};
    ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&selectedNow),
                   static_cast<LPARAM>(LogText().find(L"line 0100")));
    EXPECT_EQ(selectedNow.y, selectedAt.y);
    EXPECT_EQ(LineAt(static_cast<LONG>(::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG), EM_GETFIRSTVISIBLELINE, 0, 0))),
              shownFirst);
    EXPECT_TRUE(LogText().ends_with(L"line 0169\n"));
}

}  // namespace
