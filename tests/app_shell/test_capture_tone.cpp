// Real audio through the real main window after "Turn ON", played into the test bed's sink. One case
// per process (see CMakeLists.txt): Wine's capture is best opened once per process.
#include "win/main_frame_fixture.h"
#include "settings/settings.h"
#include "win/display_picture.h"
#include "win/host_shell.h"

#include <chrono>
#include <cmath>
#include <cwchar>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

std::wstring N(double v) { return std::to_wstring(std::lround(v)); }

// sox making `file`: `seconds` of white noise at 48000 Hz through a band filter of `taps` taps.
std::wstring Band(double lowHz, double highHz, int taps, int seconds, const wchar_t* file) {
    return L"sox -q -n -r 48000 -c 1 -b 16 " + std::wstring(file) + L" synth " + N(seconds) + L" whitenoise sinc -n " +
           N(taps) + L" " + N(lowHz) + L"-" + N(highHz) + L" gain -n -6";
}

class CaptureToneTest : public MainFrameTest {
protected:
    // Capture on the channel row's entry (0 mono, 2 right) at 48000 Hz, until frames come in.
    void TurnOn(std::int32_t channel) {
        ASSERT_TRUE(frame->Rows().WriteIndex(settings::kCardChannel, channel));
        Command(ID_FFT_ON);
        ASSERT_TRUE(guitest::CaptureOn(frame->menu())) << "boxes shown: " << boxes_.count();
        ASSERT_TRUE(guitest::PumpUntil([&] { return model().fft.framesTotal > 1; }, 15000));
    }
    // Plays $d/s.wav, made by `recipe` in a fresh folder $d, until the case ends (then never starts).
    bool Play(const std::wstring& recipe) {
        return player_.Start(L"d=$(mktemp -d) && " + recipe + L" && [ ! -e " + stop_ + L" ] && { paplay -d ${VASTREL_SINK:-vastrel_null} $d/s.wav & echo $! >" +
                             stop_ + L".pid; wait $!; }; rm -rf $d " + stop_ + L" " + stop_ + L".pid");
    }
    void TearDown() override {
        MainFrameTest::TearDown();
        guitest::RunShell(L"touch " + stop_ + L"; kill $(cat " + stop_ + L".pid) 2>/dev/null; true", 5000);
        player_.Wait(20000);
        guitest::RunShell(L"rm -f " + stop_, 5000);
        EXPECT_EQ(boxes_.count(), 0u);
    }
    SpectrumModel& model() { return frame->Spectrum(); }
    HWND display() const { return guitest::FindChild(frame->hwnd(), IDC_SPECTRUM); }

    guitest::MessageBoxWatcher boxes_;
    guitest::ShellJob player_;
    const std::wstring stop_ = L"/tmp/vastrel-tone-" + std::to_wstring(::GetCurrentProcessId()) + L".stop";
};

}  // namespace

// One run serves the window's wiring of real sound: a band of 1000 Hz on the left and a carrier
// 1200 Hz wide at 4321 Hz on the right, over a steady floor of white noise (without one, the strips
// beside the carrier would hold digital silence), first loud, then 10 dB softer.
TEST_F(CaptureToneTest, DISABLED_TheRightChannelsCarrierShowsSnapsAndGivesItsSnr) {
    constexpr int kCentre = 4321, kSeconds = 10;  // at each level
    ASSERT_NO_FATAL_FAILURE(TurnOn(2));
    RECT client{};
    ::GetClientRect(display(), &client);
    auto column = [&](int hz) { return hz * client.right / 24000; };
    const double half = 1.5 * 24000.0 / client.right;  // a whole column inside the band, at least
    ASSERT_TRUE(Play(Band(kCentre - 600, kCentre + 600, 8191, kSeconds, L"$d/a.wav") +
                     L" && sox -q $d/a.wav $d/b.wav gain -10 && sox -q $d/a.wav $d/b.wav $d/c.wav && sox -q -n -r 48000"
                     L" -c 1 -b 16 $d/f.wav synth " + N(2 * kSeconds) + L" whitenoise gain -30 && sox -q -m $d/c.wav $d/f.wav"
                     L" $d/r.wav && " + Band(1000 - half, 1000 + half, 32767, 2 * kSeconds, L"$d/l.wav") +
                     L" && sox -q -M $d/l.wav $d/r.wav $d/s.wav"));

    // The picked channel alone shows: its carrier holds the highest column, the left's band stays well
    // below. Ctrl+click on the carrier's upper edge puts the centre within 10 Hz of the played one, and
    // row 3 follows. Each of up to four tries waits for the carrier 20 dB above the floor 3000 Hz off
    // for 12 frames (another program's sound in the shared sink may spoil one).
    int since = 0;
    auto standing = [&] {
        const auto on = model().LevelDbAt(kCentre), off = model().LevelDbAt(kCentre + 3000);
        if (!on || !off || *on - *off <= 20.0) since = model().fft.framesTotal;
        return model().fft.framesTotal >= since + 12;
    };
    auto rightShowsAlone = [&](const guitest::Picture& p) {
        const int highest = p.HighestColumn();
        EXPECT_TRUE(highest >= column(kCentre - 600) - 1 && highest <= column(kCentre + 600) + 1) << highest;
        EXPECT_GT(p.TopOfCurve(column(1000)) - p.TopOfCurve(column(kCentre)), p.height() / 8);
    };
    const LPARAM edge = MAKELPARAM(std::lround((kCentre + 600) * client.right / 24000.0), 40);
    for (int attempt = 0; attempt < 4 && std::abs(model().centerFrequency - kCentre) > 10.0; ++attempt) {
        since = model().fft.framesTotal;
        ASSERT_TRUE(guitest::PumpUntil(standing, 20000)) << "no carrier; frames analysed " << model().fft.framesTotal;
        if (attempt == 0) rightShowsAlone(guitest::Picture(display()));
        model().centerFrequency = 2000.0;
        ::SendMessageW(display(), WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, edge);
        ::SendMessageW(display(), WM_LBUTTONUP, MK_CONTROL, edge);
        wchar_t row[32];
        std::swprintf(row, 32, L"%.0f Hz", model().centerFrequency);
        EXPECT_EQ(frame->Rows().ReadText(settings::kCenterFrequency), row);
    }
    ASSERT_NEAR(model().centerFrequency, kCentre, 10.0);

    // The signal to noise at the centre differs by the 10 dB played: each figure once `showing` has
    // held for 40 frames (the running average forgets a tenth a frame).
    auto settled = [&](auto showing, const char* what) {
        int from = -1;
        double snr = 0.0;
        EXPECT_TRUE(guitest::PumpUntil([&] {
            const auto now = model().SnrDbAt(model().centerFrequency);
            if (!now || !showing(*now)) return from = -1, false;
            if (from < 0) from = model().fft.framesTotal;
            return snr = *now, model().fft.framesTotal >= from + 40;
        }, 25000)) << what << " did not show; frames analysed " << model().fft.framesTotal;
        return snr;
    };
    const double loud = settled([](double db) { return db > 15.0; }, "the louder carrier");
    const double soft = settled([&](double db) { return db < loud - 5.0; }, "the softer carrier");
    EXPECT_NEAR(loud - soft, 10.0, 2.0) << "SNR " << loud << " dB, then " << soft << " dB";

    // "Turn OFF" ends capture within 5 s and leaves the picture: the right channel's.
    const auto t0 = Clock::now();
    Command(ID_FFT_OFF);
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(5));
    EXPECT_FALSE(guitest::CaptureOn(frame->menu()));
    const int frames = model().fft.framesTotal;
    guitest::PumpUntil([] { return false; }, 500);  // a stretch in which no frame may come
    EXPECT_EQ(model().fft.framesTotal, frames);
    rightShowsAlone(guitest::Picture(display()));
}

// The sound server (the test bed's own PulseAudio daemon) going while capturing, a fault only Wine
// showed: the window keeps answering, "Turn OFF" and closing work promptly. The daemon comes back after.
TEST_F(CaptureToneTest, DISABLED_TheSoundServerGoingWhileCapturingHangsNothing) {
    const std::wstring pid = L"p=$(cat \\\"$VASTREL_TESTBED_STATE/pulse.pid\\\" 2>/dev/null) && ";
    const int ours = guitest::RunShell(pid + L"kill -0 $p && [ $(ps -o comm= -p $p) = pulseaudio ] || exit 3", 10000);
    if (ours == 3) GTEST_SKIP() << "the sound server is not the test bed's own";
    ASSERT_EQ(ours, 0);
    ASSERT_NO_FATAL_FAILURE(TurnOn(0));
    ASSERT_EQ(guitest::RunShell(pid + L"kill $p && while kill -0 $p 2>/dev/null; do sleep 0.1; done", 15000), 0);
    for (const auto until = Clock::now() + std::chrono::seconds(2); Clock::now() < until;) {  // the capture notices
        DWORD_PTR result = 0;
        EXPECT_NE(::SendMessageTimeoutW(frame->hwnd(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result), 0);
        guitest::PumpUntil([] { return false; }, 200);
    }
    auto t0 = Clock::now();
    Command(ID_FFT_OFF);
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(5));
    EXPECT_FALSE(guitest::CaptureOn(frame->menu()) || Grayed(ID_FFT_ON));
    EXPECT_TRUE(frame->Rows().ValueItem(settings::kSoundCard)->isEnabled());
    t0 = Clock::now();
    ::SendMessageW(frame->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(5));
    EXPECT_EQ(frame->hwnd(), nullptr);
    EXPECT_EQ(guitest::RunShell(L"\\\"$VASTREL_TESTBED\\\" start >/dev/null 2>&1", 60000), 0);
}
