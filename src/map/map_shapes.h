// The shapes of the messages that pass a filter, read from a store's positions and warnings views.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "map/land_rings.h"
#include "map/mercator.h"
#include "messages/filter.h"

namespace map {

enum class ShapeKind { Point, Line, Area, Circle };

struct MapShape {
  std::int64_t message = 0;
  ShapeKind kind = ShapeKind::Point;
  int priority = 3;            // messages::Priority's number, 0 distress .. 3 routine
  bool muted = false;          // cancelled, expired or dropped
  std::vector<GeoPoint> points;  // kept together across the 180th; a circle as its outline
  GeoPoint centre;             // a point's or circle's centre
  GeoBox box;
  std::string warning;  // "NAVAREA I 123/26" or empty
  std::string first_line;
};

// Reads every shape of the messages passing `filter` (as the browser's list has it) from the store
// at `path` (UTF-8), read-only, in message and shape order. At most max_shapes shapes. Throws
// messages::SqliteError when the store cannot be read.
std::vector<MapShape> ReadMapShapes(const std::string& path, const messages::FilterSql& filter,
                                    std::size_t max_shapes = 200'000);

// The shape whose drawing is nearest the pixel (within tolerance_px), or -1. Areas and circles are hit
// inside as well as on their edge; points and lines within the tolerance.
int HitShape(const std::vector<MapShape>& shapes, const View& view, double x, double y, double tolerance_px);

}  // namespace map
