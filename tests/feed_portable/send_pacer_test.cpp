// The feed sender's budget with a clock of the test's own: real traffic goes out undelayed, a flood
// is spread out to the budget, a quiet spell or the run's end lifts it, and a send that blocked for
// long is owed only up to one burst.
#include <gtest/gtest.h>

#include <chrono>

#include "feed/send_pacer.h"

using namespace std::chrono_literals;
using feed::SendPacer;

namespace {

const SendPacer::Time kT0 = SendPacer::Time{} + 1000h;
constexpr auto kSendCost = 54us;  // one datagram under Wine, as measured

const feed::PacingOptions kPacing{0.08, 80ms, 2ms, 500ms};  // share, burst, resume, quiet

// A sender that sends whenever the pacer lets it and a record waits, with the clock moved by hand.
struct Sim {
    SendPacer pacer{kPacing, kT0};
    SendPacer::Time now = kT0;
    SendPacer::Duration sending{0};
    long sent = 0, waits = 0;
    SendPacer::Duration shortestWait = SendPacer::Duration::max();

    // Sends one record now or after the waits the pacer asks for.
    void SendOne(SendPacer::Duration cost = kSendCost) {
        for (SendPacer::Duration d; (d = pacer.Delay(now)) > SendPacer::Duration::zero();) {
            ++waits;
            shortestWait = std::min(shortestWait, d);
            now += d;
        }
        pacer.Spent(now, now + cost);
        now += cost;
        sending += cost;
        ++sent;
    }
};

}  // namespace

TEST(SendPacer, RealTrafficBurstsOfNineGoOutWithNoDelay) {
    Sim sim;
    // Ten minutes of a record a second, with a burst of nine every ten seconds; even at 1 ms a datagram.
    for (int second = 0; second < 600; ++second) {
        const int records = second % 10 == 0 ? 9 : 1;
        for (int i = 0; i < records; ++i) {
            sim.pacer.Offered(sim.now);
            sim.SendOne(1ms);
        }
        sim.now = kT0 + std::chrono::seconds(second + 1);
    }
    EXPECT_EQ(sim.sent, 600 * 1 + 60 * 8);
    EXPECT_EQ(sim.waits, 0);  // and so no delay
}

TEST(SendPacer, AFloodIsSpreadOutToTheBudgetInFewWaitsAndAQuietSpellAfterItLiftsTheBudget) {
    Sim sim;
    // Records keep coming for 20 s (offered faster than the sender may send them).
    while (sim.now < kT0 + 20s) {
        sim.pacer.Offered(sim.now);
        sim.SendOne();
    }
    const double wall = std::chrono::duration<double>(sim.now - kT0).count();
    const double busy = std::chrono::duration<double>(sim.sending).count();
    // 8 % of 20 s plus the first burst, give or take one datagram and one resume.
    EXPECT_LE(busy, 0.08 * wall + 0.080 + 0.002 + 54e-6);
    EXPECT_GE(busy, 0.08 * wall + 0.080 - 0.002 - 54e-6);
    EXPECT_NEAR(static_cast<double>(sim.sent), (0.08 * 20 + 0.08) / 54e-6, 60.0);  // about 31,000, not 370,000
    // It waits in steps of about resume / share (25 ms), not once per datagram.
    EXPECT_GE(sim.shortestWait, 24ms);
    EXPECT_LE(sim.waits, static_cast<long>(20.0 / 0.024) + 1);

    // The backlog: records offered during the flood that are still to go, paced until the quiet spell.
    const auto lastOffer = sim.now;
    const long before = sim.sent;
    while (sim.now < lastOffer + 500ms) sim.SendOne();
    EXPECT_LT(sim.sent - before, static_cast<long>((0.08 * 0.5 + 0.002) / 54e-6) + 2);
    const long waitsBefore = sim.waits;
    const auto catchUp = sim.now;
    for (int i = 0; i < 100'000; ++i) sim.SendOne();
    EXPECT_EQ(sim.waits, waitsBefore);  // none: at full speed
    EXPECT_EQ(sim.now - catchUp, 100'000 * kSendCost);
    // A new record brings the budget back, with a whole burst saved up: catching up cost none of it.
    for (int i = 0; i < 1400; ++i) {
        sim.pacer.Offered(sim.now);
        sim.SendOne();
    }
    EXPECT_EQ(sim.waits, waitsBefore);
    for (int i = 0; i < 3000; ++i) {
        sim.pacer.Offered(sim.now);
        sim.SendOne();
    }
    EXPECT_GT(sim.waits, waitsBefore);
}

TEST(SendPacer, TheRunsEndLiftsTheBudget) {
    Sim sim;
    do {  // until the budget is spent
        sim.pacer.Offered(sim.now);
        sim.SendOne();
    } while (sim.pacer.budget() > SendPacer::Duration::zero());
    sim.pacer.Offered(sim.now);
    ASSERT_GT(sim.pacer.Delay(sim.now), SendPacer::Duration::zero());  // out of budget, records still coming
    sim.pacer.Release();
    EXPECT_EQ(sim.pacer.Delay(sim.now), SendPacer::Duration::zero());
    const long waits = sim.waits;
    for (int i = 0; i < 10'000; ++i) {
        sim.pacer.Offered(sim.now);
        sim.SendOne();
    }
    EXPECT_EQ(sim.waits, waits);
}

TEST(SendPacer, ASendThatBlockedForLongIsOwedOnlyUpToOneBurst) {
    SendPacer pacer(kPacing, kT0);
    pacer.Offered(kT0);
    ASSERT_EQ(pacer.Delay(kT0), SendPacer::Duration::zero());
    pacer.Spent(kT0, kT0 + 300ms);  // records still come
    auto now = kT0 + 300ms;
    pacer.Offered(now);
    EXPECT_EQ(pacer.budget(), -80ms);
    const SendPacer::Duration d = pacer.Delay(now);
    EXPECT_GE(d, 1025ms);  // (80 ms owed + 2 ms to resume) / 8 %, not 300 ms / 8 %
    EXPECT_LE(d, 1026ms);
    now += d;
    pacer.Offered(now - 1ms);
    EXPECT_EQ(pacer.Delay(now), SendPacer::Duration::zero());
}
