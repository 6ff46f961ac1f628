// Decoder runs through an in-process main window and the stand-in decoder: start and stop with the
// window's state texts, the records in the fields, the log, the text log, the store and the messages
// pane, refused starts, a decoder that ignores the stop, a flood, and the waits that must not hold
// the window up.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <iterator>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <sstream>
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
    frame->Rows().WriteBool(settings::kHideDecoderWindow, true);  // as by default
    guitest::MessageBoxWatcher boxes;
    Command(ID_DECODER_START);
    ASSERT_TRUE(frame->Run().Running());
    EXPECT_EQ(Status(), L"Waiting for first frame...");
    EXPECT_TRUE(Disabled(ID_DECODER_START));
    EXPECT_FALSE(Disabled(ID_DECODER_STOP));
    EXPECT_FALSE(::IsWindowEnabled(Child(IDC_SETTINGS_GRID)));
    EXPECT_FALSE(::IsWindowEnabled(Child(IDC_SPECTRUM)));
    EXPECT_TRUE(guitest::PumpUntil([&] { return LogText() == L"Decoder started\n"; }));

    // The default settings: update check on, hide on, no logging, Mono.
    const std::wstring name = frame->Run().InstanceName();
    const wchar_t* device = frame->CaptureDevices().Count() > 0 ? frame->CaptureDevices().Name(0) : L"";
    std::wstring args;
    ASSERT_TRUE(guitest::PumpUntil([&] { return !(args = win::Wide(guitest::ReadFileBytes(work + L"\\args.txt"))).empty(); }));
    std::vector<std::wstring> got;
    std::wstringstream lines(args);
    for (std::wstring line; std::getline(lines, line);) got.push_back(line);
    ASSERT_EQ(got.size(), 5u) << win::Utf8(args);
    wchar_t centre[32];
    std::swprintf(centre, 32, L"-f%.0f", frame->Spectrum().centerFrequency);
    EXPECT_EQ(got[1], centre);
    EXPECT_EQ(got[2], std::wstring(L"-c") + device);
    EXPECT_EQ(got[3], L"-h");
    EXPECT_EQ(got[4], L"-p" + name);

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
    EXPECT_FALSE(Disabled(ID_DECODER_START));
    EXPECT_TRUE(Disabled(ID_DECODER_STOP));
    EXPECT_TRUE(::IsWindowEnabled(Child(IDC_SETTINGS_GRID)));
    EXPECT_TRUE(::IsWindowEnabled(Child(IDC_SPECTRUM)));

    // A new start clears the log and makes a new name.
    frame->Rows().WriteBool(settings::kHideDecoderWindow, false);
    Command(ID_DECODER_START);
    EXPECT_NE(frame->Run().InstanceName(), name);
    EXPECT_TRUE(guitest::PumpUntil([&] { return LogText() == L"Decoder started\n"; }));
    Command(ID_DECODER_STOP);
    EXPECT_EQ(boxes.count(), 1u);
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
        "record L5xxxxxxxSECURITE\\nNAVAREA I 214/26\\nNORTH SEA. DATA BUOY ADRIFT IN 55-48N 003-12E.\\nNNNN\\n\n"
        "record L4xxxxxxxdemodulator note\\n\n"
        "record L5xxxxxxxSECURITE\\nNAVAREA I 221/26\\nNORTH SEA.\\nHAZARDOUS OPERATIONS IN AREA BOUNDED BY:\\n"
        "54-10.0N 007-20.0E, 54-15.0N 007-40.0E, 54-05.0N 007-45.0E.\\nCANCEL NAVAREA I 214/26.\\nNNNN\\n\n"
        "record L5xxxxxxxSECURITE\\nNAVAREA I WARNINGS IN FORCE AT 081000 UTC DEC 26:\\n2026 SERIES: 205, 221.\\nNNNN\\n\n"
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
                    "4|121|42|demodulator note", "5|121|42|SECURITE\nNAVAREA", "5|121|42|SECURITE\nNAVAREA",
                    "1|121|42|first line\n", "1|121|42|second line\n"}));
    EXPECT_EQ(store_support::QueryRows(db, "SELECT priority, copies FROM messages ORDER BY id"),
              (Rows{"safety|1", "safety|1", "safety|1"}));
    // A later warning with an area cancels the first; the in-force list names one never heard.
    EXPECT_EQ(store_support::QueryRows(db, "SELECT number, year, kind, state FROM warnings WHERE number IS NOT NULL ORDER BY number"),
              (Rows{"214|2026|nav|cancelled", "221|2026|nav|inforce"}));
    EXPECT_EQ(store_support::QueryRows(db, "SELECT c.number FROM warnings w JOIN warnings c ON c.id = w.cancelled_by"), Rows{"221"});
    EXPECT_EQ(store_support::QueryRows(db, "SELECT p.kind, p.lat, p.lon FROM positions p JOIN warnings w USING (id) "
                                           "ORDER BY w.number, p.shape, p.seq"),
              (Rows{"point|55.8|3.2", "area|54.166667|7.333333", "area|54.25|7.666667", "area|54.083333|7.75"}));
    EXPECT_EQ(store_support::QueryRows(db, "SELECT series || ' ' || number || '/' || year FROM missing_warnings"),
              Rows{"NAVAREA I 205/2026"});
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(DecoderRunTest, RefusedStartsAndFailedDecodersSayWhyAndLeaveTheRunStopped) {
    const std::wstring missing = work + L"\\no\\such\\dir";
    const struct {
        std::function<void()> prepare;
        std::wstring box;  // the box's text begins so
        const wchar_t* status;
    } rows[] = {
        {[&] {
             frame->Rows().WriteBool(settings::kDecoderTextLog, true);
             frame->Rows().WriteText(settings::kDecoderLogDir, L"");
         },
         L"Decoder output directory must be set if you want to enable decoder logging", L"Idle"},
        {[&] { frame->Rows().WriteText(settings::kDecoderLogDir, missing); },
         L"Can't create decoder output log file: " + missing + L"\\", L"Idle"},
        {[&] {
             frame->Rows().WriteBool(settings::kDecoderTextLog, false);
             frame->Rows().WriteText(settings::kFileLogDir, L"C:\\a\"b");
         },
         L"", L"Idle"},
        {[&] { frame->Rows().WriteText(settings::kFileLogDir, L""); },
         L"CreateProcess failed. Make sure vastrel.exe is in current directory.\n", L"Error!"},
        {[&] { InstallDecoder("nopipe\nexit 3\n"); },
         L"Decoder terminated with error 3.\nTry running decoder first without GUI with same parameters.\n"
         L"EXE commandline: vastrel.exe -f",
         L"Error!"},
    };
    guitest::MessageBoxWatcher boxes;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        rows[i].prepare();
        Command(ID_DECODER_START);
        ASSERT_TRUE(guitest::PumpUntil([&] { return boxes.count() == i + 1; }));
        const std::wstring text = boxes.boxes()[i].text;
        EXPECT_EQ(text.rfind(rows[i].box, 0), 0u) << win::Utf8(text);
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
                      SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, 0);
    win::UniqueHandle processCopy(process);
    const auto before = std::chrono::steady_clock::now();
    Command(ID_DECODER_STOP);
    // Where a thread can be started in the decoder, its console gets the close request and the full
    // 5 s; otherwise it is terminated at once.
    EXPECT_LT(SecondsSince(before), 9.0);
    EXPECT_FALSE(frame->Run().Running());
    ASSERT_EQ(::WaitForSingleObject(processCopy.get(), 2000), WAIT_OBJECT_0);
    DWORD code = 1;
    ::GetExitCodeProcess(processCopy.get(), &code);
    EXPECT_EQ(code, 0u);  // terminated with 0; the stand-in itself never ends here
    EXPECT_EQ(Status(), L"Idle");
    EXPECT_TRUE(guitest::PumpUntil([&] { return LogText().ends_with(L"Decoder terminated\n"); }));
}

// Blocks the reader in its first record until opened.
struct GateSink : decoder::IRecordSink {
    std::mutex lock;
    std::condition_variable opened;
    bool open = false;
    std::atomic<int> records{0};
    std::atomic<bool> ended{false};
    void OnRecord(const decoder::Record&) override {
        ++records;
        std::unique_lock<std::mutex> guard(lock);
        opened.wait(guard, [&] { return open; });
    }
    void OnRunEnded() override { ended = true; }
    void Open() {
        std::lock_guard<std::mutex> guard(lock);
        open = true;
        opened.notify_all();
    }
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
    gate->Open();
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
    EXPECT_EQ(log.rfind(L"Decoder started\n", 0), 0u);
    EXPECT_TRUE(log.ends_with(L"\nDecoder terminated\n"));
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
// the start is over. (The message box at the end is left out: without a window manager Wine blocks
// for a while when it shows or hides a top-level window.)
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
    EXPECT_EQ(Field(IDC_LES_FIELD), L"---");
    EXPECT_TRUE(LogText().ends_with(L"Decoder terminated\n"));
    EXPECT_FALSE(Disabled(ID_DECODER_START));
    EXPECT_EQ(frame->Run().Process(), nullptr);
    // Once the start is over the kept close goes through the normal close path.
    EXPECT_TRUE(guitest::PumpUntil([&] { return !::IsWindow(window); }, 10000));
}

std::wstring Cell(HWND list, int item, int column) {
    wchar_t text[256] = {};
    LVITEMW lv{};
    lv.iSubItem = column;
    lv.pszText = text;
    lv.cchTextMax = 256;
    ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv));
    return text;
}

// The messages pane fills live: a repeat raises its copies, and the user's selection stays.
TEST_F(DecoderRunTest, MessagesOfARunAppearLiveAndTheSelectionStays) {
    InstallDecoder(
        "wait-client\n"
        "record L21210042frequency: 1200.0\\n\n"
        "record L5xxxxxxxSECURITE\\nGALE WARNING AREA 3\\n\n"
        "record L5xxxxxxxMAYDAY RELAY\\nPERSON IN WATER\\n\n"
        "sleep 2500\n"
        "record L5xxxxxxxPAN PAN\\nENGINE FAILURE\\n\n"
        "record L5xxxxxxxSECURITE\\nGALE WARNING AREA 3\\n\n"
        "wait-stop\n");
    Show();  // the unread count follows a shown pane
    Command(ID_PANE_MESSAGES);
    Command(ID_DECODER_START);
    ASSERT_TRUE(guitest::PumpUntil([&] { return Count() == 2; }, 10000)) << Count();
    EXPECT_EQ(Cell(List(), 0, 6), L"MAYDAY RELAY");
    EXPECT_EQ(Cell(List(), 0, 1), L"121");
    EXPECT_EQ(Cell(List(), 0, 3), L"distress");
    EXPECT_EQ(Cell(List(), 1, 6), L"SECURITE");
    // The pane's button counts what the user has not read, with room for three digits in its font.
    EXPECT_TRUE(guitest::PumpUntil([&] { return Field(IDC_MESSAGES_BUTTON) == L"Messages (2 new)"; }, 5000));
    {
        HWND b = Child(IDC_MESSAGES_BUTTON);
        HDC dc = ::GetDC(b);
        HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(b, WM_GETFONT, 0, 0)));
        SIZE text{};
        ::GetTextExtentPoint32W(dc, L"Messages (999 new)", 18, &text);
        ::SelectObject(dc, old);
        ::ReleaseDC(b, dc);
        RECT client{};
        ::GetClientRect(b, &client);
        EXPECT_LE(text.cx + 8, client.right);
    }
    // The user picks the older message (and so reads it) before the next ones come.
    LVITEMW state{};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(List(), LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
    guitest::Pump();
    ASSERT_EQ(Count(), 2) << "the script's pause was too short for this machine";
    EXPECT_TRUE(guitest::PumpUntil([&] { return Field(IDC_MESSAGES_BUTTON) == L"Messages (1 new)"; }, 5000));
    const std::wstring shown = guitest::WindowText(guitest::MessagesPaneOf(frame->hwnd()).textView());
    EXPECT_EQ(shown.rfind(L"met\r", 0), 0u) << win::Utf8(shown);  // what the store read in it, then its text
    EXPECT_NE(shown.find(L"SECURITE"), std::wstring::npos);

    ASSERT_TRUE(guitest::PumpUntil([&] { return Count() == 3 && Cell(List(), 2, 4) == L"2"; }, 10000)) << Count();
    EXPECT_EQ(Cell(List(), 0, 6), L"PAN PAN");
    EXPECT_EQ(Cell(List(), 2, 6), L"SECURITE");
    EXPECT_EQ(::SendMessageW(List(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 2);
    EXPECT_EQ(guitest::WindowText(guitest::MessagesPaneOf(frame->hwnd()).textView()), shown);
    // PAN PAN is new; SECURITE's second copy is the same message, read already.
    EXPECT_TRUE(guitest::PumpUntil([&] { return Field(IDC_MESSAGES_BUTTON) == L"Messages (2 new)"; }, 5000));
    Command(ID_DECODER_STOP);
}

}  // namespace
