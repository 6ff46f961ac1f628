// Reception chart: the view read back by hour, hours summed over stations, readout and CSV text.
#include "reception/reception_chart.h"

#include <cstdio>
#include <ctime>
#include <map>

#include "reception/ledger.h"

namespace reception {

namespace {

std::string Figure(std::optional<double> v) {
    if (!v) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", *v);
    return text;
}

std::tm UtcParts(std::int64_t ms) {
    const std::int64_t days = (ms >= 0 ? ms : ms - 86'399'999) / 86'400'000;
    const std::int64_t inDay = ms - days * 86'400'000;
    // Civil date from days since 1970 (Howard Hinnant's algorithm): no time zone, no locale.
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    std::tm t{};
    t.tm_mday = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.tm_mon = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.tm_year = static_cast<int>(yoe + era * 400 + (t.tm_mon <= 2 ? 1 : 0));
    t.tm_hour = static_cast<int>(inDay / 3'600'000);
    t.tm_min = static_cast<int>(inDay / 60'000 % 60);
    return t;
}

}  // namespace

std::string IsoHour(std::int64_t hourMs) {
    const std::tm t = UtcParts(hourMs);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:00:00.000Z", t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour);
    return text;
}

std::vector<ViewRow> ReadView(messages::Database& db, std::int64_t fromMs, std::int64_t toMs) {
    // The view's own sums, kept by hour_ms so that the range is read off the key.
    messages::Statement s(db,
                          "SELECT hour_ms, les, sum(heard), sum(expected), "
                          "CASE WHEN sum(snr_count) > 0 THEN round(sum(snr_sum) / sum(snr_count), 1) END, "
                          "round(min(snr_min), 1), sum(missed) FROM reception_rows "
                          "WHERE hour_ms >= ? AND hour_ms < ? GROUP BY hour_ms, les ORDER BY hour_ms, les");
    s.Bind(1, fromMs).Bind(2, toMs);
    std::vector<ViewRow> rows;
    while (s.Step()) {
        ViewRow r;
        r.hourMs = s.ColumnInt64(0);
        r.les = s.ColumnInt64(1);
        r.heard = s.ColumnInt64(2);
        r.expected = s.ColumnInt64(3);
        if (!s.ColumnIsNull(4)) r.snrDb = s.ColumnDouble(4);
        if (!s.ColumnIsNull(5)) r.snrMinDb = s.ColumnDouble(5);
        r.missed = s.ColumnInt64(6);
        rows.push_back(r);
    }
    return rows;
}

std::vector<ChartHour> ChartHours(const std::vector<ViewRow>& rows, std::int64_t nowMs, int hours) {
    std::vector<ChartHour> out;
    if (hours <= 0) return out;
    const std::int64_t first = HourOf(nowMs) - (hours - 1) * kHourMs;
    out.resize(static_cast<std::size_t>(hours));
    for (int i = 0; i < hours; ++i) out[static_cast<std::size_t>(i)].hourMs = first + i * kHourMs;
    for (const ViewRow& r : rows) {
        if (r.hourMs < first || r.hourMs >= first + hours * kHourMs) continue;
        ChartHour& h = out[static_cast<std::size_t>((r.hourMs - first) / kHourMs)];
        h.covered = true;
        h.heard += r.heard;
        h.expected += r.expected;
        h.missed += r.missed;
        if (r.snrDb) h.snrDb = r.snrDb;
        if (r.snrMinDb) h.snrMinDb = r.snrMinDb;
    }
    return out;
}

std::string ReadoutText(const ChartHour& hour) {
    const std::tm t = UtcParts(hour.hourMs);
    char text[160];
    int n = std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:00 UTC  ", t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour);
    if (!hour.covered) return std::string(text, static_cast<std::size_t>(n)) + "no run";
    n += std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), "heard %lld of %lld (%.1f %%)  missed %lld",
                       static_cast<long long>(hour.heard), static_cast<long long>(hour.expected), hour.HeardPercent(),
                       static_cast<long long>(hour.missed));
    std::string out(text, static_cast<std::size_t>(n));
    if (hour.snrDb) out += "  SNR " + Figure(hour.snrDb) + " dB, min " + Figure(hour.snrMinDb) + " dB";
    return out;
}

std::string ViewCsv(const std::vector<ViewRow>& rows) {
    std::string out = "hour_utc,les,heard,expected,snr_db,snr_min_db,missed\r\n";
    for (const ViewRow& r : rows) {
        out += IsoHour(r.hourMs) + ',' + std::to_string(r.les) + ',' + std::to_string(r.heard) + ',' +
               std::to_string(r.expected) + ',' + Figure(r.snrDb) + ',' + Figure(r.snrMinDb) + ',' +
               std::to_string(r.missed) + "\r\n";
    }
    return out;
}

}  // namespace reception
