// The display's tuning aids through the real window: Ctrl+click snapping to a carrier, the keyboard
// fine tuning, and the pointer readout tooltip.
#include "display_fixture.h"

#include <commctrl.h>

#include <random>
#include <string>

#include "bpsk_carrier.h"

namespace {

using namespace display_test;

constexpr WPARAM kCtrlClick = MK_LBUTTON | MK_CONTROL;

int XOf(double hz) { return static_cast<int>(std::lround(hz * 700.0 / 24000.0)); }

void Key(HWND window, WPARAM key) { ::SendMessageW(window, WM_KEYDOWN, key, 1); }

// Shift as the keyboard state that GetKeyState reads on this thread.
void HoldShift(bool down) {
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_SHIFT] = down ? 0x80 : 0;
    ::SetKeyboardState(keys);
}

std::wstring TipText(HWND tip, HWND owner) {
    wchar_t text[128] = {};
    TTTOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.hwnd = owner;
    info.uId = 1;
    info.lpszText = text;
    ::SendMessageW(tip, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&info));
    return text;
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

TEST_F(SpectrumDisplay, CtrlClickSnapsToTheCarrierNearThePointer) {
    Render();
    spectrum_test::CarrierSpec spec;
    spec.centreHz = 5000.0;
    spec.widthHz = 1200.0;
    spec.snrDb = 25.0;
    std::mt19937 gen(5);
    Feed(spectrum_test::BpskCarrier().Make(spec, gen), 4800);

    // On the carrier's upper edge: the centre goes to the carrier's, and the parent hears of it.
    ::SendMessageW(display, WM_MOUSEMOVE, MK_CONTROL, PointAt(XOf(5550.0), 40));
    ::SendMessageW(display, WM_LBUTTONDOWN, kCtrlClick, PointAt(XOf(5550.0), 40));
    EXPECT_NEAR(model.centerFrequency, 5000.0, 5.0);
    ASSERT_EQ(parent->commands.size(), 1u);
    EXPECT_EQ(parent->commands[0].wParam, 0u);
    EXPECT_EQ(parent->commands[0].lParam, reinterpret_cast<LPARAM>(display.hwnd()));
    EXPECT_EQ(parent->commands[0].centre, model.centerFrequency);
    const Picture p = Render();
    EXPECT_EQ(p.At(XOf(model.centerFrequency), 60), kCentreLine);

    // Dragging with Ctrl held, or Ctrl with another key or button, does not snap again.
    const double snapped = model.centerFrequency;
    ::SendMessageW(display, WM_MOUSEMOVE, kCtrlClick, PointAt(XOf(4500.0), 40));
    ::SendMessageW(display, WM_LBUTTONDOWN, kCtrlClick | MK_SHIFT, PointAt(XOf(4500.0), 40));
    ::SendMessageW(display, WM_LBUTTONDOWN, kCtrlClick | MK_RBUTTON, PointAt(XOf(4500.0), 40));
    EXPECT_EQ(model.centerFrequency, snapped);
    EXPECT_EQ(parent->commands.size(), 1u);

    // Far from any carrier nothing stands above the floor: the centre stays, nobody is told.
    ::SendMessageW(display, WM_LBUTTONDOWN, kCtrlClick, PointAt(XOf(15000.0), 40));
    EXPECT_EQ(model.centerFrequency, snapped);
    EXPECT_EQ(parent->commands.size(), 1u);
}

TEST_F(SpectrumDisplay, AClickTakesTheFocusAndTheArrowsFineTune) {
    ::SetFocus(*parent);
    ASSERT_NE(::GetFocus(), display.hwnd());
    EXPECT_EQ(::SendMessageW(display, WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS, DLGC_WANTARROWS);
    ::SendMessageW(display, WM_LBUTTONDOWN, MK_LBUTTON, PointAt(350, 40));
    EXPECT_EQ(::GetFocus(), display.hwnd());
    ASSERT_DOUBLE_EQ(model.centerFrequency, 12000.0);
    ASSERT_EQ(parent->commands.size(), 1u);

    HoldShift(false);
    Key(display, VK_RIGHT);
    EXPECT_DOUBLE_EQ(model.centerFrequency, 12001.0);
    Key(display, VK_LEFT);
    Key(display, VK_LEFT);
    EXPECT_DOUBLE_EQ(model.centerFrequency, 11999.0);
    ASSERT_EQ(parent->commands.size(), 4u);  // one notification per step
    EXPECT_DOUBLE_EQ(parent->commands.back().centre, 11999.0);
    HoldShift(true);
    Key(display, VK_RIGHT);
    EXPECT_DOUBLE_EQ(model.centerFrequency, 12009.0);
    Key(display, VK_LEFT);
    Key(display, VK_LEFT);
    EXPECT_DOUBLE_EQ(model.centerFrequency, 11989.0);
    HoldShift(false);
    EXPECT_EQ(parent->commands.size(), 7u);

    // Other keys do nothing; the centre never leaves the range.
    Key(display, VK_UP);
    Key(display, VK_DOWN);
    EXPECT_EQ(parent->commands.size(), 7u);
    model.centerFrequency = 23995.0;
    HoldShift(true);
    Key(display, VK_RIGHT);
    HoldShift(false);
    EXPECT_DOUBLE_EQ(model.centerFrequency, 24000.0);
    model.centerFrequency = 0.5;
    Key(display, VK_LEFT);
    EXPECT_DOUBLE_EQ(model.centerFrequency, 0.0);

    // The line follows the keys.
    model.centerFrequency = 12000.0;
    Key(display, VK_RIGHT);
    const Picture p = Render();
    EXPECT_EQ(p.At(350, 60), kCentreLine);
}

TEST_F(SpectrumDisplay, ADisabledDisplayTakesNoKeys) {
    ::SendMessageW(display, WM_LBUTTONDOWN, MK_LBUTTON, PointAt(350, 40));
    ASSERT_EQ(parent->commands.size(), 1u);
    ::EnableWindow(display, FALSE);
    Key(display, VK_RIGHT);
    Key(display, VK_LEFT);
    EXPECT_DOUBLE_EQ(model.centerFrequency, 12000.0);
    EXPECT_EQ(parent->commands.size(), 1u);
    ::EnableWindow(display, TRUE);
    Key(display, VK_RIGHT);
    EXPECT_DOUBLE_EQ(model.centerFrequency, 12001.0);
}

TEST_F(SpectrumDisplay, TheReadoutFollowsThePointerAndTheFrames) {
    const Picture without = Render();
    ::SendMessageW(display, WM_MOUSEMOVE, 0, PointAt(350, 40));
    HWND tip = display.readoutWindow();
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(::IsWindowVisible(tip));
    EXPECT_EQ(TipText(tip, display), L"12000 Hz");  // no frame yet: no level
    // Beside the pointer, not under it.
    RECT tipRect{};
    ::GetWindowRect(tip, &tipRect);
    POINT pointer{350, 40};
    ::ClientToScreen(display, &pointer);
    EXPECT_FALSE(::PtInRect(&tipRect, pointer));
    EXPECT_GE(tipRect.left, pointer.x);

    // The picture itself is as it was without the pointer.
    EXPECT_TRUE(Render() == without);

    // A frame with a tone at 12000 Hz: the next paint shows its level.
    Feed(Tone(12000.0, 48000.0, 16000.0, 17000), 1000);
    Render();
    const std::wstring withTone = TipText(tip, display);
    EXPECT_EQ(withTone, Wide(model.ReadoutAt(12000.0)));
    EXPECT_NE(withTone.find(L"12000 Hz  -"), std::wstring::npos) << std::string(withTone.begin(), withTone.end());

    // Elsewhere it reads there; away from the tone the level is much lower.
    ::SendMessageW(display, WM_MOUSEMOVE, 0, PointAt(175, 40));
    EXPECT_EQ(TipText(tip, display), Wide(model.ReadoutAt(6000.0)));
    ASSERT_TRUE(model.LevelDbAt(6000.0) && model.LevelDbAt(12000.0));
    EXPECT_LT(*model.LevelDbAt(6000.0), *model.LevelDbAt(12000.0) - 40.0);

    ::SendMessageW(display, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(::IsWindowVisible(tip));
    ::SendMessageW(display, WM_MOUSEMOVE, 0, PointAt(350, 40));
    EXPECT_TRUE(::IsWindowVisible(tip));
    ::SendMessageW(display, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(::IsWindowVisible(tip));
}

}  // namespace
