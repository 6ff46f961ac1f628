// The spectrum display as a real child window over its model: rendered through WM_PRINTCLIENT into a
// bitmap, driven with pointer and key messages, fed with samples; the parent records its WM_COMMANDs.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <functional>
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

// The display's colours.
constexpr COLORREF kBackground = RGB(60, 60, 80), kBand = RGB(50, 85, 170), kCentre = RGB(100, 170, 255),
                   kCurve = RGB(255, 255, 255);
constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr WPARAM kCtrlClick = MK_LBUTTON | MK_CONTROL;

class RecordingParent : public win::Window {
public:
    struct Command {
        WPARAM wParam;
        LPARAM lParam;
        double centre;  // the model's centre frequency when the command arrived
    };
    std::vector<Command> commands;
    SpectrumModel* model = nullptr;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg != WM_COMMAND) return DefaultHandling(msg, wParam, lParam);
        commands.push_back({wParam, lParam, model ? model->centerFrequency : 0.0});
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

// Shift as the keyboard state that GetKeyState reads on this thread.
void HoldShift(bool down) {
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_SHIFT] = down ? 0x80 : 0;
    ::SetKeyboardState(keys);
}

// x of a frequency on the 700-pixel plot of 0..24000 Hz.
int XOf(double hz) { return static_cast<int>(std::lround(hz * 700.0 / 24000.0)); }

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
        parent->commands.clear();
        parent->model = &model;
        ASSERT_TRUE(display.Create(*parent, RECT{0, 0, 0, 150}, nullptr, kStyle, WS_EX_CLIENTEDGE));
        model.SetStartupValues();  // 0..24000 Hz, centre 2000 Hz, band 800..3200 Hz
        Resize(display, 700, 150);
    }
    void TearDown() override {
        PumpMessages();
        parent->model = nullptr;
    }
    static void Resize(HWND window, int width, int height) {
        RECT r{0, 0, width, height};
        ::AdjustWindowRectEx(&r, WS_CHILD, FALSE, WS_EX_CLIENTEDGE);
        ::SetWindowPos(window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT client{};
        ::GetClientRect(window, &client);
        ASSERT_EQ(client.right, width);
        ASSERT_EQ(client.bottom, height);
    }
    Picture Render(int width = 700, int height = 150) {
        Picture picture(display, width, height);
        EXPECT_TRUE(picture.ok());
        return picture;
    }
    void Feed(const std::vector<std::int16_t>& s, int perCall) {
        for (std::size_t at = 0; at < s.size(); at += perCall)
            model.AddSamples(s.data() + at, static_cast<int>(std::min<std::size_t>(perCall, s.size() - at)));
    }
    void Mouse(UINT msg, WPARAM keys, int x) { ::SendMessageW(display, msg, keys, MAKELPARAM(x, 40)); }
    void Key(WPARAM key) { ::SendMessageW(display, WM_KEYDOWN, key, 1); }

    static inline RecordingParent* parent = nullptr;
    SpectrumModel model;
    CFFTDisp display{model};
};

// Each row sets the scene, then the rendered picture must show these colours at these points and
// this many centre-line pixels in row 60.
TEST_F(SpectrumDisplay, ThePictureShowsBackgroundBandCentreLineAndCurve) {
    struct Pixel {
        int x, y;
        COLORREF colour;
    };
    struct Row {
        const char* scene;
        std::function<void()> set;
        std::vector<Pixel> pixels;
        int centreLinePixels;
    };
    const Row rows[] = {
        // 24000 / 700 Hz per pixel: band 800..3200 Hz at x 23..93, centre 2000 Hz at x 58.
        {"start-up", [] {},
         {{10, 50, kBackground}, {22, 50, kBackground}, {23, 50, kBand}, {57, 50, kBand}, {58, 0, kCentre},
          {58, 148, kCentre}, {59, 50, kBand}, {93, 50, kBand}, {94, 50, kBackground}, {600, 100, kBackground}},
         1},
        {"centre 12000 Hz", [&] { model.centerFrequency = 12000.0; },
         {{314, 60, kBackground}, {315, 60, kBand}, {349, 60, kBand}, {350, 60, kCentre}, {351, 60, kBand},
          {385, 60, kBand}, {386, 60, kBackground}, {58, 60, kBackground}},
         1},
        // Below the range: no centre line, only the band's upper part.
        {"centre -1 Hz", [&] { model.centerFrequency = -1.0; },
         {{20, 75, kBand}, {36, 75, kBackground}}, 0},
        // 0..4000 Hz across the plot: centre 2000 Hz in the middle, band 800..3200 Hz at x 140..560.
        {"rate 8000", [&] { model.ApplyRate(8000); }, {{350, 60, kCentre}, {200, 60, kBand}, {600, 60, kBackground}}, 1},
        // No scale: no band, no centre line, no frequency under the pointer, and a flat curve.
        {"rate 0", [&] { Mouse(WM_MOUSEMOVE, 0, 350), model.ApplyRate(0); }, {{23, 75, kBackground}}, 0},
        {"rate -8000", [&] { Mouse(WM_MOUSEMOVE, 0, 350), model.ApplyRate(-8000); }, {{58, 75, kBackground}}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scene);
        model.SetStartupValues();
        row.set();
        // Samples with a tone: under a rate of 0 or below they still leave the curve flat.
        if (model.endFrequency <= 0) Feed(Tone(3000.0, 30000.0, 20000), 1000);
        const Picture p = Render();
        EXPECT_EQ(model.plotWidth, 700);
        EXPECT_EQ(model.plotHeight, 150);
        for (const Pixel& px : row.pixels) EXPECT_EQ(p.At(px.x, px.y), px.colour) << px.x << "," << px.y;
        EXPECT_EQ(p.CountInRow(60, kCentre), row.centreLinePixels);
        if (model.endFrequency <= 0) {
            EXPECT_EQ(p.CountInRow(75, kBackground), 700);
            EXPECT_EQ(model.pointerFrequency, -1.0);
            ::SendMessageW(display, WM_MOUSELEAVE, 0, 0);
        }
        EXPECT_EQ(p.CountInRow(149, kCurve), 700);  // all levels 0: the curve lies on the bottom row
        EXPECT_EQ(p.CountInRow(148, kCurve), 0);
    }
    EXPECT_EQ(::SendMessageW(display, WM_ERASEBKGND, 0, 0), 1);  // the paint covers all: no flicker
}

TEST_F(SpectrumDisplay, ALeftClickOrDragSelectsTheFrequencyUnderThePointer) {
    EXPECT_EQ(display.pointerX, -1);
    Mouse(WM_MOUSEMOVE, 0, 350);
    EXPECT_EQ(display.pointerX, 350);
    Render();
    EXPECT_DOUBLE_EQ(model.pointerFrequency, 12000.0);
    // With other keys or buttons, or none, a click or a drag selects nothing.
    for (int keys : {MK_LBUTTON | MK_SHIFT, MK_LBUTTON | MK_CONTROL, MK_LBUTTON | MK_RBUTTON, MK_LBUTTON | MK_MBUTTON,
                     MK_RBUTTON, 0}) {
        Mouse(WM_LBUTTONDOWN, keys, 350);
        Mouse(WM_MOUSEMOVE, keys, 350);
    }
    EXPECT_TRUE(parent->commands.empty());
    EXPECT_EQ(model.centerFrequency, 2000.0);

    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 350);
    EXPECT_DOUBLE_EQ(model.centerFrequency, 12000.0);
    ASSERT_EQ(parent->commands.size(), 1u);
    EXPECT_EQ(parent->commands[0].wParam, 0u);
    EXPECT_EQ(parent->commands[0].lParam, reinterpret_cast<LPARAM>(display.hwnd()));
    EXPECT_DOUBLE_EQ(parent->commands[0].centre, 12000.0);  // set before the parent hears of it
    EXPECT_EQ(Render().At(350, 60), kCentre);
    // Dragging with only the left button keeps selecting, one notification per step.
    Mouse(WM_MOUSEMOVE, MK_LBUTTON, 175);
    Render();
    Mouse(WM_MOUSEMOVE, MK_LBUTTON, 175);
    EXPECT_DOUBLE_EQ(model.centerFrequency, 6000.0);
    EXPECT_EQ(parent->commands.size(), 3u);
}

TEST_F(SpectrumDisplay, AClickTunesWhereItLandsAndThePointerLeavingClearsItOnce) {
    // The latest paint saw the pointer at x 350 (12000 Hz). The pointer then moves to x 100 and
    // clicks there, both posted, so the repaint the move asks for comes only after the click.
    Mouse(WM_MOUSEMOVE, 0, 350);
    Render();
    ::ValidateRect(display, nullptr);
    ::PostMessageW(display, WM_MOUSEMOVE, 0, MAKELPARAM(100, 40));
    ::PostMessageW(display, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 40));
    PumpMessages();
    ASSERT_EQ(parent->commands.size(), 1u);
    EXPECT_DOUBLE_EQ(parent->commands[0].centre, 24000.0 / 700 * 100);

    Mouse(WM_MOUSEMOVE, 0, 350);
    ::ValidateRect(display, nullptr);
    ::SendMessageW(display, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(display.pointerX, -1);
    EXPECT_TRUE(NeedsRepaint(display));  // one repaint requested
    PumpMessages();
    ::ValidateRect(display, nullptr);
    ::SendMessageW(display, WM_MOUSELEAVE, 0, 0);  // already gone: nothing to repaint
    EXPECT_FALSE(NeedsRepaint(display));
    Render();
    EXPECT_EQ(model.pointerFrequency, -1.0);
    EXPECT_EQ(parent->commands.size(), 1u);

    // The latest paint had no frequency under the pointer: a click before any repaint still tunes
    // to its own x, and the picture follows.
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 525);
    EXPECT_DOUBLE_EQ(model.centerFrequency, 18000.0);
    EXPECT_DOUBLE_EQ(model.pointerFrequency, 18000.0);
    ASSERT_EQ(parent->commands.size(), 2u);
    const Picture p = Render();
    EXPECT_EQ(p.At(525, 60), kCentre);
    EXPECT_EQ(p.CountInRow(60, kCentre), 1);
}

TEST_F(SpectrumDisplay, TwoViewsOfOneModelShowAndTuneTheSame) {
    {
        CFFTDisp second{model};
        ASSERT_TRUE(second.Create(*parent, RECT{0, 170, 0, 320}, nullptr, kStyle, WS_EX_CLIENTEDGE));
        Resize(second, 700, 150);
        ::SendMessageW(second, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(350, 40));
        EXPECT_DOUBLE_EQ(model.centerFrequency, 12000.0);
        Render();  // the frame is analysed for the painted width, which both views share
        Feed(Tone(3000.0, 16000.0, 17000), 1000);
        ASSERT_EQ(model.fft.framesTotal, 1);
        const Picture first = Render(), other(second, 700, 150);
        ASSERT_TRUE(other.ok());
        EXPECT_TRUE(first == other);
        EXPECT_EQ(other.At(350, 60), kCentre);
        // A new frame asks both for a repaint.
        ::ValidateRect(display, nullptr);
        ::ValidateRect(second, nullptr);
        Feed(Tone(3000.0, 16000.0, 4096, 17000), 4096);
        EXPECT_TRUE(NeedsRepaint(display));
        EXPECT_TRUE(NeedsRepaint(second));
    }
    // The second view is gone; the first still hears of new frames.
    ::ValidateRect(display, nullptr);
    Feed(Tone(3000.0, 16000.0, 4096, 21096), 4096);
    EXPECT_EQ(model.fft.framesTotal, 3);
    EXPECT_TRUE(NeedsRepaint(display));
}

TEST_F(SpectrumDisplay, AToneIsTheHighestColumnAtItsFrequency) {
    Render();
    // Bin 2053.5 of 16384 at 48000 Hz: the middle of column 175 (11.7 bins per column).
    Feed(Tone(2053.5 * 48000.0 / 16384.0, 16000.0, 17000), 1000);
    ASSERT_EQ(model.fft.framesTotal, 1);
    const Picture p = Render();
    EXPECT_EQ(p.HighestColumn(), 175);
    int secondTop = 150;
    for (int x = 0; x < 700; ++x)
        if (x != 175) secondTop = std::min(secondTop, p.TopOfCurve(x));
    EXPECT_LT(p.TopOfCurve(175), 140);  // clearly above the bottom row
    EXPECT_LT(p.TopOfCurve(175), secondTop);
    EXPECT_EQ(p.TopOfCurve(600), 149);
}

TEST_F(SpectrumDisplay, OversizePlotsAndFramesStayInsideTheBuffers) {
    Resize(display, 9000, 100);
    ASSERT_TRUE(Picture(display, 9000, 100).ok());
    EXPECT_EQ(model.plotWidth, 9000);
    model.frameSize = 100000;  // taken as the largest frame the buffer holds
    Feed(Tone(3000.0, 16000.0, 20000), 1000);
    EXPECT_EQ(model.fft.framesTotal, 1);
    const Picture p(display, 9000, 100);
    ASSERT_TRUE(p.ok());
    EXPECT_EQ(p.TopOfCurve(8100), 100);  // past the analysed columns no curve is drawn
    EXPECT_LT(p.TopOfCurve(10), 100);
    // An analyser frame larger than the display's buffer is never fed.
    model.fft.Setup(65536, 10, 48000.0);
    Feed(Tone(3000.0, 16000.0, 70000), 7000);
    EXPECT_EQ(model.fft.framesTotal, 0);
}

TEST_F(SpectrumDisplay, AfterTheWindowIsGoneTheModelCarriesOnAlone) {
    ::DestroyWindow(display);
    EXPECT_EQ(display.hwnd(), nullptr);
    Feed(Tone(3000.0, 16000.0, 20000), 1000);  // it has left the listeners; the analysis goes on
    EXPECT_EQ(model.fft.framesTotal, 1);
    EXPECT_TRUE(model.LevelDbAt(3000.0).has_value());
}

TEST_F(SpectrumDisplay, CtrlClickSnapsToTheCarrierNearThePointer) {
    Render();
    spectrum_test::CarrierSpec spec;
    spec.centreHz = 5000.0;
    spec.snrDb = 25.0;
    std::mt19937 gen(5);
    Feed(spectrum_test::BpskCarrier().Make(spec, gen), 4800);
    // On the carrier's upper edge: the centre goes to the carrier's, and the parent hears of it.
    Mouse(WM_MOUSEMOVE, MK_CONTROL, XOf(5550.0));
    Mouse(WM_LBUTTONDOWN, kCtrlClick, XOf(5550.0));
    EXPECT_NEAR(model.centerFrequency, 5000.0, 5.0);
    ASSERT_EQ(parent->commands.size(), 1u);
    EXPECT_EQ(parent->commands[0].lParam, reinterpret_cast<LPARAM>(display.hwnd()));
    EXPECT_EQ(parent->commands[0].centre, model.centerFrequency);
    EXPECT_EQ(Render().At(XOf(model.centerFrequency), 60), kCentre);
    // Dragging with Ctrl held, Ctrl with another key or button, or a click far from any carrier
    // (nothing stands above the floor there) leave the centre alone, and nobody is told.
    const double snapped = model.centerFrequency;
    Mouse(WM_MOUSEMOVE, kCtrlClick, XOf(4500.0));
    Mouse(WM_LBUTTONDOWN, kCtrlClick | MK_SHIFT, XOf(4500.0));
    Mouse(WM_LBUTTONDOWN, kCtrlClick | MK_RBUTTON, XOf(4500.0));
    Mouse(WM_LBUTTONDOWN, kCtrlClick, XOf(15000.0));
    EXPECT_EQ(model.centerFrequency, snapped);
    EXPECT_EQ(parent->commands.size(), 1u);
}

TEST_F(SpectrumDisplay, AClickTakesTheFocusAndTheArrowsFineTune) {
    ::SetFocus(*parent);
    EXPECT_EQ(::SendMessageW(display, WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS, DLGC_WANTARROWS);
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 350);
    EXPECT_EQ(::GetFocus(), display.hwnd());
    // Each row: Shift held, the key, the centre after it and the notifications so far. The centre
    // never leaves the range; Up and Down do nothing; a disabled display takes no keys.
    struct Row {
        bool shift;
        WPARAM key;
        double centre;
        size_t commands;
    };
    for (const Row& r : {Row{false, VK_RIGHT, 12001, 2}, Row{false, VK_LEFT, 12000, 3}, Row{false, VK_LEFT, 11999, 4},
                         Row{true, VK_RIGHT, 12009, 5}, Row{true, VK_LEFT, 11999, 6}, Row{false, VK_UP, 11999, 6},
                         Row{false, VK_DOWN, 11999, 6}}) {
        HoldShift(r.shift);
        Key(r.key);
        EXPECT_DOUBLE_EQ(model.centerFrequency, r.centre) << r.key << " shift " << r.shift;
        ASSERT_EQ(parent->commands.size(), r.commands);
        EXPECT_DOUBLE_EQ(parent->commands.back().centre, model.centerFrequency);
    }
    HoldShift(false);
    model.centerFrequency = 23995.0;
    HoldShift(true);
    Key(VK_RIGHT);
    HoldShift(false);
    EXPECT_DOUBLE_EQ(model.centerFrequency, 24000.0);
    model.centerFrequency = 0.5;
    Key(VK_LEFT);
    EXPECT_DOUBLE_EQ(model.centerFrequency, 0.0);
    const size_t notified = parent->commands.size();
    ::EnableWindow(display, FALSE);
    Key(VK_RIGHT);
    EXPECT_DOUBLE_EQ(model.centerFrequency, 0.0);
    EXPECT_EQ(parent->commands.size(), notified);
    ::EnableWindow(display, TRUE);
    model.centerFrequency = 12000.0;
    Key(VK_RIGHT);
    EXPECT_DOUBLE_EQ(model.centerFrequency, 12001.0);
    EXPECT_EQ(Render().At(350, 60), kCentre);  // the line follows the keys
}

TEST_F(SpectrumDisplay, TheReadoutFollowsThePointerAndTheFrames) {
    const Picture without = Render();
    Mouse(WM_MOUSEMOVE, 0, 350);
    HWND tip = display.readoutWindow();
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(::IsWindowVisible(tip));
    EXPECT_EQ(TipText(tip, display), L"12000 Hz");  // no frame yet: no level
    // Beside the pointer, not under it; the picture itself is as it was without the pointer.
    RECT tipRect{};
    ::GetWindowRect(tip, &tipRect);
    POINT pointer{350, 40};
    ::ClientToScreen(display, &pointer);
    EXPECT_FALSE(::PtInRect(&tipRect, pointer));
    EXPECT_GE(tipRect.left, pointer.x);
    EXPECT_TRUE(Render() == without);

    // A frame with a tone at 12000 Hz: the next paint shows its level; at 6000 Hz it reads far lower.
    Feed(Tone(12000.0, 16000.0, 17000), 1000);
    Render();
    const std::wstring atTone = TipText(tip, display);
    EXPECT_EQ(atTone.rfind(L"12000 Hz  -", 0), 0u) << std::string(atTone.begin(), atTone.end());
    Mouse(WM_MOUSEMOVE, 0, 175);
    const std::wstring away = TipText(tip, display);
    ASSERT_EQ(away.rfind(L"6000 Hz  -", 0), 0u) << std::string(away.begin(), away.end());
    EXPECT_LT(std::stoi(away.substr(9)), std::stoi(atTone.substr(10)) - 40);  // the dB figures
    for (bool inside : {false, true, false}) {
        if (inside) Mouse(WM_MOUSEMOVE, 0, 350);
        else ::SendMessageW(display, WM_MOUSELEAVE, 0, 0);
        EXPECT_EQ(::IsWindowVisible(tip) != FALSE, inside);
    }
}

}  // namespace
