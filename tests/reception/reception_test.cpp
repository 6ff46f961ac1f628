// Reception: the ledger's frame slots and hour counts (gaps, midnight, two stations, run time inside an
// hour, SNR), the sink writing a store's `reception` view, and the chart's hours, readout and CSV.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "messages/message_store.h"
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

// Frame `n` of 2026-12-07, heard five seconds after it began (day -1: the 6th).
void Hear(Ledger& ledger, const char* les, int n, int day = 0) {
    ledger.Frame(les, std::to_string(n), kDay + day * 86'400'000LL + n * kFrameMs + 5000);
}

void HearEach(Ledger& ledger, const char* les, int first, int last, int step = 1) {
    for (int n = first; n <= last; n += step) Hear(ledger, les, n);
}

// The ledger's hours as "<hour from 2026-12-07> <les> <heard>/<expected> missed <n>", and the SNR
// sum, count and minimum when the hour has samples.
Rows Render(const Ledger& ledger, std::int64_t nowMs) {
    Rows out;
    for (const auto& [key, c] : ledger.Hours(nowMs)) {
        out.push_back(std::to_string((key.hourMs - kDay) / kHourMs) + " " + std::to_string(key.les) + " " +
                      std::to_string(c.heard) + "/" + std::to_string(c.expected) + " missed " + std::to_string(c.missed));
        char snr[60];
        std::snprintf(snr, sizeof snr, " snr %g/%d min %g", c.snrSum, static_cast<int>(c.snrCount), c.snrMin);
        if (c.snrCount > 0) out.back() += snr;
    }
    return out;
}

}  // namespace

TEST(ReceptionLedger, FrameSlotsFollowTheDayAndItsWrap) {
    const struct {
        const char* frame;
        std::int64_t receivedMs;
        std::int64_t slotStartMs;  // 0: no slot
    } cases[] = {
        {"0", kDay + 5000, kDay},
        {"0000", kDay + 5000, kDay},
        {"9999", kDay + 3000, kDay - kFrameMs},  // heard just after midnight: yesterday's last
        {"0", kDay - 2000, kDay},                 // our clock a little behind the decoder's
        {"4167", H(10, 1), kDay + 36'002'880},    // 10:00:02.88
        {"10000", kDay, 0}, {"", kDay, 0}, {"12a", kDay, 0}, {"-1", kDay, 0},
    };
    for (const auto& c : cases) {
        const auto slot = FrameSlot(c.frame, c.receivedMs);
        EXPECT_EQ(slot ? *slot * kFrameMs : 0, c.slotStartMs) << c.frame;
        EXPECT_EQ(slot.has_value(), c.slotStartMs != 0) << c.frame;
    }
}

TEST(ReceptionLedger, CountsHeardExpectedAndMissedFramesPerHourAndStation) {
    const struct { const char* name; std::function<void(Ledger&)> events; std::int64_t nowMs; Rows hours; } cases[] = {
        {"a gap of five, and a repeat not heard twice",
         [](Ledger& l) {
             l.RunStarted(H(10));
             HearEach(l, "121", 4167, 4176);
             HearEach(l, "121", 4182, 4186);
             Hear(l, "121", 4170);
             l.RunEnded(H(11));
         },
         H(12), {"10 121 15/417 missed 5"}},
        {"the frames wrap at midnight and the gap is split across it (9998 to 1 missed)",
         [](Ledger& l) {
             l.RunStarted(H(-1, 59));
             for (int n : {9994, 9995, 9996, 9997}) Hear(l, "121", n, -1);
             HearEach(l, "121", 2, 5);
             l.RunEnded(H(0, 1));
         },
         H(1), {"-1 121 4/6 missed 2", "0 121 4/7 missed 2"}},
        {"two stations share the hour by when each was in force; 112 sends every other frame",
         [](Ledger& l) {
             l.RunStarted(H(12));
             HearEach(l, "121", 5000, 5069);
             HearEach(l, "112", 5070, 5208, 2);
             l.RunEnded(H(12, 30));
         },
         H(13), {"12 112 70/139 missed 69", "12 121 70/70 missed 0"}},
        {"only the runs' own time is expected, and a run still going counts up to now",
         [](Ledger& l) {
             l.RunStarted(H(14, 20));
             l.RunEnded(H(14, 50));  // nothing heard
             l.RunStarted(H(14, 55));
             Hear(l, "121", 6300);  // 15:07:12
         },
         H(15, 10), {"14 -1 0/208 missed 0", "14 121 0/34 missed 0", "15 121 1/70 missed 0"}},
        {"the hour's SNR samples: sum, count and minimum",
         [](Ledger& l) {
             l.RunStarted(H(9));
             Hear(l, "121", 3750);  // 09:00:00
             l.Snr(H(9, 1), 12.0);
             l.Snr(H(9, 2), 9.0);
             l.Snr(H(9, 3), 13.5);
         },
         H(9, 4), {"9 121 1/28 missed 0 snr 34.5/3 min 9"}},  // frames 3750 to 3777 begin by 09:04
        {"written hours are forgotten, the open one goes on counting (its gap reaches back before it)",
         [](Ledger& l) {
             l.RunStarted(H(8, 30));
             Hear(l, "121", 3542);  // 08:30:03
             l.Forget(H(9));
             Hear(l, "121", 3750);  // 09:00:00
         },
         H(10), {"9 121 1/417 missed 0"}},
        {"bad input changes nothing",
         [](Ledger& l) {
             l.Frame("121", "frame", H(1));
             l.Frame("", "", H(1));
             l.RunEnded(H(2));  // never started
         },
         H(3), {}},
    };
    for (const auto& c : cases) {
        Ledger ledger;
        c.events(ledger);
        EXPECT_EQ(Render(ledger, c.nowMs), c.hours) << c.name;
    }
}

namespace {

decoder::Record Header(const char* les, int frame) {
    decoder::Record r;
    r.category = decoder::Category::BulletinHeader;
    r.les = les;
    r.frame = std::to_string(frame);
    r.receivedUtcMs = kDay + frame * kFrameMs + 5000;
    return r;
}

// One run of a sink on `path`: started and ended at the given times, hearing `frames` of 121 (one
// left out), a message text that is no frame heard, and SNR samples.
std::string OneRun(const std::string& path, std::int64_t fromMs, std::int64_t toMs, int first, int last, int skip = -1,
                   const std::vector<double>& snr = {}) {
    std::atomic<std::int64_t> now{fromMs};
    std::string said;
    ReceptionSinkOptions options;
    options.storePath = path;
    options.instance = "run " + std::to_string(fromMs);
    options.clock = [&now] { return now.load(); };
    options.onError = [&said](const std::string& e) { said = e; };
    ReceptionSink sink(std::move(options));
    sink.OnRunStarted();
    for (int n = first; n <= last; ++n) {
        if (n != skip) sink.OnRecord(Header("121", n));
    }
    decoder::Record text;
    text.category = decoder::Category::MessageText;
    text.frame = "9999";
    sink.OnRecord(text);
    for (double db : snr) sink.Snr(fromMs + 60'000, db);
    now = toMs;
    sink.OnRunEnded();
    EXPECT_EQ(said, sink.error());
    return sink.error();
}

}  // namespace

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
        {H(9), 121, 100, 139, std::nullopt, std::nullopt, 2},
        {H(9), 112, 200, 278, std::nullopt, std::nullopt, 1},
        {H(11), 121, 417, 417, 8.5, 7.0, 0},
    };
    Rows readouts;
    for (const ChartHour& h : ChartHours(rows, H(11) + 1'800'000, 4)) {  // 08:00 to 11:00, now 11:30
        readouts.push_back(ReadoutText(h) + (h.covered ? "" : " (gap)") + " [" + std::to_string(h.heard) + "/" +
                           std::to_string(h.expected) + "]");
    }
    EXPECT_EQ(readouts, (Rows{"2026-12-07 08:00 UTC  no run (gap) [0/0]",
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
