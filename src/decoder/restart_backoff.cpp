// The restart delays: doubling while the decoder keeps failing soon after its start.
#include "decoder/restart_backoff.h"

#include <algorithm>
#include <chrono>

namespace decoder {

RestartBackoff::RestartBackoff(Clock clock, Timing timing)
    : clock_(std::move(clock)), timing_(timing), nextMs_(timing.firstMs) {
    // Nonsense timings fall back to something that neither spins nor waits forever.
    if (timing_.firstMs <= 0) timing_.firstMs = 1;
    if (timing_.longestMs < timing_.firstMs) timing_.longestMs = timing_.firstMs;
    nextMs_ = timing_.firstMs;
    startedMs_ = Now();
}

std::int64_t RestartBackoff::Now() const {
    if (clock_) return clock_();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void RestartBackoff::RunStarted() { startedMs_ = Now(); }

std::int64_t RestartBackoff::RunEnded() {
    const std::int64_t lasted = Now() - startedMs_;
    if (lasted >= timing_.shortRunMs) nextMs_ = timing_.firstMs;
    const std::int64_t delay = nextMs_;
    nextMs_ = std::min(nextMs_ * 2, timing_.longestMs);
    return delay;
}

void RestartBackoff::Reset() {
    nextMs_ = timing_.firstMs;
    startedMs_ = Now();
}

}  // namespace decoder
