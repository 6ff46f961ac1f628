// Distances to shapes on the sphere: to a segment by the cross-track formula, inside an area by a
// ray test on longitudes unwrapped around the place looked from.
#include "warnings/shapes.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace warnings {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180;

// Angular distance in radians.
double Angle(GeoPoint a, GeoPoint b) { return DistanceNm(a, b) / kEarthRadiusNm; }

double Bearing(GeoPoint a, GeoPoint b) {
    const double f1 = a.lat * kRad, f2 = b.lat * kRad, dl = (b.lon - a.lon) * kRad;
    return std::atan2(std::sin(dl) * std::cos(f2), std::cos(f1) * std::sin(f2) - std::sin(f1) * std::cos(f2) * std::cos(dl));
}

// Distance from p to the great-circle segment a-b.
double SegmentNm(GeoPoint p, GeoPoint a, GeoPoint b) {
    const double ab = Angle(a, b);
    const double ap = Angle(a, p);
    if (ab < 1e-12) return ap * kEarthRadiusNm;
    const double t1 = Bearing(a, p), t2 = Bearing(a, b);
    const double xt = std::asin(std::clamp(std::sin(ap) * std::sin(t1 - t2), -1.0, 1.0));
    const double along = std::acos(std::clamp(std::cos(ap) / std::cos(xt), -1.0, 1.0));
    const bool ahead = std::cos(t1 - t2) > 0;
    if (ahead && along <= ab) return std::fabs(xt) * kEarthRadiusNm;
    return std::min(ap, Angle(b, p)) * kEarthRadiusNm;
}

double Unwrap(double lon, double around) {
    double d = lon - around;
    while (d > 180) d -= 360;
    while (d < -180) d += 360;
    return around + d;
}

bool Inside(GeoPoint p, const std::vector<GeoPoint>& ring) {
    bool in = false;
    const std::size_t n = ring.size();
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
        const double yi = ring[i].lat, yj = ring[j].lat;
        const double xi = Unwrap(ring[i].lon, p.lon), xj = Unwrap(ring[j].lon, p.lon);
        if ((yi > p.lat) != (yj > p.lat) && p.lon < (xj - xi) * (p.lat - yi) / (yj - yi) + xi) in = !in;
    }
    return in;
}

double ShapeNm(GeoPoint p, const Shape& s) {
    if (s.points.empty()) return INFINITY;
    switch (s.kind) {
        case ShapeKind::Point: return DistanceNm(p, s.points[0]);
        case ShapeKind::Circle: return std::max(0.0, DistanceNm(p, s.points[0]) - s.radiusNm);
        case ShapeKind::Area:
            if (s.points.size() >= 3 && Inside(p, s.points)) return 0;
            [[fallthrough]];
        case ShapeKind::Line: {
            double best = DistanceNm(p, s.points[0]);
            const std::size_t n = s.points.size();
            const std::size_t edges = s.kind == ShapeKind::Area && n >= 3 ? n : n - 1;
            for (std::size_t i = 0; i < edges; ++i) best = std::min(best, SegmentNm(p, s.points[i], s.points[(i + 1) % n]));
            return best;
        }
    }
    return INFINITY;
}

}  // namespace

std::string_view ShapeKindName(ShapeKind kind) {
    switch (kind) {
        case ShapeKind::Point: return "point";
        case ShapeKind::Line: return "line";
        case ShapeKind::Area: return "area";
        case ShapeKind::Circle: return "circle";
    }
    return "point";
}

std::optional<double> DistanceToShapesNm(GeoPoint from, std::span<const Shape> shapes) {
    double best = INFINITY;
    for (const Shape& s : shapes) best = std::min(best, ShapeNm(from, s));
    if (!std::isfinite(best)) return std::nullopt;
    return best;
}

std::string EncodeShapes(std::span<const Shape> shapes) {
    std::string out;
    char buf[64];
    for (const Shape& s : shapes) {
        if (!out.empty()) out += ';';
        out += "PLAC"[static_cast<int>(s.kind)];
        if (s.kind == ShapeKind::Circle) {
            std::snprintf(buf, sizeof buf, "%.17g", s.radiusNm);
            out += buf;
        }
        for (const GeoPoint& p : s.points) {
            std::snprintf(buf, sizeof buf, " %.6f %.6f", p.lat, p.lon);
            out += buf;
        }
    }
    return out;
}

std::vector<Shape> DecodeShapes(std::string_view text) {
    std::vector<Shape> shapes;
    std::size_t i = 0;
    auto number = [&](double& v) {
        while (i < text.size() && text[i] == ' ') ++i;
        auto r = std::from_chars(text.data() + i, text.data() + text.size(), v);
        if (r.ec != std::errc()) return false;
        i = static_cast<std::size_t>(r.ptr - text.data());
        return true;
    };
    while (i < text.size()) {
        const char k = text[i++];
        Shape s;
        s.kind = k == 'L' ? ShapeKind::Line : k == 'A' ? ShapeKind::Area : k == 'C' ? ShapeKind::Circle : ShapeKind::Point;
        if (s.kind == ShapeKind::Circle && !number(s.radiusNm)) break;
        GeoPoint p;
        while (i < text.size() && text[i] == ' ' && number(p.lat) && number(p.lon)) s.points.push_back(p);
        shapes.push_back(std::move(s));
        while (i < text.size() && text[i] != ';') ++i;
        if (i < text.size()) ++i;
    }
    return shapes;
}

}  // namespace warnings
