// Framing of captured samples: sizes, overlap and odd parameters.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "audio/sample_accumulator.h"

namespace {

std::vector<std::int16_t> Ramp(int start, int count) {
    std::vector<std::int16_t> v(count);
    for (int i = 0; i < count; ++i) v[i] = static_cast<std::int16_t>((start + i) % 30000);
    return v;
}

}  // namespace

TEST(SampleAccumulator, FirstFrameInsideThe17thCallThenEvery4096) {
    SampleAccumulator acc;
    std::vector<int> frameStarts;  // first sample value of each frame, and the call it came in
    std::vector<int> frameCalls;
    int fed = 0;
    for (int call = 1; call <= 60; ++call) {
        const auto block = Ramp(fed, 1000);
        fed += 1000;
        acc.Add(block.data(), 1000, 16384, 4, [&](const std::int16_t* frame, int size) {
            ASSERT_EQ(size, 16384);
            for (int i = 1; i < size; ++i) ASSERT_EQ(frame[i], (frame[0] + i) % 30000);
            frameStarts.push_back(frame[0]);
            frameCalls.push_back(call);
        });
    }
    ASSERT_GE(frameCalls.size(), 2u);
    EXPECT_EQ(frameCalls[0], 17);
    EXPECT_EQ(frameStarts[0], 0);
    for (std::size_t k = 1; k < frameStarts.size(); ++k) {
        EXPECT_EQ(frameStarts[k], static_cast<int>(4096 * k) % 30000);
        // Frame k completes once 16384 + 4096 k samples have arrived.
        EXPECT_EQ(frameCalls[k], (16384 + 4096 * static_cast<int>(k) + 999) / 1000);
    }
    EXPECT_EQ(frameStarts.size(), static_cast<std::size_t>((60000 - 16384) / 4096 + 1));
    EXPECT_EQ(acc.count(), 12288 + (60000 - 16384) % 4096);
}

TEST(SampleAccumulator, OneBigBlockYieldsEveryFrameInIt) {
    SampleAccumulator acc;
    const auto block = Ramp(0, 40000);
    int frames = 0;
    const int returned = acc.Add(block.data(), 40000, 16384, 4, [&](const std::int16_t*, int) { ++frames; });
    EXPECT_EQ(frames, 1 + (40000 - 16384) / 4096);
    EXPECT_EQ(returned, frames);
}

TEST(SampleAccumulator, NoOverlapBelowFactorTwo) {
    for (int factor : {0, 1, -3}) {
        SampleAccumulator acc;
        std::vector<int> starts;
        const auto block = Ramp(0, 10000);
        acc.Add(block.data(), 10000, 4096, factor, [&](const std::int16_t* f, int) { starts.push_back(f[0]); });
        EXPECT_EQ(starts, (std::vector<int>{0, 4096})) << factor;
        EXPECT_EQ(acc.count(), 10000 - 8192);
    }
}

TEST(SampleAccumulator, OddSizesStayInsideTheBuffer) {
    // Larger than the buffer: frames of the buffer's size.
    SampleAccumulator acc;
    const auto block = Ramp(0, 20000);
    std::vector<int> sizes;
    acc.Add(block.data(), 20000, 100000, 4, [&](const std::int16_t*, int size) { sizes.push_back(size); });
    EXPECT_EQ(sizes, (std::vector<int>{16384}));
    // A factor that does not divide the size keeps all but the hop; a huge factor hops by one.
    SampleAccumulator odd;
    std::vector<int> starts;
    odd.Add(block.data(), 1010, 1000, 3, [&](const std::int16_t* f, int) { starts.push_back(f[0]); });
    EXPECT_EQ(starts, (std::vector<int>{0}));
    EXPECT_EQ(odd.count(), 1000 - 333 + 10);
    SampleAccumulator hopOne;
    starts.clear();
    hopOne.Add(block.data(), 1003, 1000, 5000, [&](const std::int16_t* f, int) { starts.push_back(f[0]); });
    EXPECT_EQ(starts, (std::vector<int>{0, 1, 2, 3}));
    // Zero or negative sizes and counts, and null samples, consume nothing into frames.
    SampleAccumulator none;
    int frames = 0;
    auto count = [&](const std::int16_t*, int) { ++frames; };
    none.Add(block.data(), 5000, 0, 4, count);
    none.Add(block.data(), 5000, -16, 4, count);
    none.Add(nullptr, 5000, 1024, 4, count);
    none.Add(block.data(), -5, 1024, 4, count);
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(none.count(), 0);
    // A frame size that shrinks below what is collected starts the frame over.
    SampleAccumulator shrink;
    shrink.Add(block.data(), 3000, 4096, 4, count);
    shrink.Add(block.data(), 100, 2048, 4, count);
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(shrink.count(), 100);
}
