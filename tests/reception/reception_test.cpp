// Reception: the ledger's frame slots and hour counts, the sink writing the store's `reception` view,
// and the chart's hours, readout and CSV.
#include <gtest/gtest.h>

#include <cstdio>

#include "messages_portable/store_fixture.h"
#include "reception/ledger.h"
#include "reception/reception_chart.h"
#include "reception/reception_sink.h"
#include "store_support/query_rows.h"

using namespace reception;
using Rows = std::vector<std::string>;

namespace {

constexpr std::int64_t kDay = 1'796'601'600'000;  // 2026-12-07T00:00:00Z, frame 0
constexpr std::int64_t H(int hours, int minutes = 0) { return kDay + hours * kHourMs + minutes * 60'000LL; }

// The ledger's hours as "<hour from 2026-12-07> <les> <heard>/<expected> missed <n>[ snr <sum>/<n> min <min>]".
Rows Render(const Ledger& ledger, std::int64_t nowMs) {
    Rows out;
    for (const auto& [key, c] : ledger.Hours(nowMs)) {
        char line[120];
        int n = std::snprintf(line, sizeof line, "%lld %lld %lld/%lld missed %lld", (long long)((key.hourMs - kDay) / kHourMs),
                              (long long)key.les, (long long)c.heard, (long long)c.expected, (long long)c.missed);
        if (c.snrCount > 0) std::snprintf(line + n, sizeof line - n, " snr %g/%d min %g", c.snrSum, (int)c.snrCount, c.snrMin);
        out.push_back(line);
    }
    return out;
}

}  // namespace

TEST(ReceptionLedger, FrameSlotsFollowTheDayAndItsWrap) {
    const struct { const char* frame; std::int64_t receivedMs, slotStartMs; /* 0: no slot */ } cases[] = {
        {"0", kDay + 5000, kDay}, {"0000", kDay + 5000, kDay},
        {"9999", kDay + 3000, kDay - kFrameMs},  // heard just after midnight: yesterday's last
        {"0", kDay - 2000, kDay},                 // our clock a little behind the decoder's
        {"4167", H(10, 1), kDay + 36'002'880},    // 10:00:02.88
        {"10000", kDay, 0}, {"", kDay, 0}, {"12a", kDay, 0}, {"-1", kDay, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(FrameSlot(c.frame, c.receivedMs).value_or(0) * kFrameMs, c.slotStartMs) << c.frame;
}

// Each scenario is a list of steps: S run started, E run ended, F frames `at` to `to` (every `by`) of 121
// (or `les`) heard, N SNR sample, G the ledger forgets the hours before; `day` -1 puts a frame on the 6th.
struct Step {
    char op; std::int64_t at; /* S, E, N, G: the time; F: the frame */ const char* les = "121"; int day = 0; double db = 0;
    int to = 0, by = 1;
};

TEST(ReceptionLedger, CountsHeardExpectedAndMissedFramesPerHourAndStation) {
    const struct { const char* name; std::vector<Step> steps; std::int64_t nowMs; Rows hours; } cases[] = {
        {"a gap of five, and a repeat not heard twice",
         {{'S', H(10)}, {'F', 4167, "121", 0, 0, 4176}, {'F', 4182, "121", 0, 0, 4186}, {'F', 4170}, {'E', H(11)}}, H(12),
         {"10 121 15/417 missed 5"}},
        {"the frames wrap at midnight and the gap is split across it (9998 to 1 missed)",
         {{'S', H(-1, 59)}, {'F', 9994, "121", -1, 0, 9997}, {'F', 2, "121", 0, 0, 5}, {'E', H(0, 1)}},
         H(1), {"-1 121 4/6 missed 2", "0 121 4/7 missed 2"}},
        {"two stations share the hour by when each was in force; 112 sends every other frame",
         {{'S', H(12)}, {'F', 5000, "121", 0, 0, 5069}, {'F', 5070, "112", 0, 0, 5208, 2}, {'E', H(12, 30)}}, H(13),
         {"12 112 70/139 missed 69", "12 121 70/70 missed 0"}},
        {"only the runs' own time is expected, and a run still going counts up to now (6300 is 15:07:12)",
         {{'S', H(14, 20)}, {'E', H(14, 50)}, {'S', H(14, 55)}, {'F', 6300}}, H(15, 10),
         {"14 -1 0/208 missed 0", "14 121 0/34 missed 0", "15 121 1/70 missed 0"}},
        {"the hour's SNR samples: sum, count and minimum (frames 3750 to 3777 begin by 09:04)",
         {{'S', H(9)}, {'F', 3750}, {'N', H(9, 1), "", 0, 12.0}, {'N', H(9, 2), "", 0, 9.0}, {'N', H(9, 3), "", 0, 13.5}},
         H(9, 4), {"9 121 1/28 missed 0 snr 34.5/3 min 9"}},
        {"written hours are forgotten, the open one goes on counting (its gap reaches back before it)",
         {{'S', H(8, 30)}, {'F', 3542}, {'G', H(9)}, {'F', 3750}}, H(10), {"9 121 1/417 missed 0"}},
        {"bad input changes nothing (a frame that is no number, no station, an end never started)",
         {{'F', -1}, {'F', -2, ""}, {'E', H(2)}}, H(3), {}},
    };
    for (const auto& c : cases) {
        Ledger l;
        for (const Step& s : c.steps) {
            switch (s.op) {
            case 'S': l.RunStarted(s.at); break;
            case 'E': l.RunEnded(s.at); break;
            case 'N': l.Snr(s.at, s.db); break;
            case 'G': l.Forget(s.at); break;
            default:
                if (s.at < 0) l.Frame(s.les, s.at == -1 ? "frame" : "", H(1));
                else for (std::int64_t n = s.at; n <= std::max<std::int64_t>(s.at, s.to); n += s.by)
                    l.Frame(s.les, std::to_string(n), kDay + s.day * 86'400'000LL + n * kFrameMs + 5000);
            }
        }
        EXPECT_EQ(Render(l, c.nowMs), c.hours) << c.name;
    }
}

// One sink run on `path` hearing frames `first` to `last` of 121 (`skip` as a message text) and SNR
// samples. Before the run ends, the sink's timed write must have stored its frames (or said why not).
static std::string OneRun(const std::string& path, std::int64_t fromMs, std::int64_t toMs, int first, int last, int skip = -1,
                   const std::vector<double>& snr = {}) {
    std::atomic<std::int64_t> now{fromMs};
    std::string said;
    const std::string instance = "run " + std::to_string(fromMs);
    ReceptionSink sink({.storePath = path, .instance = instance, .clock = [&now] { return now.load(); }, .writeIntervalMs = 20,
                        .onError = [&said](const std::string& e) { said = e; }});
    sink.OnRunStarted();
    for (int n = first; n <= last; ++n)
        sink.OnRecord({.receivedUtcMs = kDay + n * kFrameMs + 5000,
                       .category = n == skip ? decoder::Category::MessageText : decoder::Category::BulletinHeader,
                       .les = "121", .frame = std::to_string(n)});
    for (double db : snr) sink.Snr(fromMs + 60'000, db);
    const std::int64_t heard = last - first + 1 - (skip >= 0);
    EXPECT_TRUE(store_test::WaitUntil([&] {
        const std::string sql = "SELECT sum(heard) FROM reception_rows WHERE instance = '" + instance + "'";
        try { return !sink.error().empty() || store_test::Count(path, sql.c_str()) == heard; }
        catch (const std::exception&) { return false; }  // not made yet, or busy
    }));
    now = toMs;
    sink.OnRunEnded();
    EXPECT_EQ(said, sink.error());
    return sink.error();
}

TEST(ReceptionSink, TheViewSumsTheRunsOfAnHourAndAStoreThatCannotBeOpenedIsReported) {
    store_test::ScratchDir dir;
    const std::string path = dir.File("m.db");
    EXPECT_EQ(OneRun(path, H(10), H(10, 20), 4167, 4176), "");
    EXPECT_EQ(OneRun(path, H(10, 40), H(11), 4445, 4454, 4450, {10.0, 7.0}), "");
    EXPECT_EQ(OneRun(path, H(12), H(12, 10), 5000, 5004), "");
    auto store = messages::MessageStore::Open(path);
    EXPECT_EQ(store_support::QueryRows(store->database(), "SELECT * FROM reception ORDER BY hour_utc, les"),
              (Rows{"2026-12-07T10:00:00.000Z|121|19|278|8.5|7.0|1", "2026-12-07T12:00:00.000Z|121|5|70|NULL|NULL|0"}));
    // Reported through the error text and the callback, never thrown.
    EXPECT_NE(OneRun(dir.File("no such folder/x.db"), H(1), H(2), 500, 500), "");
}

TEST(ReceptionChart, SumsStationsPerHourLeavesUncoveredHoursEmptyAndWritesCsv) {
    const std::vector<ViewRow> rows = {
        {H(-1), 121, 400, 417, 12.5, 9.0, 3},  // before the span: left out
        {H(8), 121, 1, 2, std::nullopt, std::nullopt, 1},  // the span's first hour
        {H(9), 121, 100, 139, std::nullopt, std::nullopt, 2}, {H(9), 112, 200, 278, std::nullopt, std::nullopt, 1},
        {H(11), 121, 417, 417, 8.5, 7.0, 0},
    };
    Rows readouts;
    for (const ChartHour& h : ChartHours(rows, H(11) + 1'800'000, 4))  // 08:00 to 11:00, now 11:30
        readouts.push_back(ReadoutText(h) + (h.covered ? "" : " (gap)") + " [" + std::to_string(h.heard) + "/" +
                           std::to_string(h.expected) + "]");
    EXPECT_EQ(readouts, (Rows{"2026-12-07 08:00 UTC  heard 1 of 2 (50.0 %)  missed 1 [1/2]",
                              "2026-12-07 09:00 UTC  heard 300 of 417 (71.9 %)  missed 3 [300/417]",
                              "2026-12-07 10:00 UTC  no run (gap) [0/0]",
                              "2026-12-07 11:00 UTC  heard 417 of 417 (100.0 %)  missed 0  SNR 8.5 dB, min 7.0 dB [417/417]"}));
    EXPECT_TRUE(ChartHours(rows, H(11), 0).empty());

    EXPECT_EQ(ViewCsv({rows[0], {H(9), 112, 5, 70, std::nullopt, std::nullopt, 0}}),
              "hour_utc,les,heard,expected,snr_db,snr_min_db,missed\r\n"
              "2026-12-06T23:00:00.000Z,121,400,417,12.5,9.0,3\r\n"
              "2026-12-07T09:00:00.000Z,112,5,70,,,0\r\n");
    EXPECT_EQ(IsoHour(0), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(IsoHour(951'782'400'000), "2000-02-29T00:00:00.000Z");
}
