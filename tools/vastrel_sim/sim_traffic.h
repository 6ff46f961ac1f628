// What the stand-in decoder writes: a paced, realistic record stream, and bulk records for load tests.
// Records are returned without their terminating zero byte.
#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace sim {

inline constexpr unsigned kFrameMs = 8640;  // one TDM frame

struct TrafficItem {
    unsigned delayMs = 0;  // wait this long before writing the record
    std::string record;
};

// One frame after another: a frame-type header (0) and a bulletin-board header (2, with a frequency
// report) open each frame, followed by bulletin-board contents (1) and now and then an unknown frame (3),
// a demodulator note (4) or a maritime safety message (5, several lines). The records of a frame are
// spread evenly over its 8.64 s; frame numbers advance by one per frame.
//
// The reported frequency is chosen so that the front end's factor 10368 / 10240 brings it back to
// within about a hertz of `centerHz`, so a front end that follows the reports stays near the carrier.
class LiveTraffic {
public:
    LiveTraffic(double centerHz, std::uint32_t seed);
    TrafficItem Next();
    unsigned frameNumber() const noexcept { return frame_; }

private:
    void BuildFrame();
    std::string Header(int category) const;

    double centerHz_;
    std::mt19937 rng_;
    unsigned frame_;
    std::string les_;
    std::vector<std::string> pending_;  // the rest of the current frame, in reverse order
    unsigned spacingMs_ = 0;
    unsigned messageCounter_ = 0;
    bool first_ = true;
};

// Record number `index` of a flood: categories 0..5 in turn, exactly `bytes` long (at least 10).
std::string FloodRecord(std::uint64_t index, std::size_t bytes);

// A record of `bytes` bytes (category 1) for testing the record limit.
std::string LongRecord(std::size_t bytes);

// `count` pseudo-random bytes, zero bytes included.
std::string Garbage(std::size_t count, std::uint32_t seed);

}  // namespace sim
