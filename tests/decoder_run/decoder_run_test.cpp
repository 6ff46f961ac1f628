// Decoder runs through an in-process main window and the stand-in decoder: start and stop with the
// window's state texts, the records in the fields, the log, the text log, the store and the messages
// pane, refused starts, a decoder that ignores the stop, a flood, and the waits that must not hold
// the window up. (The messages pane filling live is shown by the alert run.)
#include <windows.h>

#include <atomic>
#include <iterator>
#include <chrono>
#include <thread>

#include "messages/sqlite_db.h"
#include "resource.h"
#include "store_support/query_rows.h"
#include "win/run_fixture.h"

namespace {

using DecoderRunTest = RunTest;
using Rows = std::vector<std::string>;

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(DecoderRunTest, StartShowsTheRunningStateAndTheStopByTheEventReturnsToIdle) {
    InstallDecoder("wait-stop\n");
    guitest::MessageBoxWatcher boxes;
    Command(ID_DECODER_START);
    ASSERT_TRUE(frame->Run().Running());
    EXPECT_EQ(Status(), L"Waiting for first frame...");
    // Start, Stop, the settings and the spectrum: which the user can use.
    auto usable = [&] {
        return std::vector<bool>{!Disabled(ID_DECODER_START), !Disabled(ID_DECODER_STOP), ::IsWindowEnabled(Child(IDC_SETTINGS_GRID)) != 0,
                                 ::IsWindowEnabled(Child(IDC_SPECTRUM)) != 0};
    };
    EXPECT_EQ(usable(), (std::vector<bool>{false, true, false, false}));
    EXPECT_TRUE(guitest::PumpUntil([&] { return LogText() == L"Decoder started\n"; }));

    // The settings reach the decoder's command line (the console shown: hiding it costs two seconds here).
    const std::wstring name = frame->Run().InstanceName();
    EXPECT_TRUE(guitest::PumpUntil([&] { return win::Wide(guitest::ReadFileBytes(work + L"\\args.txt")).ends_with(L"\n-p" + name + L"\n"); }));

    // While running, a second start changes nothing and loading a configuration is refused.
    Command(ID_DECODER_START);
    EXPECT_EQ(frame->Run().InstanceName(), name);
    Command(ID_FILE_LOAD);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, L"Vastrel GUI");
    EXPECT_EQ(boxes.boxes()[0].text, L"You must stop decoder before loading configuration.");
    EXPECT_TRUE(frame->Run().Running());

    const auto before = std::chrono::steady_clock::now();
    Command(ID_DECODER_STOP);
    EXPECT_LT(SecondsSince(before), 4.0);  // ended by the event, not by the 5 s termination
    EXPECT_FALSE(frame->Run().Running());
    EXPECT_EQ(LogText(), L"Decoder started\nDecoder terminated\n");
    EXPECT_EQ(LogColourAt(16), RGB(200, 0, 0));
    EXPECT_EQ(Status(), L"Idle");
    EXPECT_EQ(Field(IDC_LES_FIELD), L"---");
    EXPECT_EQ(Field(IDC_FRAME_FIELD), L"----");
    EXPECT_EQ(usable(), (std::vector<bool>{true, false, true, true}));
}

// One run: a split header, warnings, a note the log hides; the first hand-over message is lost; the
// user's selection stays while the last record comes; closing the window stops the run with
// everything in the text log and the store.
TEST_F(DecoderRunTest, RecordsReachTheFieldsTheLogTheTextLogAndTheStore) {
    InstallDecoder(
        "wait-client\n"
        "record L00000000frame type\\n\n"
        "raw L21210042freq\n"
        "raw uency: 1200.0\\n\\0\n"
        "record L5xxxxxxxSECURITE\\nNAVAREA I 214/26\\nNORTH SEA. DATA BUOY ADRIFT.\\nNNNN\\n\n"
        "record L4xxxxxxxdemodulator note\\n\n"
        "record L5xxxxxxxSECURITE\\nNAVAREA I 221/26\\nNORTH SEA. HAZARDOUS OPERATIONS.\\nCANCEL NAVAREA I 214/26.\\nNNNN\\n\n"
        "record L1xxxxxxxfirst line\\n\n"
        "sleep 1500\n"
        "record L1xxxxxxxsecond line\\n\n"
        "wait-stop\n");
    UseTextLog();
    for (int k = 0; k < 6; ++k) frame->Run().Filter().Set(k, k < 4);
    guitest::MessageBoxWatcher boxes;
    Command(ID_DECODER_START);
    // The reader asks for a drain only when the queue stops being empty: a hand-over message taken by
    // someone else must not leave the log behind for the rest of the run.
    const UINT drain = decoder::HandOverWindow::kDrainMessage;
    MSG msg;
    bool taken = false;
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5); !taken && std::chrono::steady_clock::now() < end;)
        if (!(taken = ::PeekMessageW(&msg, nullptr, drain, drain, PM_REMOVE) != 0))
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_POSTMESSAGE);
    ASSERT_TRUE(taken);
    const std::wstring shown = L"Decoder started\nframe type\nfrequency: 1200.0\nfirst line\n";
    ASSERT_TRUE(guitest::PumpUntil([&] { return LogText() == shown; }, 10000)) << win::Utf8(LogText());
    EXPECT_EQ(Field(IDC_LES_FIELD), L"121");
    EXPECT_EQ(Field(IDC_FRAME_FIELD), L"0042");
    EXPECT_EQ(Status(), L"Decoding...");
    EXPECT_EQ(frame->Rows().ReadText(settings::kCenterFrequency), L"1215 Hz");
    EXPECT_EQ(LogColourAt(27), RGB(0, 0, 200));  // the header's line
    CHARRANGE chosen{2, 7};
    ::SendMessageW(Child(IDC_DECODER_LOG), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&chosen));
    ASSERT_TRUE(WaitForLog(L"second line\n")) << "the script's pause was too short for this machine";
    CHARRANGE now{};
    ::SendMessageW(Child(IDC_DECODER_LOG), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&now));
    EXPECT_EQ(now.cpMin, 2);
    EXPECT_EQ(now.cpMax, 7);

    ::SendMessageW(frame->hwnd(), WM_CLOSE, 0, 0);
    const std::string text = guitest::ReadFileBytes(logDir + L"\\" + guitest::LogFiles(logDir).at(0));
    EXPECT_EQ(text.rfind("frame type\r\nfrequency: 1200.0\r\nSECURITE\r\nNAVAREA I 214/26\r\n", 0), 0u) << text;
    EXPECT_TRUE(text.ends_with("NNNN\r\nfirst line\r\nsecond line\r\n"));
    EXPECT_NE(text.find("demodulator note\r\n"), std::string::npos);

    auto db = messages::Database::Open(win::Utf8(work) + "\\vastrel-messages.db");
    EXPECT_EQ(store_support::QueryRows(db, "SELECT category, les, frame, substr(text, 1, 16) FROM records WHERE id > 1 ORDER BY id"),
              (Rows{"2|121|42|frequency: 1200.", "5|121|42|SECURITE\nNAVAREA",
                    "4|121|42|demodulator note", "5|121|42|SECURITE\nNAVAREA",
                    "1|121|42|first line\n", "1|121|42|second line\n"}));
    EXPECT_EQ(store_support::QueryRows(db, "SELECT priority, copies FROM messages ORDER BY id"),
              (Rows{"safety|1", "safety|1"}));
    // A later warning cancels the first.
    EXPECT_EQ(store_support::QueryRows(db, "SELECT number, year, kind, state FROM warnings WHERE number IS NOT NULL ORDER BY number"),
              (Rows{"214|2026|nav|cancelled", "221|2026|nav|inforce"}));
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(DecoderRunTest, RefusedStartsAndFailedDecodersSayWhyAndLeaveTheRunStopped) {
    const std::wstring missing = work + L"\\no\\such\\dir";
    const struct {
        bool textLog;
        std::wstring textLogDir, fileLogDir;
        const char* script;  // installed as vastrel.exe when set
        std::wstring box;    // the box's text begins so
        const wchar_t* status;
    } rows[] = {
        {true, L"", L"", nullptr, L"Decoder output directory must be set if you want to enable decoder logging", L"Idle"},
        {true, missing, L"", nullptr, L"Can't create decoder output log file: " + missing + L"\\", L"Idle"},
        {false, L"", L"C:\\a\"b", nullptr, L"", L"Idle"},
        {false, L"", L"", nullptr, L"CreateProcess failed. Make sure vastrel.exe is in current directory.\n", L"Error!"},
        {false, L"", L"", "nopipe\nexit 3\n",
         L"Decoder terminated with error 3.\nTry running decoder first without GUI with same parameters.\n"
         L"EXE commandline: vastrel.exe -f", L"Error!"},
    };
    guitest::MessageBoxWatcher boxes;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        frame->Rows().WriteBool(settings::kDecoderTextLog, rows[i].textLog);
        frame->Rows().WriteText(settings::kDecoderLogDir, rows[i].textLogDir);
        frame->Rows().WriteText(settings::kFileLogDir, rows[i].fileLogDir);
        if (rows[i].script) InstallDecoder(rows[i].script);
        Command(ID_DECODER_START);
        ASSERT_TRUE(guitest::PumpUntil([&] { return boxes.count() == i + 1; }));
        EXPECT_EQ(boxes.boxes()[i].text.rfind(rows[i].box, 0), 0u) << win::Utf8(boxes.boxes()[i].text);
        EXPECT_EQ(Status(), rows[i].status);
        EXPECT_FALSE(frame->Run().Running());
        EXPECT_FALSE(Disabled(ID_DECODER_START));
    }
    EXPECT_EQ(boxes.boxes()[0].caption, L"");
    EXPECT_NE(boxes.boxes()[2].text.find(L"File logging Directory"), std::wstring::npos);  // the setting is named
}

TEST_F(DecoderRunTest, DecoderIgnoringEveryRequestIsTerminated) {
    InstallDecoder("noevent\nignore-stop\nwait-stop\n");
    Command(ID_DECODER_START);
    ASSERT_TRUE(frame->Run().Running());
    HANDLE process = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), frame->Run().Process(), ::GetCurrentProcess(), &process,
                      SYNCHRONIZE, FALSE, 0);
    win::UniqueHandle processCopy(process);
    const auto before = std::chrono::steady_clock::now();
    Command(ID_DECODER_STOP);
    // Where a thread can be started in the decoder, its console gets the close request and the full
    // 5 s; otherwise it is terminated at once.
    EXPECT_LT(SecondsSince(before), 9.0);
    EXPECT_FALSE(frame->Run().Running());
    EXPECT_EQ(::WaitForSingleObject(processCopy.get(), 2000), WAIT_OBJECT_0);  // no decoder left behind
    EXPECT_EQ(Status(), L"Idle");
    EXPECT_TRUE(guitest::PumpUntil([&] { return LogText().ends_with(L"Decoder terminated\n"); }));
}

// Blocks the reader in its first record until `open` is set.
struct GateSink : decoder::IRecordSink {
    win::UniqueHandle open{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<int> records{0};
    std::atomic<bool> ended{false};
    void OnRecord(const decoder::Record&) override {
        ++records;
        ::WaitForSingleObject(open.get(), INFINITE);
    }
    void OnRunEnded() override { ended = true; }
};

// A reader that does not end within the stop's bound is left to end by itself; it may outlive the
// window, and then still reads a filter and sinks of its own.
TEST_F(DecoderRunTest, ReaderThatOutlivesTheWindowEndsByItself) {
    InstallDecoder("wait-client\nrecord L1xxxxxxxfirst\\n\nrecord L1xxxxxxxsecond\\n\nwait-stop\n");
    auto gate = std::make_shared<GateSink>();
    frame->Run().AddRecordSink(gate);
    Command(ID_DECODER_START);
    ASSERT_TRUE(guitest::PumpUntil([&] { return gate->records > 0; }, 10000));
    Command(ID_DECODER_STOP);  // gives up on the reader after its bound
    EXPECT_FALSE(frame->Run().Running());
    EXPECT_TRUE(LogText().ends_with(L"Decoder terminated\n"));
    EXPECT_FALSE(gate->ended);
    ::SendMessageW(frame->hwnd(), WM_CLOSE, 0, 0);
    guitest::Pump();
    frame.reset();
    ::SetEvent(gate->open.get());
    EXPECT_TRUE(guitest::PumpUntil([&] { return gate->ended.load(); }, 10000));
    EXPECT_GE(gate->records.load(), 1);
}

// A long flood stopped midway: every record the front end took reaches the text log in order and the
// log shows them but category 4, before "Decoder terminated". The next start's decoder sends a burst
// at once: clearing the long log must not hold the new run up.
TEST_F(DecoderRunTest, AFloodStoppedMidwayKeepsEveryRecordAndTheNextStartShowsItsBurstAtOnce) {
    InstallDecoder("wait-client\nflood 20000 80\nwait-stop\n");
    UseTextLog();
    CLogView& view = guitest::LogViewOf(frame->hwnd());
    view.text().SetLineLimit(0);  // all lines kept: the long run's log really is long
    Command(ID_DECODER_START);
    ASSERT_TRUE(guitest::PumpUntil([&] { return view.text().Length() > 10000 * 80; }, 60000));
    Command(ID_DECODER_STOP);
    const std::wstring log = LogText();
    EXPECT_TRUE(log.starts_with(L"Decoder started\n") && log.ends_with(L"\nDecoder terminated\n")) << win::Utf8(log.substr(0, 80));
    const std::vector<long> written = guitest::FloodNumbers(win::Wide(TextLog()));
    ASSERT_GT(written.size(), 10000u);
    EXPECT_EQ(written, guitest::Numbers(0, static_cast<long>(written.size())));
    EXPECT_EQ(guitest::FloodNumbers(log), guitest::Numbers(0, static_cast<long>(written.size()), true));

    RewriteScript("wait-client\nflood 3000 80\nwait-stop\n");
    const auto start = std::chrono::steady_clock::now();
    Command(ID_DECODER_START);
    ASSERT_TRUE(guitest::PumpUntil([&] { return view.text().Range(std::max<std::int64_t>(0, view.text().Length() - 100), view.text().Length(), L"\n").find(L"#2999 ") != std::wstring::npos; }, 10000));
    EXPECT_LT(SecondsSince(start), 10.0);
    EXPECT_EQ(LogText().rfind(L"Decoder started\n#0 ", 0), 0u);  // the new run's log began empty
    EXPECT_EQ(Field(IDC_LES_FIELD), L"121");
    Command(ID_DECODER_STOP);
}

// The one slow case: a decoder that never opens its pipe is given up after 25 attempts. Through the
// first 12 s the window answers what other threads send it, and a close sent meanwhile waits until
// the start is over; a message box then says why.
TEST_F(DecoderRunTest, PipeThatNeverAppearsIsGivenUpAndTheDecoderStopped) {
    InstallDecoder("nopipe\nwait-stop\n");
    guitest::MessageBoxWatcher boxes;
    std::atomic<int> answered{0}, unanswered{0};
    std::atomic<bool> closeSent{false};
    HWND window = frame->hwnd();
    std::thread prober([&] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(12);
        while (std::chrono::steady_clock::now() < end) {
            DWORD_PTR result = 0;
            ++(::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 500, &result) ? answered : unanswered);
            if (answered == 5 && !closeSent.exchange(true)) ::SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_NORMAL, 500, &result);
            ::Sleep(100);
        }
    });
    Command(ID_DECODER_START);
    prober.join();
    EXPECT_GE(answered.load(), 50);
    EXPECT_EQ(unanswered.load(), 0);
    ASSERT_TRUE(closeSent);
    ASSERT_TRUE(::IsWindow(window));  // the close was kept for later

    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_NE(boxes.boxes()[0].text.find(L"pipe"), std::wstring::npos);
    EXPECT_FALSE(frame->Run().Running());
    EXPECT_EQ(Status(), L"Error!");
    EXPECT_TRUE(LogText().ends_with(L"Decoder terminated\n"));
    EXPECT_FALSE(Disabled(ID_DECODER_START));
    EXPECT_EQ(frame->Run().Process(), nullptr);
    // Once the start is over the kept close goes through the normal close path.
    EXPECT_TRUE(guitest::PumpUntil([&] { return !::IsWindow(window); }, 10000));
}

}  // namespace
