// What the Reception pane draws and exports: the `reception` view's rows of a span of hours, summed
// over the stations per hour, with the hours no run covered left empty.
//
// Portable: no Windows header.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "messages/sqlite_db.h"

namespace reception {

// One row of the `reception` view, as stored.
struct ViewRow {
    std::int64_t hourMs = 0;
    std::int64_t les = 0;
    std::int64_t heard = 0;
    std::int64_t expected = 0;
    std::optional<double> snrDb;
    std::optional<double> snrMinDb;
    std::int64_t missed = 0;
};

// The rows of the hours that begin in [fromMs, toMs), oldest first, stations in order.
std::vector<ViewRow> ReadView(messages::Database& db, std::int64_t fromMs, std::int64_t toMs);

struct ChartHour {
    std::int64_t hourMs = 0;
    bool covered = false;  // a run went on in this hour: false is drawn as a gap, not as zero
    std::int64_t heard = 0;
    std::int64_t expected = 0;
    std::int64_t missed = 0;
    std::optional<double> snrDb;  // the stations' rows share their hour's figures
    std::optional<double> snrMinDb;
    double HeardPercent() const { return expected > 0 ? 100.0 * static_cast<double>(heard) / expected : 0.0; }
};

// `hours` consecutive hours ending with the one that holds `nowMs`, filled from `rows`.
std::vector<ChartHour> ChartHours(const std::vector<ViewRow>& rows, std::int64_t nowMs, int hours);

// "2026-12-07 10:00 UTC  heard 15 of 139 (10.8 %)  missed 5  SNR 8.5 dB, min 7.0 dB"; "... no run" for a gap.
std::string ReadoutText(const ChartHour& hour);

// The view's columns as CSV with a header line, CRLF line ends, empty fields for NULL.
std::string ViewCsv(const std::vector<ViewRow>& rows);

// "2026-12-07T10:00:00.000Z", as the views write times.
std::string IsoHour(std::int64_t hourMs);

}  // namespace reception
