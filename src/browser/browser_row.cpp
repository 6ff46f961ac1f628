#include "browser/browser_row.h"

#include <cstdio>


namespace browser {

namespace {

// The store keeps -1 for a station or frame number it did not receive (messages::kUnknownNumber).
constexpr std::int64_t kUnknownNumber = -1;

// Days since 1970-01-01 to a civil date (proleptic Gregorian), after Howard Hinnant's algorithm.
void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

std::string Number(std::int64_t value) { return value == kUnknownNumber ? std::string() : std::to_string(value); }

}  // namespace

std::string FormatUtc(std::int64_t ms, bool iso) {
    std::int64_t seconds = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
    std::int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    const std::int64_t inDay = seconds - days * 86400;
    int year = 0, month = 0, day = 0;
    CivilFromDays(days, year, month, day);
    char text[40];
    std::snprintf(text, sizeof text, iso ? "%04d-%02d-%02dT%02d:%02d:%02dZ" : "%04d-%02d-%02d %02d:%02d:%02d", year,
                  month, day, static_cast<int>(inDay / 3600), static_cast<int>(inDay / 60 % 60),
                  static_cast<int>(inDay % 60));
    return text;
}

std::string FirstLine(std::string_view text, std::size_t maxBytes) {
    std::size_t end = text.find_first_of("\r\n");
    if (end == std::string_view::npos) end = text.size();
    if (end > maxBytes) {
        end = maxBytes;
        // Back off over continuation bytes so that the cut falls before a lead byte.
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    }
    return std::string(text.substr(0, end));
}

std::string CellText(const BrowserRow& row, Column column) {
    switch (column) {
        case Column::Received: return FormatUtc(row.receivedMs);
        case Column::Les: return Number(row.les);
        case Column::Frame: return Number(row.frame);
        case Column::Priority: return std::string(messages::PriorityName(row.priority));
        case Column::Copies: return std::to_string(row.copies);
        case Column::Length: return std::to_string(row.length);
        case Column::Message: return row.firstLine;
        case Column::Warning: return WarningName(row.series, row.number, row.year);
        case Column::Kind: return row.kind;
        case Column::State: return StateText(row.state);
    }
    return {};
}

std::string WarningName(std::string_view series, std::int64_t number, std::int64_t year) {
    std::string name(series);
    if (name.empty() || number <= 0) return name;
    char digits[48];
    std::snprintf(digits, sizeof digits, " %lld/%02lld", static_cast<long long>(number),
                  static_cast<long long>((year % 100 + 100) % 100));
    return name + digits;
}

std::string StateText(std::string_view state) {
    if (state == "inforce") return "in force";
    if (state == "none") return {};
    return std::string(state);
}

}  // namespace browser
