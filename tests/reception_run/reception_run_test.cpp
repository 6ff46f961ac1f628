// The reception ledger and the silence watch under real runs of the stand-in decoder, with the UTC
// clock and the watch's steady clock in the test's hands.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "store_support/query_rows.h"
#include "messages/message_store.h"
#include "reception/reception_pane_win.h"
#include "reception/reception_sink.h"
#include "resource.h"
#include "settings/settings.h"
#include "win/dpi.h"
#include "win/run_fixture.h"

namespace {

constexpr std::int64_t kDay = 1'796'601'600'000;  // 2026-12-07T00:00:00Z
constexpr std::int64_t H(int hours, int minutes = 0) { return kDay + hours * 3'600'000LL + minutes * 60'000LL; }

// "record" lines of bulletin-board headers from LES 121 for frames first..last, all but `skip`.
std::string Headers(int first, int last, int skipFrom = -1, int skipTo = -1) {
    std::string out;
    char line[96];
    for (int n = first; n <= last; ++n) {
        if (n >= skipFrom && n <= skipTo) continue;
        std::snprintf(line, sizeof line, "record L2121%04dLES 121 frame %04d\\n\n", n, n);
        out += line;
    }
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
    ASSERT_TRUE(button);
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

    HWND span = Child(IDC_RECEPTION_SPAN);
    ::SendMessageW(span, CB_SETCURSEL, 1, 0);
    ::SendMessageW(paneWindow, WM_COMMAND, MAKEWPARAM(IDC_RECEPTION_SPAN, CBN_SELCHANGE), reinterpret_cast<LPARAM>(span));
    EXPECT_EQ(pane->SpanHours(), 168);
    EXPECT_EQ(pane->Hours().size(), 168u);

    // The pane's controls follow the window's DPI, as the rest of the window does.
    HWND exportButton = Child(IDC_RECEPTION_EXPORT);
    RECT at[2] = {};
    for (int i : {0, 1}) {
        const int dpi = i == 0 ? 192 : 96;
        RECT suggested{};
        ::GetWindowRect(frame->hwnd(), &suggested);
        ::SendMessageW(frame->hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        ::GetWindowRect(exportButton, &at[i]);
        ::MapWindowPoints(nullptr, paneWindow, reinterpret_cast<POINT*>(&at[i]), 2);
    }
    EXPECT_GT(at[1].right - at[1].left, 0);
    EXPECT_EQ(at[0].left, 2 * at[1].left);
    EXPECT_EQ(at[0].right - at[0].left, 2 * (at[1].right - at[1].left));
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
    } steps[] = {{1'000, L"No frames for 2 min", 0}, {60'000, L"No frames for 3 min", 0},
                 {7 * 60'000, L"No frames for 10 min", 1}, {60'000, L"No frames for 11 min", 1}};
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
