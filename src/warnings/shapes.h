// What a warning's positions describe (points, lines, areas, circles), the distance from a place to
// the nearest of them, and a compact text form the store keeps them in for its distance function.
//
// Portable.
#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "warnings/position.h"

namespace warnings {

enum class ShapeKind { Point, Line, Area, Circle };

struct Shape {
    ShapeKind kind = ShapeKind::Point;
    std::vector<GeoPoint> points;  // a point or circle: one; a line: two or more; an area: three or more
    double radiusNm = 0;           // circles only
    bool operator==(const Shape&) const = default;
};

std::string_view ShapeKindName(ShapeKind kind);  // "point", "line", "area", "circle"

// Nautical miles from `from` to the nearest point of any shape: 0 inside an area or circle. Nothing
// when there are no shapes.
std::optional<double> DistanceToShapesNm(GeoPoint from, std::span<const Shape> shapes);

// "A 28.665333 -80.638833 28.666667 -80.5;C2 50 -4" and back. Decoding bad text gives what it can read.
std::string EncodeShapes(std::span<const Shape> shapes);
std::vector<Shape> DecodeShapes(std::string_view text);

}  // namespace warnings
