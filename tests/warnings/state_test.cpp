// Warning states over messages heard in various orders (cancellations, repeats, bulletins) and expiry.
#include <gtest/gtest.h>


#include "warnings/warning_state.h"

using namespace warnings;

namespace {

const WarningKey kA{"NAVAREA IV", 1165, 2022};
const WarningKey kB{"NAVAREA IV", 1170, 2022};
const WarningKey kC{"NAVAREA IV", 1177, 2022};
const WarningKey kOther{"HYDROLANT", 1165, 2022};

// A message heard at `at`: the numbered warning `key` (none: an unnumbered message), cancelling others.
Heard Warning(std::int64_t id, std::int64_t at, std::optional<WarningKey> key, std::vector<WarningKey> cancels = {}) {
    return {.id = id, .firstHeardMs = at, .key = std::move(key), .cancels = std::move(cancels)};
}

Heard Bulletin(std::int64_t id, std::int64_t at, const std::string& series, std::vector<WarningKey> listed) {
    return {.id = id, .firstHeardMs = at, .bulletin = true, .bulletinSeries = series, .inForce = std::move(listed)};
}

// "id state[ cancelled by]" per message, then " / " and "series number/year bulletin" per missing one.
std::string Render(const States& s) {
    std::string out;
    for (const MessageState& m : s.messages)
        out += (out.empty() ? "" : ", ") + std::to_string(m.id) + " " + std::string(StateName(m.state)) +
               (m.cancelledBy ? " " + std::to_string(m.cancelledBy) : "");
    for (const Missing& m : s.missing)
        out += " / " + m.key.series + " " + std::to_string(m.key.number) + "/" + std::to_string(m.key.year) + " " +
               std::to_string(m.bulletinId);
    return out;
}

}  // namespace

TEST(WarningState, StatesOfMessagesHeardTogether) {
    const auto none = std::nullopt;
    const struct { const char* name; std::vector<Heard> heard; std::string states; } cases[] = {
        {"a warning alone is in force; an unnumbered message has none", {Warning(1, 10, kA), Warning(2, 20, none)},
         "1 inforce, 2 none"},
        {"cancelled by a later message", {Warning(1, 10, kA), Warning(2, 20, kC, {kA})}, "1 cancelled 2, 2 inforce"},
        {"the cancellation heard first still cancels", {Warning(5, 10, none, {kA}), Warning(6, 20, kA)}, "5 none, 6 cancelled 5"},
        {"a repeat is the same warning", {Warning(1, 10, kA), Warning(2, 30, kA), Warning(3, 20, none, {kA})},
         "1 cancelled 3, 2 cancelled 3, 3 none"},
        {"the earliest of two cancellations names it", {Warning(9, 50, none, {kA}), Warning(4, 40, none, {kA}), Warning(1, 10, kA)},
         "9 none, 4 none, 1 cancelled 4"},
        {"another series with the same number is untouched", {Warning(1, 10, kA), Warning(2, 20, none, {kOther})},
         "1 inforce, 2 none"},
        {"a bulletin drops two and names one never heard",
         {Warning(1, 10, kA), Warning(2, 11, kB), Warning(3, 12, kC), Bulletin(4, 100, "NAVAREA IV", {kC, {"NAVAREA IV", 1180, 2022}})},
         "1 dropped, 2 dropped, 3 inforce, 4 none / NAVAREA IV 1180/2022 4"},
        {"a bulletin heard before a warning does not drop it", {Bulletin(1, 5, "NAVAREA IV", {}), Warning(2, 10, kA)},
         "1 none, 2 inforce"},
        {"the latest bulletin decides, and gives the missing list",
         {Warning(1, 10, kA), Bulletin(2, 20, "NAVAREA IV", {kB}), Bulletin(3, 30, "NAVAREA IV", {kA, kC})},
         "1 inforce, 2 none, 3 none / NAVAREA IV 1177/2022 3"},
        {"a bulletin of another series drops nothing", {Warning(1, 10, kA), Bulletin(2, 20, "NAVAREA I", {})}, "1 inforce, 2 none"},
        {"cancelled wins over dropped", {Warning(1, 10, kA), Warning(2, 15, none, {kA}), Bulletin(3, 20, "NAVAREA IV", {})},
         "1 cancelled 2, 2 none, 3 none"},
    };
    for (const auto& c : cases) EXPECT_EQ(Render(ComputeStates(c.heard)), c.states) << c.name;
}

TEST(WarningState, ExpiryCountsFromTheTimeAsked) {
    const struct { State kept; std::optional<std::int64_t> expires; std::int64_t now; State expected; } cases[] = {
        {State::InForce, 1000, 999, State::InForce},  {State::InForce, 1000, 1000, State::Expired},
        {State::Dropped, 1000, 2000, State::Expired}, {State::Cancelled, 1000, 2000, State::Cancelled},
        {State::InForce, std::nullopt, 2000, State::InForce}, {State::None, 1000, 2000, State::None},
    };
    for (const auto& c : cases) EXPECT_EQ(StateAt(c.kept, c.expires, c.now), c.expected) << StateName(c.kept) << " " << c.now;
}
