// The main window as the user meets it: start-up, panes and layout, menu commands, tuning, capture
// turned on and off on the test bed's real capture device, and the decoder log's view.
#include "win/main_frame_fixture.h"
#include "settings/settings.h"
#include "win/display_picture.h"

#include <cmath>
#include <cwchar>
#include <string>

namespace {

class ShellTest : public MainFrameTest {
protected:
    HWND Part(int id) const { return guitest::FindChild(frame->hwnd(), id); }
    std::wstring CentreRow() { return frame->Rows().ReadText(settings::kCenterFrequency); }
    int BarHeight() const {
        const RECT r = ClientRectIn(guitest::TopBarOf(frame->hwnd()));
        return r.bottom - r.top;
    }
    // While capturing "Turn ON" is grayed and the sound-card rows are locked; the centre stays free.
    void ExpectCapturing(bool on) {
        EXPECT_EQ(std::make_pair(guitest::CaptureOn(frame->menu()), Grayed(ID_FFT_ON)), std::make_pair(on, on));
        for (auto row : {settings::kSoundCard, settings::kSampleRate, settings::kCardChannel})
            EXPECT_EQ(frame->Rows().ValueItem(row)->isEnabled(), !on) << row;
        EXPECT_TRUE(frame->Rows().ValueItem(settings::kCenterFrequency)->isEnabled());
    }
};

std::wstring HzText(double hz) { return std::to_wstring(static_cast<long long>(std::nearbyint(hz))) + L" Hz"; }

}  // namespace

// Idle on the settings pane. Then each step picks a pane by its button or its menu command: that pane
// alone shows, its button alone is pressed, and it takes the room the spectrum leaves when it hides.
// A resize lays out the hidden panes too (a log of no width would wrap every character); Exit closes.
TEST_F(ShellTest, StartsIdleSwitchesPanesLaysThemOutAndExits) {
    for (auto [id, text] : {std::pair{IDC_STATUS_FIELD, L"Idle"}, {IDC_LES_FIELD, L"---"}, {IDC_FRAME_FIELD, L"----"}})
        EXPECT_EQ(guitest::WindowText(Part(id)), text);
    EXPECT_TRUE(Grayed(ID_DECODER_STOP) && !Grayed(ID_DECODER_START) && !frame->Run().Running());
    ExpectCapturing(false);

    const RECT grid = ClientRectIn(Part(IDC_SETTINGS_GRID));
    const int bar = BarHeight();
    const int buttons[] = {IDC_FFT_SETTINGS_BUTTON, IDC_DECODER_LOG_BUTTON, IDC_MESSAGES_BUTTON};
    // The button clicked or the command sent, then the pane shown.
    const struct { int button; UINT command; int pane; } steps[] = {
        {IDC_DECODER_LOG_BUTTON, 0, 1}, {IDC_MESSAGES_BUTTON, 0, 2}, {IDC_FFT_SETTINGS_BUTTON, 0, 0},
        {0, ID_PANE_MESSAGES, 2}, {0, ID_PANE_DECODER_LOG, 1}, {0, ID_PANE_FFT_SETTINGS, 0}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.button + step.command);
        if (step.button) ::SendMessageW(Part(step.button), BM_CLICK, 0, 0);
        if (step.command) Command(step.command);
        guitest::Pump();
        ASSERT_EQ(guitest::ShownPane(frame->hwnd()), step.pane);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(::SendMessageW(Part(buttons[i]), BM_GETCHECK, 0, 0), i == step.pane) << i;
        EXPECT_EQ((BandStyleOf(Part(IDC_SPECTRUM)) & RBBS_HIDDEN) != 0, step.pane != 0);
        const int lost = bar - BarHeight();
        EXPECT_TRUE(step.pane == 0 ? lost == 0 : lost >= 150) << lost;
        const RECT shown = ClientRectIn(guitest::ShownPaneWindow(frame->hwnd()));
        EXPECT_TRUE(shown.top == grid.top - lost && shown.bottom == grid.bottom) << shown.top << " " << shown.bottom;
    }

    ::SetWindowPos(frame->hwnd(), nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER), guitest::Pump();
    RECT client{}, small = ClientRectIn(Part(IDC_SETTINGS_GRID));
    ::GetClientRect(frame->hwnd(), &client);
    EXPECT_TRUE(small.left == 0 && small.right == client.right && small.bottom == client.bottom);
    for (int pane : {IDC_DECODER_LOG, IDC_MESSAGES_PANE}) {
        const RECT rc = ClientRectIn(Part(pane));
        EXPECT_TRUE(::EqualRect(&rc, &small)) << pane;
    }

    Command(999);  // an unknown command changes nothing
    EXPECT_EQ(std::make_pair(guitest::ShownPane(frame->hwnd()), guitest::WindowText(Part(IDC_STATUS_FIELD))), std::make_pair(0, std::wstring(L"Idle")));
    HWND hwnd = frame->hwnd();
    Command(ID_FILE_EXIT);
    EXPECT_TRUE(guitest::PumpUntil([&] { return !::IsWindow(hwnd); }));
}

// Every log-filter item starts checked; unchecking hides its category from the run's log, checking
// shows it. Category 4 (the decoder's own notes) has no item and stays off. A click on the spectrum
// tunes there and takes the focus from the grid; Right and Left then move the centre by 1 Hz and the
// centre-frequency row follows. A disabled spectrum (as while the decoder runs) takes no keys.
TEST_F(ShellTest, LogFilterItemsTheSpectrumsTuningAndTheDecoderLogAnswerTheUser) {
    for (auto [id, category] : {std::pair{ID_FILTER_FRAME_HEADERS, 0}, {ID_FILTER_BB_CONTENTS, 1}, {ID_FILTER_BB_HEADER, 2},
                                {ID_FILTER_UNKNOWN, 3}, {ID_FILTER_MESSAGE_TEXT, 5}}) {
        for (int step = 0; step < 3; ++step) {
            if (step > 0) Command(id);
            EXPECT_EQ(std::make_pair(Checked(id), frame->Run().Filter().Shown(category)), std::make_pair(step != 1, step != 1))
                << id << " step " << step;
        }
    }
    EXPECT_FALSE(frame->Run().Filter().Shown(4));

    HWND display = Part(IDC_SPECTRUM);
    RECT client{};
    ::GetClientRect(display, &client);
    ::SetFocus(Part(IDC_SETTINGS_GRID));
    const double hz = 24000.0 * (client.right / 4) / client.right;
    ::SendMessageW(display, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.right / 4, 30));
    ::SendMessageW(display, WM_LBUTTONUP, 0, MAKELPARAM(client.right / 4, 30));
    EXPECT_EQ(::GetFocus(), display);
    EXPECT_EQ(CentreRow(), HzText(hz));
    // Key, then the centre's offset from the click; as the keyboard sends them.
    const struct { WPARAM key; int offset; bool enabled; } keys[] = {{VK_RIGHT, 1, true}, {VK_LEFT, 0, true}, {VK_LEFT, -1, true}, {VK_RIGHT, -1, false}};
    for (const auto& k : keys) {
        ::EnableWindow(display, k.enabled);
        ::PostMessageW(display, WM_KEYDOWN, k.key, 1);
        ::PostMessageW(display, WM_KEYUP, k.key, 0xC0000001);
        guitest::Pump();
        EXPECT_EQ(CentreRow(), HzText(hz + k.offset)) << k.key;
        EXPECT_NEAR(frame->Spectrum().centerFrequency, hz + k.offset, 1e-6);
    }

    // The decoder log follows the newest text unless text is selected or the view scrolled up; End
    // goes back to the newest; each piece has its colour. Line i, "line 0000\n"..., is at 10 i.
    Command(ID_PANE_DECODER_LOG);
    HWND log = Part(IDC_DECODER_LOG);
    auto& view = guitest::LogViewOf(frame->hwnd());
    auto lines = [&](int from, int to) {
        for (wchar_t line[32]; from < to; ++from) {
            std::swprintf(line, 32, L"line %04d\n", from);
            view.Append(line, RGB(100, 100, 200));
        }
        guitest::Pump();
    };
    auto mouse = [&](UINT msg, LONG position, int dx, WPARAM keys) {
        POINTL p{};
        ::SendMessageW(log, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&p), position);
        ::SendMessageW(log, msg, keys, MAKELPARAM(p.x + dx, p.y + 3));
    };
    auto selected = [&] {
        wchar_t buffer[512] = {};
        ::SendMessageW(log, EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(buffer));
        return std::wstring(buffer);
    };
    auto firstVisible = [&] { return ::SendMessageW(log, EM_GETFIRSTVISIBLELINE, 0, 0); };
    lines(0, 200);
    ASSERT_GT(firstVisible(), 0);  // followed the newest
    mouse(WM_LBUTTONDOWN, 1900, 1, MK_LBUTTON);
    mouse(WM_MOUSEMOVE, 1909, 1, MK_LBUTTON), mouse(WM_LBUTTONUP, 1909, 1, 0);
    EXPECT_EQ(selected(), L"line 0190");
    const LRESULT held = firstVisible();
    lines(200, 220);
    EXPECT_EQ(std::make_pair(firstVisible(), selected()), std::make_pair(held, std::wstring(L"line 0190")));

    mouse(WM_LBUTTONDOWN, 1900, 0, MK_LBUTTON), mouse(WM_LBUTTONUP, 1900, 0, 0);  // a click drops the selection
    EXPECT_EQ(selected(), L"");
    ::SendMessageW(log, WM_KEYDOWN, VK_END, 0);
    const LRESULT atEnd = firstVisible();
    EXPECT_GT(atEnd, held);
    lines(220, 230);
    EXPECT_EQ(firstVisible(), atEnd + 10);
    // Scrolled up by the wheel, the view and its bar stay while lines come.
    ::SendMessageW(log, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA * 5), 0);
    const LRESULT scrolled = firstVisible();
    EXPECT_LT(scrolled, atEnd + 10);
    lines(230, 240);
    SCROLLINFO scroll{sizeof(scroll), SIF_POS};
    ASSERT_TRUE(::GetScrollInfo(log, SB_VERT, &scroll));
    EXPECT_EQ(std::make_pair(firstVisible(), LRESULT{scroll.nPos}), std::make_pair(scrolled, scrolled));
    EXPECT_EQ(::SendMessageW(log, WM_GETTEXTLENGTH, 0, 0), 2640);  // 240 lines, each with CR LF

    ::SendMessageW(log, WM_KEYDOWN, VK_END, 0);
    view.Append(L"Decoder started\n", RGB(200, 0, 0));
    view.Append(L"a decoded message in blue\n", RGB(0, 0, 200));
    guitest::Pump();
    const guitest::Picture picture(log);
    ASSERT_TRUE(picture.ok());
    for (COLORREF colour : {RGB(200, 0, 0), RGB(0, 0, 200), RGB(100, 100, 200)}) {
        int n = 0;
        for (int y = 0; y < picture.height(); ++y) n += picture.CountInRow(y, colour);
        EXPECT_GT(n, 20) << std::hex << colour;
    }
}

// "Turn ON" captures with the rows in force, here 8000 Hz on the right channel, until "Turn OFF" (an
// edited row applying at once: test_settings_rows). Without a capture device it says so.
TEST_F(ShellTest, TurnOnCapturesWithTheRowsInForceUntilTurnOffOrSaysThereIsNoSoundcard) {
    SettingsRows& rows = frame->Rows();
    ASSERT_TRUE(rows.WriteIndex(settings::kSampleRate, 0) && rows.WriteIndex(settings::kCardChannel, 2));

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
    EXPECT_EQ(std::make_pair(watcher.boxes()[0].text, watcher.boxes()[0].caption), std::make_pair(std::wstring(L"Can't open soundcard."), std::wstring()));
    EXPECT_FALSE(guitest::CaptureOn(frame->menu()));
}
