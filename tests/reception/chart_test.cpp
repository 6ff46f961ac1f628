// Reception chart: hours summed over stations, gaps where no run went on, readout and CSV text.
#include <gtest/gtest.h>

#include "reception/ledger.h"
#include "reception/reception_chart.h"

using namespace reception;

namespace {
constexpr std::int64_t kDay = 1'796'601'600'000;  // 2026-12-07T00:00:00Z
constexpr std::int64_t H(int hours) { return kDay + hours * kHourMs; }
}  // namespace

TEST(ReceptionChart, SumsStationsPerHourAndLeavesUncoveredHoursEmpty) {
    const std::vector<ViewRow> rows = {
        {H(-1), 121, 400, 417, 12.5, 9.0, 3},  // before the span: left out
        {H(9), 121, 100, 139, std::nullopt, std::nullopt, 2},
        {H(9), 112, 200, 278, std::nullopt, std::nullopt, 1},
        {H(11), 121, 417, 417, 8.5, 7.0, 0},
    };
    const auto hours = ChartHours(rows, H(11) + 1'800'000, 4);  // 08:00 .. 11:00, now 11:30
    ASSERT_EQ(hours.size(), 4u);
    struct Expect {
        std::int64_t hourMs;
        bool covered;
        std::int64_t heard, expected;
    } expect[] = {{H(8), false, 0, 0}, {H(9), true, 300, 417}, {H(10), false, 0, 0}, {H(11), true, 417, 417}};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(hours[i].hourMs, expect[i].hourMs);
        EXPECT_EQ(hours[i].covered, expect[i].covered);
        EXPECT_EQ(hours[i].heard, expect[i].heard);
        EXPECT_EQ(hours[i].expected, expect[i].expected);
    }
    EXPECT_EQ(ReadoutText(hours[1]), "2026-12-07 09:00 UTC  heard 300 of 417 (71.9 %)  missed 3");
    EXPECT_EQ(ReadoutText(hours[2]), "2026-12-07 10:00 UTC  no run");
    EXPECT_EQ(ReadoutText(hours[3]), "2026-12-07 11:00 UTC  heard 417 of 417 (100.0 %)  missed 0  SNR 8.5 dB, min 7.0 dB");
    EXPECT_TRUE(ChartHours(rows, H(11), 0).empty());
}

TEST(ReceptionChart, CsvHasTheViewsColumnsWithEmptyFieldsForNull) {
    const std::vector<ViewRow> rows = {{H(-1), 121, 400, 417, 12.5, 9.0, 3}, {H(9), 112, 5, 70, std::nullopt, std::nullopt, 0}};
    EXPECT_EQ(ViewCsv(rows),
              "hour_utc,les,heard,expected,snr_db,snr_min_db,missed\r\n"
              "2026-12-06T23:00:00.000Z,121,400,417,12.5,9.0,3\r\n"
              "2026-12-07T09:00:00.000Z,112,5,70,,,0\r\n");
    EXPECT_EQ(IsoHour(0), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(IsoHour(951'782'400'000), "2000-02-29T00:00:00.000Z");
}
