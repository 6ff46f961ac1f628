#include "feed/send_pacer.h"

#include <algorithm>
#include <cmath>

namespace feed {

SendPacer::SendPacer(PacingOptions options, Time now)
    : options_(options), tokens_(options.burst), refilled_(now), lastOffer_(now) {
    if (!(options_.share > 0.0) || options_.share > 1.0) options_.share = 1.0;
    options_.resume = std::clamp(options_.resume, Duration::zero(), options_.burst);
}

void SendPacer::Offered(Time when) { lastOffer_ = std::max(lastOffer_, when); }

void SendPacer::Refill(Time now) {
    if (now <= refilled_) return;
    const double earned = options_.share * static_cast<double>((now - refilled_).count());
    tokens_ = std::min(options_.burst, tokens_ + Duration(static_cast<Duration::rep>(earned)));
    refilled_ = now;
}

void SendPacer::Spent(Time from, Time to) {
    if (to <= from) return;
    Refill(to);
    if (!paced_) return;
    // A send that blocked for long (a full socket buffer, a stalled transport) is owed only up to one
    // burst, so it cannot hold the sender back for longer than burst / share afterwards.
    tokens_ = std::max(-options_.burst, tokens_ - (to - from));
}

SendPacer::Duration SendPacer::Delay(Time now) {
    Refill(now);
    paced_ = !released_ && now - lastOffer_ < options_.quiet;
    if (!paced_) {
        waiting_ = false;
        return Duration::zero();
    }
    if (!waiting_ && tokens_ > Duration::zero()) return Duration::zero();
    if (tokens_ >= options_.resume) {
        waiting_ = false;
        return Duration::zero();
    }
    waiting_ = true;
    const double wall = static_cast<double>((options_.resume - tokens_).count()) / options_.share;
    return std::max(Duration(1), Duration(static_cast<Duration::rep>(std::ceil(wall))));
}

void SendPacer::Release() { released_ = true; }

}  // namespace feed
