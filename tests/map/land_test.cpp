// The land's ring form: the build's file against the portable TopoJSON reader, and bad input.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "land_rings_count.h"
#include "map/land_rings.h"
#include "map/topojson.h"

namespace {

std::string Slurp(const char* path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

TEST(Land, BuildFileMatchesThePortableReaderByteForByte) {
  const auto json = Slurp(MAP_LAND_JSON);
  ASSERT_FALSE(json.empty());
  auto q = map::DecodeTopoJson(json, "land");
  ASSERT_TRUE(std::holds_alternative<map::QuantizedRings>(q)) << std::get<std::string>(q);
  const auto bytes = map::EncodeRings(std::get<map::QuantizedRings>(q));
  const auto file = Slurp(MAP_LAND_BIN);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), file);
  const auto rings = map::DecodeRings(bytes);
  ASSERT_TRUE(rings);
  EXPECT_EQ(rings->rings.size(), static_cast<std::size_t>(VASTREL_LAND_RINGS));
  EXPECT_EQ(rings->points.size(), static_cast<std::size_t>(VASTREL_LAND_POINTS));
  for (const auto& p : rings->points) {
    ASSERT_GE(p.lon, -180.0);
    ASSERT_LE(p.lon, 180.0);
    ASSERT_GE(p.lat, -90.0);
    ASSERT_LE(p.lat, 90.0);
  }
}

TEST(TopoJson, ArcsJoinedReversedAndUndeltaed) {
  // Two arcs: 0 goes (0,0)->(2,0)->(2,2); 1 goes (0,0)->(0,2)->(2,2). Ring [0, ~1] is the square.
  const char* text = R"({"type":"Topology","transform":{"scale":[0.5,1],"translate":[10,-5]},
    "arcs":[[[0,0],[2,0],[0,2]],[[0,0],[0,2],[2,0]]],
    "objects":{"land":{"type":"GeometryCollection","geometries":[{"type":"Polygon","arcs":[[0,-2]]}]}}})";
  auto q = map::DecodeTopoJson(text, "land");
  ASSERT_TRUE(std::holds_alternative<map::QuantizedRings>(q));
  const auto& r = std::get<map::QuantizedRings>(q);
  ASSERT_EQ(r.rings.size(), 1u);
  EXPECT_EQ(r.rings[0], (std::vector<std::int64_t>{0, 0, 2, 0, 2, 2, 0, 2, 0, 0}));
  const auto rings = map::DecodeRings(map::EncodeRings(r));
  ASSERT_TRUE(rings);
  EXPECT_DOUBLE_EQ(rings->points[2].lon, 11);  // 2 * 0.5 + 10
  EXPECT_DOUBLE_EQ(rings->points[2].lat, -3);  // 2 * 1 - 5
}

TEST(TopoJson, BadTextGivesAReason) {
  const char* rows[] = {
      "", "[1,2]", R"({"type":"Topology"})",
      R"({"type":"Topology","arcs":[],"objects":{}})",
      R"({"type":"Topology","arcs":[[[0,0]]],"objects":{"land":{"type":"Polygon","arcs":[[5]]}}})",
      R"({"type":"Topology","arcs":[[["a",0]]],"objects":{"land":{"type":"Polygon","arcs":[[0]]}}})",
      R"({"type":"Topology","arcs":[[[1e300,0]]],"objects":{"land":{"type":"Polygon","arcs":[[0]]}}})",
  };
  for (const char* t : rows) EXPECT_TRUE(std::holds_alternative<std::string>(map::DecodeTopoJson(t, "land"))) << t;
}

TEST(LandRings, CorruptBytesRefused) {
  map::QuantizedRings q;
  q.rings = {{0, 0, 100, 0, 100, 100}};
  const auto good = map::EncodeRings(q);
  ASSERT_TRUE(map::DecodeRings(good));
  for (std::size_t cut = 0; cut < good.size(); ++cut)
    EXPECT_FALSE(map::DecodeRings(std::span(good.data(), cut))) << cut;
  auto huge = good;
  huge[4] = 0xFF;  // a ring count far beyond the bytes
  huge[7] = 0x7F;
  EXPECT_FALSE(map::DecodeRings(huge));
  auto bad = good;
  bad[0] = 'X';
  EXPECT_FALSE(map::DecodeRings(bad));
}

}  // namespace
