// Mercator arithmetic, graticule steps, position texts and the 180th meridian.
#include "map/mercator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace map {
namespace {
constexpr double kDeg = kPi / 180.0;
constexpr double kTurn = 2 * kPi;
}  // namespace

double MercatorY(double lat_deg) {
  const double lat = std::clamp(std::isfinite(lat_deg) ? lat_deg : 0.0, -85.0, 85.0) * kDeg;
  return std::log(std::tan(kPi / 4 + lat / 2));
}

double LatitudeOf(double y) { return (2 * std::atan(std::exp(y)) - kPi / 2) / kDeg; }

void GeoBox::Add(GeoPoint p) {
  if (empty) {
    west = east = p.lon;
    south = north = p.lat;
    empty = false;
    return;
  }
  west = std::min(west, p.lon);
  east = std::max(east, p.lon);
  south = std::min(south, p.lat);
  north = std::max(north, p.lat);
}

Pixel View::ToPixel(GeoPoint p) const {
  return {(p.lon * kDeg - centre_x) * pixels_per_radian + width / 2.0,
          (centre_y - MercatorY(p.lat)) * pixels_per_radian + height / 2.0};
}

GeoPoint View::ToGeo(double px, double py) const {
  double lon = (centre_x + (px - width / 2.0) / pixels_per_radian) / kDeg;
  lon = std::fmod(lon + 180.0, 360.0);
  if (lon < 0) lon += 360.0;
  return {lon - 180.0, LatitudeOf(centre_y - (py - height / 2.0) / pixels_per_radian)};
}

double View::MinScale() const {
  // The whole 80 N to 80 S band fills the height, or one turn the width, whichever is larger.
  return std::max(width / kTurn, height / (2 * MercatorY(kMaxLat)));
}

void View::Clamp() {
  if (!std::isfinite(pixels_per_radian)) pixels_per_radian = MinScale();
  if (!std::isfinite(centre_x)) centre_x = 0;
  if (!std::isfinite(centre_y)) centre_y = 0;
  pixels_per_radian = std::clamp(pixels_per_radian, MinScale(), kMaxPixelsPerRadian);
  const double half = height / 2.0 / pixels_per_radian;
  const double top = MercatorY(kMaxLat);
  centre_y = half >= top ? 0.0 : std::clamp(centre_y, -top + half, top - half);
  centre_x = std::remainder(centre_x, kTurn);
}

void View::ZoomAt(double px, double py, double factor) {
  if (!(factor > 0) || !std::isfinite(factor)) return;
  // The world point under the pointer stays under it.
  const double wx = centre_x + (px - width / 2.0) / pixels_per_radian;
  const double wy = centre_y - (py - height / 2.0) / pixels_per_radian;
  pixels_per_radian *= factor;
  pixels_per_radian = std::clamp(pixels_per_radian, MinScale(), kMaxPixelsPerRadian);
  centre_x = wx - (px - width / 2.0) / pixels_per_radian;
  centre_y = wy + (py - height / 2.0) / pixels_per_radian;
  Clamp();
}

void View::PanBy(double dx, double dy) {
  centre_x -= dx / pixels_per_radian;
  centre_y += dy / pixels_per_radian;
  Clamp();
}

void View::Resize(int w, int h) {
  width = std::max(w, 1);
  height = std::max(h, 1);
  Clamp();
}

void View::Fit(const GeoBox& box, double margin_px) {
  if (box.empty) return;
  const double x0 = box.west * kDeg, x1 = box.east * kDeg;
  const double y0 = MercatorY(box.south), y1 = MercatorY(box.north);
  const double w = std::max(width - 2 * margin_px, 1.0), h = std::max(height - 2 * margin_px, 1.0);
  // A single point gets a view about a degree across.
  const double sx = x1 - x0 > 1e-9 ? w / (x1 - x0) : w / kDeg;
  const double sy = y1 - y0 > 1e-9 ? h / (y1 - y0) : h / kDeg;
  pixels_per_radian = std::min(sx, sy);
  centre_x = (x0 + x1) / 2;
  centre_y = (y0 + y1) / 2;
  Clamp();
}

int GraticuleStepMinutes(double pixels_per_radian, double min_spacing_px) {
  for (int step : {10, 60, 300, 600, 1800}) {
    if (step / 60.0 * kDeg * pixels_per_radian >= min_spacing_px) return step;
  }
  return 1800;
}

std::string FormatPosition(GeoPoint p) {
  const auto part = [](double v, int degree_digits, char pos, char neg) {
    const char hemi = v < 0 ? neg : pos;
    long tenths = std::lround(std::fabs(v) * 600.0);  // tenths of a minute, carried whole
    const long deg = tenths / 600;
    tenths %= 600;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*ld-%02ld.%ld%c", degree_digits, deg, tenths / 10, tenths % 10, hemi);
    return std::string(buf);
  };
  const double lat = std::isfinite(p.lat) ? std::clamp(p.lat, -90.0, 90.0) : 0.0;
  const double lon = std::isfinite(p.lon) ? std::clamp(p.lon, -180.0, 180.0) : 0.0;
  return part(lat, 2, 'N', 'S') + " " + part(lon, 3, 'E', 'W');
}

namespace {
std::string Label(double v, int step_minutes, char pos, char neg) {
  const long minutes = std::lround(v * 60.0);
  const long whole = std::labs(minutes);
  char buf[32];
  std::string hemi = minutes == 0 || whole == 180 * 60 ? "" : std::string(1, minutes < 0 ? neg : pos);
  if (step_minutes % 60 == 0 || whole % 60 == 0)
    std::snprintf(buf, sizeof buf, "%ld\xC2\xB0", whole / 60);
  else
    std::snprintf(buf, sizeof buf, "%ld\xC2\xB0%02ld'", whole / 60, whole % 60);
  return buf + hemi;
}
}  // namespace

std::string FormatLatitudeLabel(double lat, int step_minutes) { return Label(lat, step_minutes, 'N', 'S'); }
std::string FormatLongitudeLabel(double lon, int step_minutes) {
  double folded = std::remainder(lon, 360.0);
  if (folded == -180.0) folded = 180.0;
  return Label(folded, step_minutes, 'E', 'W');
}

void KeepTogether(std::vector<GeoPoint>& points) {
  if (points.empty()) return;
  double lo = points[0].lon, hi = points[0].lon;
  for (std::size_t i = 1; i < points.size(); ++i) {
    if (!std::isfinite(points[i].lon)) points[i].lon = points[i - 1].lon;
    points[i].lon = points[i - 1].lon + std::remainder(points[i].lon - points[i - 1].lon, 360.0);
    lo = std::min(lo, points[i].lon);
    hi = std::max(hi, points[i].lon);
  }
  const double mid = (lo + hi) / 2;
  const double shift = -360.0 * std::ceil((mid - 180.0) / 360.0);
  if (shift != 0)
    for (auto& p : points) p.lon += shift;
}

std::vector<GeoPoint> EarthCircle(GeoPoint centre, double radius_nm, int n) {
  std::vector<GeoPoint> out;
  if (n < 3 || !std::isfinite(radius_nm) || radius_nm <= 0) return out;
  const double d = std::min(radius_nm / kEarthRadiusNm, kPi);
  const double lat1 = centre.lat * kDeg, lon1 = centre.lon * kDeg;
  out.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const double bearing = kTurn * i / n;
    const double lat2 = std::asin(std::sin(lat1) * std::cos(d) + std::cos(lat1) * std::sin(d) * std::cos(bearing));
    const double lon2 = lon1 + std::atan2(std::sin(bearing) * std::sin(d) * std::cos(lat1),
                                          std::cos(d) - std::sin(lat1) * std::sin(lat2));
    out.push_back({lon2 / kDeg, lat2 / kDeg});
  }
  KeepTogether(out);
  return out;
}

}  // namespace map
