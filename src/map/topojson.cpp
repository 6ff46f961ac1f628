// TopoJSON to rings: the build's land tool and the native cross-check share this reading.
#include "map/topojson.h"

#include <algorithm>
#include <cstdint>
#include <nlohmann/json.hpp>

namespace map {
namespace {

using Json = nlohmann::json;
using Arc = std::vector<std::int64_t>;  // x0, y0, x1, y1, ... absolute

struct Failure {
  std::string why;
};

std::int64_t Int(const Json& v) {
  if (!v.is_number()) throw Failure{"a position is not a number"};
  // Bounded so that summing a whole arc's deltas cannot overflow.
  const double d = v.get<double>();
  if (!(d > -1e12 && d < 1e12)) throw Failure{"a position is out of range"};
  return v.is_number_integer() ? v.get<std::int64_t>() : static_cast<std::int64_t>(d);
}

std::vector<Arc> ReadArcs(const Json& arcs, bool delta) {
  if (!arcs.is_array()) throw Failure{"no arcs array"};
  std::vector<Arc> out;
  out.reserve(arcs.size());
  for (const auto& arc : arcs) {
    if (!arc.is_array()) throw Failure{"an arc is not an array"};
    Arc a;
    a.reserve(arc.size() * 2);
    std::int64_t x = 0, y = 0;
    for (const auto& p : arc) {
      if (!p.is_array() || p.size() < 2) throw Failure{"an arc position is not a pair"};
      const std::int64_t px = Int(p[0]), py = Int(p[1]);
      x = delta ? x + px : px;
      y = delta ? y + py : py;
      a.push_back(x);
      a.push_back(y);
    }
    out.push_back(std::move(a));
  }
  return out;
}

std::vector<std::int64_t> Ring(const Json& indices, const std::vector<Arc>& arcs) {
  if (!indices.is_array()) throw Failure{"a ring is not an array of arc indices"};
  std::vector<std::int64_t> ring;
  for (const auto& index : indices) {
    if (!index.is_number_integer()) throw Failure{"an arc index is not an integer"};
    const std::int64_t i = index.get<std::int64_t>();
    const std::int64_t k = i < 0 ? ~i : i;
    if (k >= static_cast<std::int64_t>(arcs.size())) throw Failure{"an arc index is out of range"};
    const Arc& arc = arcs[static_cast<std::size_t>(k)];
    const std::size_t n = arc.size() / 2;
    // Consecutive arcs share their joining point; it is kept once.
    for (std::size_t j = ring.empty() ? 0 : 1; j < n; ++j) {
      const std::size_t at = i < 0 ? n - 1 - j : j;
      ring.push_back(arc[2 * at]);
      ring.push_back(arc[2 * at + 1]);
    }
  }
  return ring;
}

void Geometry(const Json& g, const std::vector<Arc>& arcs, QuantizedRings& out) {
  if (!g.is_object()) throw Failure{"a geometry is not an object"};
  const std::string type = g.value("type", "");
  if (type == "GeometryCollection") {
    const auto it = g.find("geometries");
    if (it == g.end() || !it->is_array()) throw Failure{"a collection without geometries"};
    for (const auto& child : *it) Geometry(child, arcs, out);
    return;
  }
  const auto polygon = [&](const Json& p) {
    if (!p.is_array()) throw Failure{"a polygon is not an array of rings"};
    for (const auto& r : p) {
      auto ring = Ring(r, arcs);
      if (ring.size() >= 6) out.rings.push_back(std::move(ring));
    }
  };
  const auto it = g.find("arcs");
  if (type == "Polygon") {
    if (it == g.end()) throw Failure{"a polygon without arcs"};
    polygon(*it);
  } else if (type == "MultiPolygon") {
    if (it == g.end() || !it->is_array()) throw Failure{"a multipolygon without arcs"};
    for (const auto& p : *it) polygon(p);
  }
  // Points and lines carry no land; they are passed over.
}

}  // namespace

std::variant<QuantizedRings, std::string> DecodeTopoJson(std::string_view text, const std::string& object) {
  const Json doc = Json::parse(text, nullptr, false);
  if (doc.is_discarded()) return std::string("not JSON");
  try {
    if (!doc.is_object() || doc.value("type", "") != "Topology") throw Failure{"not a Topology"};
    QuantizedRings out;
    const auto tr = doc.find("transform");
    const bool delta = tr != doc.end();
    if (delta) {
      const Json& t = *tr;
      if (!t.is_object() || !t.contains("scale") || !t.contains("translate") || !t["scale"].is_array() ||
          !t["translate"].is_array() || t["scale"].size() != 2 || t["translate"].size() != 2 ||
          !t["scale"][0].is_number() || !t["scale"][1].is_number() || !t["translate"][0].is_number() ||
          !t["translate"][1].is_number())
        throw Failure{"a transform without two scales and two translations"};
      out.scale_x = t["scale"][0].get<double>();
      out.scale_y = t["scale"][1].get<double>();
      out.translate_x = t["translate"][0].get<double>();
      out.translate_y = t["translate"][1].get<double>();
    }
    const auto arcs_it = doc.find("arcs");
    if (arcs_it == doc.end()) throw Failure{"no arcs array"};
    const auto arcs = ReadArcs(*arcs_it, delta);
    const auto objects = doc.find("objects");
    if (objects == doc.end() || !objects->is_object() || !objects->contains(object))
      throw Failure{"no object named " + object};
    Geometry((*objects)[object], arcs, out);
    return out;
  } catch (const Failure& f) {
    return f.why;
  } catch (const nlohmann::json::exception& e) {
    return std::string("unexpected JSON: ") + e.what();
  }
}

}  // namespace map
