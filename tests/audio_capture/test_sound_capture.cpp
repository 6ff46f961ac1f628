// CSoundCapture over a scripted service: block geometry, hand-over order, states and failures.
#include "capture_test_support.h"

#include <gtest/gtest.h>

#include <future>
#include <numeric>

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

    // Open, SetFormat and Start; returns the service of this run.
    std::shared_ptr<ScriptedCaptureService> StartRun(uint32_t rate, uint16_t channels) {
        EXPECT_EQ(capture.Open(std::nullopt), 0);
        EXPECT_EQ(capture.SetFormat(rate, 16, channels, 8), 0);
        EXPECT_EQ(capture.Start(&RecordingSink::Call, &sink), 0);
        return scripted.Last();
    }

    static std::vector<int16_t> Joined(const std::vector<RecordingSink::Piece>& pieces) {
        std::vector<int16_t> all;
        for (const auto& p : pieces) all.insert(all.end(), p.samples.begin(), p.samples.end());
        return all;
    }
    static void ExpectNumbered(const std::vector<int16_t>& s, int16_t first) {
        for (size_t i = 0; i < s.size(); ++i)
            ASSERT_EQ(s[i], static_cast<int16_t>(first + static_cast<int16_t>(i))) << "sample " << i;
    }
};

TEST_F(SoundCaptureTest, BlockGeometryFollowsRateChannelsAndBlocksPerSecond) {
    struct Case {
        uint32_t rate;
        uint16_t channels;
        uint32_t blocksPerSecond;
        uint32_t blockBytes;
    };
    const Case cases[] = {
        {48000, 1, 8, 12000},   // 1/8 s per block
        {48000, 2, 8, 24000},
        {22050, 2, 8, 11024},   // 11025 cut to whole 4-byte frames
        {8000, 1, 8, 2000},
        {8000, 1, 100, 1024},   // 160 bytes raised to the 1024-byte minimum
        {11025, 2, 44, 1024},   // 1002 raised to 1024, already whole frames
        {192000, 2, 8, 96000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.rate << " Hz, " << c.channels << " ch, " << c.blocksPerSecond);
        ASSERT_EQ(capture.Open(std::nullopt), 0);
        ASSERT_EQ(capture.SetFormat(c.rate, 16, c.channels, c.blocksPerSecond), 0);
        auto svc = scripted.Last();
        EXPECT_EQ(capture.BlockBytes(), c.blockBytes);
        EXPECT_EQ(capture.BufferBytes(), 16 * c.blockBytes);
        EXPECT_EQ(svc->bufferBytes, 16 * c.blockBytes);
        EXPECT_EQ(svc->format.formatTag, 1);
        EXPECT_EQ(svc->format.channels, c.channels);
        EXPECT_EQ(svc->format.samplesPerSec, c.rate);
        EXPECT_EQ(svc->format.blockAlign, 2 * c.channels);
        EXPECT_EQ(svc->format.avgBytesPerSec, c.rate * 2 * c.channels);
        EXPECT_EQ(svc->format.bitsPerSample, 16);
        EXPECT_EQ(svc->format.extraSize, 0);
        ASSERT_EQ(svc->positions.size(), 16u);
        for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(svc->positions[i], c.blockBytes * (i + 1) - 1);
        EXPECT_EQ(capture.Close(), 0);
    }
}

TEST_F(SoundCaptureTest, Mono48kOneBlockPerNotification) {
    auto svc = StartRun(48000, 1);
    ASSERT_TRUE(svc);
    EXPECT_EQ(capture.State(), CaptureState::Capturing);
    EXPECT_EQ(svc->createBufferCalls, 2);  // once to test the format, again for the run

    svc->Capture(12000);
    ASSERT_TRUE(sink.WaitForPieces(1));
    svc->Capture(12000);
    ASSERT_TRUE(sink.WaitForPieces(2));
    auto pieces = sink.Pieces();
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].samples.size(), 6000u);
    EXPECT_EQ(pieces[1].samples.size(), 6000u);
    ExpectNumbered(Joined(pieces), 0);
    // Sink and priority hook both ran on the capture thread, not on ours.
    EXPECT_EQ(pieces[0].thread, svc->captureThread.load());
    EXPECT_NE(pieces[0].thread, std::this_thread::get_id());

    EXPECT_EQ(capture.Stop(), 0);
    EXPECT_TRUE(svc->bufferStoppedBeforeStopSignal);
    EXPECT_EQ(capture.State(), CaptureState::Opened);
    EXPECT_EQ(capture.Close(), 0);
    EXPECT_EQ(capture.State(), CaptureState::Closed);
}

TEST_F(SoundCaptureTest, WrappedReadPositionGivesTwoPiecesInCaptureOrder) {
    auto svc = StartRun(48000, 1);
    svc->Capture(15 * 12000);  // cursor at 180000, one block before the end
    ASSERT_TRUE(sink.WaitForPieces(1));
    EXPECT_EQ(sink.Pieces()[0].samples.size(), 15u * 6000);

    svc->Capture(2 * 12000);  // read position wraps to 12000
    ASSERT_TRUE(sink.WaitForPieces(3));
    auto pieces = sink.Pieces();
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[1].samples.size(), 6000u);  // the buffer's last block
    EXPECT_EQ(pieces[2].samples.size(), 6000u);  // its first block
    ExpectNumbered(Joined(pieces), 0);

    svc->Capture(12000);  // and on from the start of the buffer
    ASSERT_TRUE(sink.WaitForPieces(4));
    ExpectNumbered(Joined(sink.Pieces()), 0);
}

TEST_F(SoundCaptureTest, HalfBlockWaitsForTheNextNotification) {
    auto svc = StartRun(48000, 1);
    svc->Capture(18000);  // 1.5 blocks
    ASSERT_TRUE(sink.WaitForPieces(1));
    ASSERT_TRUE(Eventually([&] { return svc->lockCalls.load() == 1; }));
    svc->Capture(4000);  // still short of the second block: nothing is handed on
    svc->Capture(2000);  // completes it
    ASSERT_TRUE(sink.WaitForPieces(2));
    auto pieces = sink.Pieces();
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].samples.size(), 6000u);
    EXPECT_EQ(pieces[1].samples.size(), 6000u);
    ExpectNumbered(Joined(pieces), 0);
}

TEST_F(SoundCaptureTest, RestartBeginsAtTheStartOfTheNewBuffer) {
    auto svc = StartRun(48000, 1);
    svc->Capture(12000 * 3);
    ASSERT_TRUE(sink.WaitForPieces(1));
    ASSERT_EQ(capture.Stop(), 0);
    ASSERT_EQ(capture.Start(&RecordingSink::Call, &sink), 0);  // new buffer, cursor back to 0
    svc->Capture(12000);
    ASSERT_TRUE(sink.WaitForPieces(2));
    auto pieces = sink.Pieces();
    EXPECT_EQ(pieces[1].samples.size(), 6000u);
    ExpectNumbered(pieces[1].samples, static_cast<int16_t>(18000));
}

TEST_F(SoundCaptureTest, OperationsOutsideTheirStatesAreRefused) {
    EXPECT_EQ(capture.SetFormat(48000, 16, 1, 8), kCaptureNotAllowed);
    EXPECT_EQ(capture.Start(&RecordingSink::Call, &sink), kCaptureNotAllowed);
    EXPECT_EQ(capture.Stop(), kCaptureNotAllowed);
    EXPECT_EQ(capture.Close(), kCaptureNotAllowed);

    ASSERT_EQ(capture.Open(std::nullopt), 0);
    EXPECT_EQ(capture.Open(std::nullopt), kCaptureNotAllowed);
    EXPECT_EQ(capture.Start(&RecordingSink::Call, &sink), kCaptureNotAllowed);  // no format yet
    EXPECT_EQ(capture.Stop(), kCaptureNotAllowed);
    ASSERT_EQ(capture.SetFormat(48000, 16, 1, 8), 0);
    ASSERT_EQ(capture.Start(&RecordingSink::Call, &sink), 0);
    EXPECT_EQ(capture.SetFormat(48000, 16, 1, 8), kCaptureNotAllowed);
    EXPECT_EQ(capture.Start(&RecordingSink::Call, &sink), kCaptureNotAllowed);
    EXPECT_EQ(capture.Open(std::nullopt), kCaptureNotAllowed);

    // Close while capturing stops first.
    auto svc = scripted.Last();
    EXPECT_EQ(capture.Close(), 0);
    EXPECT_EQ(capture.State(), CaptureState::Closed);
    EXPECT_EQ(svc->stopBufferCalls, 1);
    EXPECT_EQ(svc->stopsSeenByThread, 1);
    EXPECT_EQ(svc->initializeCalls, svc->uninitializeCalls);
    EXPECT_FALSE(svc->deviceOpen);
}

TEST_F(SoundCaptureTest, DeviceIdentifierReachesTheService) {
    DeviceGuid guid{0x12345678, 0x9abc, 0xdef0, {1, 2, 3, 4, 5, 6, 7, 8}};
    ASSERT_EQ(capture.Open(guid), 0);
    ASSERT_TRUE(scripted.Last()->openedDevice.has_value());
    EXPECT_EQ(*scripted.Last()->openedDevice, guid);
    EXPECT_EQ(capture.Close(), 0);
    ASSERT_EQ(capture.Open(std::nullopt), 0);
    EXPECT_FALSE(scripted.Last()->openedDevice.has_value());
}

TEST_F(SoundCaptureTest, FailedOpenLeavesClosedAndGivesEverythingBack) {
    scripted.failures.openDevice = -5;
    EXPECT_EQ(capture.Open(std::nullopt), -5);
    EXPECT_EQ(capture.State(), CaptureState::Closed);
    ASSERT_EQ(scripted.made.size(), 1u);
    EXPECT_TRUE(scripted.made[0].expired());  // events and all released

    scripted.failures = {};
    scripted.failures.initialize = -7;
    EXPECT_EQ(capture.Open(std::nullopt), -7);
    EXPECT_EQ(capture.State(), CaptureState::Closed);

    scripted.failures = {};
    scripted.failures.createEvents = -9;
    EXPECT_EQ(capture.Open(std::nullopt), -9);

    scripted.failures = {};
    EXPECT_EQ(capture.Open(std::nullopt), 0);  // nothing left over blocks a new open
}

TEST_F(SoundCaptureTest, FormatRefusalIsReportedAndCloseStillWorks) {
    for (int step = 0; step < 3; ++step) {
        scripted.failures = {};
        (step == 0 ? scripted.failures.createBuffer : step == 1 ? scripted.failures.queryNotify
                                                                : scripted.failures.setPositions) = kBadFormat;
        SCOPED_TRACE(step);
        ASSERT_EQ(capture.Open(std::nullopt), 0);
        EXPECT_EQ(capture.SetFormat(192000, 16, 2, 8), kBadFormat);
        EXPECT_EQ(capture.State(), CaptureState::Opened);
        auto svc = scripted.Last();
        EXPECT_EQ(capture.Close(), 0);
        EXPECT_EQ(capture.State(), CaptureState::Closed);
        EXPECT_EQ(svc->initializeCalls, svc->uninitializeCalls);
        EXPECT_EQ(svc->startCalls, 0);
    }
}

TEST_F(SoundCaptureTest, ImpossibleFormatsAreRejectedWithoutDividingByZero) {
    ASSERT_EQ(capture.Open(std::nullopt), 0);
    EXPECT_EQ(capture.SetFormat(48000, 16, 0, 8), kCaptureInvalidParam);
    EXPECT_EQ(capture.SetFormat(48000, 0, 1, 8), kCaptureInvalidParam);
    EXPECT_EQ(capture.SetFormat(48000, 16, 1, 0), kCaptureInvalidParam);
    EXPECT_EQ(capture.SetFormat(0, 16, 1, 8), kCaptureInvalidParam);
    EXPECT_EQ(capture.SetFormat(4000000000u, 16, 2, 8), kCaptureInvalidParam);  // bytes per second overflow
    EXPECT_EQ(capture.SetFormat(1000000000u, 16, 2, 1), kCaptureInvalidParam);  // 16 blocks overflow
    EXPECT_EQ(capture.Start(&RecordingSink::Call, &sink), kCaptureNotAllowed);  // still no format
    ASSERT_EQ(capture.SetFormat(48000, 16, 1, 8), 0);
    EXPECT_EQ(capture.Start(nullptr, nullptr), kCaptureInvalidParam);
    EXPECT_EQ(capture.State(), CaptureState::Opened);
}

TEST_F(SoundCaptureTest, StartFailureEndsTheThreadBeforeReturning) {
    scripted.failures.startLooping = -11;
    ASSERT_EQ(capture.Open(std::nullopt), 0);
    ASSERT_EQ(capture.SetFormat(48000, 16, 1, 8), 0);
    auto svc = scripted.Last();
    EXPECT_EQ(capture.Start(&RecordingSink::Call, &sink), -11);
    EXPECT_EQ(capture.State(), CaptureState::Opened);
    // The thread that Start created has seen the stop already, before anyone closes the events.
    EXPECT_EQ(svc->stopsSeenByThread, 1);
    EXPECT_FALSE(capture.LastStopAbandonedThread());
    EXPECT_EQ(capture.Close(), 0);
    EXPECT_EQ(capture.State(), CaptureState::Closed);
    svc.reset();
    EXPECT_TRUE(scripted.made.back().expired());
    EXPECT_EQ(sink.Count(), 0u);
}

TEST_F(SoundCaptureTest, StopWaitsForTheSinkCallInProgress) {
    auto svc = StartRun(48000, 1);
    sink.Hold(true);
    svc->Capture(12000);
    ASSERT_TRUE(sink.WaitForPieces(1));
    svc->Capture(12000);  // queued behind the held sink; must not be handed on after the stop

    auto stopped = std::async(std::launch::async, [&] { return capture.Stop(); });
    EXPECT_EQ(stopped.wait_for(200ms), std::future_status::timeout);  // still inside the sink
    EXPECT_TRUE(sink.Inside());
    sink.Hold(false);
    ASSERT_EQ(stopped.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(stopped.get(), 0);
    EXPECT_FALSE(capture.LastStopAbandonedThread());
    EXPECT_EQ(capture.State(), CaptureState::Opened);
    EXPECT_TRUE(svc->bufferStoppedBeforeStopSignal);
    // The queued block was drained before the stop was seen, as notifications win the wait.
    EXPECT_EQ(sink.Count(), 2u);
    EXPECT_EQ(capture.Close(), 0);
}

TEST_F(SoundCaptureTest, ThreadStuckInTheSinkIsAbandonedNotKilled) {
    std::mutex displayLock;  // what a sink would hold while it works
    struct Ctx {
        RecordingSink* sink;
        std::mutex* lock;
    } ctx{&sink, &displayLock};
    auto lockingSink = [](void* c, const void* b, uint32_t n) {
        auto* x = static_cast<Ctx*>(c);
        std::lock_guard hold(*x->lock);
        x->sink->Receive(b, n);
    };
    ASSERT_EQ(capture.Open(std::nullopt), 0);
    ASSERT_EQ(capture.SetFormat(48000, 16, 1, 8), 0);
    ASSERT_EQ(capture.Start(lockingSink, &ctx), 0);
    auto svc = scripted.Last();
    std::weak_ptr<ScriptedCaptureService> watch = svc;
    sink.Hold(true);
    svc->Capture(12000);
    ASSERT_TRUE(sink.WaitForPieces(1));

    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(capture.Stop(), 0);
    auto waited = std::chrono::steady_clock::now() - t0;
    EXPECT_GE(waited, 4900ms);
    EXPECT_LT(waited, 8000ms);
    EXPECT_TRUE(capture.LastStopAbandonedThread());
    EXPECT_TRUE(capture.AbandonedThreadAlive());
    EXPECT_EQ(capture.State(), CaptureState::Opened);
    // The abandoned run keeps its buffer: this run can only be closed.
    EXPECT_EQ(capture.SetFormat(48000, 16, 1, 8), kCaptureNotAllowed);
    EXPECT_EQ(capture.Start(&RecordingSink::Call, &sink), kCaptureNotAllowed);
    EXPECT_EQ(capture.Close(), 0);
    svc.reset();
    EXPECT_FALSE(watch.expired());  // still in use by the thread

    // A new run may open, but no second thread may enter the sink while the first is inside.
    ASSERT_EQ(capture.Open(std::nullopt), 0);
    ASSERT_EQ(capture.SetFormat(48000, 16, 1, 8), 0);
    EXPECT_EQ(capture.Start(&RecordingSink::Call, &sink), kCaptureNotAllowed);

    if (auto old = watch.lock()) old->Capture(12000);  // a new block waits for the stuck thread
    sink.Hold(false);
    ASSERT_TRUE(Eventually([&] { return !capture.AbandonedThreadAlive(); }));
    ASSERT_TRUE(Eventually([&] { return watch.expired(); }));  // the thread let the service go
    EXPECT_EQ(sink.Count(), 1u);  // nothing handed on after the abandonment
    EXPECT_TRUE(displayLock.try_lock());  // the sink's lock was released normally
    displayLock.unlock();

    EXPECT_EQ(capture.Start(&RecordingSink::Call, &sink), 0);
    scripted.Last()->Capture(12000);
    EXPECT_TRUE(sink.WaitForPieces(2));
    EXPECT_EQ(capture.Close(), 0);
}

TEST_F(SoundCaptureTest, FailingReadPositionEndsTheThreadQuietly) {
    auto svc = StartRun(48000, 1);
    svc->Capture(12000);
    ASSERT_TRUE(sink.WaitForPieces(1));
    svc->readPositionFailure = -20;  // the device is gone
    svc->Capture(12000);
    ASSERT_TRUE(Eventually([&] { return svc->readPositionCalls.load() == 2; }));
    svc->readPositionFailure = 0;
    svc->Capture(12000);  // nobody is listening any more
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(capture.Stop(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
    EXPECT_FALSE(capture.LastStopAbandonedThread());
    EXPECT_EQ(sink.Count(), 1u);
    EXPECT_EQ(svc->stopsSeenByThread, 0);  // it had ended before the stop
    EXPECT_EQ(capture.Close(), 0);
}

TEST_F(SoundCaptureTest, FailingLockOrBadPositionEndsTheThreadQuietly) {
    for (int variant = 0; variant < 2; ++variant) {
        SCOPED_TRACE(variant);
        auto svc = StartRun(48000, 1);
        if (variant == 0) svc->lockFailure = -21;
        else svc->readPositionOverride = 192000;  // outside the buffer
        svc->Capture(12000);
        svc->Notify();
        ASSERT_TRUE(Eventually([&] { return svc->readPositionCalls.load() >= 1; }));
        EXPECT_EQ(capture.Stop(), 0);
        EXPECT_EQ(svc->stopsSeenByThread, 0);
        EXPECT_EQ(sink.Count(), 0u);
        EXPECT_EQ(capture.Close(), 0);
    }
}

TEST_F(SoundCaptureTest, DeviceThatWillNotStopStillEndsTheThread) {
    scripted.failures.stopBuffer = -30;
    auto svc = StartRun(48000, 1);
    EXPECT_EQ(capture.Stop(), -30);
    EXPECT_EQ(capture.State(), CaptureState::Opened);
    EXPECT_EQ(svc->stopsSeenByThread, 1);
    EXPECT_EQ(capture.Close(), 0);
    EXPECT_EQ(capture.State(), CaptureState::Closed);
    EXPECT_EQ(capture.Open(std::nullopt), 0);  // a fresh start is possible
}

TEST_F(SoundCaptureTest, DestructorClosesARunningCapture) {
    std::weak_ptr<ScriptedCaptureService> watch;
    {
        CSoundCapture local{scripted.Factory()};
        ASSERT_EQ(local.Open(std::nullopt), 0);
        ASSERT_EQ(local.SetFormat(8000, 16, 2, 8), 0);
        ASSERT_EQ(local.Start(&RecordingSink::Call, &sink), 0);
        watch = scripted.Last();
    }
    EXPECT_TRUE(watch.expired());
}

}  // namespace
