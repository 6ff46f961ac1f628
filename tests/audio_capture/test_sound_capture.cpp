// CSoundCapture over a scripted service: block geometry, hand-over order, states and failures.
#include "scripted_capture.h"

#include <gtest/gtest.h>

#include <future>
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

    // Open, SetFormat (48000 Hz mono unless told) and Start; returns the service of this run.
    std::shared_ptr<ScriptedService> StartRun(CaptureSink call = &RecordingSink::Call, void* context = nullptr) {
        EXPECT_EQ(capture.Open(std::nullopt), 0);
        EXPECT_EQ(capture.SetFormat(48000, 16, 1, 8), 0);
        EXPECT_EQ(capture.Start(call, context ? context : &sink), 0);
        return scripted.Last();
    }
};

TEST_F(SoundCaptureTest, BlockGeometryFollowsRateChannelsAndBlocksPerSecond) {
    struct Case {
        uint32_t rate;
        uint16_t channels;
        uint32_t blocksPerSecond, blockBytes;
    };
    for (const Case c : {Case{48000, 1, 8, 12000},  // 1/8 s per block
                         Case{48000, 2, 8, 24000}, Case{192000, 2, 8, 96000}, Case{8000, 1, 8, 2000},
                         Case{22050, 2, 8, 11024},   // 11025 cut to whole 4-byte frames
                         Case{8000, 1, 100, 1024},   // 160 bytes raised to the 1024-byte minimum
                         Case{11025, 2, 44, 1024}}) {  // 1002 raised to 1024, already whole frames
        SCOPED_TRACE(::testing::Message() << c.rate << " Hz, " << c.channels << " ch, " << c.blocksPerSecond);
        ASSERT_EQ(capture.Open(std::nullopt), 0);
        ASSERT_EQ(capture.SetFormat(c.rate, 16, c.channels, c.blocksPerSecond), 0);
        const auto svc = scripted.Last();
        EXPECT_EQ(capture.BlockBytes(), c.blockBytes);
        EXPECT_EQ(capture.BufferBytes(), 16 * c.blockBytes);
        EXPECT_EQ(svc->bufferBytes, 16 * c.blockBytes);
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
TEST(SoundCaptureRuns, WholeBlocksAreHandedOnInCaptureOrder) {
    struct Step {
        uint32_t bytes;
        size_t piecesAfter;
    };
    struct Row {
        const char* what;
        std::vector<Step> steps;
        std::vector<size_t> pieceSizes;
    };
    const Row rows[] = {
        {"one block per notification", {{12000, 1}, {12000, 2}}, {6000, 6000}},
        {"a wrapped read position gives the buffer's last block, then its first",
         {{15 * 12000, 1}, {2 * 12000, 3}, {12000, 4}}, {15 * 6000, 6000, 6000, 6000}},
        {"half a block waits for the next notification", {{18000, 1}, {4000, 1}, {2000, 2}}, {6000, 6000}},
        {"a restart begins at the start of the new buffer", {{3 * 12000, 1}, {0, 1}, {12000, 2}}, {18000, 6000}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ScriptedFactory scripted;
        CSoundCapture capture{scripted.Factory()};
        RecordingSink sink;
        ASSERT_EQ(capture.Open(std::nullopt), 0);
        ASSERT_EQ(capture.SetFormat(48000, 16, 1, 8), 0);
        ASSERT_EQ(capture.Start(&RecordingSink::Call, &sink), 0);
        const auto svc = scripted.Last();
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
            ++notifications;
            // The thread has read the position for this notification and handed on what it found.
            ASSERT_TRUE(Eventually([&] { return svc->readPositionCalls == notifications; }));
            ASSERT_TRUE(sink.WaitForPieces(step.piecesAfter));
        }
        EXPECT_EQ(svc->createBufferCalls, 1 + starts);  // once to test the format, again for each run
        EXPECT_EQ(capture.Stop(), 0);
        EXPECT_TRUE(svc->bufferStoppedBeforeStopSignal);
        EXPECT_EQ(capture.State(), CaptureState::Opened);
        EXPECT_EQ(capture.Close(), 0);
        EXPECT_EQ(capture.State(), CaptureState::Closed);

        const auto pieces = sink.Pieces();
        std::vector<size_t> sizes;
        std::vector<int16_t> all;
        for (const auto& p : pieces) {
            sizes.push_back(p.samples.size());
            all.insert(all.end(), p.samples.begin(), p.samples.end());
            // The sink (and the priority hook before it) ran on the capture thread, not on ours.
            EXPECT_NE(p.thread, std::this_thread::get_id());
        }
        EXPECT_EQ(sizes, row.pieceSizes);
        EXPECT_EQ(pieces.back().thread, svc->captureThread.load());
        for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i], static_cast<int16_t>(i)) << "sample " << i;
    }
}

TEST_F(SoundCaptureTest, OperationsOutsideTheirStatesAreRefused) {
    auto start = [&] { return capture.Start(&RecordingSink::Call, &sink); };
    auto format = [&] { return capture.SetFormat(48000, 16, 1, 8); };
    auto open = [&] { return capture.Open(std::nullopt); };
    // Closed: everything but Open.
    EXPECT_EQ(std::tuple(format(), start(), capture.Stop(), capture.Close()),
              std::tuple(kCaptureNotAllowed, kCaptureNotAllowed, kCaptureNotAllowed, kCaptureNotAllowed));
    ASSERT_EQ(open(), 0);
    // Opened without a format: no second Open, no Start, no Stop.
    EXPECT_EQ(std::tuple(open(), start(), capture.Stop()),
              std::tuple(kCaptureNotAllowed, kCaptureNotAllowed, kCaptureNotAllowed));
    ASSERT_EQ(format(), 0);
    ASSERT_EQ(start(), 0);
    // Capturing: no new format, no second Start, no Open.
    EXPECT_EQ(std::tuple(format(), start(), open()), std::tuple(kCaptureNotAllowed, kCaptureNotAllowed, kCaptureNotAllowed));

    // Close while capturing stops first.
    const auto svc = scripted.Last();
    EXPECT_EQ(capture.Close(), 0);
    EXPECT_EQ(capture.State(), CaptureState::Closed);
    EXPECT_EQ(svc->stopBufferCalls, 1);
    EXPECT_EQ(svc->stopsSeenByThread, 1);
    EXPECT_EQ(svc->initializeCalls, 1);
    EXPECT_EQ(svc->uninitializeCalls, 1);
    EXPECT_FALSE(svc->deviceOpen);
}

TEST_F(SoundCaptureTest, DeviceIdentifierReachesTheService) {
    const DeviceGuid guid{0x12345678, 0x9abc, 0xdef0, {1, 2, 3, 4, 5, 6, 7, 8}};
    ASSERT_EQ(capture.Open(guid), 0);
    EXPECT_EQ(scripted.Last()->openedDevice, CaptureDeviceId{guid});
    EXPECT_EQ(capture.Close(), 0);
    ASSERT_EQ(capture.Open(std::nullopt), 0);
    EXPECT_FALSE(scripted.Last()->openedDevice.has_value());
}

TEST_F(SoundCaptureTest, AFailedStepOfOpenLeavesClosedAndGivesEverythingBack) {
    for (auto [step, code] : {std::pair{kOpenDevice, -5}, std::pair{kInit, -7}, std::pair{kEvents, -9}}) {
        SCOPED_TRACE(step);
        scripted.failures = {};
        scripted.failures[step] = code;
        EXPECT_EQ(capture.Open(std::nullopt), code);
        EXPECT_EQ(capture.State(), CaptureState::Closed);
        EXPECT_TRUE(scripted.made.back().expired());  // events and all released
    }
    scripted.failures = {};
    EXPECT_EQ(capture.Open(std::nullopt), 0);  // nothing left over blocks a new open
}

TEST_F(SoundCaptureTest, FormatRefusalIsReportedAndCloseStillWorks) {
    for (Step step : {kCreateBuffer, kQueryNotify, kPositions}) {
        SCOPED_TRACE(step);
        scripted.failures = {};
        scripted.failures[step] = kBadFormat;
        ASSERT_EQ(capture.Open(std::nullopt), 0);
        EXPECT_EQ(capture.SetFormat(192000, 16, 2, 8), kBadFormat);
        EXPECT_EQ(capture.State(), CaptureState::Opened);
        const auto svc = scripted.Last();
        EXPECT_EQ(capture.Close(), 0);
        EXPECT_EQ(capture.State(), CaptureState::Closed);
        EXPECT_EQ(svc->initializeCalls, svc->uninitializeCalls);
        EXPECT_EQ(svc->startCalls, 0);
    }
}

TEST_F(SoundCaptureTest, ImpossibleFormatsAreRejectedWithoutDividingByZero) {
    ASSERT_EQ(capture.Open(std::nullopt), 0);
    struct Format {
        uint32_t rate;
        uint16_t bits, channels;
        uint32_t blocksPerSecond;
    };
    for (const Format f : {Format{48000, 16, 0, 8}, Format{48000, 0, 1, 8}, Format{48000, 16, 1, 0}, Format{0, 16, 1, 8},
                           Format{4000000000u, 16, 2, 8},   // bytes per second overflow
                           Format{1000000000u, 16, 2, 1}})  // 16 blocks overflow
        EXPECT_EQ(capture.SetFormat(f.rate, f.bits, f.channels, f.blocksPerSecond), kCaptureInvalidParam) << f.rate;
    EXPECT_EQ(capture.Start(&RecordingSink::Call, &sink), kCaptureNotAllowed);  // still no format
    ASSERT_EQ(capture.SetFormat(48000, 16, 1, 8), 0);
    EXPECT_EQ(capture.Start(nullptr, nullptr), kCaptureInvalidParam);
    EXPECT_EQ(capture.State(), CaptureState::Opened);
}

TEST_F(SoundCaptureTest, StartFailureEndsTheThreadBeforeReturning) {
    scripted.failures[kStartLooping] = -11;
    ASSERT_EQ(capture.Open(std::nullopt), 0);
    ASSERT_EQ(capture.SetFormat(48000, 16, 1, 8), 0);
    auto svc = scripted.Last();
    EXPECT_EQ(capture.Start(&RecordingSink::Call, &sink), -11);
    EXPECT_EQ(capture.State(), CaptureState::Opened);
    // The thread that Start created has seen the stop already, before anyone closes the events.
    EXPECT_EQ(svc->stopsSeenByThread, 1);
    EXPECT_FALSE(capture.LastStopAbandonedThread());
    EXPECT_EQ(capture.Close(), 0);
    svc.reset();
    EXPECT_TRUE(scripted.made.back().expired());
    EXPECT_EQ(sink.Count(), 0u);
}

TEST_F(SoundCaptureTest, StopWaitsForTheSinkCallInProgress) {
    const auto svc = StartRun();
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
        RecordingSink::Call(x->sink, b, n);
    };
    auto svc = StartRun(lockingSink, &ctx);
    const std::weak_ptr<ScriptedService> watch = svc;
    sink.Hold(true);
    svc->Capture(12000);
    ASSERT_TRUE(sink.WaitForPieces(1));

    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(capture.Stop(), 0);
    const auto waited = std::chrono::steady_clock::now() - t0;
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
        EXPECT_EQ(svc->stopsSeenByThread, 0);  // it had ended before the stop
        EXPECT_EQ(svc->readPositionCalls, 2);
        EXPECT_EQ(local.Count(), 1u);
        EXPECT_EQ(capture.Close(), 0);
    }
}

TEST_F(SoundCaptureTest, DeviceThatWillNotStopStillEndsTheThread) {
    scripted.failures[kStopBuffer] = -30;
    const auto svc = StartRun();
    EXPECT_EQ(capture.Stop(), -30);
    EXPECT_EQ(capture.State(), CaptureState::Opened);
    EXPECT_EQ(svc->stopsSeenByThread, 1);
    EXPECT_EQ(capture.Close(), 0);
    EXPECT_EQ(capture.State(), CaptureState::Closed);
    EXPECT_EQ(capture.Open(std::nullopt), 0);  // a fresh start is possible
}

TEST_F(SoundCaptureTest, DestructorClosesARunningCapture) {
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

}  // namespace
