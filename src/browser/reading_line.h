// The one line above a message's text that says what the store read in it.
//
// Portable.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace browser {

struct ShapeReading {
    std::string kind;                            // point, line, area, circle
    std::vector<std::pair<double, double>> points;  // latitude, longitude in degrees
    double radiusNm = 0;                         // circles
};

// What MessageQuery::Reading finds of one message.
struct MessageReadingInfo {
    bool read = false;             // false: the store has not read it (yet)
    std::string series;
    std::int64_t number = 0;
    std::int64_t year = 0;
    std::string kind;
    std::string state;             // inforce, cancelled, expired, dropped, none (as of the query's time)
    std::int64_t cancelledBy = 0;  // the cancelling message's id
    std::string cancelledByName;   // its warning, "NAVAREA IV 1190/22" (empty when it has none)
    std::optional<std::int64_t> expiresMs;
    std::vector<ShapeReading> shapes;
    std::vector<std::string> missing;  // a bulletin: the warnings it lists that were never received
};

// The line, cut where the cancelling message is named so that the pane can make that name a link:
// before + link + after. Empty when there is nothing to say.
struct ReadingLine {
    std::string before;
    std::string link;   // empty: no link
    std::string after;
    std::string Whole() const { return before + link + after; }
};

ReadingLine MakeReadingLine(const MessageReadingInfo& info);

// "28-39.9N 080-38.3W": degrees and minutes to a tenth.
std::string FormatPositionDm(double lat, double lon);

}  // namespace browser
