// The land's rings in the compact form the program carries (quantized, delta and varint coded).
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace map {

struct GeoPoint {
  double lon = 0;
  double lat = 0;
};

// Rings as slices of one flat point list, so that a redraw walks memory in order.
struct Rings {
  struct Ring {
    std::size_t first = 0;
    std::size_t count = 0;
  };
  std::vector<GeoPoint> points;
  std::vector<Ring> rings;
};

// Quantized rings as TopoJSON holds them: integer positions and the transform that turns them into
// degrees (lon = x * scale_x + translate_x).
struct QuantizedRings {
  double scale_x = 1, scale_y = 1, translate_x = 0, translate_y = 0;
  std::vector<std::vector<std::int64_t>> rings;  // x0, y0, x1, y1, ...
};

// "VLR1", ring count (u32), the transform (4 x f64), then per ring its point count and the points'
// deltas from the previous one, all as zigzag varints. Little-endian.
std::vector<std::uint8_t> EncodeRings(const QuantizedRings& rings);

// Decodes the form above; nullopt for anything truncated, oversized or not of this form.
std::optional<Rings> DecodeRings(std::span<const std::uint8_t> bytes);

}  // namespace map
