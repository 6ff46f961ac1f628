// Fuzz target for the message reader. Any bytes: no crash, and a reading that keeps its rules (positions in
// range, areas of 3+ points, lines of 2+, circles with a radius, numbered cancellations, the same reading
// twice, every position shown back reading as itself).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "warnings/reader.h"

#define FUZZ_CHECK(cond) \
    ((cond) ? void() : (std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond), std::abort()))

using namespace warnings;

namespace {

bool SameReading(const Reading& a, const Reading& b) {
    return a.series == b.series && a.number == b.number && a.year == b.year && a.kind == b.kind && a.shapes == b.shapes &&
           a.cancels == b.cancels && a.expiresMs == b.expiresMs && a.inForce == b.inForce && a.bulletinMs == b.bulletinMs;
}

}  // namespace

extern "C" void ReaderFuzzCounts(long& inputs, long& positions);
static long gInputs = 0, gPositions = 0;
void ReaderFuzzCounts(long& inputs, long& positions) { inputs = gInputs, positions = gPositions; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    constexpr std::int64_t kHeard = 1796644800000;  // 2026-12-07T12:00:00Z
    const Reading r = Read(text, kHeard);
    ++gInputs;
    FUZZ_CHECK(SameReading(r, Read(text, kHeard)));
    FUZZ_CHECK(r.series.empty() || r.year >= 1900);
    FUZZ_CHECK(r.navarea >= 0 && r.navarea <= 21 && r.metarea >= 0 && r.metarea <= 21);
    for (const Shape& s : r.shapes) {
        switch (s.kind) {
            case ShapeKind::Point: FUZZ_CHECK(s.points.size() == 1); break;
            case ShapeKind::Circle: FUZZ_CHECK(s.points.size() == 1 && s.radiusNm > 0); break;
            case ShapeKind::Line: FUZZ_CHECK(s.points.size() >= 2); break;
            case ShapeKind::Area: FUZZ_CHECK(s.points.size() >= 3); break;
        }
        for (const GeoPoint& p : s.points) {
            ++gPositions;
            FUZZ_CHECK(std::fabs(p.lat) <= 90 && std::fabs(p.lon) <= 180);
            char buf[40];
            const std::optional<GeoPoint> back = ParsePosition(FormatPosition(p, buf));
            FUZZ_CHECK(back && std::fabs(back->lat - p.lat) < 1e-5 && std::fabs(back->lon - p.lon) < 1e-5);
        }
        const std::optional<double> d = DistanceToShapesNm(GeoPoint{50, -4}, std::span<const Shape>(&s, 1));
        FUZZ_CHECK(d && *d >= 0 && *d <= 3.15 * kEarthRadiusNm);
    }
    for (const WarningKey& k : r.cancels) FUZZ_CHECK(!k.series.empty() && k.number > 0 && k.year >= 1900);
    for (const WarningKey& k : r.inForce) FUZZ_CHECK(k.series == r.series && k.number > 0);
    FUZZ_CHECK(r.kind == Kind::Bulletin || r.inForce.empty());
    return 0;
}
