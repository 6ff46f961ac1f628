// The spectrum display as a real child window over its model: rendered through WM_PRINTCLIENT into a
// bitmap, driven with pointer messages, fed with samples; the parent records the WM_COMMANDs it gets.
#include "display_fixture.h"

namespace {

using namespace display_test;

TEST_F(SpectrumDisplay, CreationOverItsModel) {
    // (The model's own start-up values are the model suite's.)
    SpectrumModel freshModel;
    CFFTDisp fresh{freshModel};
    ASSERT_TRUE(fresh.Create(*parent, RECT{0, 0, 0, 150}, nullptr, kDisplayStyle, WS_EX_CLIENTEDGE));
    EXPECT_EQ(fresh.pointerX, -1);
    EXPECT_EQ(&fresh.model(), &freshModel);
    EXPECT_EQ(::GetWindowLongW(fresh, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE);
    EXPECT_EQ(::SendMessageW(display, WM_ERASEBKGND, 0, 0), 1);
}

TEST_F(SpectrumDisplay, DarkWindowShowsBackgroundBandCentreLineAndBottomRow) {
    const Picture p = Render();
    EXPECT_EQ(model.plotWidth, 700);
    EXPECT_EQ(model.plotHeight, 150);
    // 24000 / 700 Hz per pixel: band 800..3200 Hz at x 23..93, centre 2000 Hz at x 58.
    EXPECT_EQ(p.At(10, 50), kBackground);
    EXPECT_EQ(p.At(22, 50), kBackground);
    EXPECT_EQ(p.At(23, 50), kBand);
    EXPECT_EQ(p.At(57, 50), kBand);
    EXPECT_EQ(p.At(58, 0), kCentreLine);
    EXPECT_EQ(p.At(58, 148), kCentreLine);
    EXPECT_EQ(p.At(59, 50), kBand);
    EXPECT_EQ(p.At(93, 50), kBand);
    EXPECT_EQ(p.At(94, 50), kBackground);
    EXPECT_EQ(p.At(600, 100), kBackground);
    EXPECT_EQ(p.CountInRow(149, kWhite), 700);  // all levels 0: the curve lies on the bottom row
    EXPECT_EQ(p.CountInRow(148, kWhite), 0);
}

TEST_F(SpectrumDisplay, LeftClickSelectsTheFrequencyUnderThePointer) {
    ::SendMessageW(display, WM_MOUSEMOVE, 0, PointAt(350, 40));
    EXPECT_EQ(display.pointerX, 350);
    Render();
    EXPECT_DOUBLE_EQ(model.pointerFrequency, 12000.0);
    EXPECT_TRUE(parent->commands.empty());
    ::SendMessageW(display, WM_LBUTTONDOWN, MK_LBUTTON, PointAt(350, 40));
    EXPECT_DOUBLE_EQ(model.centerFrequency, 12000.0);
    ASSERT_EQ(parent->commands.size(), 1u);
    EXPECT_EQ(parent->commands[0].wParam, 0u);
    EXPECT_EQ(parent->commands[0].lParam, reinterpret_cast<LPARAM>(display.hwnd()));
    EXPECT_DOUBLE_EQ(parent->commands[0].centre, 12000.0);  // set before the parent hears of it

    const Picture p = Render();
    EXPECT_EQ(p.At(314, 60), kBackground);
    EXPECT_EQ(p.At(315, 60), kBand);
    EXPECT_EQ(p.At(349, 60), kBand);
    EXPECT_EQ(p.At(350, 60), kCentreLine);
    EXPECT_EQ(p.At(351, 60), kBand);
    EXPECT_EQ(p.At(385, 60), kBand);
    EXPECT_EQ(p.At(386, 60), kBackground);
    EXPECT_EQ(p.CountInRow(60, kCentreLine), 1);
    EXPECT_EQ(p.At(58, 60), kBackground);  // the old centre is gone

    // Dragging with only the left button keeps selecting, one notification per step.
    ::SendMessageW(display, WM_MOUSEMOVE, MK_LBUTTON, PointAt(175, 40));
    Render();
    ::SendMessageW(display, WM_MOUSEMOVE, MK_LBUTTON, PointAt(175, 40));
    EXPECT_DOUBLE_EQ(model.centerFrequency, 6000.0);
    EXPECT_EQ(parent->commands.size(), 3u);
}

TEST_F(SpectrumDisplay, ClicksWithOtherKeysOrButtonsSelectNothing) {
    ::SendMessageW(display, WM_MOUSEMOVE, 0, PointAt(350, 40));
    Render();
    for (WPARAM keys : {WPARAM(MK_LBUTTON | MK_SHIFT), WPARAM(MK_LBUTTON | MK_CONTROL), WPARAM(MK_LBUTTON | MK_RBUTTON),
                        WPARAM(MK_LBUTTON | MK_MBUTTON), WPARAM(MK_RBUTTON), WPARAM(0)}) {
        ::SendMessageW(display, WM_LBUTTONDOWN, keys, PointAt(350, 40));
        ::SendMessageW(display, WM_MOUSEMOVE, keys, PointAt(350, 40));
    }
    EXPECT_TRUE(parent->commands.empty());
    EXPECT_EQ(model.centerFrequency, 2000.0);
    EXPECT_EQ(display.pointerX, 350);
}

TEST_F(SpectrumDisplay, PointerLeavingClearsItOnce) {
    ::SendMessageW(display, WM_MOUSEMOVE, 0, PointAt(350, 40));
    Render();
    PumpMessages();
    ::SendMessageW(display, WM_MOUSEMOVE, 0, PointAt(350, 40));
    ::ValidateRect(display, nullptr);
    ::SendMessageW(display, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(display.pointerX, -1);
    RECT update{};
    EXPECT_TRUE(::GetUpdateRect(display, &update, FALSE));  // one repaint requested
    EXPECT_EQ(model.centerFrequency, 2000.0);
    PumpMessages();
    ::ValidateRect(display, nullptr);
    ::SendMessageW(display, WM_MOUSELEAVE, 0, 0);  // already gone: nothing to repaint
    EXPECT_FALSE(::GetUpdateRect(display, &update, FALSE));
    Render();
    EXPECT_EQ(model.pointerFrequency, -1.0);
    EXPECT_TRUE(parent->commands.empty());

    // A centre of -1 Hz (below the range) draws no centre line, only the band's upper part.
    model.centerFrequency = -1.0;
    const Picture p = Render();
    for (int y : {0, 75, 149}) EXPECT_EQ(p.CountInRow(y, kCentreLine), 0) << y;
    EXPECT_EQ(p.At(20, 75), kBand);
    EXPECT_EQ(p.At(36, 75), kBackground);
}

TEST_F(SpectrumDisplay, AClickTunesWhereItLandsEvenBeforeARepaint) {
    // The latest paint saw the pointer at x 350 (12000 Hz). The pointer then moves to x 100 and
    // clicks there; both messages are posted, so the repaint the move asks for comes only after
    // the click has been handled.
    ::SendMessageW(display, WM_MOUSEMOVE, 0, PointAt(350, 40));
    Render();
    ::ValidateRect(display, nullptr);
    ASSERT_DOUBLE_EQ(model.pointerFrequency, 12000.0);
    ::PostMessageW(display, WM_MOUSEMOVE, 0, PointAt(100, 40));
    ::PostMessageW(display, WM_LBUTTONDOWN, MK_LBUTTON, PointAt(100, 40));
    PumpMessages();
    ASSERT_EQ(parent->commands.size(), 1u);
    EXPECT_DOUBLE_EQ(parent->commands[0].centre, 24000.0 / 700 * 100);
    EXPECT_DOUBLE_EQ(model.centerFrequency, 24000.0 / 700 * 100);

    // After the pointer left (the latest paint had no frequency under the pointer), a click that
    // arrives before any repaint still tunes to its own x, and the picture follows.
    ::SendMessageW(display, WM_MOUSELEAVE, 0, 0);
    Render();
    ASSERT_EQ(model.pointerFrequency, -1.0);
    ::SendMessageW(display, WM_LBUTTONDOWN, MK_LBUTTON, PointAt(525, 40));
    EXPECT_DOUBLE_EQ(model.centerFrequency, 18000.0);
    EXPECT_DOUBLE_EQ(model.pointerFrequency, 18000.0);
    ASSERT_EQ(parent->commands.size(), 2u);
    const Picture p = Render();
    EXPECT_EQ(p.At(525, 60), kCentreLine);
    EXPECT_EQ(p.CountInRow(60, kCentreLine), 1);
}

TEST_F(SpectrumDisplay, TwoViewsOfOneModelShowAndTuneTheSame) {
    {
        CFFTDisp second{model};
        ASSERT_TRUE(second.Create(*parent, RECT{0, 170, 0, 320}, nullptr, kDisplayStyle, WS_EX_CLIENTEDGE));
        Resize(second, 700, 150);
        ::SendMessageW(second, WM_LBUTTONDOWN, MK_LBUTTON, PointAt(350, 40));
        EXPECT_DOUBLE_EQ(model.centerFrequency, 12000.0);
        Render();  // the frame is analysed for the painted width, which both views share
        Feed(Tone(3000.0, 48000.0, 16000.0, 17000), 1000);
        ASSERT_EQ(model.fft.framesTotal, 1);
        const Picture first = Render();
        const Picture other(second, 700, 150);
        ASSERT_TRUE(other.ok());
        EXPECT_TRUE(first == other);
        EXPECT_EQ(other.At(350, 60), kCentreLine);

        // A new frame asks both for a repaint.
        ::ValidateRect(display, nullptr);
        ::ValidateRect(second, nullptr);
        Feed(Tone(3000.0, 48000.0, 16000.0, 4096, 17000), 4096);
        RECT update{};
        EXPECT_TRUE(::GetUpdateRect(display, &update, FALSE));
        EXPECT_TRUE(::GetUpdateRect(second, &update, FALSE));
    }
    // The second view is gone; the first still hears of new frames.
    ::ValidateRect(display, nullptr);
    Feed(Tone(3000.0, 48000.0, 16000.0, 4096, 21096), 4096);
    EXPECT_EQ(model.fft.framesTotal, 3);
    RECT update{};
    EXPECT_TRUE(::GetUpdateRect(display, &update, FALSE));
}

TEST_F(SpectrumDisplay, NewRateDropsCollectedSamplesAndRescalesThePlot) {
    // (Where the centre goes on a rate change is the model suite's.)
    model.centerFrequency = 5000.0;
    Feed(Tone(1000.0, 48000.0, 8000.0, 3000), 1000);
    ASSERT_EQ(model.sampleCount(), 3000);
    EXPECT_TRUE(model.ApplyRate(8000));
    EXPECT_EQ(model.sampleCount(), 0);
    EXPECT_EQ(model.fft.frameSize, 16384);
    // The band now spans 0..4000 Hz across the plot.
    Render();
    ::SendMessageW(display, WM_MOUSEMOVE, 0, PointAt(350, 40));
    Render();
    EXPECT_DOUBLE_EQ(model.pointerFrequency, 2000.0);
}

TEST_F(SpectrumDisplay, TheSameRateChangesNothing) {
    Render();
    Feed(Tone(3000.0, 48000.0, 8000.0, 30000), 1000);
    const int frames = model.fft.framesTotal;
    ASSERT_GT(frames, 0);
    const double level = model.fft.LevelDb(1024);
    const int collected = model.sampleCount();
    model.centerFrequency = 30000.0;  // above rate / 2, yet no change is made
    EXPECT_FALSE(model.ApplyRate(48000));
    EXPECT_EQ(model.fft.framesTotal, frames);
    EXPECT_EQ(model.fft.LevelDb(1024), level);
    EXPECT_EQ(model.sampleCount(), collected);
    EXPECT_EQ(model.centerFrequency, 30000.0);
    // Another rate with the same frame size and averaging keeps the averages too.
    EXPECT_TRUE(model.ApplyRate(96000));
    EXPECT_EQ(model.fft.framesTotal, frames);
    EXPECT_EQ(model.fft.LevelDb(1024), level);
}

TEST_F(SpectrumDisplay, RatesOfZeroOrBelowGiveAFlatPicture) {
    for (int rate : {0, -8000}) {
        model.ApplyRate(48000);
        ::SendMessageW(display, WM_MOUSEMOVE, 0, PointAt(350, 40));
        EXPECT_TRUE(model.ApplyRate(rate));
        EXPECT_EQ(model.endFrequency, rate / 2);
        EXPECT_EQ(model.centerFrequency, 2000.0);
        Feed(Tone(3000.0, 48000.0, 30000.0, 20000), 1000);
        const Picture p = Render();
        EXPECT_EQ(model.pointerFrequency, -1.0);
        EXPECT_EQ(p.CountInRow(75, kBand), 0);
        EXPECT_EQ(p.CountInRow(75, kCentreLine), 0);
        EXPECT_EQ(p.CountInRow(75, kBackground), 700);
        EXPECT_EQ(p.CountInRow(149, kWhite), 700);
        ::SendMessageW(display, WM_MOUSELEAVE, 0, 0);
    }
}

TEST_F(SpectrumDisplay, AToneIsTheHighestColumnAtItsFrequency) {
    Render();
    // Bin 2053.5 of 16384 at 48000 Hz: the middle of column 175 (11.7 bins per column).
    const double hz = 2053.5 * 48000.0 / 16384.0;
    Feed(Tone(hz, 48000.0, 16000.0, 17000), 1000);
    ASSERT_EQ(model.fft.framesTotal, 1);
    const Picture p = Render();
    int best = -1, bestTop = 150, secondTop = 150;
    for (int x = 0; x < 700; ++x) {
        const int top = p.TopOfCurve(x);
        if (top < bestTop) {
            secondTop = bestTop;
            bestTop = top;
            best = x;
        } else if (top < secondTop) {
            secondTop = top;
        }
    }
    EXPECT_EQ(best, 175);
    EXPECT_LT(bestTop, 140);  // clearly above the bottom row
    EXPECT_LT(bestTop, secondTop);
    EXPECT_EQ(p.TopOfCurve(600), 149);
}

TEST_F(SpectrumDisplay, OversizePlotsAndFramesStayInsideTheBuffers) {
    Resize(9000, 100);
    ASSERT_TRUE(Picture(display, 9000, 100).ok());
    EXPECT_EQ(model.plotWidth, 9000);
    model.frameSize = 100000;  // taken as the largest frame the buffer holds
    Feed(Tone(3000.0, 48000.0, 16000.0, 20000), 1000);
    EXPECT_EQ(model.fft.framesTotal, 1);
    const Picture p(display, 9000, 100);
    ASSERT_TRUE(p.ok());
    EXPECT_EQ(p.TopOfCurve(8100), 100);  // past the analysed columns no curve is drawn
    EXPECT_LT(p.TopOfCurve(10), 100);
    // An analyser frame larger than the display's buffer is never fed.
    model.fft.Setup(65536, 10, 48000.0);
    Feed(Tone(3000.0, 48000.0, 16000.0, 70000), 7000);
    EXPECT_EQ(model.fft.framesTotal, 0);
}

TEST_F(SpectrumDisplay, AfterTheWindowIsGoneTheModelCarriesOnAlone) {
    ::DestroyWindow(display);
    EXPECT_EQ(display.hwnd(), nullptr);
    // The model no longer tells the window (it has left the listeners); its analysis goes on.
    Feed(Tone(3000.0, 48000.0, 16000.0, 20000), 1000);
    EXPECT_EQ(model.fft.framesTotal, 1);
    EXPECT_EQ(model.sampleCount(), 12288 + (20000 - 16384));
    EXPECT_TRUE(model.LevelDbAt(3000.0).has_value());
}

}  // namespace
