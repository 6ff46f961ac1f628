// The spectrum display as a real child window over its model: rendered through WM_PRINTCLIENT into a
// bitmap, driven with pointer and key messages, fed with samples; the parent records its WM_COMMANDs.
// Geometry, levels and the carrier rule are the model's and tested there; these cases check the wiring.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "audio/fft_display.h"
#include "bpsk_carrier.h"
#include "spectrum_test_signals.h"
#include "win/display_picture.h"

namespace {

using guitest::Picture;
using spectrum_test::Tone;

constexpr COLORREF kBackground = RGB(60, 60, 80), kBand = RGB(50, 85, 170), kCentre = RGB(100, 170, 255);

// Records the model's centre as each WM_COMMAND from the display arrives.
class RecordingParent : public win::Window {
public:
    std::vector<double> centres;
    SpectrumModel* model = nullptr;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg != WM_COMMAND) return DefaultHandling(msg, wParam, lParam);
        EXPECT_EQ(wParam, 0u);
        EXPECT_EQ(::GetParent(reinterpret_cast<HWND>(lParam)), hwnd());
        centres.push_back(model->centerFrequency);
        return 0;
    }
};

// Handles what came in, such as the leave notice TrackMouseEvent posts when the real pointer is elsewhere.
void PumpMessages() {
    MSG msg;
    for (int i = 0; i < 1000 && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) ::DispatchMessageW(&msg);
}

bool NeedsRepaint(HWND window) {
    RECT update{};
    return ::GetUpdateRect(window, &update, FALSE);
}

class SpectrumDisplay : public testing::Test {
protected:
    // One visible parent for the whole suite: hiding or destroying a top-level window under Wine
    // without a window manager waits for a state change that never comes.
    static void SetUpTestSuite() {
        parent = new RecordingParent;
        parent->Create(nullptr, RECT{0, 0, 900, 400}, L"spectrum test", WS_OVERLAPPEDWINDOW, 0);
        ::ShowWindow(*parent, SW_SHOWNOACTIVATE);  // invalidation is only tracked for visible windows
    }
    static void TearDownTestSuite() { delete parent, parent = nullptr; }
    void SetUp() override {
        ASSERT_TRUE(parent && parent->hwnd());
        parent->centres.clear();
        parent->model = &model;
        RECT r{0, 0, 700, 150};  // the client area: 24000 / 700 Hz a pixel
        ::AdjustWindowRectEx(&r, WS_CHILD, FALSE, WS_EX_CLIENTEDGE);
        ASSERT_TRUE(display.Create(*parent, RECT{0, 0, r.right - r.left, r.bottom - r.top}, nullptr, WS_CHILD | WS_VISIBLE,
                                   WS_EX_CLIENTEDGE));
        model.SetStartupValues();  // 0..24000 Hz, centre 2000 Hz, band 800..3200 Hz
    }
    void TearDown() override { PumpMessages(); }
    Picture Render() {
        Picture picture(display, 700, 150);
        EXPECT_TRUE(picture.ok());
        return picture;
    }
    void Feed(const std::vector<std::int16_t>& s, int perCall = 1000) {
        for (std::size_t at = 0; at < s.size(); at += perCall)
            model.AddSamples(s.data() + at, static_cast<int>(std::min<std::size_t>(perCall, s.size() - at)));
    }
    void Mouse(UINT msg, WPARAM keys, int x) { ::SendMessageW(display, msg, keys, MAKELPARAM(x, 40)); }

    static inline RecordingParent* parent = nullptr;
    SpectrumModel model;
    CFFTDisp display{model};
};

// At start-up and after a retune the band and the full-height centre line stand where the model puts
// them; a frame asks for a repaint and its tone is the curve's highest column.
TEST_F(SpectrumDisplay, ThePictureShowsBandCentreLineAndCurve) {
    for (auto [centre, band, centreX] : {std::tuple{2000.0, std::pair{23, 93}, 58}, {12000.0, {315, 385}, 350}}) {
        model.centerFrequency = centre;
        const Picture p = Render();
        EXPECT_EQ(std::vector({p.At(band.first - 1, 60), p.At(band.first, 60), p.At(centreX - 1, 60), p.At(centreX, 0),
                               p.At(centreX, 148), p.At(centreX + 1, 60), p.At(band.second, 60), p.At(band.second + 1, 60)}),
                  std::vector({kBackground, kBand, kBand, kCentre, kCentre, kBand, kBand, kBackground}))
            << centre;
        EXPECT_EQ(p.CountInRow(60, kCentre), 1);
        EXPECT_EQ(p.CountInRow(149, guitest::kWhite), 700);  // no frame yet: the curve lies on the bottom row
    }
    // Bin 2053.5 of 16384 at 48000 Hz: the middle of column 175 (11.7 bins per column).
    ::ValidateRect(display, nullptr);
    Feed(Tone(2053.5 * 48000.0 / 16384.0, 16000.0, 17000));
    EXPECT_TRUE(NeedsRepaint(display));
    EXPECT_EQ(Render().HighestColumn(), 175);
    ::DestroyWindow(display);  // it leaves the model's listeners; the analysis goes on
    Feed(Tone(3000.0, 16000.0, 4096));
    EXPECT_EQ(model.fft.framesTotal, 2);
}

// A left click or drag tunes to the pointer, a Ctrl-click to the carrier near it, and the parent hears
// of each with the centre already set; other keys and buttons tune nothing.
TEST_F(SpectrumDisplay, AClickTunesToThePointerAndCtrlClickToTheCarrier) {
    ::SetFocus(*parent);
    for (int keys : {MK_LBUTTON | MK_SHIFT, MK_LBUTTON | MK_RBUTTON, MK_LBUTTON | MK_MBUTTON, MK_RBUTTON, 0}) {
        Mouse(WM_LBUTTONDOWN, keys, 350);
        Mouse(WM_MOUSEMOVE, keys, 350);
    }
    EXPECT_EQ(std::pair(parent->centres.size(), model.centerFrequency), std::pair(size_t{0}, 2000.0));
    // The latest paint saw the pointer at x 350; it then moves to x 100 and clicks there, both posted,
    // so the repaint the move asks for comes only after the click: the click tunes where it lands.
    Render();
    ::ValidateRect(display, nullptr);
    ::PostMessageW(display, WM_MOUSEMOVE, 0, MAKELPARAM(100, 40));
    ::PostMessageW(display, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 40));
    PumpMessages();
    EXPECT_EQ(parent->centres, std::vector<double>{24000.0 / 700 * 100});
    EXPECT_EQ(::GetFocus(), display.hwnd());
    Mouse(WM_MOUSEMOVE, MK_LBUTTON, 350);  // dragging keeps tuning
    EXPECT_EQ(parent->centres.back(), 12000.0);
    EXPECT_EQ(Render().At(350, 60), kCentre);

    spectrum_test::CarrierSpec spec;
    spec.centreHz = 5000.0;
    spec.snrDb = 25.0;
    std::mt19937 gen(5);
    Feed(spectrum_test::BpskCarrier().Make(spec, gen), 4800);
    const int edge = 162, quiet = 437;  // 5550 Hz, on the carrier's upper edge; 15000 Hz, only noise
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, edge);
    ASSERT_EQ(parent->centres.size(), 3u);
    EXPECT_NEAR(parent->centres.back(), 5000.0, 5.0);
    // A Ctrl-drag, Ctrl with another key or button, or a Ctrl-click where nothing stands above the floor.
    Mouse(WM_MOUSEMOVE, MK_LBUTTON | MK_CONTROL, quiet);
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL | MK_SHIFT, edge);
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL | MK_RBUTTON, edge);
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, quiet);
    EXPECT_EQ(std::pair(parent->centres.size(), model.centerFrequency), std::pair(size_t{3}, parent->centres.back()));
}

// Right and Left move the centre by 1 Hz, with Shift by 10 Hz, inside the range, and tell the parent;
// Up and Down and a disabled display do nothing.
TEST_F(SpectrumDisplay, TheArrowKeysFineTune) {
    EXPECT_EQ(::SendMessageW(display, WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS, DLGC_WANTARROWS);
    struct Row { double from; bool shift, enabled; WPARAM key; double centre; };  // Shift held; the display enabled
    for (const Row& r : {Row{12000, 0, 1, VK_RIGHT, 12001}, {12000, 0, 1, VK_LEFT, 11999}, {12000, 1, 1, VK_RIGHT, 12010},
                         {12000, 1, 1, VK_LEFT, 11990}, {12000, 0, 1, VK_UP, 12000}, {12000, 0, 1, VK_DOWN, 12000},
                         {23995, 1, 1, VK_RIGHT, 24000}, {0.5, 0, 1, VK_LEFT, 0}, {12000, 0, 0, VK_RIGHT, 12000}}) {
        BYTE keys[256] = {};
        ::GetKeyboardState(keys);
        keys[VK_SHIFT] = r.shift ? 0x80 : 0;  // as GetKeyState reads it on this thread
        ::SetKeyboardState(keys);
        ::EnableWindow(display, r.enabled);
        model.centerFrequency = r.from;
        parent->centres.clear();
        ::SendMessageW(display, WM_KEYDOWN, r.key, 1);
        EXPECT_EQ(parent->centres, r.centre == r.from ? std::vector<double>{} : std::vector{r.centre})
            << r.from << " key " << r.key << " shift " << r.shift;
        EXPECT_EQ(model.centerFrequency, r.centre);
    }
    ::EnableWindow(display, TRUE);
    model.centerFrequency = 12001.0;
    EXPECT_EQ(Render().At(350, 60), kCentre);  // the line follows the keys
}

// Beside the pointer a tip reads the frequency and, once a frame is in, the level there; it follows
// the frames and the pointer and goes when the pointer leaves. The picture itself stays as it was.
TEST_F(SpectrumDisplay, TheReadoutFollowsThePointerAndTheFrames) {
    wchar_t text[128] = {};
    TTTOOLINFOW info{TTTOOLINFOW_V2_SIZE, 0, display, 1};
    info.lpszText = text;
    auto tipText = [&] { return ::SendMessageW(display.readoutWindow(), TTM_GETTEXTW, 128, LPARAM(&info)), std::wstring(text); };
    const Picture without = Render();
    Mouse(WM_MOUSEMOVE, 0, 350);
    HWND tip = display.readoutWindow();
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(::IsWindowVisible(tip));
    EXPECT_EQ(tipText(), L"12000 Hz");
    RECT tipRect{};
    ::GetWindowRect(tip, &tipRect);
    POINT pointer{350, 40};
    ::ClientToScreen(display, &pointer);
    EXPECT_GT(tipRect.left, pointer.x);
    EXPECT_TRUE(Render() == without);
    // A tone at 12000 Hz: the next paint shows its level; at 6000 Hz it reads far lower.
    Feed(Tone(12000.0, 16000.0, 17000));
    Render();
    const std::wstring atTone = tipText();
    Mouse(WM_MOUSEMOVE, 0, 175);
    const std::wstring away = tipText();
    ASSERT_EQ(std::pair(atTone.rfind(L"12000 Hz  -", 0), away.rfind(L"6000 Hz  -", 0)), std::pair(size_t{0}, size_t{0}))
        << std::string(atTone.begin(), atTone.end()) << " / " << std::string(away.begin(), away.end());
    EXPECT_LT(std::stoi(away.substr(9)), std::stoi(atTone.substr(10)) - 40);  // the dB figures
    // Leaving hides the tip and asks for one repaint; a second leave has nothing to repaint.
    for (bool repaint : {true, false}) {
        PumpMessages();  // what hiding the tip uncovered
        ::ValidateRect(display, nullptr);
        ::SendMessageW(display, WM_MOUSELEAVE, 0, 0);
        EXPECT_EQ(std::pair(NeedsRepaint(display), ::IsWindowVisible(tip) != FALSE), std::pair(repaint, false));
    }
    Mouse(WM_MOUSEMOVE, 0, 350);
    EXPECT_TRUE(::IsWindowVisible(tip));
}

}  // namespace
