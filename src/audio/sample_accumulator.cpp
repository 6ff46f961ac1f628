#include "audio/sample_accumulator.h"

#include <algorithm>
#include <cstring>

int SampleAccumulator::ClampFrameSize(int frameSize) noexcept {
    return frameSize > kCapacity ? kCapacity : frameSize;
}

int SampleAccumulator::Hop(int frameSize, int overlapFactor) noexcept {
    if (frameSize < 1) return 1;
    if (overlapFactor < 2) return frameSize;
    return std::max(1, frameSize / overlapFactor);
}

int SampleAccumulator::Fill(const std::int16_t* samples, int count, int frameSize) noexcept {
    const int taken = std::min(count, frameSize - count_);
    std::memcpy(buffer_ + count_, samples, static_cast<std::size_t>(taken) * sizeof(std::int16_t));
    count_ += taken;
    return taken;
}

void SampleAccumulator::Advance(int frameSize, int overlapFactor) noexcept {
    // Keep everything after the hop, so that a factor that does not divide the frame size still
    // keeps exactly the samples that the next frame shares with this one.
    const int hop = Hop(frameSize, overlapFactor);
    const int keep = frameSize - hop;
    if (keep > 0) std::memmove(buffer_, buffer_ + hop, static_cast<std::size_t>(keep) * sizeof(std::int16_t));
    count_ = keep;
}
