// The map's portable drawing work: what a redraw and a pan frame cost before GDI draws the paths.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

#include "map/land_rings.h"
#include "map/mercator.h"
#include "map/project.h"

namespace {

std::vector<std::uint8_t> LandBytes() {
  std::ifstream f(MAP_LAND_BIN, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

struct Scene {
  map::WorldPaths land, closed, open;
  std::vector<map::GeoPoint> points;
  map::View view;
  Scene() {
    const auto bytes = LandBytes();
    land = map::ToWorld(*map::DecodeRings(bytes));
    // 10,000 shapes as messages bring them: a quarter each points, lines, areas and circles.
    std::mt19937 rng(20261208);
    std::uniform_real_distribution<double> lon(-180, 180), lat(-70, 70), off(-3, 3);
    for (int i = 0; i < 10000; ++i) {
      const map::GeoPoint c{lon(rng), lat(rng)};
      std::vector<map::GeoPoint> pts;
      switch (i % 4) {
        case 0: points.push_back(c); break;
        case 1:
          for (int k = 0; k < 4; ++k) pts.push_back({c.lon + off(rng), c.lat + off(rng)});
          map::KeepTogether(pts);
          open.Add(pts.data(), pts.size());
          break;
        case 2:
          for (int k = 0; k < 6; ++k) pts.push_back({c.lon + off(rng), c.lat + off(rng)});
          map::KeepTogether(pts);
          closed.Add(pts.data(), pts.size());
          break;
        default:
          pts = map::EarthCircle(c, 30, 72);
          closed.Add(pts.data(), pts.size());
      }
    }
    view.Resize(1920, 1080);
    view.pixels_per_radian = 0;
    view.Clamp();  // the whole chart
  }
};

Scene& TheScene() {
  static Scene s;
  return s;
}

void Redraw(const map::View& v, map::PixelPaths& out) {
  const Scene& s = TheScene();
  out.Clear();
  map::Project(s.land, v, true, out);
  map::Project(s.closed, v, true, out);
  map::Project(s.open, v, false, out);
  for (const auto& p : s.points) benchmark::DoNotOptimize(v.ToPixel(p));
}

// A whole redraw of the full chart at 1920x1080.
void BM_RedrawWholeChart(benchmark::State& state) {
  map::PixelPaths out;
  const map::View v = TheScene().view;
  for (auto _ : state) {
    Redraw(v, out);
    benchmark::DoNotOptimize(out.points.data());
  }
  state.counters["paths"] = static_cast<double>(out.counts.size());
  state.counters["points"] = static_cast<double>(out.points.size());
}
BENCHMARK(BM_RedrawWholeChart)->Unit(benchmark::kMillisecond);

// A redraw zoomed on the English Channel (8 times the whole chart): most rings clipped or culled.
void BM_RedrawZoomed(benchmark::State& state) {
  map::PixelPaths out;
  map::View v = TheScene().view;
  v.Fit({-6, 48, 3, 52, false}, 0);
  for (auto _ : state) {
    Redraw(v, out);
    benchmark::DoNotOptimize(out.points.data());
  }
}
BENCHMARK(BM_RedrawZoomed)->Unit(benchmark::kMillisecond);

// Pan frames: the view moved 5 px between redraws, as a drag does; frames per second as a counter.
void BM_PanFrames(benchmark::State& state) {
  map::PixelPaths out;
  map::View v = TheScene().view;
  v.ZoomAt(960, 540, 3);
  for (auto _ : state) {
    v.PanBy(5, 1);
    Redraw(v, out);
  }
  state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PanFrames)->Unit(benchmark::kMillisecond);

// Decoding the embedded land (once per program start).
void BM_DecodeLand(benchmark::State& state) {
  const auto bytes = LandBytes();
  for (auto _ : state) benchmark::DoNotOptimize(map::DecodeRings(bytes));
  state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_DecodeLand)->Unit(benchmark::kMillisecond);

// What the map keeps in memory for the land and the 10,000 shapes (world coordinates, bounds).
void BM_WorkingSet(benchmark::State& state) {
  const Scene& s = TheScene();
  const auto size = [](const map::WorldPaths& w) {
    return w.xy.capacity() * sizeof(double) + w.paths.capacity() * sizeof(map::WorldPaths::Path);
  };
  double land = 0, shapes = 0;
  for (auto _ : state) {
    land = static_cast<double>(size(s.land));
    shapes = static_cast<double>(size(s.closed) + size(s.open) + s.points.capacity() * sizeof(map::GeoPoint));
  }
  state.counters["land_MB"] = land / 1e6;
  state.counters["shapes_MB"] = shapes / 1e6;
}
BENCHMARK(BM_WorkingSet);

}  // namespace

BENCHMARK_MAIN();
