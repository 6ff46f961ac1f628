// The main window's measures at the screen's DPI (96 here; 144 and 192 through tools/run_at_dpi.sh,
// which says it in VASTREL_EXPECT_DPI) and after WM_DPICHANGED: every 96-DPI measure times DPI / 96.
#include "win/main_frame_fixture.h"
#include "win/dpi.h"

#include <algorithm>
#include <cstdlib>

namespace {

class DpiTest : public MainFrameTest {
protected:
    HWND Part(int id) const { return guitest::FindChild(frame->hwnd(), id); }
    int BandMinHeight(HWND child) const {
        HWND bar = guitest::TopBarOf(frame->hwnd());
        for (int i = 0, count = static_cast<int>(::SendMessageW(bar, RB_GETBANDCOUNT, 0, 0)); i < count; ++i) {
            REBARBANDINFOW band{sizeof(band), RBBIM_CHILD | RBBIM_CHILDSIZE};
            ::SendMessageW(bar, RB_GETBANDINFOW, i, reinterpret_cast<LPARAM>(&band));
            if (band.hwndChild == child) return static_cast<int>(band.cyMinChild);
        }
        return -1;
    }
    void ExpectMeasuresAt(int dpi) {
        SCOPED_TRACE(dpi);
        auto s = [dpi](int px) { return ::MulDiv(px, dpi, 96); };
        RECT r{};
        ::GetWindowRect(frame->hwnd(), &r);  // no larger than the screen lets it (the test bed's is 1280x1024)
        EXPECT_EQ(r.right - r.left, std::min(s(800), ::GetSystemMetrics(SM_CXMAXTRACK)));
        EXPECT_EQ(r.bottom - r.top, std::min(s(600), ::GetSystemMetrics(SM_CYMAXTRACK)));
        for (auto [id, height] : {std::pair{IDC_SPECTRUM, 150}, {IDC_MESSAGES_BUTTON, 24}, {IDC_STATUS_FIELD, 24}})
            EXPECT_EQ(BandMinHeight(Part(id)), s(height)) << id;
        LOGFONTW font{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(Part(IDC_STATUS_FIELD), WM_GETFONT, 0, 0)), sizeof(font), &font);
        EXPECT_EQ(font.lfHeight, s(21));
        EXPECT_EQ(::SendMessageW(Part(IDC_SETTINGS_GRID), LVM_GETCOLUMNWIDTH, 1, 0), s(220));
        const CMsgFrame& messages = guitest::MessagesPaneOf(frame->hwnd());
        EXPECT_EQ(std::make_pair(messages.listHeight(), messages.barChildHeight()), std::make_pair(s(100), s(22)));
        // A click in the middle of the spectrum picks the middle of 0..24000 Hz whatever the DPI.
        ::GetClientRect(Part(IDC_SPECTRUM), &r);
        ::SendMessageW(Part(IDC_SPECTRUM), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.right / 2, 20));
        ::SendMessageW(Part(IDC_SPECTRUM), WM_LBUTTONUP, 0, MAKELPARAM(r.right / 2, 20));
        EXPECT_NEAR(frame->Spectrum().centerFrequency, 12000.0, 24000.0 / std::max(1L, r.right));
    }
};

TEST_F(DpiTest, MeasuresFollowTheScreensDpiAndAMoveToAnother) {
    const char* expected = std::getenv("VASTREL_EXPECT_DPI");
    const int screen = expected && std::atoi(expected) > 0 ? std::atoi(expected) : 96;
    EXPECT_EQ(win::DpiOf(frame->hwnd()), screen);
    ExpectMeasuresAt(screen);

    for (int dpi : {120, 144, screen}) {
        RECT now{};  // the system suggests the window's rectangle at the new DPI
        ::GetWindowRect(frame->hwnd(), &now);
        RECT suggested{now.left, now.top, now.left + ::MulDiv(800, dpi, 96), now.top + ::MulDiv(600, dpi, 96)};
        ::SendMessageW(frame->hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        guitest::Pump();
        ExpectMeasuresAt(dpi);
    }
}

}  // namespace
