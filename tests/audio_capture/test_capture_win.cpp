// DirectSound under the real platform (Wine in the test bed): device enumeration, and tones played
// into the test bed's null sink coming back through CSoundCapture and the channel picker.
#include "audio/capture_devices_win.h"
#include "audio/channel_picker.h"
#include "audio/dsound_capture_win.h"
#include "audio/sound_capture.h"
#include "tone_analysis.h"
#include "win/handles.h"
#include "win/host_shell.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

using namespace audio;
using namespace audio::testing;
using namespace std::chrono_literals;

namespace {

TEST(CaptureDevices, CallbackKeepsNineteenAndLetsEnumerationFinish) {
    CaptureDeviceList list;
    for (int i = 0; i < 25; ++i) {
        GUID g{static_cast<unsigned long>(0x1000 + i), 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
        std::wstring name = L"Card " + std::to_wstring(i);
        EXPECT_TRUE(CaptureDeviceCallback(i == 0 ? nullptr : &g, name.c_str(), L"module.dll", &list));
    }
    ASSERT_EQ(list.Count(), CaptureDeviceList::kMaxDevices);
    EXPECT_FALSE(list.Id(0)->has_value());
    ASSERT_TRUE(list.Id(5)->has_value());
    EXPECT_EQ((*list.Id(5))->data1, 0x1005u);
    EXPECT_EQ((*list.Id(5))->data4[7], 11);
    EXPECT_STREQ(list.Name(18), L"Card 18");
    EXPECT_EQ(list.Names()[19], nullptr);
    EXPECT_TRUE(CaptureDeviceCallback(nullptr, L"x", L"y", nullptr));  // no list: ignored
}

TEST(CaptureDevices, PlatformListsThePrimaryDeviceFirst) {
    CaptureDeviceList list;
    ASSERT_EQ(EnumerateCaptureDevices(list), 0);
    ASSERT_GE(list.Count(), 1);
    EXPECT_FALSE(list.Id(0)->has_value());
    // Windows calls it "Primary Sound Capture Driver", Wine "Primary Sound Driver".
    ASSERT_NE(list.Name(0), nullptr);
    EXPECT_NE(std::wstring(list.Name(0)).find(L"Primary Sound"), std::wstring::npos);
    for (int i = 1; i < list.Count(); ++i) EXPECT_TRUE(list.Id(i)->has_value()) << i;
    // A second enumeration replaces the first.
    int count = list.Count();
    ASSERT_EQ(EnumerateCaptureDevices(list), 0);
    EXPECT_EQ(list.Count(), count);
}

TEST(DirectSoundCapture, UnknownDeviceFailsToOpenAndStaysClosed) {
    CSoundCapture capture{DirectSoundServiceFactory()};
    DeviceGuid missing{0xdeadbeef, 0x1234, 0x5678, {9, 9, 9, 9, 9, 9, 9, 9}};
    EXPECT_LT(capture.Open(missing), 0);
    EXPECT_EQ(capture.State(), CaptureState::Closed);
    EXPECT_EQ(capture.Close(), kCaptureNotAllowed);
    EXPECT_EQ(capture.Open(std::nullopt), 0);
    EXPECT_EQ(capture.Close(), 0);
}

// Collects what the sink hands on: mono samples, or left and right picked from stereo. Keeps a handle
// to every thread that called the sink, so that a test can tell when they have all ended.
class Collector {
public:
    explicit Collector(bool stereo) : stereo_(stereo) {}

    static void Sink(void* context, const void* bytes, uint32_t byteCount) {
        auto* self = static_cast<Collector*>(context);
        self->priority_ = ::GetThreadPriority(::GetCurrentThread());
        std::lock_guard lock(self->mutex_);
        self->NoteCallingThread();
        if (self->stereo_) {
            auto l = self->left_.Pick(bytes, byteCount, 1);
            self->a_.insert(self->a_.end(), l.begin(), l.end());
            auto r = self->right_.Pick(bytes, byteCount, 2);
            self->b_.insert(self->b_.end(), r.begin(), r.end());
        } else {
            auto m = self->left_.Pick(bytes, byteCount, 0);
            self->a_.insert(self->a_.end(), m.begin(), m.end());
        }
        ++self->pieces_;
    }

    size_t Size() {
        std::lock_guard lock(mutex_);
        return a_.size();
    }
    // RMS of the last n samples of the first channel; -1 if fewer have arrived.
    double TailRms(size_t n) {
        std::lock_guard lock(mutex_);
        if (a_.size() < n) return -1;
        return Rms(a_.data() + a_.size() - n, n);
    }
    std::vector<int16_t> Range(bool second, size_t from, size_t n) {
        std::lock_guard lock(mutex_);
        const auto& v = second ? b_ : a_;
        return {v.begin() + from, v.begin() + from + n};
    }
    int Priority() const { return priority_; }
    // Waits (at most `limit` in all) until every thread that has called the sink has ended.
    bool CallingThreadsEnded(std::chrono::milliseconds limit) {
        std::vector<HANDLE> threads;
        {
            std::lock_guard lock(mutex_);
            for (const auto& t : threads_) threads.push_back(t.get());
        }
        using namespace std::chrono;
        const auto end = steady_clock::now() + limit;
        for (HANDLE t : threads) {
            const long long left = duration_cast<milliseconds>(end - steady_clock::now()).count();
            if (::WaitForSingleObject(t, static_cast<DWORD>(std::max(left, 0LL))) != WAIT_OBJECT_0) return false;
        }
        return true;
    }
    size_t CallingThreadCount() {
        std::lock_guard lock(mutex_);
        return threads_.size();
    }
    int Pieces() {
        std::lock_guard lock(mutex_);
        return pieces_;
    }

private:
    void NoteCallingThread() {
        const DWORD id = ::GetCurrentThreadId();
        if (std::find(threadIds_.begin(), threadIds_.end(), id) != threadIds_.end()) return;
        HANDLE thread = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &thread, SYNCHRONIZE,
                          FALSE, 0);
        threadIds_.push_back(id);
        threads_.emplace_back(thread);
    }

    bool stereo_;
    std::mutex mutex_;
    ChannelPicker left_, right_;
    std::vector<int16_t> a_, b_;
    std::atomic<int> priority_{THREAD_PRIORITY_ERROR_RETURN};
    int pieces_ = 0;
    std::vector<DWORD> threadIds_;
    std::vector<win::UniqueHandle> threads_;
};

template <class F>
bool WaitUntil(F cond, std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        ::Sleep(20);
    }
    return true;
}

// Plays a 4 s tone into the test bed's sink through the host's sox and paplay.
bool PlayTone(guitest::ShellJob& player, int channels, const std::wstring& synth) {
    return player.Start(L"sox -q -n -r 48000 -c " + std::to_wstring(channels) + L" -b 16 -t wav - synth 4 " + synth +
                        L" gain -6 | paplay -d ${VASTREL_SINK:-vastrel_null}");
}

constexpr size_t kWindow = 8192;

// Opens the primary device at `rate`, waits for silence, plays the tone and returns the index in
// the collected samples from which kWindow samples of steady tone are available.
struct ToneCapture {
    CSoundCapture capture{DirectSoundServiceFactory()};
    Collector collector;
    uint32_t rate;
    size_t toneStart = 0;

    guitest::ShellJob player;

    ToneCapture(uint32_t r, bool stereo) : collector(stereo), rate(r) {}
    ~ToneCapture() { player.Wait(10000); }  // the next case starts on a quiet sink

    // 1 = format refused, 0 = ok, -1 = failure (reported).
    int Run(int channels, const std::wstring& synth) {
        if (capture.Open(std::nullopt) != 0) return ADD_FAILURE() << "Open", -1;
        if (capture.SetFormat(rate, 16, static_cast<uint16_t>(channels), 8) != 0) return 1;
        if (capture.Start(&Collector::Sink, &collector) != 0) return ADD_FAILURE() << "Start", -1;
        size_t quiet = rate / 4;
        // An earlier tone may still be playing into the shared sink.
        if (!WaitUntil([&] { double r = collector.TailRms(quiet); return r >= 0 && r < 30; }, 12s))
            return ADD_FAILURE() << "no silence before the tone", -1;
        if (!PlayTone(player, channels, synth)) return ADD_FAILURE() << "could not start sox/paplay", -1;
        size_t probe = rate / 20;
        if (!WaitUntil([&] { return collector.TailRms(probe) > 1000; }, 8s))
            return ADD_FAILURE() << "tone never arrived; level " << collector.TailRms(probe) << " after "
                                 << collector.Size() << " samples", -1;
        toneStart = collector.Size() + rate / 20;  // past the onset
        if (!WaitUntil([&] { return collector.Size() >= toneStart + kWindow; }, 6s))
            return ADD_FAILURE() << "capture stalled", -1;
        return 0;
    }

    // Also checks that nothing reaches the sink after Stop has returned. The pieces delivered are
    // counted when Stop returns; then every thread that ever called the sink must end within a
    // bounded wait. Once they have all ended no further call can come, so a count that still equals
    // the one taken at Stop's return proves that no piece arrived after it, however late.
    void StopAndClose() {
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(capture.Stop(), 0);
        const int piecesAtStop = collector.Pieces();
        EXPECT_LT(std::chrono::steady_clock::now() - t0, 5000ms);
        EXPECT_FALSE(capture.LastStopAbandonedThread());
        EXPECT_EQ(collector.CallingThreadCount(), 1u);  // one capture thread per run
        EXPECT_TRUE(collector.CallingThreadsEnded(5000ms));
        EXPECT_EQ(collector.Pieces(), piecesAtStop);
        EXPECT_EQ(capture.Close(), 0);
        EXPECT_EQ(capture.State(), CaptureState::Closed);
    }
};

void ExpectMonoTone(uint32_t rate) {
    SCOPED_TRACE(rate);
    ToneCapture t(rate, false);
    int rc = t.Run(1, L"sine 1500");
    if (rc == 1) {
        t.capture.Close();
        GTEST_SKIP() << "device refuses " << rate << " Hz";
    }
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(t.collector.Priority(), THREAD_PRIORITY_HIGHEST);
    EXPECT_EQ(t.capture.BlockBytes(), std::max<uint32_t>(rate * 2 / 8, 1024));
    t.StopAndClose();
    auto s = t.collector.Range(false, t.toneStart, kWindow);
    double f = DominantFrequency(s.data(), s.size(), rate, 100, rate / 2.0 - 100, 25);
    EXPECT_NEAR(f, 1500, 30);
}

// The tone cases run one per process (see CMakeLists.txt): under Wine a second capture at another
// rate in the same process can find the platform's stream still at the first rate and stall.
TEST(DirectSoundTone, DISABLED_Mono48000) { ExpectMonoTone(48000); }
TEST(DirectSoundTone, DISABLED_Mono8000) { ExpectMonoTone(8000); }
TEST(DirectSoundTone, DISABLED_Mono192000) { ExpectMonoTone(192000); }

TEST(DirectSoundTone, DISABLED_Stereo48000) {
    ToneCapture t(48000, true);
    ASSERT_EQ(t.Run(2, L"sine 1000 sine 3000"), 0);
    EXPECT_EQ(t.capture.BlockBytes(), 24000u);
    t.StopAndClose();
    auto left = t.collector.Range(false, t.toneStart, kWindow);
    auto right = t.collector.Range(true, t.toneStart, kWindow);
    EXPECT_NEAR(DominantFrequency(left.data(), kWindow, 48000, 100, 23900, 25), 1000, 30);
    EXPECT_NEAR(DominantFrequency(right.data(), kWindow, 48000, 100, 23900, 25), 3000, 30);
    // Each channel carries only its own tone.
    EXPECT_GT(TonePower(left.data(), kWindow, 48000, 1000), 1000 * TonePower(left.data(), kWindow, 48000, 3000));
    EXPECT_GT(TonePower(right.data(), kWindow, 48000, 3000), 1000 * TonePower(right.data(), kWindow, 48000, 1000));
}

// The host-shell helper the sound cases play through must leave this process's handles alone. For
// a host program Wine fills the thread handle with whatever lay on the stack; the stack is first
// filled with live handle values, so that closing that field would close one of them.
HANDLE FillStackWith(const std::vector<win::UniqueHandle>& handles) {
    volatile HANDLE fill[4096];
    for (size_t i = 0; i < 4096; ++i) fill[i] = handles[i % handles.size()].get();
    return fill[4095];
}

TEST(HostShell, StartingAHostProgramClosesNoHandleOfThisProcess) {
    std::vector<win::UniqueHandle> events;
    for (int i = 0; i < 64; ++i) events.emplace_back(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    for (int run = 0; run < 3; ++run) {
        FillStackWith(events);
        guitest::ShellJob job;
        ASSERT_TRUE(job.Start(L"exit " + std::to_wstring(run + 4)));
        EXPECT_EQ(job.Wait(10000), run + 4);
    }
    for (const auto& event : events) {
        DWORD flags = 0;
        EXPECT_TRUE(::GetHandleInformation(event.get(), &flags)) << "handle " << event.get() << " was closed";
    }
}

}  // namespace
