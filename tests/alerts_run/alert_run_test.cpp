// Alerts through the real main window: a run of the stand-in decoder hears a distress message and its
// copy; the probe program (bin/alert-probe.exe) run on the alert writes what it read on its standard
// input.
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "resource.h"
#include "win/run_fixture.h"

namespace {

using guitest::Occurrences;

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

}  // namespace

TEST_F(AlertRunTest, AMatchingMessageRaisesOneOfEachAndTheNotificationLeadsToItAndAFailingProgramIsSaid) {
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
    ASSERT_TRUE(frame->Run().Running());
    CMsgFrame& pane = guitest::MessagesPaneOf(frame->hwnd());
    Command(ID_PANE_MESSAGES);
    // Both messages stored, the distress one heard twice.
    ASSERT_TRUE(guitest::PumpUntil([&] { return Count() == 2 && Exists(L"got.json"); }, 15000)) << Count();
    ASSERT_TRUE(guitest::PumpUntil([&] { return frame->AlertPrograms().running() == 0; }, 10000));
    // The tray icon's tooltip: the state, the station, the messages not read yet (the copy is none).
    EXPECT_TRUE(guitest::PumpUntil([&] { return frame->TrayTip() == L"Decoding, LES 121, 2 new"; }, 5000))
        << win::Utf8(frame->TrayTip());
    Command(ID_DECODER_STOP);  // everything the run handed over is applied by now

    const CMainFrame::AlertsDone& done = frame->Alerts();
    EXPECT_EQ(done.flashes, 1u);
    EXPECT_EQ(done.notifications, 1u);
    EXPECT_EQ(done.sounds, 1u);
    EXPECT_EQ(frame->AlertPrograms().started(), 1u);
    EXPECT_EQ(done.title, L"Alert 2026-12-07 12:00 UTC");
    EXPECT_EQ(done.text, L"MAYDAY RELAY");

    // The program read one line: the message as the feed's JSON, marked as an alert.
    const std::string got = Read(L"got.json");
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.find('\n'), got.size() - 1) << got;
    const nlohmann::json j = nlohmann::json::parse(got);
    EXPECT_EQ(j, nlohmann::json::parse(R"({"station": "North Sea", "time": "2026-12-07T12:00:00.123Z", "category": 5,
        "les": "121", "frame": "0042", "text": "MAYDAY RELAY\nPERSON IN WATER\n", "priority": "distress", "copies": 1, "kind": "sar",
        "alert": true})")) << got;

    // The quick filter "Alerts" lists that message alone; the notification's click selects it.
    ASSERT_TRUE(pane.ApplyQuickFilter(CMsgFrame::QuickFilter::Alerts));
    ASSERT_TRUE(guitest::PumpUntil([&] { return Count() == 1; }, 5000)) << Count();
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
    EXPECT_EQ(Occurrences(LogText(), L"failed (exit code 3)"), 1u) << win::Utf8(LogText());
    EXPECT_EQ(Occurrences(LogText(), L"Run on alert: cannot start"), 1u) << win::Utf8(LogText());

    programs.Run(Probe(L"hung.json", L"hang"), "{}");
    ASSERT_TRUE(guitest::PumpUntil([&] { return Exists(L"hung.json"); }, 10000));
    steadyMs += 29'000;
    programs.Watch();
    EXPECT_EQ(programs.running(), 1u);
    steadyMs += 1'000;
    programs.Watch();
    ASSERT_TRUE(guitest::PumpUntil([&] { return programs.running() == 0; }, 10000));
    EXPECT_EQ(Occurrences(LogText(), L"still ran after 30 s and was ended"), 1u) << win::Utf8(LogText());
    EXPECT_EQ(Occurrences(LogText(), L"exit code 1"), 0u);  // its end is ours, not said as a failure
}

TEST_F(AlertRunTest, AMinimisedWindowHidesInTheTrayWhenAskedAndTheIconBringsItBack) {
    if (!frame->HasTrayIcon()) GTEST_SKIP() << "the shell has no notification area here";
    Show();
    EXPECT_EQ(frame->TrayTip(), L"Idle");
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
