// CSoundCapture over a scripted service (block geometry, hand-over order, states and failures), and the
// portable halves of the sink and of enumeration: ChannelPicker and CaptureDeviceList.
#include "audio/capture_device_list.h"
#include "audio/channel_picker.h"
#include "scripted_capture.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <random>
#include <string>
#include <tuple>

using namespace audio;
using namespace audio::testing;
using namespace std::chrono_literals;

namespace {

constexpr int32_t kBadFormat = static_cast<int32_t>(0x88780064u);  // the platform's "bad format"

class SoundCaptureTest : public ::testing::Test {
protected:
    ScriptedFactory scripted;
    CSoundCapture capture{scripted.Factory()};
    RecordingSink sink;

    // Open, SetFormat (48000 Hz mono) and Start; returns the service of this run.
    std::shared_ptr<ScriptedService> StartRun(CaptureSink call = &RecordingSink::Call, void* context = nullptr) {
        EXPECT_EQ(capture.Open(std::nullopt), 0);
        EXPECT_EQ(capture.SetFormat(48000, 16, 1, 8), 0);
        EXPECT_EQ(capture.Start(call, context ? context : &sink), 0);
        return scripted.Last();
    }
};

TEST_F(SoundCaptureTest, BlockGeometryFollowsRateChannelsAndBlocksPerSecond) {
    struct Case { uint32_t rate; uint16_t channels; uint32_t blocksPerSecond, blockBytes; };
    for (const Case c : {Case{48000, 1, 8, 12000},  // 1/8 s per block
                         Case{48000, 2, 8, 24000}, Case{192000, 2, 8, 96000}, Case{8000, 1, 8, 2000},
                         Case{22050, 2, 8, 11024},     // 11025 cut to whole 4-byte frames
                         Case{8000, 1, 100, 1024},     // 160 bytes raised to the 1024-byte minimum
                         Case{11025, 2, 44, 1024}}) {  // 1002 raised to 1024, already whole frames
        SCOPED_TRACE(::testing::Message() << c.rate << " Hz, " << c.channels << " ch, " << c.blocksPerSecond);
        ASSERT_EQ(capture.Open(std::nullopt), 0);
        ASSERT_EQ(capture.SetFormat(c.rate, 16, c.channels, c.blocksPerSecond), 0);
        const auto svc = scripted.Last();
        EXPECT_EQ(std::tuple(capture.BlockBytes(), capture.BufferBytes(), svc->bufferBytes),
                  std::tuple(c.blockBytes, 16 * c.blockBytes, 16 * c.blockBytes));
        const PcmFormat& f = svc->format;
        EXPECT_EQ(std::tuple(f.formatTag, f.channels, f.samplesPerSec, f.blockAlign, f.avgBytesPerSec,
                             f.bitsPerSample, f.extraSize),
                  std::tuple(1, c.channels, c.rate, 2 * c.channels, c.rate * 2 * c.channels, 16, 0));
        std::vector<uint32_t> lastByteOfEachBlock;
        for (uint32_t i = 1; i <= 16; ++i) lastByteOfEachBlock.push_back(c.blockBytes * i - 1);
        EXPECT_EQ(svc->positions, lastByteOfEachBlock);
        EXPECT_EQ(capture.Close(), 0);
    }
}

// Each row is one run at 48000 Hz mono (12000-byte blocks): what the device captures step by step
// (0 = Stop and Start again), the pieces handed on after each step, and the sizes of all pieces.
// The samples are numbered as captured, so every run must hand on one unbroken sequence.
TEST_F(SoundCaptureTest, WholeBlocksAreHandedOnInCaptureOrder) {
    struct Step { uint32_t bytes; size_t piecesAfter; };
    struct Row { const char* what; std::vector<Step> steps; std::vector<size_t> pieceSizes; };
    const Row rows[] = {
        {"one block per notification", {{12000, 1}, {12000, 2}}, {6000, 6000}},
        {"a wrapped read position gives the buffer's last block, then its first",
         {{15 * 12000, 1}, {2 * 12000, 3}, {12000, 4}}, {15 * 6000, 6000, 6000, 6000}},
        {"half a block waits for the next notification", {{18000, 1}, {4000, 1}, {2000, 2}}, {6000, 6000}},
        {"a restart begins at the start of the new buffer", {{3 * 12000, 1}, {0, 1}, {12000, 2}}, {18000, 6000}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        RecordingSink sink;
        const auto svc = StartRun(&RecordingSink::Call, &sink);
        EXPECT_EQ(capture.State(), CaptureState::Capturing);
        int notifications = 0, starts = 1;
        for (const Step& step : row.steps) {
            if (step.bytes == 0) {
                ASSERT_EQ(capture.Stop(), 0);
                ASSERT_EQ(capture.Start(&RecordingSink::Call, &sink), 0);
                ++starts;
                continue;
            }
            svc->Capture(step.bytes);
            // The thread has read the position for this notification and handed on what it found.
            ASSERT_TRUE(Eventually([&] { return svc->readPositionCalls == notifications + 1; }));
            ++notifications;
            ASSERT_TRUE(sink.WaitForPieces(step.piecesAfter));
        }
        EXPECT_EQ(svc->createBufferCalls, 1 + starts);  // once to test the format, again for each run
        EXPECT_EQ(capture.Stop(), 0);
        EXPECT_TRUE(svc->bufferStoppedBeforeStopSignal);
        EXPECT_EQ(capture.Close(), 0);

        std::vector<size_t> sizes;
        std::vector<int16_t> all;
        for (const auto& p : sink.Pieces()) {
            sizes.push_back(p.samples.size());
            all.insert(all.end(), p.samples.begin(), p.samples.end());
            EXPECT_EQ(p.thread, svc->captureThread.load());  // the sink runs on the capture thread
        }
        EXPECT_EQ(sizes, row.pieceSizes);
        EXPECT_NE(svc->captureThread.load(), std::this_thread::get_id());
        for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i], static_cast<int16_t>(i)) << "sample " << i;
    }
}

TEST_F(SoundCaptureTest, OperationsOutsideTheirStatesAreRefused) {
    auto start = [&] { return capture.Start(&RecordingSink::Call, &sink); };
    auto format = [&] { return capture.SetFormat(48000, 16, 1, 8); };
    auto open = [&] { return capture.Open(std::nullopt); };
    constexpr int32_t kNo = kCaptureNotAllowed;
    // Closed: everything but Open.
    EXPECT_EQ(std::tuple(format(), start(), capture.Stop(), capture.Close()), std::tuple(kNo, kNo, kNo, kNo));
    const DeviceGuid guid{0x12345678, 0x9abc, 0xdef0, {1, 2, 3, 4, 5, 6, 7, 8}};
    ASSERT_EQ(capture.Open(guid), 0);
    EXPECT_EQ(scripted.Last()->openedDevice, CaptureDeviceId{guid});
    // Opened without a format: no second Open, no Start, no Stop.
    EXPECT_EQ(std::tuple(open(), start(), capture.Stop()), std::tuple(kNo, kNo, kNo));
    // Impossible formats are refused before anything is kept: still no format to start with.
    for (auto [rate, bits, channels, blocks] : {std::tuple{48000u, 16, 0, 8u}, {48000u, 0, 1, 8u}, {48000u, 16, 1, 0u},
                                                {0u, 16, 1, 8u},
                                                {4000000000u, 16, 2, 8u},   // bytes per second overflow
                                                {1000000000u, 16, 2, 1u}})  // 16 blocks overflow
        EXPECT_EQ(capture.SetFormat(rate, bits, channels, blocks), kCaptureInvalidParam) << rate;
    EXPECT_EQ(start(), kNo);
    ASSERT_EQ(format(), 0);
    EXPECT_EQ(capture.Start(nullptr, nullptr), kCaptureInvalidParam);
    ASSERT_EQ(start(), 0);
    // Capturing: no new format, no second Start, no Open.
    EXPECT_EQ(std::tuple(format(), start(), open()), std::tuple(kNo, kNo, kNo));

    // Close while capturing stops first and gives everything back.
    const auto svc = scripted.Last();
    EXPECT_EQ(capture.Close(), 0);
    EXPECT_EQ(capture.State(), CaptureState::Closed);
    EXPECT_EQ(std::tuple(svc->stopBufferCalls.load(), svc->stopsSeenByThread.load(), svc->initializeCalls.load(),
                         svc->uninitializeCalls.load(), svc->deviceOpen.load()),
              std::tuple(1, 1, 1, 1, false));
    ASSERT_EQ(open(), 0);
    EXPECT_FALSE(scripted.Last()->openedDevice.has_value());

    // A capture destroyed while running closes itself.
    std::weak_ptr<ScriptedService> watch;
    {
        CSoundCapture local{scripted.Factory()};
        ASSERT_EQ(local.Open(std::nullopt), 0);
        ASSERT_EQ(local.SetFormat(8000, 16, 2, 8), 0);
        ASSERT_EQ(local.Start(&RecordingSink::Call, &sink), 0);
        watch = scripted.Last();
    }
    EXPECT_TRUE(watch.expired());
}

// Each row fails one step of the service: the call that made it returns its code and leaves the
// state it names; Close still works, everything is given back and a fresh Open succeeds.
TEST(SoundCaptureFailures, AFailedStepIsReportedAndLeavesNothingBehind) {
    enum Call { kOpen, kSetFormat, kStart, kStop };
    struct Row { Step step; int32_t code; Call call; CaptureState after; };
    constexpr CaptureState kClosed = CaptureState::Closed, kOpened = CaptureState::Opened;
    const Row rows[] = {
        {kEvents, -9, kOpen, kClosed}, {kInit, -7, kOpen, kClosed}, {kOpenDevice, -5, kOpen, kClosed},
        {kCreateBuffer, kBadFormat, kSetFormat, kOpened}, {kQueryNotify, kBadFormat, kSetFormat, kOpened},
        {kPositions, kBadFormat, kSetFormat, kOpened},
        // The thread Start made has seen the stop before Start returns, before the events can go.
        {kStartLooping, -11, kStart, kOpened},
        // A device that will not stop: the thread is ended all the same.
        {kStopBuffer, -30, kStop, kOpened},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.step);
        ScriptedFactory scripted;
        scripted.failures[r.step] = r.code;
        CSoundCapture capture{scripted.Factory()};
        RecordingSink sink;
        const std::function<int32_t()> calls[] = {[&] { return capture.Open(std::nullopt); },
                                                   [&] { return capture.SetFormat(192000, 16, 2, 8); },
                                                   [&] { return capture.Start(&RecordingSink::Call, &sink); },
                                                   [&] { return capture.Stop(); }};
        for (int i = 0; i < r.call; ++i) ASSERT_EQ(calls[i](), 0);
        EXPECT_EQ(calls[r.call](), r.code);
        EXPECT_EQ(capture.State(), r.after);
        auto svc = scripted.Last();
        const int started = r.call >= kStart;
        if (svc) {
            EXPECT_EQ(std::pair(svc->startCalls.load(), svc->stopsSeenByThread.load()), std::pair(started, started));
        }
        EXPECT_FALSE(capture.LastStopAbandonedThread());
        EXPECT_EQ(capture.Close(), r.call == kOpen ? kCaptureNotAllowed : 0);
        EXPECT_EQ(capture.State(), kClosed);
        if (svc) {
            EXPECT_EQ(std::pair(svc->initializeCalls.load(), svc->uninitializeCalls.load()), std::pair(1, 1));
        }
        svc.reset();
        EXPECT_TRUE(scripted.made.back().expired());  // events and all released
        EXPECT_EQ(sink.Count(), 0u);
        scripted.failures = {};
        EXPECT_EQ(capture.Open(std::nullopt), 0);
    }
}

TEST_F(SoundCaptureTest, StopWaitsForTheSinkCallInProgress) {
    const auto svc = StartRun();
    sink.Hold(true);
    svc->Capture(12000);
    ASSERT_TRUE(sink.WaitForPieces(1));
    svc->Capture(12000);  // queued behind the held sink
    auto stopped = std::async(std::launch::async, [&] { return capture.Stop(); });
    EXPECT_EQ(stopped.wait_for(200ms), std::future_status::timeout);  // still inside the sink
    sink.Hold(false);
    ASSERT_EQ(stopped.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(stopped.get(), 0);
    EXPECT_FALSE(capture.LastStopAbandonedThread());
    EXPECT_TRUE(svc->bufferStoppedBeforeStopSignal);
    EXPECT_EQ(sink.Count(), 2u);  // the queued block was drained first: notifications win the wait
}

TEST_F(SoundCaptureTest, ThreadStuckInTheSinkIsAbandonedNotKilled) {
    std::mutex displayLock;  // what a sink would hold while it works
    std::pair<RecordingSink*, std::mutex*> ctx{&sink, &displayLock};
    auto svc = StartRun(
        [](void* c, const void* b, uint32_t n) {
            auto* x = static_cast<decltype(ctx)*>(c);
            std::lock_guard hold(*x->second);
            RecordingSink::Call(x->first, b, n);
        },
        &ctx);
    const std::weak_ptr<ScriptedService> watch = svc;
    sink.Hold(true);
    svc->Capture(12000);
    ASSERT_TRUE(sink.WaitForPieces(1));
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(capture.Stop(), 0);
    const auto waited = std::chrono::steady_clock::now() - t0;
    EXPECT_TRUE(waited >= 4900ms && waited < 8000ms);
    EXPECT_TRUE(capture.LastStopAbandonedThread() && capture.AbandonedThreadAlive());
    // The abandoned run keeps its buffer: this run can only be closed.
    EXPECT_EQ(std::pair(capture.SetFormat(48000, 16, 1, 8), capture.Start(&RecordingSink::Call, &sink)),
              std::pair(kCaptureNotAllowed, kCaptureNotAllowed));
    EXPECT_EQ(capture.Close(), 0);
    svc.reset();
    EXPECT_FALSE(watch.expired());  // still in use by the thread
    // A new run may open, but no second thread may enter the sink while the first is inside.
    ASSERT_EQ(capture.Open(std::nullopt), 0);
    ASSERT_EQ(capture.SetFormat(48000, 16, 1, 8), 0);
    EXPECT_EQ(capture.Start(&RecordingSink::Call, &sink), kCaptureNotAllowed);
    if (auto old = watch.lock()) old->Capture(12000);  // a new block waits for the stuck thread
    sink.Hold(false);
    ASSERT_TRUE(Eventually([&] { return !capture.AbandonedThreadAlive() && watch.expired(); }));
    EXPECT_EQ(sink.Count(), 1u);  // nothing handed on after the abandonment
    EXPECT_TRUE(displayLock.try_lock());  // the sink's lock was released normally
    displayLock.unlock();
    EXPECT_EQ(capture.Start(&RecordingSink::Call, &sink), 0);
    scripted.Last()->Capture(12000);
    EXPECT_TRUE(sink.WaitForPieces(2));
}

// A failing read position or lock, or a position outside the buffer (the device is gone): the thread
// ends by itself, quietly, and nothing more reaches the sink.
TEST_F(SoundCaptureTest, AFailingDeviceEndsTheThreadQuietly) {
    for (int fault = 0; fault < 3; ++fault) {
        SCOPED_TRACE(fault);
        RecordingSink local;
        const auto svc = StartRun(&RecordingSink::Call, &local);
        svc->Capture(12000);
        ASSERT_TRUE(local.WaitForPieces(1));
        if (fault == 0) svc->readPositionFailure = -20;
        if (fault == 1) svc->lockFailure = -21;
        if (fault == 2) svc->readPositionOverride = 192000;
        svc->Capture(12000);
        ASSERT_TRUE(Eventually([&] { return svc->readPositionCalls == 2; }));
        svc->readPositionFailure = svc->lockFailure = 0;
        svc->readPositionOverride = UINT32_MAX;
        svc->Capture(12000);  // nobody is listening any more
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(capture.Stop(), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
        EXPECT_FALSE(capture.LastStopAbandonedThread());
        EXPECT_EQ(std::tuple(svc->stopsSeenByThread.load(), svc->readPositionCalls.load(), local.Count()),
                  std::tuple(0, 2, size_t{1}));  // it had ended before the stop
        EXPECT_EQ(capture.Close(), 0);
    }
}

TEST(ChannelPicker, MonoIsHandedOnInPlaceAndStereoPicksEveryOtherSample) {
    std::mt19937 rng(5);
    std::vector<int16_t> v(4097);
    for (auto& x : v) x = static_cast<int16_t>(rng());
    ChannelPicker picker;
    const auto mono = picker.Pick(v.data(), 8000, 0);
    EXPECT_EQ(std::pair(mono.data(), mono.size()), std::pair(static_cast<const int16_t*>(v.data()), size_t{4000}));
    EXPECT_EQ(picker.Pick(v.data(), 8001, 0).size(), 4000u);  // a stray odd byte is dropped
    picker.Reserve(static_cast<uint32_t>(v.size() * 2));
    const int16_t* firstData = nullptr;
    for (size_t n : {0, 1, 2, 5, 4096, 4097})
        for (int32_t channel : {1, 2}) {
            std::vector<int16_t> expected;
            for (size_t pos = static_cast<size_t>(channel) - 1; pos < n; pos += 2) expected.push_back(v[pos]);
            const auto got = picker.Pick(v.data(), static_cast<uint32_t>(n * 2), channel);
            ASSERT_EQ(std::vector<int16_t>(got.begin(), got.end()), expected) << n << " channel " << channel;
            if (!firstData && !got.empty()) firstData = got.data();
            EXPECT_TRUE(got.empty() || got.data() == firstData);  // no allocation per piece
        }
    // Unknown channels and null pieces yield nothing.
    for (auto [bytes, channel] : {std::pair<const void*, int>{v.data(), 3}, {v.data(), -1}, {nullptr, 0}, {nullptr, 1}})
        EXPECT_TRUE(picker.Pick(bytes, 16, channel).empty()) << channel;
}

TEST(CaptureDeviceList, KeepsNineteenDevicesPrimaryFirstAndClosesTheList) {
    CaptureDeviceList list;
    EXPECT_EQ(list.Names()[0], nullptr);
    EXPECT_FALSE(list.Id(0).has_value());  // an empty list has no valid selection
    for (int i = 0; i < 25; ++i) {
        const std::wstring name = L"Device " + std::to_wstring(i);  // the list keeps its own copy
        EXPECT_EQ(list.Add(i == 0 ? CaptureDeviceId{} : DeviceGuid{static_cast<uint32_t>(i), 1, 2, {}}, name.c_str()), i < 19);
    }
    ASSERT_EQ(list.Count(), 19);
    EXPECT_FALSE(list.Id(0)->has_value());  // the primary device has no GUID
    for (int i : {0, 1, 18}) EXPECT_EQ(list.Names()[i], L"Device " + std::to_wstring(i));
    EXPECT_EQ((*list.Id(18))->data1, 18u);
    EXPECT_EQ(list.Names()[19], nullptr);
    for (int outside : {-1, 19}) EXPECT_FALSE(list.Id(outside).has_value() || list.Name(outside)) << outside;
    list.Clear();
    EXPECT_EQ(std::tuple(list.Count(), list.Names()[0], list.Name(0)), std::tuple(0, nullptr, nullptr));
    EXPECT_TRUE(list.Add(std::nullopt, nullptr));
    EXPECT_STREQ(list.Name(0), L"");
    EXPECT_EQ(list.Names()[1], nullptr);
}

}  // namespace
