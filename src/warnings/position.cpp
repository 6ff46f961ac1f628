// The position scanner: one coordinate at a time, each a bounded number of bytes, so a text is read
// in time linear in its length whatever it holds.
#include "warnings/position.h"

#include <cmath>
#include <cstdio>

namespace warnings {

namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }
bool Letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// A run of at most `limit` digits at i; its value, length and the index after it.
struct Run {
    long value = 0;
    int length = 0;
};
Run Digits(std::string_view s, std::size_t& i, int limit) {
    Run r;
    while (i < s.size() && Digit(s[i]) && r.length <= limit) {
        r.value = r.value * 10 + (s[i] - '0');
        ++r.length, ++i;
    }
    return r;
}

// ".5", ".92": the fraction's value; no fraction (no dot followed by a digit) leaves i alone.
double Fraction(std::string_view s, std::size_t& i) {
    if (i + 1 >= s.size() || s[i] != '.' || !Digit(s[i + 1])) return 0;
    ++i;
    double f = 0, scale = 0.1;
    int n = 0;
    while (i < s.size() && Digit(s[i])) {
        if (n++ < 8) f += (s[i] - '0') * scale, scale /= 10;
        ++i;
    }
    return f;
}
bool HasFraction(std::string_view s, std::size_t i) { return i + 1 < s.size() && s[i] == '.' && Digit(s[i + 1]); }

// The degree sign, in Latin-1 or UTF-8: its length at i, or 0.
std::size_t DegreeSign(std::string_view s, std::size_t i) {
    if (i < s.size() && static_cast<unsigned char>(s[i]) == 0xB0) return 1;
    if (i + 1 < s.size() && static_cast<unsigned char>(s[i]) == 0xC2 && static_cast<unsigned char>(s[i + 1]) == 0xB0)
        return 2;
    return 0;
}

struct Coordinate {
    double degrees = 0;
    std::size_t end = 0;
};

// Splits a compact digit run ("2839", "08038", "703000") into degrees, minutes and seconds by its
// length; the fraction belongs to the last field.
bool SplitCompact(const Run& r, double fraction, bool latitude, double& d, double& m, double& sec) {
    d = m = sec = 0;
    const int degreeDigits = latitude ? 2 : 3;
    const long v = r.value;
    if (r.length <= degreeDigits) {
        d = v + fraction;
    } else if (r.length == 3 || r.length == 4 || (!latitude && r.length == 5)) {
        d = static_cast<double>(v / 100), m = v % 100 + fraction;
    } else if (r.length == 6 || (!latitude && r.length == 7)) {
        d = static_cast<double>(v / 10000), m = static_cast<double>(v / 100 % 100), sec = v % 100 + fraction;
    } else {
        return false;
    }
    return true;
}

// One coordinate at i: digits in any of the written forms, then N or S (latitude) or E or W.
std::optional<Coordinate> CoordinateAt(std::string_view s, std::size_t i, bool latitude) {
    Run first = Digits(s, i, 7);
    if (first.length == 0 || first.length > 7) return std::nullopt;
    double d = 0, m = 0, sec = 0;
    const bool fraction = HasFraction(s, i);
    // Separated forms: 28-39.92, 28-39-55, 28 39.9, 28°39'55".
    std::size_t sepLength = 0;
    char sep = 0;
    if (!fraction && first.length <= 3 && i + 1 < s.size()) {
        if (s[i] == '-' && Digit(s[i + 1])) sep = '-', sepLength = 1;
        else if (s[i] == ' ' && Digit(s[i + 1])) sep = ' ', sepLength = 1;
        else if (std::size_t n = DegreeSign(s, i); n && i + n < s.size() && Digit(s[i + n])) sep = 'o', sepLength = n;
    }
    if (sep) {
        std::size_t j = i + sepLength;
        Run minutes = Digits(s, j, 2);
        if (minutes.length == 0 || minutes.length > 2) return std::nullopt;
        const bool minuteFraction = HasFraction(s, j);
        // Blank-separated only in the padded widths or with a fraction: "3 28N" in running text is no latitude.
        if (sep == ' ' && !minuteFraction && (minutes.length != 2 || first.length != (latitude ? 2 : 3)))
            return std::nullopt;
        d = static_cast<double>(first.value);
        m = minutes.value + Fraction(s, j);
        if (!minuteFraction) {
            std::size_t k = j;
            if (sep == 'o' && k < s.size() && s[k] == '\'') ++k;
            const char secondSep = sep == 'o' ? 0 : sep;
            bool haveSecond = false;
            if (secondSep && k + 1 < s.size() && s[k] == secondSep && Digit(s[k + 1])) ++k, haveSecond = true;
            else if (!secondSep && k < s.size() && Digit(s[k]) && k != j) haveSecond = true;
            if (haveSecond) {
                Run seconds = Digits(s, k, 2);
                if (seconds.length == 0 || seconds.length > 2) return std::nullopt;
                sec = seconds.value + Fraction(s, k);
                j = k;
            }
        }
        i = j;
    } else {
        const double f = Fraction(s, i);
        if (!SplitCompact(first, f, latitude, d, m, sec)) return std::nullopt;
    }
    while (i < s.size() && (s[i] == '\'' || s[i] == '"')) ++i;
    if (i < s.size() && s[i] == ' ') ++i;
    if (i >= s.size()) return std::nullopt;
    const char h = Upper(s[i]);
    const bool negative = latitude ? h == 'S' : h == 'W';
    if (latitude ? (h != 'N' && h != 'S') : (h != 'E' && h != 'W')) return std::nullopt;
    ++i;
    if (i < s.size() && Letter(s[i])) return std::nullopt;  // "5 NM", "2 NORTH": words, not hemispheres
    if (m >= 60 || sec >= 60) return std::nullopt;
    double value = d + m / 60 + sec / 3600;
    if (value > (latitude ? 90.0 : 180.0)) return std::nullopt;
    return Coordinate{negative ? -value : value, i};
}

}  // namespace

double RoundMicro(double degrees) { return std::round(degrees * 1e6) / 1e6; }

std::optional<PositionMatch> PositionAt(std::string_view text, std::size_t at) {
    if (at >= text.size() || !Digit(text[at])) return std::nullopt;
    std::optional<Coordinate> lat = CoordinateAt(text, at, true);
    if (!lat) return std::nullopt;
    std::size_t i = lat->end;
    auto blanks = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
    };
    blanks();
    if (i < text.size() && (text[i] == ',' || text[i] == '/')) ++i, blanks();
    std::optional<Coordinate> lon = CoordinateAt(text, i, false);
    if (!lon) return std::nullopt;
    return PositionMatch{GeoPoint{RoundMicro(lat->degrees), RoundMicro(lon->degrees)}, lon->end};
}

std::optional<GeoPoint> ParsePosition(std::string_view text) {
    std::size_t a = 0, b = text.size();
    while (a < b && (text[a] == ' ' || text[a] == '\t')) ++a;
    while (b > a && (text[b - 1] == ' ' || text[b - 1] == '\t')) --b;
    std::optional<PositionMatch> m = PositionAt(text.substr(0, b), a);
    if (!m || m->end != b) return std::nullopt;
    return m->point;
}

std::string_view FormatPosition(GeoPoint p, char (&out)[40]) {
    auto part = [](double v, int& deg, double& min) {
        v = std::fabs(v);
        deg = static_cast<int>(v);
        min = std::round((v - deg) * 60 * 1000) / 1000;
        if (min >= 60) ++deg, min = 0;
    };
    int latD, lonD;
    double latM, lonM;
    part(p.lat, latD, latM);
    part(p.lon, lonD, lonM);
    int n = std::snprintf(out, sizeof out, "%02d-%06.3f%c %03d-%06.3f%c", latD, latM, p.lat < 0 ? 'S' : 'N', lonD,
                          lonM, p.lon < 0 ? 'W' : 'E');
    return std::string_view(out, n > 0 ? static_cast<std::size_t>(n) : 0);
}

double DistanceNm(GeoPoint a, GeoPoint b) {
    constexpr double kRad = 3.14159265358979323846 / 180;
    const double dLat = (b.lat - a.lat) * kRad, dLon = (b.lon - a.lon) * kRad;
    const double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(a.lat * kRad) * std::cos(b.lat * kRad) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadiusNm * std::asin(std::sqrt(std::fmin(1.0, h)));
}

}  // namespace warnings
