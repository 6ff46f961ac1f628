// The reception ledger: per UTC hour and LES, the frames heard, the frames a run could have heard,
// the frames missed between heard ones, and the signal-to-noise samples taken meanwhile.
//
// Portable: no Windows header. One thread uses a Ledger at a time.
#pragma once
#include <climits>
#include <compare>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string_view>

namespace reception {

// Frames are 8.64 s long, 10,000 a day, frame 0 beginning at 00:00 UTC: every frame therefore starts
// on a multiple of 8.64 s since 1970, and a frame's "slot" below is that multiple.
inline constexpr std::int64_t kFrameMs = 8640;
inline constexpr std::int64_t kFramesPerDay = 10'000;
inline constexpr std::int64_t kHourMs = 3'600'000;
inline constexpr std::int64_t kNoLes = -1;  // no station heard (yet) in the run

// The slot of frame number `frame` (decimal text 0..9999) heard at `receivedMs`: the slot with that
// number nearest the time of hearing. Nothing for text that is not such a number.
std::optional<std::int64_t> FrameSlot(std::string_view frame, std::int64_t receivedMs);
// A station number as received (1 to 9 digits), or kNoLes.
std::int64_t LesNumber(std::string_view les);
// Frames that begin in [fromMs, toMs).
std::int64_t FramesBeginningIn(std::int64_t fromMs, std::int64_t toMs);
inline std::int64_t HourOf(std::int64_t ms) { return (ms >= 0 ? ms : ms - kHourMs + 1) / kHourMs * kHourMs; }

struct HourKey {
    std::int64_t hourMs = 0;  // the hour's start, UTC ms
    std::int64_t les = kNoLes;
    auto operator<=>(const HourKey&) const = default;
};

struct HourCounts {
    std::int64_t heard = 0;     // distinct frames
    std::int64_t expected = 0;  // frames beginning while a run was going (never fewer than heard)
    std::int64_t missed = 0;    // frames between two heard ones of the same station and run
    double snrSum = 0.0;        // of the hour's samples, in dB
    std::int64_t snrCount = 0;
    double snrMin = 0.0;        // meaningful when snrCount > 0
    bool operator==(const HourCounts&) const = default;
};

class Ledger {
public:
    void RunStarted(std::int64_t utcMs);
    // A bulletin-board header: the LES and frame in force at `receivedMs`.
    void Frame(std::string_view les, std::string_view frame, std::int64_t receivedMs);
    // A signal-to-noise sample; it counts for every station's row of its hour.
    void Snr(std::int64_t utcMs, double db);
    void RunEnded(std::int64_t utcMs);

    // The counts so far, a run still going counted up to `nowMs`. An hour has a row for each station
    // heard in it, and one for kNoLes when a run went on there without hearing any.
    std::map<HourKey, HourCounts> Hours(std::int64_t nowMs) const;
    // Forgets hours that began before `hourMs` (after they have been written away for good).
    void Forget(std::int64_t hourMs);

private:
    void AddExpected(std::int64_t fromMs, std::int64_t toMs, std::int64_t les,
                     std::map<HourKey, std::int64_t>& into) const;
    void AddMissed(std::int64_t les, std::int64_t fromSlot, std::int64_t toSlot);

    std::map<HourKey, std::set<std::int64_t>> heard_;
    std::map<HourKey, std::int64_t> expected_;  // of closed stretches of run time
    std::map<HourKey, std::int64_t> missed_;
    struct SnrSum {
        double sum = 0.0;
        std::int64_t count = 0;
        double min = 0.0;
    };
    std::map<std::int64_t, SnrSum> snr_;  // by hour
    std::map<std::int64_t, std::int64_t> lastSlot_;  // per station, within the run
    bool running_ = false;
    bool heardInRun_ = false;
    std::int64_t openFromMs_ = 0;  // the open stretch of run time, credited to openLes_
    std::int64_t openLes_ = kNoLes;
    std::int64_t forgottenBefore_ = INT64_MIN;  // hours before it take nothing more
};

}  // namespace reception
