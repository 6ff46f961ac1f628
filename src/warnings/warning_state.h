// The state of every numbered warning over the readings of all messages heard: in force, cancelled
// by another message, dropped by a later in-force bulletin of its series, or expired; and the
// warnings bulletins list that were never heard.
//
// Portable. Messages come in any order: a cancellation heard before the warning it names still
// cancels it, and the same warning heard twice is one warning.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "warnings/reader.h"

namespace warnings {

// What the store keeps: Expired is never kept, as it depends on the time asked about (StateAt).
enum class State { None, InForce, Cancelled, Expired, Dropped };
std::string_view StateName(State state);  // "none", "inforce", "cancelled", "expired", "dropped"

// What the state logic needs of one message.
struct Heard {
    std::int64_t id = 0;
    std::int64_t firstHeardMs = 0;
    std::optional<WarningKey> key;          // a numbered warning
    std::vector<WarningKey> cancels;
    bool bulletin = false;                  // an in-force bulletin of `bulletinSeries`
    std::string bulletinSeries;
    std::vector<WarningKey> inForce;
};

struct MessageState {
    std::int64_t id = 0;
    State state = State::None;        // None, InForce, Cancelled or Dropped
    std::int64_t cancelledBy = 0;     // the cancelling message, when Cancelled
};

struct Missing {
    WarningKey key;
    std::int64_t bulletinId = 0;
};

struct States {
    std::vector<MessageState> messages;  // one per Heard, in the same order
    std::vector<Missing> missing;        // listed by the latest bulletin of a series, never heard
};

Heard HeardOf(std::int64_t id, std::int64_t firstHeardMs, const Reading& reading);

States ComputeStates(std::span<const Heard> heard);

// The state at `nowMs` of a kept state with the warning's own expiry: an expiry passed turns an
// in-force or dropped warning into an expired one; a cancellation stays.
State StateAt(State kept, std::optional<std::int64_t> expiresMs, std::int64_t nowMs);

}  // namespace warnings
