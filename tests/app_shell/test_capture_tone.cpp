// Real audio through the real main window: a narrow band of noise played into the test bed's
// sound card shows as the spectrum's highest column after "Turn ON", on the channel picked in the
// settings. Each case runs in its own process (see CMakeLists.txt): Wine's capture is best opened
// once per process, and the cases use different frequencies so that a band still playing from an
// earlier case can never pass for this one.
//
// A column shows the lowest level among its bins, so a pure sine (three bins wide) would vanish
// between columns; a band a few columns wide fills whole columns, like a real carrier does.
#include "win/main_frame_fixture.h"
#include "resource.h"
#include "settings/settings.h"
#include "win/display_picture.h"
#include "win/host_shell.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cwchar>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using guitest::Picture;
using guitest::RunShell;
using guitest::ShellJob;

// Plays bands of noise into the test bed's sink; waits for the playing to end on destruction so
// that the next case starts on a quiet sink.
class BandPlayer {
public:
    ~BandPlayer() { job_.Wait(20000); }
    // Bands of noise centred on leftHz (and rightHz for stereo), each +-halfWidth Hz, for `seconds`.
    bool Play(int leftHz, int rightHz, double halfWidth, int synthRate, int seconds) {
        const std::wstring rate = std::to_wstring(synthRate);
        auto band = [&](int hz, const wchar_t* file) {
            const int low = static_cast<int>(hz - halfWidth), high = static_cast<int>(hz + halfWidth + 0.5);
            return L"sox -q -n -r " + rate + L" -c 1 -b 16 " + file + L" synth " + std::to_wstring(seconds) +
                   L" whitenoise sinc -n 32767 " + std::to_wstring(low) + L"-" + std::to_wstring(high) +
                   L" gain -n -6";
        };
        std::wstring script = L"d=$(mktemp -d) && " + band(leftHz, L"$d/l.wav");
        if (rightHz > 0)
            script += L" && " + band(rightHz, L"$d/r.wav") + L" && sox -q -M $d/l.wav $d/r.wav $d/s.wav";
        else
            script += L" && mv $d/l.wav $d/s.wav";
        script += L" && paplay -d ${VASTREL_SINK:-vastrel_null} $d/s.wav; rm -rf $d";
        return job_.Start(script);
    }

    // A carrier like tools/play_carrier.sh plays: noise through a band filter, centre +- halfWidth.
    bool PlayCarrier(int centreHz, int halfWidth, int seconds) {
        const std::wstring band = std::to_wstring(centreHz - halfWidth) + L"-" + std::to_wstring(centreHz + halfWidth);
        return job_.Start(L"d=$(mktemp -d) && sox -q -n -r 48000 -c 1 -b 16 $d/c.wav synth " + std::to_wstring(seconds) +
                          L" whitenoise sinc -n 8191 " + band + L" gain -n -6 && paplay -d ${VASTREL_SINK:-vastrel_null} "
                          L"$d/c.wav; rm -rf $d");
    }

    // The same carrier at `firstDb` (peak) for `seconds`, then `quieterDb` lower for as long, over a
    // steady floor of white noise (without a floor the bands beside the carrier would hold digital
    // silence). The second half is the first scaled, so the two differ by exactly `quieterDb`.
    bool PlayCarrierAtTwoLevels(int centreHz, int halfWidth, int seconds, int firstDb, int quieterDb) {
        const std::wstring band = std::to_wstring(centreHz - halfWidth) + L"-" + std::to_wstring(centreHz + halfWidth);
        return job_.Start(L"d=$(mktemp -d) && sox -q -n -r 48000 -c 1 -b 16 $d/a.wav synth " + std::to_wstring(seconds) +
                          L" whitenoise sinc -n 8191 " + band + L" gain -n " + std::to_wstring(firstDb) +
                          L" && sox -q $d/a.wav $d/b.wav gain -" + std::to_wstring(quieterDb) +
                          L" && sox -q $d/a.wav $d/b.wav $d/c.wav && sox -q -n -r 48000 -c 1 -b 16 $d/f.wav synth " +
                          std::to_wstring(2 * seconds) + L" whitenoise gain -30 && sox -q -m $d/c.wav $d/f.wav $d/m.wav && "
                          L"paplay -d ${VASTREL_SINK:-vastrel_null} $d/m.wav; rm -rf $d");
    }

private:
    ShellJob job_;
};

struct BandCase {
    std::int32_t rate;
    std::int32_t channel;  // row entry: 0 mono, 1 left, 2 right
    int leftHz;
    int rightHz;  // 0: mono playback
};

class CaptureToneTest : public MainFrameTest {
protected:
    int ColumnOf(double hz, int width) const { return static_cast<int>(hz * width / (rate_ / 2.0)); }

    // Turns capture on with the case's rows; false (test skipped) when the device refuses the rate.
    bool TurnOn(const BandCase& c) {
        rate_ = c.rate;
        const auto& rates = settings::kSampleRates;
        const auto rateIndex = std::find(rates.begin(), rates.end(), c.rate) - rates.begin();
        EXPECT_TRUE(frame->Rows().WriteIndex(settings::kSampleRate, static_cast<std::int32_t>(rateIndex)));
        EXPECT_TRUE(frame->Rows().WriteIndex(settings::kCardChannel, c.channel));
        Command(ID_FFT_ON);
        if (!guitest::CaptureOn(frame->menu())) {
            auto shown = boxes_.boxes();
            if (!shown.empty() && shown[0].text == L"Soundcard doesn't support 48000Hz/16bit recording format.")
                return false;
            ADD_FAILURE() << "capture did not start; boxes shown: " << shown.size();
            return false;
        }
        EXPECT_EQ(boxes_.count(), 0u);
        return true;
    }

    // Plays the case's bands and waits until the highest column is the one for `expectHz` (+-1).
    void ExpectHighestColumnAt(const BandCase& c, int expectHz) {
        // Wine's capture stream takes a moment to start: play once frames come in.
        ASSERT_TRUE(guitest::PumpUntil([&] { return frame->Spectrum().fft.framesTotal > 1; }, 15000));
        HWND display = guitest::FindChild(frame->hwnd(), IDC_SPECTRUM);
        RECT client{};
        ::GetClientRect(display, &client);
        ASSERT_GT(client.right, 100);
        // Bands one and a half columns either side: at least one whole column inside the band.
        const double columnHz = rate_ / 2.0 / client.right;
        const int synthRate = std::min<int>(rate_, 48000);
        ASSERT_TRUE(player_.Play(c.leftHz, c.rightHz, 1.5 * columnHz, synthRate, c.rate <= 8000 ? 9 : 6));
        const int expected = ColumnOf(expectHz, client.right);
        int found = -1;
        EXPECT_TRUE(guitest::PumpUntil(
            [&] {
                found = Picture(display).HighestColumn();
                return found >= expected - 1 && found <= expected + 1;
            },
            15000))
            << "highest column " << found << ", expected " << expected << " (" << expectHz << " Hz); frames analysed "
            << frame->Spectrum().fft.framesTotal;
    }

    // "Turn OFF" ends capture within 5 s and leaves the last picture as it was.
    void TurnOffKeepsThePicture(int expectHz) {
        const auto t0 = Clock::now();
        Command(ID_FFT_OFF);
        EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(5000));
        EXPECT_FALSE(guitest::CaptureOn(frame->menu()));
        HWND display = guitest::FindChild(frame->hwnd(), IDC_SPECTRUM);
        guitest::PumpUntil([] { return false; }, 300);
        Picture before(display);
        const int frames = frame->Spectrum().fft.framesTotal;
        guitest::PumpUntil([] { return false; }, 700);
        Picture after(display);
        EXPECT_EQ(frame->Spectrum().fft.framesTotal, frames);
        EXPECT_TRUE(before == after);
        const int expected = ColumnOf(expectHz, after.width());
        EXPECT_NEAR(after.HighestColumn(), expected, 1);
    }

    guitest::MessageBoxWatcher boxes_;
    BandPlayer player_;
    int rate_ = 48000;
};

}  // namespace

TEST_F(CaptureToneTest, DISABLED_Mono48000) {
    const BandCase c{48000, 0, 1500, 0};
    ASSERT_TRUE(TurnOn(c));
    ExpectHighestColumnAt(c, 1500);
    TurnOffKeepsThePicture(1500);
}

TEST_F(CaptureToneTest, DISABLED_Mono8000) {
    const BandCase c{8000, 0, 1200, 0};
    if (!TurnOn(c)) {
        if (!HasFailure()) GTEST_SKIP() << "the device refuses 8000 Hz";
        return;
    }
    ExpectHighestColumnAt(c, 1200);
    TurnOffKeepsThePicture(1200);
}

// Left 1000 Hz, right 3000 Hz: each channel shows only its own band.
TEST_F(CaptureToneTest, DISABLED_LeftChannel) {
    const BandCase c{48000, 1, 1000, 3000};
    ASSERT_TRUE(TurnOn(c));
    ExpectHighestColumnAt(c, 1000);
    Picture picture(guitest::FindChild(frame->hwnd(), IDC_SPECTRUM));
    EXPECT_LT(picture.height() - picture.TopOfCurve(ColumnOf(3000, picture.width())), picture.height() / 10);
    TurnOffKeepsThePicture(1000);
}

TEST_F(CaptureToneTest, DISABLED_RightChannel) {
    const BandCase c{48000, 2, 1000, 3000};
    ASSERT_TRUE(TurnOn(c));
    ExpectHighestColumnAt(c, 3000);
    Picture picture(guitest::FindChild(frame->hwnd(), IDC_SPECTRUM));
    EXPECT_LT(picture.height() - picture.TopOfCurve(ColumnOf(1000, picture.width())), picture.height() / 10);
    TurnOffKeepsThePicture(3000);
}

// A carrier 1200 Hz wide played into the sound card; Ctrl+click on its upper edge puts the centre
// within 10 Hz of the played one, and row 3 follows. The shared sink may now and then carry another
// program's sound as well, so the measurement is taken again (up to four times, a second apart)
// before the case fails; every attempt is reported.
TEST_F(CaptureToneTest, DISABLED_CtrlClickSnapsToPlayedCarrier) {
    constexpr int kCentre = 4321;  // used by no other case
    ASSERT_TRUE(TurnOn(BandCase{48000, 0, kCentre, 0}));
    ASSERT_TRUE(guitest::PumpUntil([&] { return frame->Spectrum().fft.framesTotal > 1; }, 15000));
    ASSERT_TRUE(player_.PlayCarrier(kCentre, 600, 16));
    SpectrumModel& model = frame->Spectrum();
    // The carrier is in the averages: 20 dB above the floor 3000 Hz off for a second's worth of frames.
    int framesAtStart = 0;
    ASSERT_TRUE(guitest::PumpUntil(
        [&] {
            const auto on = model.LevelDbAt(kCentre), off = model.LevelDbAt(kCentre + 3000);
            const bool standing = on && off && *on - *off > 20.0;
            if (!standing) framesAtStart = model.fft.framesTotal;
            return standing && model.fft.framesTotal >= framesAtStart + 12;
        },
        20000))
        << "the played carrier did not show; frames analysed " << model.fft.framesTotal;

    HWND display = guitest::FindChild(frame->hwnd(), IDC_SPECTRUM);
    RECT client{};
    ::GetClientRect(display, &client);
    const int edgeX = static_cast<int>(std::lround((kCentre + 600) * client.right / 24000.0));
    std::string attempts;
    bool within = false;
    for (int attempt = 0; attempt < 4 && !within; ++attempt) {
        if (attempt > 0) {
            const int frames = model.fft.framesTotal;
            guitest::PumpUntil([&] { return model.fft.framesTotal >= frames + 12; }, 5000);
        }
        model.centerFrequency = 2000.0;
        ::SendMessageW(display, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, MAKELPARAM(edgeX, 40));
        ::SendMessageW(display, WM_LBUTTONUP, MK_CONTROL, MAKELPARAM(edgeX, 40));
        const double centre = model.centerFrequency;
        attempts += " " + std::to_string(centre);
        wchar_t row[32];
        swprintf(row, 32, L"%.0lf Hz", centre);
        EXPECT_EQ(frame->Rows().ReadText(settings::kCenterFrequency), row);
        within = std::abs(centre - kCentre) <= 10.0;
    }
    EXPECT_TRUE(within) << "centres found:" << attempts << " (played " << kCentre << " Hz)";
    EXPECT_EQ(::GetFocus(), display);  // the click took the keyboard focus
    Command(ID_FFT_OFF);
}

// The sound server going away while capturing (the test bed's own PulseAudio daemon is stopped):
// the window keeps answering, "Turn OFF" and closing still work, and nothing hangs. The daemon is
// started again afterwards for the cases that follow.
TEST_F(CaptureToneTest, DISABLED_SoundServerGoesWhileCapturing) {
    // Only a daemon the test bed started itself (its pid file names a live process) is stopped.
    const int killed = RunShell(
        L"p=$(cat \\\"$VASTREL_TESTBED_STATE/pulse.pid\\\" 2>/dev/null) && kill -0 $p 2>/dev/null || exit 3; "
        L"[ $(ps -o comm= -p $p) = pulseaudio ] || exit 3; exit 0",
        10000);
    if (killed == 3) GTEST_SKIP() << "the sound server is not the test bed's own";
    ASSERT_EQ(killed, 0);

    ASSERT_TRUE(TurnOn(BandCase{48000, 0, 700, 0}));
    ASSERT_TRUE(guitest::PumpUntil([&] { return frame->Spectrum().fft.framesTotal > 2; }, 15000));
    ASSERT_EQ(RunShell(L"p=$(cat \\\"$VASTREL_TESTBED_STATE/pulse.pid\\\") && kill $p && "
                       L"while kill -0 $p 2>/dev/null; do sleep 0.1; done",
                       15000),
              0);
    // Let the capture notice: the window answers all the while.
    const auto until = Clock::now() + std::chrono::seconds(2);
    while (Clock::now() < until) {
        DWORD_PTR result = 0;
        EXPECT_NE(::SendMessageTimeoutW(frame->hwnd(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result), 0);
        guitest::PumpUntil([] { return false; }, 200);
    }
    const auto t0 = Clock::now();
    Command(ID_FFT_OFF);
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(5000));
    EXPECT_FALSE(guitest::CaptureOn(frame->menu()));
    EXPECT_FALSE(Grayed(ID_FFT_ON));
    EXPECT_TRUE(frame->Rows().ValueItem(settings::kSoundCard)->isEnabled());
    EXPECT_EQ(boxes_.count(), 0u);

    const auto c0 = Clock::now();
    ::SendMessageW(frame->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_LT(Clock::now() - c0, std::chrono::milliseconds(5000));
    EXPECT_EQ(frame->hwnd(), nullptr);

    // Back for the cases that follow.
    EXPECT_EQ(RunShell(L"\\\"$VASTREL_TESTBED\\\" start >/dev/null 2>&1", 60000), 0);
}

// The signal to noise the reception ledger takes once a minute, from a carrier played at two levels
// 10 dB apart: the two figures differ by the played difference.
TEST_F(CaptureToneTest, DISABLED_SnrFollowsThePlayedLevel) {
    constexpr int kCentre = 3456;  // used by no other case
    ASSERT_TRUE(TurnOn(BandCase{48000, 0, kCentre, 0}));
    SpectrumModel& model = frame->Spectrum();
    ASSERT_TRUE(guitest::PumpUntil([&] { return model.fft.framesTotal > 1; }, 15000));
    model.centerFrequency = kCentre;
    ASSERT_TRUE(player_.PlayCarrierAtTwoLevels(kCentre, 600, 12, -6, 10));
    // The median of the figures over 12 analysed frames, once `showing` has held for 40 (the running
    // average forgets a tenth per frame: 40 frames leave 1.5 % of the level before).
    auto settled = [&](const std::function<bool(double)>& showing, const char* what) -> double {
        int since = -1;
        std::vector<double> seen;
        const bool ok = guitest::PumpUntil(
            [&] {
                const std::optional<double> snr = model.SnrDbAt(model.centerFrequency);
                if (!snr || !showing(*snr)) {
                    since = -1;
                    seen.clear();
                    return false;
                }
                if (since < 0) since = model.fft.framesTotal;
                if (model.fft.framesTotal >= since + 40) seen.push_back(*snr);
                return model.fft.framesTotal >= since + 52;
            },
            25000);
        EXPECT_TRUE(ok) << what << " did not show; frames analysed " << model.fft.framesTotal;
        if (seen.empty()) return 0.0;
        std::nth_element(seen.begin(), seen.begin() + seen.size() / 2, seen.end());
        return seen[seen.size() / 2];
    };
    const double loud = settled([](double db) { return db > 15.0; }, "the louder carrier");
    const double soft = settled([&](double db) { return db < loud - 5.0; }, "the softer carrier");
    EXPECT_NEAR(loud - soft, 10.0, 2.0) << "SNR " << loud << " dB, then " << soft << " dB";
    Command(ID_FFT_OFF);
}
