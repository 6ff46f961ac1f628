// Unattended running, portable parts: the restart delays under a clock the test sets, and UTC calendar
// times of milliseconds (the daily text log's switch is in record_sink_test.cpp).
#include <gtest/gtest.h>

#include <vector>

#include "decoder/command_line.h"
#include "decoder/restart_backoff.h"

namespace {

using decoder::RestartBackoff;

struct TestClock {
    std::int64_t now = 1000;
    RestartBackoff::Clock Fn() {
        return [this] { return now; };
    }
};

// Runs one run of `lastedMs` and returns the delay the backoff asks for after it.
std::int64_t RunFor(RestartBackoff& backoff, TestClock& clock, std::int64_t lastedMs) {
    backoff.RunStarted();
    clock.now += lastedMs;
    return backoff.RunEnded();
}

TEST(RestartBackoff, DoublesWhileRunsEndWithinAMinuteUpToFiveMinutesThenStartsOver) {
    TestClock clock;
    RestartBackoff backoff(clock.Fn());
    // How long each run lasted and the delay asked for after it (the wait itself is no part of a run).
    const std::pair<std::int64_t, std::int64_t> runs[] = {
        {2000, 5000},   {2000, 10000},   {2000, 20000},  {2000, 40000}, {2000, 80000},  {2000, 160000},
        {2000, 300000}, {2000, 300000},  {60000, 5000},  {59999, 10000}, {3600000, 5000}, {0, 10000}};
    for (auto [lasted, delay] : runs) {
        EXPECT_EQ(RunFor(backoff, clock, lasted), delay) << lasted;
        clock.now += delay;
    }
}

TEST(RestartBackoff, AUsersStartForgetsEarlierFailuresAndOddTimingsStaySane) {
    TestClock clock;
    RestartBackoff backoff(clock.Fn());
    RunFor(backoff, clock, 10);
    RunFor(backoff, clock, 10);
    EXPECT_EQ(RunFor(backoff, clock, 10), 20000);
    backoff.Reset();
    EXPECT_EQ(RunFor(backoff, clock, 10), 5000);

    // A run that ends before RunStarted was called counts from the construction or the reset.
    RestartBackoff fresh(clock.Fn());
    clock.now += 120000;
    EXPECT_EQ(fresh.RunEnded(), 5000);
    fresh.RunStarted();
    EXPECT_EQ(fresh.RunEnded(), 10000);  // a start that failed at once

    RestartBackoff odd(clock.Fn(), RestartBackoff::Timing{0, -5, 100});
    EXPECT_EQ(odd.timing().firstMs, 1);
    EXPECT_EQ(odd.timing().longestMs, 1);
    EXPECT_EQ(RunFor(odd, clock, 0), 1);
    EXPECT_EQ(RunFor(odd, clock, 0), 1);
    EXPECT_EQ(RestartBackoff(clock.Fn(), RestartBackoff::Timing{10, 5, 100}).timing().longestMs, 10);

    RestartBackoff steady;  // no clock: the steady clock's run of no time at all is a short one
    steady.RunStarted();
    EXPECT_EQ(steady.RunEnded(), 5000);
    EXPECT_EQ(steady.RunEnded(), 10000);
}

TEST(UtcTime, MillisecondsBecomeTheCalendarTimeAcrossDaysMonthsLeapYearsAndBefore1970) {
    struct Case {
        std::int64_t ms;
        decoder::UtcTime t;
        std::int64_t day;
    };
    const Case cases[] = {
        {0, {1970, 1, 1, 0, 0, 0}, 0},
        {86399999, {1970, 1, 1, 23, 59, 59}, 0},
        {86400000, {1970, 1, 2, 0, 0, 0}, 1},
        {951782400000, {2000, 2, 29, 0, 0, 0}, 11016},
        {1796687999000, {2026, 12, 7, 23, 59, 59}, 20794},
        {1796688000000, {2026, 12, 8, 0, 0, 0}, 20795},
        {1798761599000, {2026, 12, 31, 23, 59, 59}, 20818},
        {1798761600000, {2027, 1, 1, 0, 0, 0}, 20819},
        {-1, {1969, 12, 31, 23, 59, 59}, -1},
        {-86400000, {1969, 12, 31, 0, 0, 0}, -1},
    };
    for (const Case& c : cases) {
        const decoder::UtcTime t = decoder::UtcTimeFromMs(c.ms);
        EXPECT_EQ(decoder::UtcDay(c.ms), c.day) << c.ms;
        EXPECT_EQ(decoder::TextLogPath(L"d", t), decoder::TextLogPath(L"d", c.t)) << c.ms;
    }
}

}  // namespace
