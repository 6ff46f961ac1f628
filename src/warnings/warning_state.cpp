// Warning states: grouped by key, so a repeat shares its warning's state, and with the latest
// bulletin of each series deciding what it drops and what is missing.
#include "warnings/warning_state.h"

#include <map>
#include <set>

namespace warnings {

std::string_view StateName(State state) {
    switch (state) {
        case State::None: return "none";
        case State::InForce: return "inforce";
        case State::Cancelled: return "cancelled";
        case State::Expired: return "expired";
        case State::Dropped: return "dropped";
    }
    return "none";
}

Heard HeardOf(std::int64_t id, std::int64_t firstHeardMs, const Reading& reading) {
    Heard h;
    h.id = id;
    h.firstHeardMs = firstHeardMs;
    if (reading.numbered()) h.key = reading.key();
    h.cancels = reading.cancels;
    h.bulletin = reading.kind == Kind::Bulletin && !reading.series.empty();
    if (h.bulletin) h.bulletinSeries = reading.series, h.inForce = reading.inForce;
    return h;
}

States ComputeStates(std::span<const Heard> heard) {
    struct Warning {
        std::int64_t firstHeardMs = INT64_MAX;
        std::set<std::int64_t> ids;
    };
    std::map<WarningKey, Warning> warnings;
    for (const Heard& h : heard) {
        if (!h.key) continue;
        Warning& w = warnings[*h.key];
        w.firstHeardMs = std::min(w.firstHeardMs, h.firstHeardMs);
        w.ids.insert(h.id);
    }
    // The first message (by time heard, then id) naming each key in a cancellation; not one of its own copies.
    std::map<WarningKey, std::pair<std::int64_t, std::int64_t>> cancelled;
    // The latest bulletin of each series.
    std::map<std::string, const Heard*> latest;
    for (const Heard& h : heard) {
        for (const WarningKey& k : h.cancels) {
            auto w = warnings.find(k);
            if (w != warnings.end() && w->second.ids.count(h.id)) continue;
            auto [it, fresh] = cancelled.try_emplace(k, h.firstHeardMs, h.id);
            if (!fresh && std::make_pair(h.firstHeardMs, h.id) < it->second) it->second = {h.firstHeardMs, h.id};
        }
        if (h.bulletin) {
            const Heard*& b = latest[h.bulletinSeries];
            if (!b || std::make_pair(h.firstHeardMs, h.id) > std::make_pair(b->firstHeardMs, b->id)) b = &h;
        }
    }
    std::map<const Heard*, std::set<WarningKey>> listedBy;
    for (const auto& [series, b] : latest) listedBy[b].insert(b->inForce.begin(), b->inForce.end());
    States out;
    out.messages.reserve(heard.size());
    for (const Heard& h : heard) {
        MessageState s{h.id, State::None, 0};
        if (h.key) {
            s.state = State::InForce;
            const Warning& w = warnings[*h.key];
            if (auto c = cancelled.find(*h.key); c != cancelled.end()) {
                s.state = State::Cancelled, s.cancelledBy = c->second.second;
            } else if (auto b = latest.find(h.key->series); b != latest.end() && b->second->firstHeardMs > w.firstHeardMs) {
                if (!listedBy[b->second].count(*h.key)) s.state = State::Dropped;
            }
        }
        out.messages.push_back(s);
    }
    for (const auto& [series, b] : latest) {
        for (const WarningKey& k : b->inForce) {
            if (!warnings.count(k)) out.missing.push_back(Missing{k, b->id});
        }
    }
    return out;
}

State StateAt(State kept, std::optional<std::int64_t> expiresMs, std::int64_t nowMs) {
    if ((kept == State::InForce || kept == State::Dropped) && expiresMs && *expiresMs <= nowMs) return State::Expired;
    return kept;
}

}  // namespace warnings
