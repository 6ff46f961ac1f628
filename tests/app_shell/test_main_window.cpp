// The main window as the user meets it: start-up, panes and layout, menu commands, tuning, and
// capture turned on and off on the test bed's real capture device.
#include "win/main_frame_fixture.h"
#include "settings/settings.h"

#include <cwchar>
#include <string>

namespace {

class ShellTest : public MainFrameTest {
protected:
    HWND Part(int id) const { return guitest::FindChild(frame->hwnd(), id); }
    LRESULT Pressed(int button) const { return ::SendMessageW(Part(button), BM_GETCHECK, 0, 0); }
    std::wstring CentreRow() { return frame->Rows().ReadText(settings::kCenterFrequency); }
    int BarHeight() const {
        RECT r{};
        ::GetWindowRect(guitest::TopBarOf(frame->hwnd()), &r);
        return r.bottom - r.top;
    }
    void ExpectCapturing(bool on) {
        EXPECT_EQ(guitest::CaptureOn(frame->menu()), on);
        EXPECT_EQ(Grayed(ID_FFT_ON), on);
        // The sound-card rows are locked while capturing; the centre stays free.
        for (auto row : {settings::kSoundCard, settings::kSampleRate, settings::kCardChannel})
            EXPECT_EQ(frame->Rows().ValueItem(row)->isEnabled(), !on) << row;
        EXPECT_TRUE(frame->Rows().ValueItem(settings::kCenterFrequency)->isEnabled());
    }
};

std::wstring HzText(double hz) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%.0f Hz", hz);
    return text;
}

}  // namespace

// Idle on the settings pane. Then each step picks a pane by its button or its menu command: that pane
// alone shows, its button alone is pressed, and it takes the room the spectrum leaves when it hides.
// The log keeps its text; stray commands change nothing; Exit closes the window.
TEST_F(ShellTest, StartsIdleSwitchesPanesByButtonOrCommandAndExits) {
    for (auto [id, text] : {std::pair{IDC_STATUS_FIELD, L"Idle"}, {IDC_LES_FIELD, L"---"}, {IDC_FRAME_FIELD, L"----"}})
        EXPECT_EQ(guitest::WindowText(Part(id)), text);
    EXPECT_TRUE(Grayed(ID_DECODER_STOP));
    EXPECT_FALSE(Grayed(ID_DECODER_START) || frame->Run().Running());
    ExpectCapturing(false);

    const RECT grid = ClientRectIn(Part(IDC_SETTINGS_GRID));
    const int bar = BarHeight();
    guitest::LogViewOf(frame->hwnd()).Append(L"written before any switch\n", RGB(100, 100, 200));
    const int buttons[] = {IDC_FFT_SETTINGS_BUTTON, IDC_DECODER_LOG_BUTTON, IDC_MESSAGES_BUTTON};
    const struct {
        int button;    // clicked, or 0
        UINT command;  // sent, or 0
        int pane;
    } steps[] = {{0, 0, 0}, {IDC_DECODER_LOG_BUTTON, 0, 1}, {IDC_MESSAGES_BUTTON, 0, 2}, {IDC_FFT_SETTINGS_BUTTON, 0, 0},
                 {0, ID_PANE_MESSAGES, 2}, {0, ID_PANE_DECODER_LOG, 1}, {0, ID_PANE_FFT_SETTINGS, 0}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.button + step.command);
        if (step.button) ::SendMessageW(Part(step.button), BM_CLICK, 0, 0);
        if (step.command) Command(step.command);
        guitest::Pump();
        ASSERT_EQ(guitest::ShownPane(frame->hwnd()), step.pane);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(Pressed(buttons[i]), i == step.pane ? BST_CHECKED : BST_UNCHECKED) << i;
        EXPECT_EQ((BandStyleOf(Part(IDC_SPECTRUM)) & RBBS_HIDDEN) != 0, step.pane != 0);
        const int lost = bar - BarHeight();
        EXPECT_TRUE(step.pane == 0 ? lost == 0 : lost >= 150) << lost;
        const RECT shown = ClientRectIn(guitest::ShownPaneWindow(frame->hwnd()));
        EXPECT_TRUE(shown.top == grid.top - lost && shown.bottom == grid.bottom) << shown.top << " " << shown.bottom;
    }
    EXPECT_NE(guitest::WindowText(Part(IDC_DECODER_LOG)).find(L"written before any switch"), std::wstring::npos);

    Command(ID_PANE_DECODER_LOG);  // id 0 from a control other than the spectrum, an unknown id
    ::SendMessageW(frame->hwnd(), WM_COMMAND, 0, reinterpret_cast<LPARAM>(Part(IDC_STATUS_FIELD)));
    Command(999);
    EXPECT_EQ(guitest::ShownPane(frame->hwnd()), 1);
    EXPECT_EQ(guitest::WindowText(Part(IDC_STATUS_FIELD)), L"Idle");

    HWND hwnd = frame->hwnd();  // Exit is posted: the window goes once the loop runs
    Command(ID_FILE_EXIT);
    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_TRUE(guitest::PumpUntil([&] { return !::IsWindow(hwnd); }));
}

// A resize lays out every pane, the hidden ones in the same place (a log of no width would wrap every
// character); minimising lays out nothing.
TEST_F(ShellTest, ResizingLaysOutEveryPaneButMinimisingDoesNot) {
    ::SetWindowPos(frame->hwnd(), nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
    guitest::Pump();
    RECT client{};
    ::GetClientRect(frame->hwnd(), &client);
    const RECT grid = ClientRectIn(Part(IDC_SETTINGS_GRID));
    EXPECT_TRUE(grid.left == 0 && grid.right == client.right && grid.bottom == client.bottom);
    auto atGrid = [&](int pane) {
        const RECT rc = ClientRectIn(Part(pane));
        return ::EqualRect(&rc, &grid) != 0;
    };
    for (int pane : {IDC_DECODER_LOG, IDC_MESSAGES_PANE}) EXPECT_TRUE(atGrid(pane)) << pane;
    ::ShowWindow(frame->hwnd(), SW_MINIMIZE);
    guitest::Pump();
    RECT minimised{};
    ::GetWindowRect(Part(IDC_SETTINGS_GRID), &minimised);
    EXPECT_EQ(minimised.right - minimised.left, grid.right - grid.left);
    ::ShowWindow(frame->hwnd(), SW_RESTORE);
    guitest::Pump();
    EXPECT_TRUE(atGrid(IDC_SETTINGS_GRID));
}

// Every item starts checked; unchecking hides its category from the run's log, checking shows it.
// Category 4 (the decoder's own notes) has no item; no item touches its flag, which stays off.
TEST_F(ShellTest, LogFilterItemsToggleTheirCategory) {
    for (auto [id, category] : {std::pair{ID_FILTER_FRAME_HEADERS, 0}, {ID_FILTER_BB_CONTENTS, 1}, {ID_FILTER_BB_HEADER, 2},
                                {ID_FILTER_UNKNOWN, 3}, {ID_FILTER_MESSAGE_TEXT, 5}}) {
        for (int step = 0; step < 3; ++step) {
            if (step > 0) Command(id);
            EXPECT_EQ(Checked(id), step != 1) << id << " step " << step;
            EXPECT_EQ(frame->Run().Filter().Shown(category), step != 1) << id << " step " << step;
        }
    }
    EXPECT_FALSE(frame->Run().Filter().Shown(4));
}

// A click on the spectrum tunes there and takes the focus from the grid; Right and Left then move
// the centre by 1 Hz and the centre-frequency row follows. A disabled spectrum takes no keys.
TEST_F(ShellTest, AClickOnTheSpectrumTunesAndTheArrowKeysMoveTheCentre) {
    HWND display = Part(IDC_SPECTRUM);
    RECT client{};
    ::GetClientRect(display, &client);
    ::SetFocus(Part(IDC_SETTINGS_GRID));
    const double hz = 24000.0 * (client.right / 4) / client.right;
    ::SendMessageW(display, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.right / 4, 30));
    ::SendMessageW(display, WM_LBUTTONUP, 0, MAKELPARAM(client.right / 4, 30));
    EXPECT_EQ(::GetFocus(), display);
    EXPECT_NEAR(frame->Spectrum().centerFrequency, hz, 1e-6);
    EXPECT_EQ(CentreRow(), HzText(hz));
    auto press = [](HWND to, WPARAM key) {  // as the keyboard sends it
        ::PostMessageW(to, WM_KEYDOWN, key, 1);
        ::PostMessageW(to, WM_KEYUP, key, 0xC0000001);
        guitest::Pump();
    };
    press(::GetFocus(), VK_RIGHT);
    EXPECT_EQ(CentreRow(), HzText(hz + 1));
    press(::GetFocus(), VK_LEFT);
    press(::GetFocus(), VK_LEFT);
    EXPECT_EQ(CentreRow(), HzText(hz - 1));
    ::EnableWindow(display, FALSE);  // as while the decoder runs
    press(display, VK_RIGHT);
    EXPECT_EQ(CentreRow(), HzText(hz - 1));
    EXPECT_NEAR(frame->Spectrum().centerFrequency, hz - 1, 1e-6);
}

// A rate picked in the grid applies at once (the 2000 Hz centre fits below 4000 Hz and stays); "Turn
// ON" then captures with the rows in force, here 8000 Hz on the right channel, until "Turn OFF".
// Without a capture device it says so.
TEST_F(ShellTest, TurnOnCapturesWithTheRowsInForceUntilTurnOffOrSaysThereIsNoSoundcard) {
    PropertyValue eightThousand(std::int32_t{0});
    ::SendMessageW(Part(IDC_SETTINGS_GRID), GRID_MSG_SET_VALUE, reinterpret_cast<WPARAM>(&eightThousand),
                   reinterpret_cast<LPARAM>(frame->Rows().ValueItem(settings::kSampleRate)));
    guitest::Pump();
    EXPECT_EQ(frame->CurrentSettings().sampleRate, 8000);
    EXPECT_EQ(frame->Spectrum().endFrequency, 4000);
    EXPECT_EQ(CentreRow(), L"2000 Hz");
    ASSERT_TRUE(frame->Rows().WriteIndex(settings::kCardChannel, 2));  // right

    guitest::MessageBoxWatcher watcher;
    Command(ID_FFT_ON);
    ExpectCapturing(true);
    EXPECT_EQ(frame->Capture().BlockBytes(), 4000u);  // an eighth of a second at 8000 Hz, stereo
    SpectrumModel& model = frame->Spectrum();
    EXPECT_TRUE(guitest::PumpUntil([&] { return model.sampleCount() > 0 || model.fft.framesTotal > 0; }, 10000));
    Command(ID_FFT_OFF);
    ExpectCapturing(false);
    EXPECT_EQ(watcher.count(), 0u);

    frame->CaptureDevices().Clear();
    Command(ID_FFT_ON);
    ASSERT_EQ(watcher.count(), 1u);
    EXPECT_EQ(watcher.boxes()[0].text, L"Can't open soundcard.");
    EXPECT_EQ(watcher.boxes()[0].caption, L"");
    ExpectCapturing(false);
}
