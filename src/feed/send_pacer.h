// How fast the feed's sender may send: a budget of its own time, so that during a flood it takes
// only a small, fixed share of a processor and leaves the rest to decoding and the store, whatever
// the platform makes of thread priorities (Wine ignores them, and each datagram costs it a round
// trip to the Wine server). It is a token bucket counted in time spent sending: the sender earns
// `share` of the wall time that passes, may save up `burst` of it, and waits when it has spent what
// it had. Real traffic (a record a second, bursts of a few) never empties it, so it goes out at once.
// With no record offered for `quiet`, or once the run has ended, there is nothing to yield to and
// the sender sends at full speed, so it catches up after a flood.
//
// Pure logic: the caller says what time it is (steady clock), so it is tested with a clock of its own.
#pragma once
#include <chrono>

namespace feed {

struct PacingOptions {
    double share = 0.08;  // of wall time, while records keep coming
    std::chrono::nanoseconds burst = std::chrono::milliseconds(80);  // sending time saved up at most
    // Once out of budget, the sender waits until it has this much again (fewer wake-ups than one per
    // datagram: 2 ms of sending is 25 ms of waiting at 8 %).
    std::chrono::nanoseconds resume = std::chrono::milliseconds(2);
    std::chrono::nanoseconds quiet = std::chrono::milliseconds(500);  // no record for this long: no budget
};

class SendPacer {
public:
    using Time = std::chrono::steady_clock::time_point;
    using Duration = std::chrono::nanoseconds;

    SendPacer(PacingOptions options, Time now);

    void Offered(Time when);          // the latest time a record was offered (earlier ones are ignored)
    // The sender was busy sending from..to. Counted only while the budget applies (the latest Delay
    // was paced): catching up after a flood leaves the bucket full for the next record.
    void Spent(Time from, Time to);
    Duration Delay(Time now);         // how long to wait before the next datagram; zero: send it now
    void Release();                   // the run has ended: no more waits
    Duration budget() const { return tokens_; }  // sending time in hand (negative: owed)

private:
    void Refill(Time now);

    PacingOptions options_;
    Duration tokens_;
    Time refilled_;
    Time lastOffer_;
    bool waiting_ = false;  // out of budget: waits until `resume` is earned back
    bool released_ = false;
    bool paced_ = true;     // the latest Delay kept to the budget
};

}  // namespace feed
