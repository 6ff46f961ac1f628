// Turns one captured piece into the samples of the chosen channel: mono pieces are used in place,
// from interleaved stereo every second sample is copied (left = even positions, right = odd).
#pragma once
#include <cstdint>
#include <span>
#include <vector>

namespace audio {

enum class CaptureChannel : int32_t { Mono = 0, Left = 1, Right = 2 };

class ChannelPicker {
public:
    // Sizes the copy buffer for pieces of up to maxPieceBytes, so that capture itself need not
    // allocate; call before the capture thread starts (BufferBytes() of the engine is always enough).
    void Reserve(uint32_t maxPieceBytes);

    // The samples of `channel` in the piece, valid until the next call. channel is the channel
    // row's index: 0 mono, 1 left, 2 right; any other value yields no samples. A trailing odd
    // byte is ignored. Not thread-safe: one capture thread at a time.
    std::span<const int16_t> Pick(const void* bytes, uint32_t byteCount, int32_t channel);

private:
    std::vector<int16_t> scratch_;
};

}  // namespace audio
