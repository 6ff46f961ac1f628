// Projection and clipping for the map's redraw; the hot part of painting, kept allocation-free.
#include "map/project.h"

#include <algorithm>
#include <cmath>

namespace map {
namespace {

constexpr double kDeg = kPi / 180.0;
constexpr double kTurn = 2 * kPi;

struct P {
  double x, y;
};

// Sutherland-Hodgman against one edge of the clip box.
template <class Inside, class Cross>
void ClipEdge(const std::vector<P>& in, std::vector<P>& out, Inside inside, Cross cross) {
  out.clear();
  if (in.empty()) return;
  P prev = in.back();
  bool prev_in = inside(prev);
  for (const P& cur : in) {
    const bool cur_in = inside(cur);
    if (cur_in != prev_in) out.push_back(cross(prev, cur));
    if (cur_in) out.push_back(cur);
    prev = cur;
    prev_in = cur_in;
  }
}

void Emit(const std::vector<P>& pts, PixelPaths& out, std::uint32_t owner, std::size_t min_points) {
  const std::size_t start = out.points.size();
  for (const P& p : pts) {
    const IntPoint q{static_cast<std::int32_t>(std::lround(p.x)), static_cast<std::int32_t>(std::lround(p.y))};
    if (out.points.size() > start && out.points.back().x == q.x && out.points.back().y == q.y) continue;
    out.points.push_back(q);
  }
  const std::size_t n = out.points.size() - start;
  if (n < min_points) {
    out.points.resize(start);
    return;
  }
  out.counts.push_back(static_cast<int>(n));
  out.owners.push_back(owner);
}

}  // namespace

void WorldPaths::Add(const GeoPoint* points, std::size_t n) {
  Path path{xy.size() / 2, n, 1e300, 1e300, -1e300, -1e300};
  for (std::size_t i = 0; i < n; ++i) {
    const double x = points[i].lon * kDeg, y = MercatorY(points[i].lat);
    xy.push_back(x);
    xy.push_back(y);
    path.x0 = std::min(path.x0, x);
    path.x1 = std::max(path.x1, x);
    path.y0 = std::min(path.y0, y);
    path.y1 = std::max(path.y1, y);
  }
  paths.push_back(path);
}

WorldPaths ToWorld(const Rings& rings) {
  WorldPaths w;
  w.xy.reserve(rings.points.size() * 2);
  w.paths.reserve(rings.rings.size());
  for (const auto& r : rings.rings) w.Add(rings.points.data() + r.first, r.count);
  return w;
}

void Project(const WorldPaths& world, const View& view, bool closed, PixelPaths& out) {
  const double s = view.pixels_per_radian;
  const double hw = view.width / 2.0, hh = view.height / 2.0;
  // The view in world units, and a clip box a little wider so that clipped edges stay off screen.
  const double vx0 = view.centre_x - hw / s, vx1 = view.centre_x + hw / s;
  const double vy0 = view.centre_y - hh / s, vy1 = view.centre_y + hh / s;
  const double m = 8;
  const double cx0 = -m, cy0 = -m, cx1 = view.width + m, cy1 = view.height + m;
  thread_local std::vector<P> a, b;
  for (std::uint32_t k = 0; k < world.paths.size(); ++k) {
    const auto& path = world.paths[k];
    if (path.count < 2 || path.y1 < vy0 || path.y0 > vy1) continue;
    // Each turn of the globe whose copy of the path meets the view.
    const double t0 = std::ceil((vx0 - path.x1) / kTurn), t1 = std::floor((vx1 - path.x0) / kTurn);
    for (double t = t0; t <= t1; ++t) {
      const double off = t * kTurn;
      const double* xy = world.xy.data() + 2 * path.first;
      a.clear();
      for (std::size_t i = 0; i < path.count; ++i)
        a.push_back({(xy[2 * i] + off - view.centre_x) * s + hw, (view.centre_y - xy[2 * i + 1]) * s + hh});
      const bool inside = (path.x0 + off - view.centre_x) * s + hw >= cx0 &&
                          (path.x1 + off - view.centre_x) * s + hw <= cx1 &&
                          (view.centre_y - path.y1) * s + hh >= cy0 && (view.centre_y - path.y0) * s + hh <= cy1;
      if (inside) {
        Emit(a, out, k, closed ? 3 : 2);
        continue;
      }
      if (closed) {
        ClipEdge(a, b, [&](P p) { return p.x >= cx0; },
                 [&](P p, P q) { return P{cx0, p.y + (q.y - p.y) * (cx0 - p.x) / (q.x - p.x)}; });
        ClipEdge(b, a, [&](P p) { return p.x <= cx1; },
                 [&](P p, P q) { return P{cx1, p.y + (q.y - p.y) * (cx1 - p.x) / (q.x - p.x)}; });
        ClipEdge(a, b, [&](P p) { return p.y >= cy0; },
                 [&](P p, P q) { return P{p.x + (q.x - p.x) * (cy0 - p.y) / (q.y - p.y), cy0}; });
        ClipEdge(b, a, [&](P p) { return p.y <= cy1; },
                 [&](P p, P q) { return P{p.x + (q.x - p.x) * (cy1 - p.y) / (q.y - p.y), cy1}; });
        Emit(a, out, k, 3);
        continue;
      }
      // Open paths: Liang-Barsky per segment, joining segments that continue one another.
      b.clear();
      for (std::size_t i = 0; i + 1 < a.size(); ++i) {
        const P p = a[i], q = a[i + 1];
        double u0 = 0, u1 = 1;
        const double dx = q.x - p.x, dy = q.y - p.y;
        bool keep = true;
        const double pp[4] = {-dx, dx, -dy, dy};
        const double qq[4] = {p.x - cx0, cx1 - p.x, p.y - cy0, cy1 - p.y};
        for (int e = 0; e < 4 && keep; ++e) {
          if (pp[e] == 0) {
            if (qq[e] < 0) keep = false;
          } else {
            const double r = qq[e] / pp[e];
            if (pp[e] < 0) u0 = std::max(u0, r);
            else u1 = std::min(u1, r);
            if (u0 > u1) keep = false;
          }
        }
        if (!keep) {
          if (b.size() >= 2) Emit(b, out, k, 2);
          b.clear();
          continue;
        }
        const P s0{p.x + u0 * dx, p.y + u0 * dy}, s1{p.x + u1 * dx, p.y + u1 * dy};
        if (b.empty() || u0 > 0) {
          if (b.size() >= 2) Emit(b, out, k, 2);
          b.clear();
          b.push_back(s0);
        }
        b.push_back(s1);
        if (u1 < 1) {
          Emit(b, out, k, 2);
          b.clear();
        }
      }
      if (b.size() >= 2) Emit(b, out, k, 2);
    }
  }
}

}  // namespace map
