// Reception ledger: slots from frame numbers, run time split by hour and station, gaps by hour.
#include "reception/ledger.h"

#include <algorithm>

namespace reception {

namespace {

std::optional<std::int64_t> Digits(std::string_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    std::int64_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return -FloorDiv(-a, b); }

// A gap longer than a day is a clock that jumped, not a day of missed frames.
constexpr std::int64_t kLongestGap = kFramesPerDay;

}  // namespace

std::optional<std::int64_t> FrameSlot(std::string_view frame, std::int64_t receivedMs) {
    const std::optional<std::int64_t> n = Digits(frame, 5);
    if (!n || *n >= kFramesPerDay) return std::nullopt;
    const std::int64_t now = FloorDiv(receivedMs, kFrameMs);
    // The latest slot numbered n that began by now, or the next one when that is nearer (a decoder
    // clock a little ahead of ours).
    std::int64_t slot = now - ((now - *n) % kFramesPerDay + kFramesPerDay) % kFramesPerDay;
    if (now - slot > kFramesPerDay / 2) slot += kFramesPerDay;
    return slot;
}

std::int64_t LesNumber(std::string_view les) { return Digits(les, 9).value_or(kNoLes); }

std::int64_t FramesBeginningIn(std::int64_t fromMs, std::int64_t toMs) {
    if (toMs <= fromMs) return 0;
    return CeilDiv(toMs, kFrameMs) - CeilDiv(fromMs, kFrameMs);
}

void Ledger::RunStarted(std::int64_t utcMs) {
    if (running_) RunEnded(utcMs);
    running_ = true;
    heardInRun_ = false;
    openFromMs_ = utcMs;
    openLes_ = kNoLes;
    lastSlot_.clear();
}

void Ledger::RunEnded(std::int64_t utcMs) {
    if (!running_) return;
    AddExpected(openFromMs_, utcMs, openLes_, expected_);
    running_ = false;
}

void Ledger::Frame(std::string_view lesText, std::string_view frame, std::int64_t receivedMs) {
    const std::optional<std::int64_t> slot = FrameSlot(frame, receivedMs);
    if (!slot) return;
    const std::int64_t les = LesNumber(lesText);
    const std::int64_t startMs = *slot * kFrameMs;
    if (HourOf(startMs) >= forgottenBefore_) heard_[HourKey{HourOf(startMs), les}].insert(*slot);

    if (running_) {
        if (!heardInRun_) {
            // The run listened to this station from its start.
            openLes_ = les;
        } else if (les != openLes_) {
            const std::int64_t switchMs = std::max(openFromMs_, startMs);
            AddExpected(openFromMs_, switchMs, openLes_, expected_);
            openFromMs_ = switchMs;
            openLes_ = les;
        }
        heardInRun_ = true;
    }
    auto last = lastSlot_.find(les);
    if (last == lastSlot_.end()) {
        lastSlot_[les] = *slot;
        return;
    }
    const std::int64_t gap = *slot - last->second - 1;
    if (gap > 0 && gap <= kLongestGap) AddMissed(les, last->second + 1, *slot);
    if (*slot > last->second) last->second = *slot;
}

void Ledger::Snr(std::int64_t utcMs, double db) {
    SnrSum& s = snr_[HourOf(utcMs)];
    s.min = s.count == 0 ? db : std::min(s.min, db);
    s.sum += db;
    ++s.count;
}

void Ledger::AddExpected(std::int64_t fromMs, std::int64_t toMs, std::int64_t les,
                         std::map<HourKey, std::int64_t>& into) const {
    for (std::int64_t hour = HourOf(fromMs); hour < toMs; hour += kHourMs) {
        const std::int64_t n = FramesBeginningIn(std::max(fromMs, hour), std::min(toMs, hour + kHourMs));
        into[HourKey{hour, les}] += n;
    }
}

// Slots [fromSlot, toSlot) were not heard.
void Ledger::AddMissed(std::int64_t les, std::int64_t fromSlot, std::int64_t toSlot) {
    for (std::int64_t hour = HourOf(fromSlot * kFrameMs); hour < toSlot * kFrameMs; hour += kHourMs) {
        if (hour < forgottenBefore_) continue;
        const std::int64_t n = FramesBeginningIn(std::max(fromSlot * kFrameMs, hour),
                                                 std::min(toSlot * kFrameMs, hour + kHourMs));
        missed_[HourKey{hour, les}] += n;
    }
}

std::map<HourKey, HourCounts> Ledger::Hours(std::int64_t nowMs) const {
    std::map<HourKey, std::int64_t> expected = expected_;
    if (running_) AddExpected(openFromMs_, nowMs, openLes_, expected);
    std::map<HourKey, HourCounts> out;
    for (const auto& [key, n] : expected) {
        if (n > 0) out[key].expected = n;
    }
    for (const auto& [key, slots] : heard_) out[key].heard = static_cast<std::int64_t>(slots.size());
    for (const auto& [key, n] : missed_) out[key].missed = n;
    for (auto& [key, counts] : out) {
        counts.expected = std::max(counts.expected, counts.heard);
        auto s = snr_.find(key.hourMs);
        if (s == snr_.end()) continue;
        counts.snrSum = s->second.sum;
        counts.snrCount = s->second.count;
        counts.snrMin = s->second.min;
    }
    return out;
}

void Ledger::Forget(std::int64_t hourMs) {
    if (running_ && openFromMs_ < hourMs) {
        AddExpected(openFromMs_, hourMs, openLes_, expected_);
        openFromMs_ = hourMs;
    }
    forgottenBefore_ = std::max(forgottenBefore_, hourMs);
    auto before = [hourMs](auto& map) {
        for (auto it = map.begin(); it != map.end() && it->first.hourMs < hourMs;) it = map.erase(it);
    };
    before(heard_);
    before(expected_);
    before(missed_);
    snr_.erase(snr_.begin(), snr_.lower_bound(hourMs));
}

}  // namespace reception
