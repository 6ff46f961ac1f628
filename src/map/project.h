// Rings and lines in world coordinates, projected and clipped to a view's pixels for one redraw.
#pragma once
#include <cstdint>
#include <vector>

#include "map/land_rings.h"
#include "map/mercator.h"

namespace map {

struct IntPoint {
  std::int32_t x = 0, y = 0;
};

// Paths ready for a polyline or polypolygon call: counts[i] points each, one after the other.
struct PixelPaths {
  std::vector<IntPoint> points;
  std::vector<int> counts;
  std::vector<std::uint32_t> owners;  // which path of the source each drawn path came from
  void Clear() {
    points.clear();
    counts.clear();
    owners.clear();
  }
};

// Paths in world units (x = longitude in radians, y = Mercator y) with their bounds, so that each
// redraw only multiplies and culls.
struct WorldPaths {
  struct Path {
    std::size_t first = 0, count = 0;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  };
  std::vector<double> xy;  // x0, y0, x1, y1, ...
  std::vector<Path> paths;
  void Add(const GeoPoint* points, std::size_t n);
};

WorldPaths ToWorld(const Rings& rings);

// Every path (at each turn of the globe that meets the view) to pixels: closed ones clipped as
// polygons, open ones cut into the runs that cross the view; points on the same pixel dropped.
void Project(const WorldPaths& world, const View& view, bool closed, PixelPaths& out);

}  // namespace map
