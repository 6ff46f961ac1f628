// The reader of message text: series, number and year, kind, positions and shapes, cancellations of
// other warnings, the message's own expiry, and an in-force bulletin's lists.
//
// Portable. A hand-written scanner over tokens: time linear in the text's length, any bytes safe.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "warnings/shapes.h"

namespace warnings {

enum class Kind { Nav, Met, Sar, Piracy, Ice, Bulletin, Other };
std::string_view KindName(Kind kind);  // "nav", "met", "sar", "piracy", "ice", "bulletin", "other"

// One numbered warning: its series as normalised ("NAVAREA IV", "HYDROLANT", "COASTAL NOVOROSSIYSK",
// "NAVTEX AA"), its number and its four-digit year.
struct WarningKey {
    std::string series;
    int number = 0;
    int year = 0;
    bool operator==(const WarningKey&) const = default;
    auto operator<=>(const WarningKey&) const = default;
};

struct Reading {
    std::string series;  // empty: none found
    int navarea = 0;     // 1..21 for a NAVAREA series, else 0
    int metarea = 0;
    int number = 0;      // 0: not numbered
    int year = 0;        // with a number: as written, else the year the message was first heard
    Kind kind = Kind::Other;
    std::vector<Shape> shapes;
    std::vector<WarningKey> cancels;         // other warnings this one cancels
    std::optional<std::int64_t> expiresMs;   // "CANCEL THIS MSG ...", UTC milliseconds
    // An in-force bulletin: the time it gives (or first heard) and the warnings it lists.
    std::optional<std::int64_t> bulletinMs;
    std::vector<WarningKey> inForce;

    bool numbered() const { return !series.empty() && number > 0; }
    WarningKey key() const { return {series, number, year}; }
    std::size_t positionCount() const;
};

// Reads `text`, first heard at `firstHeardMs` (UTC milliseconds): the year of a warning without one,
// and the moment from which an expiry without month or year is the next one.
Reading Read(std::string_view text, std::int64_t firstHeardMs);

// 1..21 for "I".."XXI" or "1".."21" (any case), else 0.
int AreaNumber(std::string_view word);
std::string_view Roman(int area);  // "IV" for 4; empty outside 1..21

// Civil time helpers shared with the store and tests.
std::int64_t UtcMs(int year, int month, int day, int hour = 0, int minute = 0);
int YearOf(std::int64_t utcMs);

}  // namespace warnings
