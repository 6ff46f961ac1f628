// Framing of captured samples: sizes, overlap and odd parameters.
#include <gtest/gtest.h>

#include <vector>

#include "audio/sample_accumulator.h"

namespace {

// Samples numbered from `start` (modulo 30000, to fit 16 bits).
std::vector<std::int16_t> Ramp(int start, int count) {
    std::vector<std::int16_t> v(count);
    for (int i = 0; i < count; ++i) v[i] = static_cast<std::int16_t>((start + i) % 30000);
    return v;
}

// Each row feeds `calls` blocks of numbered samples with one frame size and overlap factor; frames
// must come `size` samples long, `hop` apart, each in the call where its last sample arrives, and
// `left` samples stay collected at the end.
TEST(SampleAccumulator, FramesComeAHopApartOnceTheirLastSampleArrives) {
    struct Row {
        const char* what;
        int block, calls, frameSize, factor;
        int size, hop, frames, left;
    };
    const Row rows[] = {
        {"the first frame inside the 17th call", 1000, 60, 16384, 4, 16384, 4096, 11, 12288 + 2656},
        {"one big block yields every frame in it", 40000, 1, 16384, 4, 16384, 4096, 6, 12288 + 3136},
        {"factor 1: no overlap", 10000, 1, 4096, 1, 4096, 4096, 2, 10000 - 8192},
        {"factor 0: no overlap", 10000, 1, 4096, 0, 4096, 4096, 2, 10000 - 8192},
        {"factor -3: no overlap", 10000, 1, 4096, -3, 4096, 4096, 2, 10000 - 8192},
        {"larger than the buffer: frames of the buffer's size", 20000, 1, 100000, 4, 16384, 4096, 1, 12288 + 3616},
        {"a factor that does not divide the size keeps all but the hop", 1010, 1, 1000, 3, 1000, 333, 1, 1000 - 333 + 10},
        {"a huge factor hops by one", 1003, 1, 1000, 5000, 1000, 1, 4, 999},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        SampleAccumulator acc;
        std::vector<int> starts, calls;
        int returned = 0;
        for (int call = 1; call <= r.calls; ++call) {
            const auto block = Ramp((call - 1) * r.block, r.block);
            returned += acc.Add(block.data(), r.block, r.frameSize, r.factor, [&](const std::int16_t* frame, int size) {
                ASSERT_EQ(size, r.size);
                for (int i = 1; i < size; ++i) ASSERT_EQ(frame[i], (frame[0] + i) % 30000);
                starts.push_back(frame[0]);
                calls.push_back(call);
            });
        }
        ASSERT_EQ(static_cast<int>(starts.size()), r.frames);
        EXPECT_EQ(returned, r.frames);
        for (int k = 0; k < r.frames; ++k) {
            EXPECT_EQ(starts[k], k * r.hop % 30000) << k;
            EXPECT_EQ(calls[k], (r.size + r.hop * k + r.block - 1) / r.block) << k;
        }
        EXPECT_EQ(acc.count(), r.left);
    }
}

TEST(SampleAccumulator, BadArgumentsMakeNoFramesAndAShrunkSizeStartsOver) {
    const auto block = Ramp(0, 5000);
    int frames = 0;
    auto count = [&](const std::int16_t*, int) { ++frames; };
    // Zero or negative sizes and counts, and null samples, consume nothing into frames.
    SampleAccumulator none;
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

}  // namespace
