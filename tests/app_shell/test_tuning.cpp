// Tuning from the keyboard in the real main window: a click on the spectrum takes the focus from
// the grid, Left and Right then move the centre and row 3 follows; a disabled spectrum takes no keys.
#include "win/main_frame_fixture.h"
#include "settings/settings.h"

#include <cwchar>
#include <string>

namespace {

class TuningKeysTest : public MainFrameTest {
protected:
    std::wstring Row3() { return frame->Rows().ReadText(settings::kCenterFrequency); }
    // As the keyboard sends it: to whichever window has the focus.
    void Press(WPARAM key) {
        ::PostMessageW(::GetFocus(), WM_KEYDOWN, key, 1);
        ::PostMessageW(::GetFocus(), WM_KEYUP, key, 0xC0000001);
        guitest::Pump();
    }
};

TEST_F(TuningKeysTest, AClickFocusesTheSpectrumAndTheArrowsMoveTheCentre) {
    HWND display = guitest::FindChild(frame->hwnd(), IDC_SPECTRUM);
    RECT client{};
    ::GetClientRect(display, &client);
    ::SetFocus(guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID));
    ASSERT_NE(::GetFocus(), display);
    const int x = client.right / 4;
    const double hz = frame->Spectrum().FrequencyAtX(x, client.right);
    auto text = [](double v) {
        wchar_t s[32];
        swprintf(s, 32, L"%.0lf Hz", v);
        return std::wstring(s);
    };
    ::SendMessageW(display, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 30));
    ::SendMessageW(display, WM_LBUTTONUP, 0, MAKELPARAM(x, 30));
    EXPECT_EQ(::GetFocus(), display);
    EXPECT_EQ(Row3(), text(hz));
    Press(VK_RIGHT);
    EXPECT_EQ(Row3(), text(hz + 1));
    Press(VK_LEFT);
    Press(VK_LEFT);
    EXPECT_EQ(Row3(), text(hz - 1));

    // While the spectrum is disabled (as while the decoder runs) the keys change nothing.
    ::EnableWindow(display, FALSE);
    ::SetFocus(display);
    ::PostMessageW(display, WM_KEYDOWN, VK_RIGHT, 1);
    guitest::Pump();
    EXPECT_EQ(Row3(), text(hz - 1));
    EXPECT_DOUBLE_EQ(frame->Spectrum().centerFrequency, hz - 1);
    ::EnableWindow(display, TRUE);
}

}  // namespace
