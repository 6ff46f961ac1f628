#include "audio/channel_picker.h"

#include <cstring>

namespace audio {

void ChannelPicker::Reserve(uint32_t maxPieceBytes) {
    size_t samples = maxPieceBytes / 2;
    if (scratch_.size() < (samples + 1) / 2) scratch_.resize((samples + 1) / 2);
}

std::span<const int16_t> ChannelPicker::Pick(const void* bytes, uint32_t byteCount, int32_t channel) {
    if (bytes == nullptr) return {};
    const size_t n = byteCount / 2;
    if (channel == static_cast<int32_t>(CaptureChannel::Mono)) {
        // The capture memory holds 16-bit samples at even offsets; it is handed on as it is.
        return {static_cast<const int16_t*>(bytes), n};
    }
    if (channel != static_cast<int32_t>(CaptureChannel::Left) && channel != static_cast<int32_t>(CaptureChannel::Right))
        return {};
    const size_t first = static_cast<size_t>(channel) - 1;
    if (first >= n) return {};
    // Positions first, first + 2, ... below n: for an odd n the left channel has one more sample
    // than n / 2, so the count is rounded up rather than trusted to n / 2.
    const size_t count = (n - first + 1) / 2;
    if (scratch_.size() < count) scratch_.resize(count);
    const auto* src = static_cast<const unsigned char*>(bytes);
    int16_t* dst = scratch_.data();
    for (size_t i = 0, pos = first; i < count; ++i, pos += 2) std::memcpy(&dst[i], src + pos * 2, sizeof(int16_t));
    return {dst, count};
}

}  // namespace audio
