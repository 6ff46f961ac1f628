// Reads polygon rings out of a quantized TopoJSON topology (as Natural Earth's land comes).
#pragma once
#include <string>
#include <string_view>
#include <variant>

#include "map/land_rings.h"

namespace map {

// The rings of every Polygon and MultiPolygon under objects[object] (a GeometryCollection or a single
// geometry), arcs undeltaed and joined, reversed where the index is ~i. Without a transform the arcs
// are taken as absolute integer positions. Returns the reason when the text is not such a topology.
std::variant<QuantizedRings, std::string> DecodeTopoJson(std::string_view text, const std::string& object);

}  // namespace map
