// "Turn ON" / "Turn OFF" through the main window, on the test bed's real capture device.
#include "win/main_frame_fixture.h"
#include "resource.h"
#include "settings/settings.h"

TEST_F(MainFrameTest, TurnOnCapturesAndLocksTheSoundcardRowsUntilTurnOff) {
    ASSERT_GT(frame->CaptureDevices().Count(), 0) << "the test bed provides a capture device";
    guitest::MessageBoxWatcher watcher;
    Command(ID_FFT_ON);
    ASSERT_EQ(watcher.count(), 0u) << (watcher.count() ? watcher.boxes()[0].text.c_str() : L"");
    EXPECT_TRUE(guitest::CaptureOn(frame->menu()));
    EXPECT_FALSE(Grayed(ID_FFT_OFF));
    EXPECT_TRUE(Grayed(ID_FFT_ON));
    for (auto row : {settings::kSoundCard, settings::kSampleRate, settings::kCardChannel})
        EXPECT_FALSE(frame->Rows().ValueItem(row)->isEnabled()) << row;
    EXPECT_TRUE(frame->Rows().ValueItem(settings::kCenterFrequency)->isEnabled());

    // Frames arrive from the capture thread: the accumulator moves.
    EXPECT_TRUE(guitest::PumpUntil([&] { return frame->Spectrum().sampleCount() > 0 ||
                                                 frame->Spectrum().fft.framesTotal > 0; }, 10000));

    // Turning on again restarts with the current rows: here another rate, in stereo.
    EXPECT_EQ(frame->Capture().BlockBytes(), 48000u * 2 / 8);
    ASSERT_TRUE(frame->Rows().WriteIndex(settings::kSampleRate, 0));   // 8000
    ASSERT_TRUE(frame->Rows().WriteIndex(settings::kCardChannel, 2));  // right channel
    Command(ID_FFT_ON);
    EXPECT_TRUE(guitest::CaptureOn(frame->menu()));
    EXPECT_EQ(frame->CurrentSettings().sampleRate, 8000);
    EXPECT_EQ(frame->Capture().BlockBytes(), 8000u * 2 * 2 / 8);
    EXPECT_EQ(frame->Spectrum().endFrequency, 4000);
    const int framesBefore = frame->Spectrum().fft.framesTotal;
    EXPECT_TRUE(guitest::PumpUntil([&] { return frame->Spectrum().fft.framesTotal > framesBefore; }, 15000));

    Command(ID_FFT_OFF);
    EXPECT_FALSE(guitest::CaptureOn(frame->menu()));
    EXPECT_TRUE(Grayed(ID_FFT_OFF));
    EXPECT_FALSE(Grayed(ID_FFT_ON));
    for (auto row : {settings::kSoundCard, settings::kSampleRate, settings::kCardChannel})
        EXPECT_TRUE(frame->Rows().ValueItem(row)->isEnabled()) << row;
    EXPECT_EQ(watcher.count(), 0u);
}

TEST_F(MainFrameTest, TurnOnWithoutADeviceSaysItCannotOpenTheSoundcard) {
    frame->CaptureDevices().Clear();
    guitest::MessageBoxWatcher watcher;
    Command(ID_FFT_ON);
    ASSERT_EQ(watcher.count(), 1u);
    EXPECT_EQ(watcher.boxes()[0].text, L"Can't open soundcard.");
    EXPECT_EQ(watcher.boxes()[0].caption, L"");
    EXPECT_FALSE(guitest::CaptureOn(frame->menu()));
    EXPECT_TRUE(Grayed(ID_FFT_OFF));
}

TEST_F(MainFrameTest, PickingAnotherRateAppliesItAndKeepsTheCentreWhenItFits) {
    auto* rateItem = frame->Rows().ValueItem(settings::kSampleRate);
    ASSERT_NE(rateItem, nullptr);
    // The grid's set-value path is what a user's choice takes.
    PropertyValue eightThousand(std::int32_t{0});
    ::SendMessageW(guitest::FindChild(frame->hwnd(), IDC_SETTINGS_GRID), GRID_MSG_SET_VALUE, reinterpret_cast<WPARAM>(&eightThousand),
                   reinterpret_cast<LPARAM>(rateItem));
    guitest::Pump();
    EXPECT_EQ(frame->CurrentSettings().sampleRate, 8000);
    EXPECT_EQ(frame->Spectrum().endFrequency, 4000);
    EXPECT_DOUBLE_EQ(frame->Spectrum().centerFrequency, 2000.0);
    wchar_t text[64] = {};
    frame->Rows().centreItem->displayText(text, 64);
    EXPECT_STREQ(text, L"2000 Hz");
    EXPECT_EQ(frame->Rows().ReadIndex(settings::kSampleRate), 0);
}

TEST_F(MainFrameTest, ClickOnTheSpectrumShowsTheNewCentreInTheRow) {
    HWND display = guitest::FindChild(frame->hwnd(), IDC_SPECTRUM);
    ::RedrawWindow(display, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    RECT client{};
    ::GetClientRect(display, &client);
    const int x = client.right / 2;
    ::SendMessageW(display, WM_MOUSEMOVE, 0, MAKELPARAM(x, 20));
    ::RedrawWindow(display, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    ::SendMessageW(display, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 20));
    const double expected = 24000.0 / client.right * x;
    EXPECT_NEAR(frame->Spectrum().centerFrequency, expected, 1e-6);
    wchar_t text[64] = {};
    frame->Rows().centreItem->displayText(text, 64);
    EXPECT_EQ(std::wstring(text), settings::CentreText(expected));
}
