// The chart's Mercator view: geographic positions to pixels and back, zoom and pan within 80 N/S.
#pragma once
#include <string>
#include <vector>

#include "map/land_rings.h"

namespace map {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kMaxLat = 80.0;       // the chart's top and bottom edge
inline constexpr double kEarthRadiusNm = 3440.065;

double MercatorY(double lat_deg);  // radians of stretched latitude; lat clamped to +-85
double LatitudeOf(double mercator_y);

struct Pixel {
  double x = 0, y = 0;
};

struct GeoBox {
  double west = 0, south = 0, east = 0, north = 0;  // east may exceed 180 for a box across the 180th
  bool empty = true;
  void Add(GeoPoint p);
};

// World x is longitude in radians (any turn of the globe), world y the Mercator y.
struct View {
  double centre_x = 0;
  double centre_y = 0;
  double pixels_per_radian = 200;
  int width = 1, height = 1;

  Pixel ToPixel(GeoPoint p) const;
  GeoPoint ToGeo(double px, double py) const;  // longitude folded into [-180, 180)
  void ZoomAt(double px, double py, double factor);
  void PanBy(double dx, double dy);  // moves the content by (dx, dy) pixels
  void Fit(const GeoBox& box, double margin_px);
  void Resize(int w, int h);
  double MinScale() const;
  // Keeps the scale within bounds and the view within 80 N/S; folds the centre into one turn.
  void Clamp();
};

inline constexpr double kMaxPixelsPerRadian = 2.0e6;

// The graticule's step in minutes of arc (1800, 600, 300, 60, 10): the finest whose lines lie at
// least min_spacing_px apart on the equator.
int GraticuleStepMinutes(double pixels_per_radian, double min_spacing_px);

// "DD-MM.mN DDD-MM.mW": latitude and longitude to a tenth of a minute.
std::string FormatPosition(GeoPoint p);
// A graticule label at a step: "30°N", "45°30'N", "0°", "120°W"; UTF-8.
std::string FormatLatitudeLabel(double lat, int step_minutes);
std::string FormatLongitudeLabel(double lon, int step_minutes);

// Makes a shape's longitudes continuous (no jump of more than 180 degrees between neighbours), then
// moves the whole shape by whole turns so that the middle of its span lies in (-180, 180].
void KeepTogether(std::vector<GeoPoint>& points);

// A circle of radius_nm about centre as it lies on the Earth (a sphere), n points, kept together.
std::vector<GeoPoint> EarthCircle(GeoPoint centre, double radius_nm, int n);

}  // namespace map
