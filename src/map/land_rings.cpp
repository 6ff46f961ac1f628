// Encoding and decoding of the land's compact ring form; decoding trusts nothing it reads.
#include "map/land_rings.h"

#include <cmath>
#include <cstring>

namespace map {
namespace {

constexpr char kMagic[4] = {'V', 'L', 'R', '1'};
// Far beyond any land file; stops a corrupt count from reserving gigabytes.
constexpr std::uint64_t kMaxPoints = 50'000'000;

void PutVarint(std::vector<std::uint8_t>& out, std::uint64_t v) {
  while (v >= 0x80) {
    out.push_back(static_cast<std::uint8_t>(v | 0x80));
    v >>= 7;
  }
  out.push_back(static_cast<std::uint8_t>(v));
}

std::uint64_t ZigZag(std::int64_t v) {
  return (static_cast<std::uint64_t>(v) << 1) ^ (v < 0 ? ~std::uint64_t{0} : 0);
}

std::int64_t UnZigZag(std::uint64_t v) {
  return static_cast<std::int64_t>((v >> 1) ^ (~(v & 1) + 1));
}

void PutDouble(std::vector<std::uint8_t>& out, double d) {
  std::uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

struct Reader {
  std::span<const std::uint8_t> bytes;
  std::size_t at = 0;
  bool ok = true;

  std::uint64_t Varint() {
    std::uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      if (at >= bytes.size()) break;
      const std::uint8_t b = bytes[at++];
      v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) return v;
    }
    ok = false;
    return 0;
  }
  std::uint32_t U32() {
    if (bytes.size() - at < 4) {
      ok = false;
      return 0;
    }
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(bytes[at++]) << (8 * i);
    return v;
  }
  double Double() {
    if (bytes.size() - at < 8) {
      ok = false;
      return 0;
    }
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(bytes[at++]) << (8 * i);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }
};

}  // namespace

std::vector<std::uint8_t> EncodeRings(const QuantizedRings& q) {
  std::vector<std::uint8_t> out(kMagic, kMagic + 4);
  const auto count = static_cast<std::uint32_t>(q.rings.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(count >> (8 * i)));
  PutDouble(out, q.scale_x);
  PutDouble(out, q.scale_y);
  PutDouble(out, q.translate_x);
  PutDouble(out, q.translate_y);
  for (const auto& ring : q.rings) {
    PutVarint(out, ring.size() / 2);
    std::int64_t px = 0, py = 0;
    for (std::size_t i = 0; i + 1 < ring.size(); i += 2) {
      PutVarint(out, ZigZag(ring[i] - px));
      PutVarint(out, ZigZag(ring[i + 1] - py));
      px = ring[i];
      py = ring[i + 1];
    }
  }
  return out;
}

std::optional<Rings> DecodeRings(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 4 + 4 + 32 || std::memcmp(bytes.data(), kMagic, 4) != 0) return std::nullopt;
  Reader r{bytes, 4};
  const std::uint32_t count = r.U32();
  const double sx = r.Double(), sy = r.Double(), tx = r.Double(), ty = r.Double();
  if (!std::isfinite(sx) || !std::isfinite(sy) || !std::isfinite(tx) || !std::isfinite(ty)) return std::nullopt;
  // Each ring takes at least one byte, so a count beyond the bytes left is a lie.
  if (count > bytes.size() - r.at) return std::nullopt;
  Rings out;
  out.rings.reserve(count);
  for (std::uint32_t k = 0; k < count; ++k) {
    const std::uint64_t n = r.Varint();
    // Each point takes at least two bytes.
    if (!r.ok || n > (bytes.size() - r.at) / 2 || out.points.size() + n > kMaxPoints) return std::nullopt;
    out.rings.push_back({out.points.size(), static_cast<std::size_t>(n)});
    std::int64_t x = 0, y = 0;
    for (std::uint64_t i = 0; i < n; ++i) {
      // Wrapping sums: a corrupt file gives nonsense positions, never undefined behaviour.
      x = static_cast<std::int64_t>(static_cast<std::uint64_t>(x) + static_cast<std::uint64_t>(UnZigZag(r.Varint())));
      y = static_cast<std::int64_t>(static_cast<std::uint64_t>(y) + static_cast<std::uint64_t>(UnZigZag(r.Varint())));
      if (!r.ok) return std::nullopt;
      out.points.push_back({static_cast<double>(x) * sx + tx, static_cast<double>(y) * sy + ty});
    }
  }
  if (r.at != bytes.size()) return std::nullopt;
  return out;
}

}  // namespace map
