// RestartBackoff decides how long to wait before the decoder is started again after it ended by
// itself: the first delay, doubled after each run that ended soon after its start, up to a ceiling;
// the first delay again after a run that lasted.
//
// Portable: no Windows header. The clock is given, so that tests control it.
#pragma once
#include <cstdint>
#include <functional>

namespace decoder {

struct RestartTiming {
    std::int64_t firstMs = 5000;      // the delay after a run that lasted, and the first one
    std::int64_t longestMs = 300000;  // doubling stops here
    std::int64_t shortRunMs = 60000;  // a run that ended sooner than this counts as failing
};

class RestartBackoff {
public:
    using Timing = RestartTiming;
    using Clock = std::function<std::int64_t()>;  // monotonic milliseconds

    // Without a clock the steady clock counts.
    explicit RestartBackoff(Clock clock = {}, Timing timing = {});

    // A run began now (a user's start or a restart).
    void RunStarted();
    // The run ended now: the delay before the next start.
    std::int64_t RunEnded();
    // A start by the user: the next failure waits the first delay again.
    void Reset();

    const Timing& timing() const { return timing_; }

private:
    std::int64_t Now() const;

    Clock clock_;
    Timing timing_;
    std::int64_t startedMs_ = 0;
    std::int64_t nextMs_;  // the delay after the next short run
};

}  // namespace decoder
