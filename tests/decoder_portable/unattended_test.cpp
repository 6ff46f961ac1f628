// Unattended running, portable parts: the restart delays under a clock the test sets, UTC calendar
// times of milliseconds, and the text log's switch to a new file at UTC midnight.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "decoder/command_line.h"
#include "decoder/record_sink.h"
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
    std::vector<std::int64_t> delays;
    for (int i = 0; i < 9; ++i) {
        delays.push_back(RunFor(backoff, clock, 2000));
        clock.now += delays.back();  // the wait itself is not part of any run
    }
    EXPECT_EQ(delays, (std::vector<std::int64_t>{5000, 10000, 20000, 40000, 80000, 160000, 300000, 300000, 300000}));

    // A run that lasted a minute or more: back to 5 s, and doubling again from there.
    EXPECT_EQ(RunFor(backoff, clock, 60000), 5000);
    EXPECT_EQ(RunFor(backoff, clock, 59999), 10000);
    EXPECT_EQ(RunFor(backoff, clock, 3600000), 5000);
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

// A daily text log in a scratch folder, named by the text log's rule, whose openings the test can
// refuse.
class DailyTextLog : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("vastrel_daily_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::filesystem::path PathAt(std::int64_t utcMs) const {
        // The rule's name, without its Windows separator.
        const std::wstring name = decoder::TextLogPath(L"", decoder::UtcTimeFromMs(utcMs)).substr(1);
        return dir / std::filesystem::path(name);
    }
    std::FILE* Open(std::int64_t utcMs) { return std::fopen(PathAt(utcMs).string().c_str(), "wb"); }
    decoder::TextLogSink::FileOpener Opener() {
        return [this](std::int64_t utcMs) -> std::FILE* {
            ++openings;
            return refuse ? nullptr : Open(utcMs);
        };
    }
    std::string Contents(std::int64_t utcMs) const {
        std::ifstream in(PathAt(utcMs), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::size_t FileCount() const {
        std::size_t n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) n += entry.is_regular_file() ? 1 : 0;
        return n;
    }
    static decoder::Record At(std::int64_t ms, std::string text, decoder::Category c = decoder::Category::BulletinContents) {
        decoder::Record r;
        r.receivedUtcMs = ms;
        r.category = c;
        r.text = std::move(text);
        return r;
    }

    std::filesystem::path dir;
    bool refuse = false;
    int openings = 0;
};

constexpr std::int64_t kStart = 1796687990000;     // 2026-12-07 23:59:50 UTC
constexpr std::int64_t kMidnight = 1796688000000;  // 2026-12-08 00:00:00 UTC
constexpr std::int64_t kDayMs = 86400000;

TEST_F(DailyTextLog, TheFirstRecordOfANewDayOpensTheNextFileAndNothingIsLostOrDoubled) {
    auto filter = std::make_shared<decoder::LogFilter>();
    {
        decoder::TextLogSink sink(Open(kStart), kStart, Opener(), false, filter);
        std::string before, after;
        // Records every 7 ms either side of midnight, the last ones of the day within a millisecond.
        for (std::int64_t ms = kMidnight - 35; ms < kMidnight + 35; ms += 7) {
            const std::string text = "record at " + std::to_string(ms) + "\n";
            sink.OnRecord(At(ms, text));
            (ms < kMidnight ? before : after) += text;
        }
        sink.OnRecord(At(kMidnight - 1, "late\n"));  // a clock set back a hair does not switch back
        after += "late\n";
        sink.Note("Decoder ended (exit code 3)\n", kMidnight + 40);
        after += "Decoder ended (exit code 3)\n";
        EXPECT_EQ(sink.files(), 2u);
        EXPECT_EQ(openings, 1);
        sink.Close();
        EXPECT_EQ(Contents(kStart), before);
        // The next file is named by the time of the record that opened it.
        EXPECT_EQ(Contents(kMidnight - 35 + 7 * 5), after);
    }
    EXPECT_EQ(FileCount(), 2u);
}

TEST_F(DailyTextLog, EveryDayGetsItsFileEvenWhenRecordsSkipDaysAndTheFilterStillCounts) {
    auto filter = std::make_shared<decoder::LogFilter>();
    filter->Set(1, true);
    decoder::TextLogSink sink(Open(kStart), kStart, Opener(), true, filter);
    sink.OnRecord(At(kStart + 1, "shown\n"));
    // A hidden record is not written, so it opens no file; the next shown one does.
    sink.OnRecord(At(kMidnight + 5, "hidden\n", decoder::Category::DecoderNote));
    EXPECT_EQ(openings, 0);
    sink.OnRecord(At(kMidnight + 9, "day two\n"));
    sink.OnRecord(At(kMidnight + 3 * kDayMs + 1, "day five\n"));
    sink.Close();
    EXPECT_EQ(Contents(kStart), "shown\n");
    EXPECT_EQ(Contents(kMidnight + 9), "day two\n");
    EXPECT_EQ(Contents(kMidnight + 3 * kDayMs + 1), "day five\n");
    EXPECT_EQ(FileCount(), 3u);
}

TEST_F(DailyTextLog, ANextFileThatCannotBeMadeLeavesTheRecordsInTheOldOne) {
    auto filter = std::make_shared<decoder::LogFilter>();
    decoder::TextLogSink sink(Open(kStart), kStart, Opener(), false, filter);
    refuse = true;
    sink.OnRecord(At(kMidnight + 1, "kept\n"));
    sink.OnRecord(At(kMidnight + 2, "kept too\n"));  // one try a day, not one per record
    EXPECT_EQ(openings, 1);
    refuse = false;
    sink.OnRecord(At(kMidnight + kDayMs, "next day\n"));
    sink.Close();
    EXPECT_EQ(Contents(kStart), "kept\nkept too\n");
    EXPECT_EQ(Contents(kMidnight + kDayMs), "next day\n");
    EXPECT_EQ(sink.files(), 2u);

    // Without an opener the file never changes.
    decoder::TextLogSink single(Open(kStart + 1000), false, filter);
    single.OnRecord(At(kMidnight + 5 * kDayMs, "same file\n"));
    single.Close();
    EXPECT_EQ(Contents(kStart + 1000), "same file\n");
}

}  // namespace
