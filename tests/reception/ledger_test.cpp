// Reception ledger: frame slots around midnight, gaps of known length, two stations, and run time
// that starts and stops inside an hour.
#include <gtest/gtest.h>

#include <string>

#include "reception/ledger.h"

using namespace reception;

namespace {

constexpr std::int64_t kDay = 1'796'601'600'000;  // 2026-12-07T00:00:00Z, frame 0
constexpr std::int64_t H(int hours, int minutes = 0) { return kDay + hours * kHourMs + minutes * 60'000LL; }
// Frame `n` of 2026-12-07, heard five seconds after it began (day -1: the 6th).
void Hear(Ledger& ledger, const char* les, int n, int day = 0) {
    ledger.Frame(les, std::to_string(n), kDay + day * 86'400'000LL + n * kFrameMs + 5000);
}
HourCounts Row(std::int64_t heard, std::int64_t expected, std::int64_t missed) {
    HourCounts c;
    c.heard = heard;
    c.expected = expected;
    c.missed = missed;
    return c;
}

}  // namespace

TEST(ReceptionLedger, FrameSlotsFollowTheDayAndItsWrap) {
    struct Case {
        const char* frame;
        std::int64_t receivedMs;
        std::int64_t slotStartMs;  // 0: no slot
    } cases[] = {
        {"0", kDay + 5000, kDay},
        {"0000", kDay + 5000, kDay},
        {"9999", kDay + 3000, kDay - kFrameMs},  // heard just after midnight: yesterday's last
        {"0", kDay - 2000, kDay},                 // our clock a little behind the decoder's
        {"4167", H(10, 1), kDay + 36'002'880},    // 10:00:02.88
        {"10000", kDay, 0},
        {"", kDay, 0},
        {"12a", kDay, 0},
        {"-1", kDay, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frame);
        const auto slot = FrameSlot(c.frame, c.receivedMs);
        if (c.slotStartMs == 0) {
            EXPECT_FALSE(slot);
        } else {
            ASSERT_TRUE(slot);
            EXPECT_EQ(*slot * kFrameMs, c.slotStartMs);
        }
    }
}

TEST(ReceptionLedger, CountsHeardExpectedAndAGapOfFive) {
    Ledger ledger;
    ledger.RunStarted(H(10));
    for (int n = 4167; n <= 4176; ++n) Hear(ledger, "121", n);
    for (int n = 4182; n <= 4186; ++n) Hear(ledger, "121", n);  // 4177..4181 not heard
    Hear(ledger, "121", 4170);                                  // a repeat is not heard twice
    ledger.RunEnded(H(11));
    const auto hours = ledger.Hours(H(12));
    ASSERT_EQ(hours.size(), 1u);
    EXPECT_EQ(hours.at(HourKey{H(10), 121}), Row(15, 417, 5));
}

TEST(ReceptionLedger, WrapsAtMidnightAndSplitsAGapAcrossIt) {
    Ledger ledger;
    ledger.RunStarted(H(-1, 59));  // 23:59 on the 6th
    for (int n : {9994, 9995, 9996, 9997}) Hear(ledger, "121", n, -1);
    for (int n : {2, 3, 4, 5}) Hear(ledger, "121", n);  // 9998, 9999, 0 and 1 missed
    ledger.RunEnded(H(0, 1));
    const auto hours = ledger.Hours(H(1));
    ASSERT_EQ(hours.size(), 2u);
    EXPECT_EQ(hours.at(HourKey{H(-1), 121}), Row(4, 6, 2));
    EXPECT_EQ(hours.at(HourKey{H(0), 121}), Row(4, 7, 2));
}

TEST(ReceptionLedger, TwoStationsShareTheHourByWhenEachWasInForce) {
    Ledger ledger;
    ledger.RunStarted(H(12));
    for (int n = 5000; n <= 5069; ++n) Hear(ledger, "121", n);
    for (int n = 5070; n <= 5208; n += 2) Hear(ledger, "112", n);  // every other frame
    ledger.RunEnded(H(12, 30));
    const auto hours = ledger.Hours(H(13));
    ASSERT_EQ(hours.size(), 2u);
    EXPECT_EQ(hours.at(HourKey{H(12), 121}), Row(70, 70, 0));
    EXPECT_EQ(hours.at(HourKey{H(12), 112}), Row(70, 139, 69));
}

TEST(ReceptionLedger, ExpectsOnlyTheRunsOwnTime) {
    Ledger ledger;
    ledger.RunStarted(H(14, 20));
    ledger.RunEnded(H(14, 50));  // nothing heard
    ledger.RunStarted(H(14, 55));
    Hear(ledger, "121", 6300);  // 15:07:12
    const auto going = ledger.Hours(H(15, 10));  // still going at 15:10
    ASSERT_EQ(going.size(), 3u);
    EXPECT_EQ(going.at(HourKey{H(14), kNoLes}), Row(0, 208, 0));
    EXPECT_EQ(going.at(HourKey{H(14), 121}), Row(0, 34, 0));  // 14:55 to 15:00
    EXPECT_EQ(going.at(HourKey{H(15), 121}), Row(1, 70, 0));
    ledger.RunEnded(H(15, 8));
    EXPECT_EQ(ledger.Hours(H(16)).at(HourKey{H(15), 121}), Row(1, 56, 0));
}

TEST(ReceptionLedger, KeepsTheHoursSnrMeanAndMinimumOnEachStationsRow) {
    Ledger ledger;
    ledger.RunStarted(H(9));
    Hear(ledger, "121", 3750);  // 09:00:00
    ledger.Snr(H(9, 1), 12.0);
    ledger.Snr(H(9, 2), 9.0);
    ledger.Snr(H(9, 3), 13.5);
    const HourCounts c = ledger.Hours(H(9, 4)).at(HourKey{H(9), 121});
    EXPECT_DOUBLE_EQ(c.snrSum, 34.5);
    EXPECT_EQ(c.snrCount, 3);
    EXPECT_DOUBLE_EQ(c.snrMin, 9.0);
}

TEST(ReceptionLedger, ForgetsWrittenHoursButKeepsCountingTheOpenOne) {
    Ledger ledger;
    ledger.RunStarted(H(8, 30));
    Hear(ledger, "121", 3542);  // 08:30:03
    ledger.Forget(H(9));
    Hear(ledger, "121", 3750);  // 09:00:00; the gap reaches back into the forgotten hour
    const auto hours = ledger.Hours(H(10));
    ASSERT_EQ(hours.size(), 1u);
    EXPECT_EQ(hours.at(HourKey{H(9), 121}), Row(1, 417, 0));
}

TEST(ReceptionLedger, BadInputChangesNothing) {
    Ledger ledger;
    ledger.Frame("121", "frame", H(1));
    ledger.Frame("", "", H(1));
    ledger.RunEnded(H(2));  // never started
    EXPECT_TRUE(ledger.Hours(H(3)).empty());
}
