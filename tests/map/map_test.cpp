// The map's portable half: Mercator view, graticule, position texts, the 180th meridian, clipping, land rings.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "land_rings_count.h"
#include "map/land_rings.h"
#include "map/mercator.h"
#include "map/project.h"
#include "map/topojson.h"

using map::GeoPoint;

// 1000 x 800 pixels, 0 N 0 E (or the centre given, in radians) in the middle.
static map::View WorldView(double pixelsPerRadian = 100, double x = 0, double y = 0) {
  return map::View{.centre_x = x, .centre_y = y, .pixels_per_radian = pixelsPerRadian, .width = 1000, .height = 800};
}

// `points` as one path, projected into `v` in place of what `out` held.
static void Project(const std::vector<GeoPoint>& points, const map::View& v, bool closed, map::PixelPaths& out) {
  map::WorldPaths w;
  w.Add(points.data(), points.size());
  out.Clear(), map::Project(w, v, closed, out);
}

TEST(Mercator, KnownPositionsLandOnTheirPixelsAndPixelsReadBack) {
  const struct { GeoPoint p; double x, y; } rows[] = {
      {{0, 0}, 500, 400},
      {{90, 0}, 657.08, 400},    // 500 + 100 * pi/2
      {{-180, 0}, 185.84, 400},  // 500 - 100 * pi
      {{0, 45}, 500, 311.86},    // 400 - 100 * ln(tan(67.5 deg)) = 400 - 88.14
      {{0, -60}, 500, 531.70},   // 400 + 100 * 1.3170
  };
  for (const auto& r : rows) {
    const auto px = WorldView().ToPixel(r.p);
    EXPECT_TRUE(std::fabs(px.x - r.x) < 0.01 && std::fabs(px.y - r.y) < 0.01) << r.p.lon << "," << r.p.lat << ": " << px.x << "," << px.y;
  }
  const map::View v = WorldView(5000, 2.0, 0.5);  // about 114.6 E
  for (GeoPoint p : {GeoPoint{114.6, 27.0}, GeoPoint{115.1, 26.5}, GeoPoint{114.0, 28.1}}) {
    const auto px = v.ToPixel(p);
    const auto back = v.ToGeo(px.x, px.y);
    EXPECT_TRUE(std::fabs(back.lon - p.lon) < 1e-9 && std::fabs(back.lat - p.lat) < 1e-9) << p.lon << "," << p.lat;
  }
}

TEST(Mercator, ZoomKeepsThePointUnderThePointerAndTheViewStaysWithin80NorthAndSouth) {
  map::View v = WorldView();
  v.Clamp();
  const GeoPoint before = v.ToGeo(700, 300);
  v.ZoomAt(700, 300, 4);
  EXPECT_TRUE(std::fabs(v.ToGeo(700, 300).lon - before.lon) < 1e-9 && std::fabs(v.ToGeo(700, 300).lat - before.lat) < 1e-9);

  v = WorldView(1000);
  v.PanBy(0, 1e6);  // dragged far down: the top edge stops at 80 N
  EXPECT_NEAR(v.ToGeo(0, 0).lat, 80.0, 1e-6);
  v.PanBy(0, -1e7);
  EXPECT_NEAR(v.ToGeo(0, 800).lat, -80.0, 1e-6);
  v.ZoomAt(500, 400, 1e-6);  // cannot zoom out beyond the band filling the window
  EXPECT_GE(v.pixels_per_radian, v.MinScale());
}

TEST(Graticule, StepFollowsTheZoom) {
  // Spacing of a step on the equator: minutes/60 * pi/180 * scale; the finest of at least 80 px.
  const struct { double scale; int step; } rows[] = {
      {100, 1800}, {400, 1800}, {500, 600}, {1000, 300}, {2000, 300}, {5000, 60}, {30000, 10}, {1e6, 10}};
  for (const auto& r : rows) EXPECT_EQ(map::GraticuleStepMinutes(r.scale, 80), r.step) << r.scale;
}

TEST(Texts, PositionsAndLabels) {
  const struct { GeoPoint p; const char* text; } rows[] = {{{-0.1234, 51.5}, "51-30.0N 000-07.4W"},
      {{179.99999, -33.95}, "33-57.0S 180-00.0E"}, {{-70.5, 0}, "00-00.0N 070-30.0W"}, {{std::nan(""), 1e9}, "90-00.0N 000-00.0E"}};
  for (const auto& r : rows) EXPECT_EQ(map::FormatPosition(r.p), r.text);
  const struct { char axis; double deg; int step; const char* text; } labels[] = {{'N', 30, 1800, "30\xC2\xB0N"},
      {'N', -45.5, 10, "45\xC2\xB0" "30'S"}, {'E', 0, 600, "0\xC2\xB0"}, {'E', 240, 1800, "120\xC2\xB0W"}, {'E', -180, 1800, "180\xC2\xB0"}};
  for (const auto& l : labels)
    EXPECT_EQ(l.axis == 'N' ? map::FormatLatitudeLabel(l.deg, l.step) : map::FormatLongitudeLabel(l.deg, l.step), l.text);
}

TEST(Projection, ShapeAcrossThe180thStaysWholeAndALineLeavingTheViewIsClipped) {
  // A line crossing westward is moved into one turn.
  std::vector<GeoPoint> line = {{-170, 0}, {170, 0}};
  map::KeepTogether(line);
  EXPECT_EQ((std::vector<double>{line[0].lon, line[1].lon}), (std::vector<double>{190, 170}));
  // A box from 175 E to 175 W: its longitudes run on past 180 instead of jumping back.
  std::vector<GeoPoint> box = {{175, 10}, {-175, 10}, {-175, 20}, {175, 20}};
  map::KeepTogether(box);
  EXPECT_EQ((std::vector<double>{box[0].lon, box[1].lon, box[2].lon, box[3].lon}), (std::vector<double>{175, 185, 185, 175}));
  // Seen from 180 E at 200 px to the radian, the whole box lies within 18 px either side of the middle.
  map::View v = WorldView(200, map::kPi);
  map::PixelPaths out;
  Project(box, v, true, out);
  ASSERT_EQ(out.counts.size(), 1u);
  for (const auto& p : out.points) EXPECT_NEAR(p.x, 500, 18);
  // Seen from 143 W it is drawn once, whole, as the copy west of the 180th.
  v.centre_x = -2.5;
  Project(box, v, true, out);
  EXPECT_EQ(out.counts, std::vector<int>{4});
  // A line leaving the view is cut at its edge: at 400 px to the radian the window spans 143 degrees;
  // the clip box reaches 8 px beyond it.
  Project({{0, 0}, {170, 0}}, WorldView(400), false, out);
  ASSERT_EQ(out.counts.size(), 1u);
  EXPECT_EQ((std::vector<std::int32_t>{out.points[0].x, out.points[1].x}), (std::vector<std::int32_t>{500, 1008}));
}

TEST(Circles, RadiusOnTheEarth) {
  // 60 nm about 0 N 0 E: one degree of arc each way; at 60 N the east-west reach is about 2 degrees.
  auto c = map::EarthCircle({0, 0}, 60, 4);
  ASSERT_EQ(c.size(), 4u);
  EXPECT_TRUE(std::fabs(c[0].lat - 1.0) < 0.01 && std::fabs(c[1].lon - 1.0) < 0.01) << c[0].lat << " " << c[1].lon;
  EXPECT_NEAR(map::EarthCircle({0, 60}, 60, 4).at(1).lon, 2.0, 0.02);
  c = map::EarthCircle({179.5, 0}, 60, 8);  // across the 180th, kept on one side
  for (const auto& p : c) EXPECT_GT(p.lon, 178);
  EXPECT_TRUE(map::EarthCircle({0, 0}, -1, 8).empty());
}

TEST(Land, BuildFileMatchesThePortableReaderByteForByte) {
  const auto slurp = [](const char* path) { return std::string(std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}); };
  auto q = map::DecodeTopoJson(slurp(MAP_LAND_JSON), "land");
  ASSERT_TRUE(std::holds_alternative<map::QuantizedRings>(q)) << std::get<std::string>(q);
  const auto bytes = map::EncodeRings(std::get<map::QuantizedRings>(q));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), slurp(MAP_LAND_BIN));
  const auto rings = map::DecodeRings(bytes);
  ASSERT_TRUE(rings);
  EXPECT_EQ(std::make_pair(rings->rings.size(), rings->points.size()),
            std::make_pair(std::size_t{VASTREL_LAND_RINGS}, std::size_t{VASTREL_LAND_POINTS}));
  for (const auto& p : rings->points)
    ASSERT_TRUE(std::fabs(p.lon) <= 180 && std::fabs(p.lat) <= 90) << p.lon << " " << p.lat;
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

TEST(TopoJson, BadTextAndCorruptRingBytesAreRefused) {
  const char* rows[] = {
      "", "[1,2]", R"({"type":"Topology"})",
      R"({"type":"Topology","arcs":[],"objects":{}})",
      R"({"type":"Topology","arcs":[[[0,0]]],"objects":{"land":{"type":"Polygon","arcs":[[5]]}}})",
      R"({"type":"Topology","arcs":[[["a",0]]],"objects":{"land":{"type":"Polygon","arcs":[[0]]}}})",
      R"({"type":"Topology","arcs":[[[1e300,0]]],"objects":{"land":{"type":"Polygon","arcs":[[0]]}}})",
  };
  for (const char* t : rows) EXPECT_TRUE(std::holds_alternative<std::string>(map::DecodeTopoJson(t, "land"))) << t;
  // Ring bytes cut short, claiming far more rings than they hold, or with a bad mark.
  map::QuantizedRings q;
  q.rings = {{0, 0, 100, 0, 100, 100}};
  const auto good = map::EncodeRings(q);
  ASSERT_TRUE(map::DecodeRings(good));
  for (std::size_t cut = 0; cut < good.size(); ++cut)
    EXPECT_FALSE(map::DecodeRings(std::span(good.data(), cut))) << cut;
  // A ring count far beyond the bytes; a bad mark.
  for (const std::vector<std::pair<int, int>>& change : {std::vector<std::pair<int, int>>{{4, 0xFF}, {7, 0x7F}}, {{0, 'X'}}}) {
    auto bytes = good;
    for (const auto& [at, value] : change) bytes[at] = static_cast<std::uint8_t>(value);
    EXPECT_FALSE(map::DecodeRings(bytes)) << change[0].first;
  }
}
