// Positions as warnings write them ("28-39.92N 080-38.33W", "2839N08038W", "70-47-00N 046-22-00E"),
// read without backtracking, and great-circle distances between them.
//
// Portable; any bytes are safe input.
#pragma once
#include <cstddef>
#include <optional>
#include <string_view>

namespace warnings {

// Decimal degrees, south and west negative, rounded to 1e-6 so that stored and recomputed values agree.
struct GeoPoint {
    double lat = 0;
    double lon = 0;
    bool operator==(const GeoPoint&) const = default;
};

struct PositionMatch {
    GeoPoint point;
    std::size_t end = 0;  // one past the position's last byte
};

// A latitude and a longitude starting exactly at text[at] (a digit), separated by blanks, a comma, a
// slash or nothing; nothing when the bytes there are not one (out-of-range values included).
std::optional<PositionMatch> PositionAt(std::string_view text, std::size_t at);

// The whole of `text`, blanks around allowed, as one position: what the home-position setting takes.
std::optional<GeoPoint> ParsePosition(std::string_view text);

// "50-22.000N 004-08.500W": how a position is shown back (minutes to three decimals).
std::string_view FormatPosition(GeoPoint p, char (&out)[40]);

inline constexpr double kEarthRadiusNm = 3440.065;

// Great-circle distance in nautical miles.
double DistanceNm(GeoPoint a, GeoPoint b);

double RoundMicro(double degrees);

}  // namespace warnings
