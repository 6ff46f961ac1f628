// The main window's measures at the screen's DPI: every 96-DPI measure times DPI / 96. Run at 96 in
// the test bed's prefix and at 144 and 192 through tools/run_at_dpi.sh (a copy of the prefix with
// that LogPixels), which says the DPI to expect in VASTREL_EXPECT_DPI. A DPI change while running
// (WM_DPICHANGED, as when the window moves to another monitor) rescales the same measures.
#include "win/main_frame_fixture.h"
#include "win/dpi.h"
#include "settings/settings.h"

#include <algorithm>
#include <cstdlib>

namespace {

int ExpectedDpi() {
    const char* text = std::getenv("VASTREL_EXPECT_DPI");
    const int dpi = text ? std::atoi(text) : 0;
    return dpi > 0 ? dpi : win::kDefaultDpi;
}

class DpiTest : public MainFrameTest {
protected:
    int Height(HWND window) const {
        RECT r{};
        ::GetWindowRect(window, &r);
        return r.bottom - r.top;
    }
    int BandMinHeight(HWND bar, HWND child) const {
        const int count = static_cast<int>(::SendMessageW(bar, RB_GETBANDCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            REBARBANDINFOW band{};
            band.cbSize = sizeof(band);
            band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE;
            ::SendMessageW(bar, RB_GETBANDINFOW, i, reinterpret_cast<LPARAM>(&band));
            if (band.hwndChild == child) return static_cast<int>(band.cyMinChild);
        }
        return -1;
    }
    // Every measure that the window has at 96 DPI, at `dpi` (the screen's, or the one a move told it).
    void ExpectMeasuresAt(int dpi, bool windowSize) {
        auto s = [dpi](int px) { return win::Scale(px, dpi); };
        if (windowSize) {
            // No window gets larger than the screen lets it (the test bed's is 1280x1024).
            RECT r{};
            ::GetWindowRect(frame->hwnd(), &r);
            EXPECT_EQ(r.right - r.left, std::min(s(800), ::GetSystemMetrics(SM_CXMAXTRACK)));
            EXPECT_EQ(r.bottom - r.top, std::min(s(600), ::GetSystemMetrics(SM_CYMAXTRACK)));
        }
        EXPECT_EQ(Height(guitest::FindChild(frame->hwnd(), IDC_SPECTRUM)), s(150));
        EXPECT_EQ(BandMinHeight(guitest::TopBarOf(frame->hwnd()), guitest::FindChild(frame->hwnd(), IDC_SPECTRUM)), s(150));
        for (HWND button : {guitest::FindChild(frame->hwnd(), IDC_FFT_SETTINGS_BUTTON), guitest::FindChild(frame->hwnd(), IDC_DECODER_LOG_BUTTON), guitest::FindChild(frame->hwnd(), IDC_MESSAGES_BUTTON), guitest::FindChild(frame->hwnd(), IDC_MAP_BUTTON)})
            EXPECT_EQ(BandMinHeight(guitest::TopBarOf(frame->hwnd()), button), s(24));
        EXPECT_EQ(BandMinHeight(guitest::TopBarOf(frame->hwnd()), guitest::FindChild(frame->hwnd(), IDC_STATUS_FIELD)), s(24));
        LOGFONTW font{};
        HFONT statusFont = reinterpret_cast<HFONT>(::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_STATUS_FIELD), WM_GETFONT, 0, 0));
        ASSERT_TRUE(statusFont && ::GetObjectW(statusFont, sizeof(font), &font));
        EXPECT_EQ(font.lfHeight, s(21));
        HWND gridWindow = guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID);
        EXPECT_EQ(::SendMessageW(gridWindow, LVM_GETCOLUMNWIDTH, 1, 0), s(220));
        // The labels' column is as wide as the longest label needs in the grid's font (none is cut),
        // and no wider than half the grid.
        CPropertyGridCtrl& grid = guitest::GridOf(frame->hwnd());
        int widest = 0;
        for (const auto& row : settings::Rows()) widest = std::max(widest, grid.textWidth(row.label));
        RECT client{};
        ::GetClientRect(gridWindow, &client);
        const LRESULT labels = ::SendMessageW(gridWindow, LVM_GETCOLUMNWIDTH, 0, 0);
        EXPECT_GT(labels, widest + 2);
        EXPECT_LE(labels, client.right / 2);
        EXPECT_GT(widest, s(220)) << "the longest label needs more than the old 220 pixels";
        // The messages pane's bar and list.
        EXPECT_EQ(guitest::MessagesPaneOf(frame->hwnd()).listHeight(), s(CMsgFrame::kListHeight));
        EXPECT_EQ(guitest::MessagesPaneOf(frame->hwnd()).barChildHeight(), s(22));
    }
    // A click in the middle of the spectrum picks the middle of 0..24000 Hz whatever the DPI.
    void ExpectTheMiddleIsTwelveKilohertz() {
        HWND display = guitest::FindChild(frame->hwnd(), IDC_SPECTRUM);
        RECT client{};
        ::GetClientRect(display, &client);
        ASSERT_GT(client.right, 0);
        const int x = client.right / 2;
        ::SendMessageW(display, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 20));
        ::SendMessageW(display, WM_LBUTTONUP, 0, MAKELPARAM(x, 20));
        EXPECT_NEAR(frame->Spectrum().centerFrequency, 12000.0, 24000.0 / client.right);
    }
};

TEST_F(DpiTest, EveryMeasureScalesWithTheScreensDpi) {
    const int dpi = ExpectedDpi();
    EXPECT_EQ(win::DpiOf(frame->hwnd()), dpi);
    ExpectMeasuresAt(dpi, true);
    ExpectTheMiddleIsTwelveKilohertz();
}

// The pointer readout sits beside and below the pointer by a 96-DPI offset scaled to the screen.
TEST_F(DpiTest, TheReadoutKeepsItsScaledOffsetFromThePointer) {
    const int dpi = ExpectedDpi();
    HWND display = guitest::FindChild(frame->hwnd(), IDC_SPECTRUM);
    ::SendMessageW(display, WM_MOUSEMOVE, 0, MAKELPARAM(40, 10));
    HWND tip = guitest::SpectrumDisplayOf(frame->hwnd()).readoutWindow();
    ASSERT_NE(tip, nullptr);
    ASSERT_TRUE(::IsWindowVisible(tip));
    RECT tipRect{};
    ::GetWindowRect(tip, &tipRect);
    POINT pointer{40, 10};
    ::ClientToScreen(display, &pointer);
    // The tooltip control puts its window within a pixel of the point it tracks (one up and left
    // under Wine); unscaled, the offset would be 8 or more pixels short at 144 DPI.
    EXPECT_NEAR(tipRect.left - pointer.x, win::Scale(CFFTDisp::kReadoutOffsetX, dpi), 1);
    EXPECT_NEAR(tipRect.top - pointer.y, win::Scale(CFFTDisp::kReadoutOffsetY, dpi), 1);
    ::SendMessageW(display, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(::IsWindowVisible(tip));
}

TEST_F(DpiTest, MovingToAnotherDpiRescales) {
    const int start = win::DpiOf(frame->hwnd());
    for (int dpi : {120, 144, start}) {
        RECT now{};
        ::GetWindowRect(frame->hwnd(), &now);
        // The system suggests the window's rectangle at the new DPI.
        RECT suggested{now.left, now.top, now.left + win::Scale(800, dpi), now.top + win::Scale(600, dpi)};
        ::SendMessageW(frame->hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        guitest::Pump();
        ExpectMeasuresAt(dpi, true);
        ExpectTheMiddleIsTwelveKilohertz();
    }
}

}  // namespace
