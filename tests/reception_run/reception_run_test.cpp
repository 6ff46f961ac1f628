// The reception ledger and the silence watch under real runs of the stand-in decoder, with the UTC
// clock and the watch's steady clock in the test's hands.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "store_support/query_rows.h"
#include "decoder_run/decoder_run_fixture.h"
#include "messages/message_store.h"
#include "reception/reception_pane_win.h"
#include "reception/reception_sink.h"
#include "resource.h"
#include "settings/settings.h"
#include "win/dpi.h"
#include "win/utf8.h"

namespace {

constexpr std::int64_t kDay = 1'796'601'600'000;  // 2026-12-07T00:00:00Z
constexpr std::int64_t H(int hours, int minutes = 0) { return kDay + hours * 3'600'000LL + minutes * 60'000LL; }

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

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

class ReceptionRunTest : public DecoderRunTest {
protected:
    void SetUp() override {
        DecoderRunTest::SetUp();
        frame->Run().SetClock([this] { return utcNow.load(); });
        frame->Run().SetLedgerClock([this] { return utcNow.load(); });
        frame->Run().SetSteadyClock([this] { return steadyNow.load(); });
        frame->Rows().WriteText(settings::kStoreFile, work + L"\\ledger.db");
    }
    std::wstring Status() const { return Text(guitest::FindChild(frame->hwnd(), IDC_STATUS_FIELD)); }
    bool WaitForStatus(const std::wstring& status, int timeoutMs = 15000) {
        return guitest::PumpUntil([&] { return Status() == status; }, timeoutMs);
    }
    std::vector<std::string> View() const {
        auto store = messages::MessageStore::Open(win::Utf8(work + L"\\ledger.db"));
        return store_support::QueryRows(store->database(), "SELECT * FROM reception ORDER BY hour_utc, les");
    }

    std::atomic<std::int64_t> utcNow{H(10)};
    std::atomic<std::int64_t> steadyNow{1'000'000};
};

}  // namespace

// Fifteen frames heard with a gap of five, a run of twenty minutes: the view says so.
TEST_F(ReceptionRunTest, TheViewCountsTheRunsFramesAndItsTime) {
    InstallDecoder(("wait-client\n" + Headers(4167, 4186, 4177, 4181) + "wait-stop\n").c_str());
    Command(ID_DECODER_START);
    ASSERT_TRUE(frame->Run().Running());
    ASSERT_TRUE(guitest::PumpUntil([&] { return Text(guitest::FindChild(frame->hwnd(), IDC_FRAME_FIELD)) == L"4186"; }, 15000));
    utcNow = H(10, 20);
    Command(ID_DECODER_STOP);
    EXPECT_EQ(View(), (std::vector<std::string>{"2026-12-07T10:00:00.000Z|121|15|139|NULL|NULL|5"}));

    // The Reception pane shows the same hour as the last of the day's bars, the others as gaps.
    HWND button = guitest::FindChild(frame->hwnd(), IDC_RECEPTION_BUTTON);
    ASSERT_TRUE(button);
    ::SendMessageW(button, BM_CLICK, 0, 0);
    HWND paneWindow = guitest::FindChild(frame->hwnd(), IDC_RECEPTION_PANE);
    ASSERT_TRUE(paneWindow && ::IsWindowVisible(paneWindow));
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
    EXPECT_EQ(ReadFileBytes(work + L"\\reception.csv"),
              "hour_utc,les,heard,expected,snr_db,snr_min_db,missed\r\n"
              "2026-12-07T10:00:00.000Z,121,15,139,,,5\r\n");

    HWND span = guitest::FindChild(frame->hwnd(), IDC_RECEPTION_SPAN);
    ::SendMessageW(span, CB_SETCURSEL, 1, 0);
    ::SendMessageW(paneWindow, WM_COMMAND, MAKEWPARAM(IDC_RECEPTION_SPAN, CBN_SELCHANGE), reinterpret_cast<LPARAM>(span));
    EXPECT_EQ(pane->SpanHours(), 168);
    EXPECT_EQ(pane->Hours().size(), 168u);
}

// Two minutes without a header: the status says so each minute, and the next header ends it.
TEST_F(ReceptionRunTest, SilenceIsShownEachMinuteAndEndsWithTheNextFrame) {
    InstallDecoder(("wait-client\n" + Headers(100, 100) + "sleep 15000\n" + Headers(101, 101) + "wait-stop\n").c_str());
    Command(ID_DECODER_START);
    ASSERT_TRUE(WaitForStatus(L"Decoding...")) << Status();
    steadyNow += 119'000;
    guitest::PumpUntil([] { return false; }, 1500);  // a tick of the watch or more: still under two minutes
    EXPECT_EQ(Status(), L"Decoding...");
    steadyNow += 1'000;
    ASSERT_TRUE(WaitForStatus(L"No frames for 2 min", 5000)) << Status();
    steadyNow += 60'000;
    ASSERT_TRUE(WaitForStatus(L"No frames for 3 min", 5000)) << Status();
    EXPECT_EQ(frame->Alerts().notifications, 0u);
    // Ten minutes raise one alert, and only one while the silence lasts.
    steadyNow += 7 * 60'000;
    ASSERT_TRUE(WaitForStatus(L"No frames for 10 min", 5000)) << Status();
    EXPECT_EQ(frame->Alerts().notifications, 1u);
    EXPECT_EQ(frame->Alerts().text, L"No frames for 10 min");
    steadyNow += 60'000;
    ASSERT_TRUE(WaitForStatus(L"No frames for 11 min", 5000)) << Status();
    EXPECT_EQ(frame->Alerts().notifications, 1u);
    ASSERT_TRUE(WaitForStatus(L"Decoding...", 20000)) << Status();
    EXPECT_FALSE(frame->Run().RestartPending());  // the row is Off
    EXPECT_EQ(frame->Run().Restarts(), 0u);
    Command(ID_DECODER_STOP);
}

// "Restart after silence" at 5 min restarts the run as an ended decoder is, with a note in the log.
TEST_F(ReceptionRunTest, SilenceAsLongAsTheRowSaysRestartsTheDecoder) {
    InstallDecoder(("wait-client\n" + Headers(200, 200) + "wait-stop\n").c_str());
    ASSERT_TRUE(frame->Rows().WriteIndex(settings::kSilenceRestart, 2));  // "5 min"
    frame->Run().SetRestartBackoff(decoder::RestartBackoff([this] { return steadyNow.load(); }, decoder::RestartTiming{500, 300000, 60000}));
    ::SendMessageW(frame->hwnd(), WM_COMMAND, ID_PANE_DECODER_LOG, 0);
    Command(ID_DECODER_START);
    ASSERT_TRUE(WaitForStatus(L"Decoding...")) << Status();
    steadyNow += 4 * 60'000;
    ASSERT_TRUE(WaitForStatus(L"No frames for 4 min", 5000)) << Status();
    EXPECT_FALSE(frame->Run().RestartPending());
    steadyNow += 60'000;
    ASSERT_TRUE(guitest::PumpUntil([&] { return frame->Run().Restarts() == 1u; }, 15000)) << LogText();
    EXPECT_TRUE(Contains(LogText(), L"No frames for 5 min at ")) << LogText();
    EXPECT_TRUE(Contains(LogText(), L"Restarting the decoder in 0.5 s at ")) << LogText();
    ASSERT_TRUE(WaitForStatus(L"Decoding...")) << Status();  // the new run hears its frame
    Command(ID_DECODER_STOP);
    EXPECT_EQ(Status(), L"Idle");
}

// The pane's controls and measures follow the window's DPI, as the rest of the window does.
TEST_F(ReceptionRunTest, ThePaneFollowsTheWindowsDpi) {
    ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_RECEPTION_BUTTON), BM_CLICK, 0, 0);
    HWND pane = guitest::FindChild(frame->hwnd(), IDC_RECEPTION_PANE);
    HWND exportButton = guitest::FindChild(frame->hwnd(), IDC_RECEPTION_EXPORT);
    ASSERT_TRUE(pane && exportButton);
    for (int dpi : {192, 96}) {
        RECT suggested{};
        ::GetWindowRect(frame->hwnd(), &suggested);
        ::SendMessageW(frame->hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        RECT button{};
        ::GetWindowRect(exportButton, &button);
        ::MapWindowPoints(nullptr, pane, reinterpret_cast<POINT*>(&button), 2);
        EXPECT_EQ(button.left, dpi == 192 ? 288 : 144) << dpi;
        EXPECT_EQ(button.right - button.left, dpi == 192 ? 180 : 90) << dpi;
    }
}
