// SampleAccumulator collects captured samples into overlapping frames of a fixed size.
#pragma once
#include <cstdint>

class SampleAccumulator {
public:
    static constexpr int kCapacity = 16384;

    // Consumes every sample; calls onFrame(frame, frameSize) for each completed frame, then keeps
    // the frame's tail (all but the hop of frameSize / overlapFactor, or nothing when the factor
    // is below 2) for the next one. A frame size above kCapacity is taken as kCapacity; below 1
    // the samples are dropped. Returns the number of frames completed. Never allocates.
    template <class OnFrame>
    int Add(const std::int16_t* samples, int count, int frameSize, int overlapFactor, OnFrame&& onFrame);

    void Reset() noexcept { count_ = 0; }
    int count() const noexcept { return count_; }
    const std::int16_t* data() const noexcept { return buffer_; }

    // The hop for a frame size and overlap factor: at least 1, at most the frame size.
    static int Hop(int frameSize, int overlapFactor) noexcept;
    static int ClampFrameSize(int frameSize) noexcept;

private:
    // Copies up to `count` samples towards a full frame; returns how many were taken.
    int Fill(const std::int16_t* samples, int count, int frameSize) noexcept;
    void Advance(int frameSize, int overlapFactor) noexcept;

    std::int16_t buffer_[kCapacity] = {};
    int count_ = 0;
};

template <class OnFrame>
int SampleAccumulator::Add(const std::int16_t* samples, int count, int frameSize, int overlapFactor,
                           OnFrame&& onFrame) {
    if (!samples || count <= 0) return 0;
    frameSize = ClampFrameSize(frameSize);
    if (frameSize < 1) return 0;
    if (count_ >= frameSize) count_ = 0;  // the frame size shrank since the last call
    int frames = 0;
    while (count > 0) {
        const int taken = Fill(samples, count, frameSize);
        samples += taken;
        count -= taken;
        if (count_ == frameSize) {
            onFrame(static_cast<const std::int16_t*>(buffer_), frameSize);
            ++frames;
            Advance(frameSize, overlapFactor);
        }
    }
    return frames;
}
