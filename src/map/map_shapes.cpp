// Reading shapes from the store, and finding the shape under the pointer.
#include "map/map_shapes.h"

#include <algorithm>
#include <cmath>

#include "messages/sqlite_db.h"

namespace map {
namespace {

ShapeKind KindOf(std::string_view k) {
  if (k == "line") return ShapeKind::Line;
  if (k == "area") return ShapeKind::Area;
  if (k == "circle") return ShapeKind::Circle;
  return ShapeKind::Point;
}

void Finish(MapShape& s, double radius_nm) {
  if (s.points.empty()) return;
  s.centre = s.points.front();
  if (s.kind == ShapeKind::Circle) {
    auto outline = EarthCircle(s.centre, radius_nm, 72);
    if (outline.empty()) s.kind = ShapeKind::Point;
    else s.points = std::move(outline);
  } else {
    KeepTogether(s.points);
    s.centre = s.points.front();
  }
  // Too few points for their kind: drawn as what they can be.
  if (s.kind == ShapeKind::Area && s.points.size() < 3) s.kind = s.points.size() == 2 ? ShapeKind::Line : ShapeKind::Point;
  if (s.kind == ShapeKind::Line && s.points.size() < 2) s.kind = ShapeKind::Point;
  for (const auto& p : s.points) s.box.Add(p);
}

double SegmentDistance(Pixel p, Pixel a, Pixel b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len = dx * dx + dy * dy;
  const double t = len > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len, 0.0, 1.0) : 0.0;
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

}  // namespace

std::vector<MapShape> ReadMapShapes(const std::string& path, const messages::FilterSql& filter, std::size_t max_shapes) {
  auto db = messages::Database::Open(path, SQLITE_OPEN_READONLY);
  messages::Statement s(db,
                        "SELECT p.id, p.shape, p.kind, p.lat, p.lon, p.radius_nm, m.priority, w.state, w.series,"
                        " w.number, w.year, substr(m.text, 1, 200)"
                        " FROM positions p JOIN message_rows m ON m.id = p.id LEFT JOIN warnings w ON w.id = p.id"
                        " WHERE (" + filter.where + ") ORDER BY p.id, p.shape, p.seq");
  filter.BindTo(s);
  std::vector<MapShape> out;
  std::int64_t id = -1, shape = -1;
  double radius = 0;
  while (s.Step()) {
    const std::int64_t rid = s.ColumnInt64(0), rshape = s.ColumnInt64(1);
    const double lat = s.ColumnDouble(3), lon = s.ColumnDouble(4);
    if (!std::isfinite(lat) || !std::isfinite(lon) || std::fabs(lat) > 90 || std::fabs(lon) > 180) continue;
    if (rid != id || rshape != shape) {
      if (!out.empty()) Finish(out.back(), radius);
      if (out.size() >= max_shapes) return out;
      id = rid;
      shape = rshape;
      MapShape m;
      m.message = rid;
      m.kind = KindOf(s.ColumnText(2));
      radius = s.ColumnIsNull(5) ? 0 : s.ColumnDouble(5);
      m.priority = static_cast<int>(std::clamp<std::int64_t>(s.ColumnInt64(6), 0, 3));
      const auto state = s.ColumnText(7);
      m.muted = state == "cancelled" || state == "expired" || state == "dropped";
      if (!s.ColumnIsNull(8)) {
        m.warning = std::string(s.ColumnText(8));
        if (!s.ColumnIsNull(9)) m.warning += " " + std::to_string(s.ColumnInt64(9));
        if (!s.ColumnIsNull(10)) m.warning += "/" + std::to_string(s.ColumnInt64(10) % 100);
      }
      auto text = s.ColumnText(11);
      m.first_line = std::string(text.substr(0, text.find_first_of("\r\n")));
      out.push_back(std::move(m));
    }
    out.back().points.push_back({lon, lat});
  }
  if (!out.empty()) Finish(out.back(), radius);
  return out;
}

int HitShape(const std::vector<MapShape>& shapes, const View& view, double x, double y, double tolerance_px) {
  int best = -1;
  double best_d = tolerance_px;
  const Pixel p{x, y};
  const double turn_px = 2 * kPi * view.pixels_per_radian;
  for (std::size_t i = 0; i < shapes.size(); ++i) {
    const auto& s = shapes[i];
    if (s.points.empty()) continue;
    // The copy of the shape nearest the pointer, turn by turn of the globe.
    const Pixel c = view.ToPixel(s.centre);
    const double shift = std::round((x - c.x) / turn_px) * turn_px;
    std::vector<Pixel> px;
    px.reserve(s.points.size());
    for (const auto& g : s.points) {
      Pixel q = view.ToPixel(g);
      q.x += shift;
      px.push_back(q);
    }
    double d = 1e300;
    if (px.size() == 1) d = std::hypot(x - px[0].x, y - px[0].y);
    for (std::size_t k = 0; k + 1 < px.size(); ++k) d = std::min(d, SegmentDistance(p, px[k], px[k + 1]));
    const bool closed = s.kind == ShapeKind::Area || s.kind == ShapeKind::Circle;
    if (closed && px.size() >= 3) {
      d = std::min(d, SegmentDistance(p, px.back(), px.front()));
      bool inside = false;
      for (std::size_t a = 0, b = px.size() - 1; a < px.size(); b = a++) {
        if ((px[a].y > y) != (px[b].y > y) && x < (px[b].x - px[a].x) * (y - px[a].y) / (px[b].y - px[a].y) + px[a].x)
          inside = !inside;
      }
      // Inside an area counts as a little farther than its edge, so that a point in it still wins.
      if (inside) d = std::min(d, tolerance_px * 0.75);
    }
    if (d < best_d || (d == best_d && best < 0 && d <= tolerance_px)) {
      best_d = d;
      best = static_cast<int>(i);
    }
  }
  return best;
}

}  // namespace map
