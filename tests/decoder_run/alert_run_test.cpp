// Alerts and reception through the real main window and runs of the stand-in decoder, with the clocks
// in the test's hands: a distress message and its copy raise an alert (the probe program,
// bin/alert-probe.exe, run on it writes what it read on its standard input); the reception ledger counts
// a run's frames, and the silence watch says and alerts when they stop.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "messages/message_store.h"
#include "reception/reception_pane_win.h"
#include "resource.h"
#include "store_support/query_rows.h"
#include "win/dpi.h"
#include "win/run_fixture.h"

namespace {

class AlertRunTest : public RunTest {
protected:
    void SetUp() override {
        RunTest::SetUp();
        frame->SetAlertClock([this] { return steadyMs.load(); });
    }
    // "alert-probe.exe" "<work>\<file>" <arguments>: the probe writes what it reads into the file.
    std::wstring Probe(const std::wstring& file, const std::wstring& arguments = L"") const {
        return L"\"" + guitest::ProgramFolder() + L"alert-probe.exe\" \"" + work + L"\\" + file + L"\"" +
               (arguments.empty() ? L"" : L" " + arguments);
    }
    bool Exists(const std::wstring& file) const { return std::filesystem::exists(std::filesystem::path(work + L"\\" + file)); }
    std::string Read(const std::wstring& file) const { return guitest::ReadFileBytes(work + L"\\" + file); }

    std::atomic<std::int64_t> steadyMs{1'000'000};
};

constexpr std::int64_t kDay = 1'796'601'600'000;  // 2026-12-07T00:00:00Z
constexpr std::int64_t H(int hours, int minutes = 0) { return kDay + hours * 3'600'000LL + minutes * 60'000LL; }

// "record" lines of bulletin-board headers from LES 121 for frames first..last, all but `skip`.
std::string Headers(int first, int last, int skipFrom = -1, int skipTo = -1) {
    std::string out;
    char line[96];
    for (int n = first; n <= last; ++n)
        if (n < skipFrom || n > skipTo) out.append(line, std::snprintf(line, sizeof line, "record L2121%04dLES 121 frame %04d\\n\n", n, n));
    return out;
}

class ReceptionRunTest : public RunTest {
protected:
    void SetUp() override {
        RunTest::SetUp();
        frame->Run().SetClock([this] { return utcNow.load(); });
        frame->Run().SetLedgerClock([this] { return utcNow.load(); });
        frame->Run().SetSteadyClock([this] { return steadyNow.load(); });
        frame->Rows().WriteText(settings::kStoreFile, work + L"\\ledger.db");
    }
    std::vector<std::string> View() const {
        auto store = messages::MessageStore::Open(win::Utf8(work + L"\\ledger.db"));
        return store_support::QueryRows(store->database(), "SELECT * FROM reception ORDER BY hour_utc, les");
    }

    std::atomic<std::int64_t> utcNow{H(10)};
    std::atomic<std::int64_t> steadyNow{1'000'000};
};

}  // namespace

TEST_F(AlertRunTest, AMatchingMessageRaisesOneOfEachTheNotificationLeadsToItAFailingProgramIsSaidAndTheTrayHidesTheWindow) {
    InstallDecoder(
        "wait-client\n"
        "record L21210042frequency: 1200.0\\n\n"
        "record L5xxxxxxxMAYDAY RELAY\\nPERSON IN WATER\\n\n"
        "record L5xxxxxxxWEATHER\\nFAIR\\n\n"
        "record L5xxxxxxxMAYDAY RELAY\\nPERSON IN WATER\\n\n"
        "wait-stop\n");
    Show();
    frame->Run().SetClock([] { return std::int64_t{1796644800123}; });  // 2026-12-07T12:00:00.123Z
    frame->Rows().WriteText(settings::kAlertProgram, Probe(L"got.json"));
    frame->Rows().WriteText(settings::kFeedStation, L"North Sea");
    Command(ID_DECODER_START);
    CMsgFrame& pane = guitest::MessagesPaneOf(frame->hwnd());
    Command(ID_PANE_MESSAGES);
    // Both messages stored, the distress one heard twice.
    ASSERT_TRUE(guitest::PumpUntil([&] { return Count() == 2 && Exists(L"got.json"); }, 15000)) << Count();
    ASSERT_TRUE(guitest::PumpUntil([&] { return frame->AlertPrograms().running() == 0; }, 10000));
    // The tray icon's tooltip: the state, the station, the messages not read yet (the copy is none).
    EXPECT_TRUE(guitest::PumpUntil([&] { return frame->TrayTip() == L"Decoding, LES 121, 2 new"; }, 5000))
        << win::Utf8(frame->TrayTip());
    EXPECT_EQ(Field(IDC_MESSAGES_BUTTON), L"Messages (2 new)");
    Command(ID_DECODER_STOP);  // everything the run handed over is applied by now

    const CMainFrame::AlertsDone& done = frame->Alerts();
    // One flash, notification, sound and program.
    EXPECT_EQ((std::vector<std::size_t>{done.flashes, done.notifications, done.sounds, frame->AlertPrograms().started()}),
              (std::vector<std::size_t>{1, 1, 1, 1}));
    EXPECT_EQ(done.title, L"Alert 2026-12-07 12:00 UTC");
    EXPECT_EQ(done.text, L"MAYDAY RELAY");

    // The program read one line: the message as the feed's JSON, marked as an alert.
    const std::string got = Read(L"got.json");
    ASSERT_TRUE(!got.empty() && got.find('\n') == got.size() - 1) << got;
    const nlohmann::json j = nlohmann::json::parse(got);
    EXPECT_EQ(j, nlohmann::json::parse(R"({"station": "North Sea", "time": "2026-12-07T12:00:00.123Z", "category": 5,
        "les": "121", "frame": "0042", "text": "MAYDAY RELAY\nPERSON IN WATER\n", "priority": "distress", "copies": 1, "kind": "sar",
        "alert": true})")) << got;

    // The notification's click selects the message.
    Command(ID_PANE_FFT_SETTINGS);
    ::SendMessageW(frame->hwnd(), CMainFrame::kTrayMessage, win::TrayIcon::kId, NIN_BALLOONUSERCLICK);
    guitest::Pump();
    EXPECT_EQ(guitest::ShownPane(frame->hwnd()), 2);
    EXPECT_EQ(pane.selectedId(), done.message);
    EXPECT_NE(guitest::WindowText(pane.textView()).find(L"MAYDAY RELAY"), std::wstring::npos);
    EXPECT_EQ(LogText().find(L"Run on alert"), std::wstring::npos) << "nothing failed";

    // A program that fails is said once, and one that hangs is ended after thirty seconds.
    alerts::ProgramRunner& programs = frame->AlertPrograms();
    programs.Run(Probe(L"failed.json", L"3"), "{\"a\": 1}");
    programs.Run(L"\"" + work + L"\\no such program.exe\"", "{}");
    ASSERT_TRUE(guitest::PumpUntil([&] { return programs.running() == 0 && Exists(L"failed.json"); }, 10000));
    EXPECT_EQ(Read(L"failed.json"), "{\"a\": 1}\n");
    for (int i = 0; i < 3; ++i) programs.Watch();
    EXPECT_EQ(guitest::Occurrences(LogText(), L"failed (exit code 3)"), 1u) << win::Utf8(LogText());
    EXPECT_EQ(guitest::Occurrences(LogText(), L"Run on alert: cannot start"), 1u) << win::Utf8(LogText());

    programs.Run(Probe(L"hung.json", L"hang"), "{}");
    ASSERT_TRUE(guitest::PumpUntil([&] { return Exists(L"hung.json"); }, 10000));
    steadyMs += 29'000;
    programs.Watch();
    EXPECT_EQ(programs.running(), 1u);
    steadyMs += 1'000;
    programs.Watch();
    ASSERT_TRUE(guitest::PumpUntil([&] { return programs.running() == 0; }, 10000));
    EXPECT_EQ(guitest::Occurrences(LogText(), L"still ran after 30 s and was ended"), 1u) << win::Utf8(LogText());
    EXPECT_EQ(guitest::Occurrences(LogText(), L"exit code 1"), 0u);  // its end is ours, not said as a failure

    // A minimised window hides in the tray when asked, and the icon brings it back.
    if (!frame->HasTrayIcon()) GTEST_SKIP() << "the shell has no notification area here: the tray's part is left out";
    ::ShowWindow(frame->hwnd(), SW_MINIMIZE);
    guitest::Pump();
    EXPECT_TRUE(::IsWindowVisible(frame->hwnd()));  // the row is off: it stays on the taskbar
    ::ShowWindow(frame->hwnd(), SW_RESTORE);
    frame->Rows().WriteBool(settings::kTrayOnMinimise, true);
    ::ShowWindow(frame->hwnd(), SW_MINIMIZE);
    ASSERT_TRUE(guitest::PumpUntil([&] { return !::IsWindowVisible(frame->hwnd()); }, 5000));
    ::SendMessageW(frame->hwnd(), CMainFrame::kTrayMessage, win::TrayIcon::kId, NIN_SELECT);
    ASSERT_TRUE(guitest::PumpUntil([&] { return ::IsWindowVisible(frame->hwnd()) && !::IsIconic(frame->hwnd()); }, 5000));
}

// Fifteen frames heard with a gap of five, a run of twenty minutes: the view and the pane say so.
TEST_F(ReceptionRunTest, TheViewCountsTheRunsFramesAndItsTime) {
    InstallDecoder(("wait-client\n" + Headers(4167, 4186, 4177, 4181) + "wait-stop\n").c_str());
    Command(ID_DECODER_START);
    ASSERT_TRUE(frame->Run().Running());
    ASSERT_TRUE(guitest::PumpUntil([&] { return Field(IDC_FRAME_FIELD) == L"4186"; }, 15000));
    utcNow = H(10, 20);
    Command(ID_DECODER_STOP);
    EXPECT_EQ(View(), (std::vector<std::string>{"2026-12-07T10:00:00.000Z|121|15|139|NULL|NULL|5"}));

    // The Reception pane shows the same hour as the last of the day's bars, the others as gaps.
    HWND button = Child(IDC_RECEPTION_BUTTON);
    ::SendMessageW(button, BM_CLICK, 0, 0);
    HWND paneWindow = Child(IDC_RECEPTION_PANE);
    ASSERT_TRUE(paneWindow && (::GetWindowLongW(paneWindow, GWL_STYLE) & WS_VISIBLE));
    EXPECT_EQ(::SendMessageW(button, BM_GETCHECK, 0, 0), BST_CHECKED);
    auto* pane = dynamic_cast<reception::ReceptionPane*>(win::Window::FromHandle(paneWindow));
    ASSERT_TRUE(pane);
    ASSERT_EQ(pane->Hours().size(), 24u);
    EXPECT_EQ(std::count_if(pane->Hours().begin(), pane->Hours().end(), [](const auto& h) { return h.covered; }), 1);
    EXPECT_EQ(pane->Hours().back().heard, 15);
    EXPECT_EQ(pane->Hours().back().expected, 139);

    RECT client{};
    ::GetClientRect(paneWindow, &client);
    const int lastBarX = client.right - win::Scale(44, win::DpiOf(paneWindow)) - 3;
    ::SendMessageW(paneWindow, WM_MOUSEMOVE, 0, MAKELPARAM(lastBarX, client.bottom / 2));
    EXPECT_EQ(pane->Readout(), L"2026-12-07 10:00 UTC  heard 15 of 139 (10.8 %)  missed 5");

    ASSERT_TRUE(pane->ExportCsv(work + L"\\reception.csv"));
    EXPECT_EQ(guitest::ReadFileBytes(work + L"\\reception.csv"),
              "hour_utc,les,heard,expected,snr_db,snr_min_db,missed\r\n"
              "2026-12-07T10:00:00.000Z,121,15,139,,,5\r\n");

    // "7 days" draws a week of hours.
    ::SendMessageW(Child(IDC_RECEPTION_SPAN), CB_SETCURSEL, 1, 0);
    ::SendMessageW(paneWindow, WM_COMMAND, MAKEWPARAM(IDC_RECEPTION_SPAN, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Child(IDC_RECEPTION_SPAN)));
    EXPECT_EQ(pane->Hours().size(), 168u);

    // The pane's controls follow the window's DPI, as the rest of the window does: at 192 twice at 96.
    RECT at[2] = {};
    for (int i : {0, 1}) {
        RECT suggested{};
        ::GetWindowRect(frame->hwnd(), &suggested);
        ::SendMessageW(frame->hwnd(), WM_DPICHANGED, MAKEWPARAM(192 / (i + 1), 192 / (i + 1)), reinterpret_cast<LPARAM>(&suggested));
        ::GetWindowRect(Child(IDC_RECEPTION_EXPORT), &at[i]);
        ::MapWindowPoints(nullptr, paneWindow, reinterpret_cast<POINT*>(&at[i]), 2);
    }
    EXPECT_GT(at[1].right, at[1].left);
    EXPECT_EQ(std::make_pair(at[0].left, at[0].right), std::make_pair(2 * at[1].left, 2 * at[1].right));
}

// With the hand-over held no header reaches the window: from two minutes on the status counts the
// minutes, ten raise one alert, and the next header ends the silence. With "Restart after silence" at
// 5 min (read at each look), the next silence restarts the run as an ended decoder is.
TEST_F(ReceptionRunTest, SilenceIsShownEachMinuteRaisesOneAlertAndRestartsTheDecoderWhenTheRowSays) {
    InstallDecoder("wait-client\n" + Headers(100, 100) + "wait-stop\n");
    frame->Run().SetRestartBackoff(decoder::RestartBackoff([this] { return steadyNow.load(); }, decoder::RestartTiming{500, 300000, 60000}));
    Command(ID_DECODER_START);
    frame->Run().HoldHandOver(true);
    ASSERT_EQ(Status(), L"Waiting for first frame...");
    steadyNow += 119'000;
    EXPECT_FALSE(guitest::PumpUntil([&] { return Status() != L"Waiting for first frame..."; }, 1100)) << win::Utf8(Status());
    const struct {
        std::int64_t advanceMs;
        const wchar_t* status;
        unsigned alerts;
    } steps[] = {{1'000, L"No frames for 2 min", 0}, {8 * 60'000, L"No frames for 10 min", 1}, {60'000, L"No frames for 11 min", 1}};
    for (const auto& step : steps) {
        steadyNow += step.advanceMs;
        ASSERT_TRUE(WaitForStatus(step.status, 5000)) << win::Utf8(Status());
        EXPECT_EQ(frame->Alerts().notifications, step.alerts) << win::Utf8(step.status);
    }
    EXPECT_EQ(frame->Alerts().text, L"No frames for 10 min");
    frame->Run().HoldHandOver(false);
    ASSERT_TRUE(WaitForStatus(L"Decoding...")) << win::Utf8(Status());
    EXPECT_EQ(Field(IDC_FRAME_FIELD), L"0100");
    EXPECT_EQ(frame->Run().Restarts(), 0u);

    ASSERT_TRUE(frame->Rows().WriteIndex(settings::kSilenceRestart, 2));  // "5 min"
    steadyNow += 4 * 60'000;
    ASSERT_TRUE(WaitForStatus(L"No frames for 4 min", 5000)) << win::Utf8(Status());
    EXPECT_FALSE(frame->Run().RestartPending());
    steadyNow += 60'000;
    ASSERT_TRUE(guitest::PumpUntil([&] { return frame->Run().Restarts() == 1u; }, 15000)) << win::Utf8(LogText());
    EXPECT_NE(LogText().find(L"No frames for 5 min at "), std::wstring::npos) << win::Utf8(LogText());
    EXPECT_NE(LogText().find(L"Restarting the decoder in 0.5 s at "), std::wstring::npos) << win::Utf8(LogText());
    ASSERT_TRUE(WaitForStatus(L"Decoding...")) << win::Utf8(Status());  // the new run hears its frame
    Command(ID_DECODER_STOP);
    EXPECT_EQ(Status(), L"Idle");
}
