// The Mercator view, graticule steps, position texts, the 180th meridian and clipping.
#include <gtest/gtest.h>

#include <cmath>

#include "map/mercator.h"
#include "map/project.h"

namespace {

using map::GeoPoint;

map::View WorldView() {
  // 1000 x 800 pixels, 0 N 0 E in the middle, 100 pixels to the radian.
  map::View v;
  v.width = 1000;
  v.height = 800;
  v.pixels_per_radian = 100;
  return v;
}

TEST(Mercator, KnownPositionsLandOnTheirPixels) {
  const map::View v = WorldView();
  struct Row {
    GeoPoint p;
    double x, y;
  } rows[] = {
      {{0, 0}, 500, 400},
      {{90, 0}, 657.08, 400},    // 500 + 100 * pi/2
      {{-180, 0}, 185.84, 400},  // 500 - 100 * pi
      {{0, 45}, 500, 311.86},    // 400 - 100 * ln(tan(67.5 deg)) = 400 - 88.14
      {{0, -60}, 500, 531.70},   // 400 + 100 * 1.3170
  };
  for (const auto& r : rows) {
    const auto px = v.ToPixel(r.p);
    EXPECT_NEAR(px.x, r.x, 0.01) << r.p.lon << "," << r.p.lat;
    EXPECT_NEAR(px.y, r.y, 0.01) << r.p.lon << "," << r.p.lat;
  }
}

TEST(Mercator, PixelToPositionAndBackRoundTrips) {
  map::View v = WorldView();
  v.pixels_per_radian = 5000;
  v.centre_x = 2.0;  // about 114.6 E
  v.centre_y = 0.5;
  for (GeoPoint p : {GeoPoint{114.6, 27.0}, GeoPoint{115.1, 26.5}, GeoPoint{114.0, 28.1}}) {
    const auto px = v.ToPixel(p);
    const auto back = v.ToGeo(px.x, px.y);
    EXPECT_NEAR(back.lon, p.lon, 1e-9);
    EXPECT_NEAR(back.lat, p.lat, 1e-9);
  }
}

TEST(Mercator, ZoomKeepsThePointUnderThePointer) {
  map::View v = WorldView();
  v.Clamp();
  const GeoPoint before = v.ToGeo(700, 300);
  v.ZoomAt(700, 300, 4);
  const GeoPoint after = v.ToGeo(700, 300);
  EXPECT_NEAR(after.lon, before.lon, 1e-9);
  EXPECT_NEAR(after.lat, before.lat, 1e-9);
}

TEST(Mercator, ViewStaysWithin80NorthAndSouth) {
  map::View v = WorldView();
  v.pixels_per_radian = 1000;
  v.PanBy(0, 1e6);  // dragged far down: the top edge stops at 80 N
  EXPECT_NEAR(v.ToGeo(0, 0).lat, 80.0, 1e-6);
  v.PanBy(0, -1e7);
  EXPECT_NEAR(v.ToGeo(0, 800).lat, -80.0, 1e-6);
  v.ZoomAt(500, 400, 1e-6);  // cannot zoom out beyond the band filling the window
  EXPECT_GE(v.pixels_per_radian, v.MinScale());
}

TEST(Graticule, StepFollowsTheZoom) {
  // Spacing of a step on the equator: minutes/60 * pi/180 * scale; the finest of at least 80 px.
  struct Row {
    double scale;
    int step;
  } rows[] = {{100, 1800}, {400, 1800}, {500, 600}, {1000, 300}, {2000, 300}, {5000, 60}, {30000, 10}, {1e6, 10}};
  for (const auto& r : rows) EXPECT_EQ(map::GraticuleStepMinutes(r.scale, 80), r.step) << r.scale;
}

TEST(Texts, PositionsAndLabels) {
  EXPECT_EQ(map::FormatPosition({-0.1234, 51.5}), "51-30.0N 000-07.4W");
  EXPECT_EQ(map::FormatPosition({179.99999, -33.95}), "33-57.0S 180-00.0E");
  EXPECT_EQ(map::FormatPosition({-70.5, 0}), "00-00.0N 070-30.0W");
  EXPECT_EQ(map::FormatPosition({std::nan(""), 1e9}), "90-00.0N 000-00.0E");
  EXPECT_EQ(map::FormatLatitudeLabel(30, 1800), "30\xC2\xB0N");
  EXPECT_EQ(map::FormatLatitudeLabel(-45.5, 10), "45\xC2\xB0" "30'S");
  EXPECT_EQ(map::FormatLongitudeLabel(0, 600), "0\xC2\xB0");
  EXPECT_EQ(map::FormatLongitudeLabel(240, 1800), "120\xC2\xB0W");
  EXPECT_EQ(map::FormatLongitudeLabel(-180, 1800), "180\xC2\xB0");
}

TEST(Antimeridian, ShapeAcrossThe180thStaysWhole) {
  // A box from 175 E to 175 W: its longitudes run on past 180 instead of jumping back.
  std::vector<GeoPoint> box = {{175, 10}, {-175, 10}, {-175, 20}, {175, 20}};
  map::KeepTogether(box);
  EXPECT_DOUBLE_EQ(box[1].lon, 185);
  EXPECT_DOUBLE_EQ(box[2].lon, 185);
  // Seen from 180 E at 200 px to the radian, the whole box lies within 18 px either side of the middle.
  map::View v = WorldView();
  v.pixels_per_radian = 200;
  v.centre_x = map::kPi;
  map::WorldPaths w;
  w.Add(box.data(), box.size());
  map::PixelPaths out;
  map::Project(w, v, true, out);
  ASSERT_EQ(out.counts.size(), 1u);
  for (const auto& p : out.points) EXPECT_NEAR(p.x, 500, 18);
  // Seen from 143 W it is drawn once, whole, as the copy west of the 180th.
  v.centre_x = -2.5;
  out.Clear();
  map::Project(w, v, true, out);
  ASSERT_EQ(out.counts.size(), 1u);
  EXPECT_EQ(out.counts[0], 4);
}

TEST(Antimeridian, ShapeMovedIntoOneTurn) {
  std::vector<GeoPoint> line = {{-170, 0}, {170, 0}};  // crossing westward
  map::KeepTogether(line);
  EXPECT_DOUBLE_EQ(line[0].lon, 190);
  EXPECT_DOUBLE_EQ(line[1].lon, 170);
}

TEST(Circles, RadiusOnTheEarth) {
  // 60 nm about 0 N 0 E: one degree of arc each way; at 60 N the east-west reach is about 2 degrees.
  auto c = map::EarthCircle({0, 0}, 60, 4);
  ASSERT_EQ(c.size(), 4u);
  EXPECT_NEAR(c[0].lat, 1.0, 0.01);
  EXPECT_NEAR(c[1].lon, 1.0, 0.01);
  c = map::EarthCircle({0, 60}, 60, 4);
  EXPECT_NEAR(c[1].lon, 2.0, 0.02);
  c = map::EarthCircle({179.5, 0}, 60, 8);  // across the 180th, kept on one side
  for (const auto& p : c) EXPECT_GT(p.lon, 178);
  EXPECT_TRUE(map::EarthCircle({0, 0}, -1, 8).empty());
}

TEST(Clipping, LineLeavingTheViewIsCutAtItsEdge) {
  map::View v = WorldView();
  v.pixels_per_radian = 400;  // the window spans 143 degrees
  const std::vector<GeoPoint> line = {{0, 0}, {170, 0}};
  map::WorldPaths w;
  w.Add(line.data(), line.size());
  map::PixelPaths out;
  map::Project(w, v, false, out);
  ASSERT_EQ(out.counts.size(), 1u);
  EXPECT_EQ(out.points[0].x, 500);
  EXPECT_EQ(out.points[1].x, 1008);  // the clip box reaches 8 px beyond the window
}

}  // namespace
