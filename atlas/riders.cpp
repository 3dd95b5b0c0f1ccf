#include "atlas/riders.h"

#include <algorithm>
#include <array>
#include <tuple>

namespace vellumar::atlas {

namespace {

bool has_area(const FlatChart& chart, const FaceGeometry& geometry) {
    return std::any_of(chart.mesh.faces.begin(), chart.mesh.faces.end(),
                       [&](std::uint32_t f) { return geometry.area[f] > geometry.area_floor; });
}

// The chart vertices every mesh vertex became, searchable by mesh vertex
// and by position.
class Homes {
  public:
    Homes(const AtlasMesh& mesh, const std::vector<FlatChart>& charts,
          const std::vector<std::uint32_t>& order)
        : mesh_(mesh) {
        const auto indices = mesh.indices();
        for (std::uint32_t slot = 0; slot < order.size(); ++slot) {
            const ChartMesh& cm = charts[order[slot]].mesh;
            for (std::size_t c = 0; c < cm.corner_vertex.size(); ++c) {
                by_vertex_.push_back(
                    {indices[3 * cm.faces[c / 3] + c % 3], slot, cm.corner_vertex[c]});
            }
        }
        std::sort(by_vertex_.begin(), by_vertex_.end());
        by_vertex_.erase(std::unique(by_vertex_.begin(), by_vertex_.end()), by_vertex_.end());
    }

    static constexpr std::uint32_t kNone = kNoNeighbour;

    // The lowest slot holding mesh vertex v and its chart vertex there.
    bool first(std::uint32_t v, std::uint32_t& slot, std::uint32_t& local) const {
        const auto it = std::lower_bound(by_vertex_.begin(), by_vertex_.end(), Home{v, 0, 0});
        if (it == by_vertex_.end() || it->vertex != v) {
            return false;
        }
        slot = it->slot;
        local = it->local;
        return true;
    }

    // Mesh vertex v's chart vertex in `slot`, else kNone.
    std::uint32_t in(std::uint32_t v, std::uint32_t slot) const {
        const auto it = std::lower_bound(by_vertex_.begin(), by_vertex_.end(), Home{v, slot, 0});
        return it != by_vertex_.end() && it->vertex == v && it->slot == slot ? it->local : kNone;
    }

    // The same as first(), for any mesh vertex at v's position.
    bool first_at(std::uint32_t v, std::uint32_t& slot, std::uint32_t& local) {
        const auto verts = mesh_.vertices();
        if (by_position_.empty()) {
            for (const Home& h : by_vertex_) {
                const AtlasVertex& p = verts[h.vertex];
                by_position_.push_back({p.x, p.y, p.z, h.slot, h.local});
            }
            std::sort(by_position_.begin(), by_position_.end());
        }
        const AtlasVertex& p = verts[v];
        const auto it = std::lower_bound(by_position_.begin(), by_position_.end(),
                                         std::make_tuple(p.x, p.y, p.z, 0u, 0u));
        if (it == by_position_.end() || std::get<0>(*it) != p.x || std::get<1>(*it) != p.y ||
            std::get<2>(*it) != p.z) {
            return false;
        }
        slot = std::get<3>(*it);
        local = std::get<4>(*it);
        return true;
    }

  private:
    struct Home {
        std::uint32_t vertex, slot, local;
        auto operator<=>(const Home&) const = default;
    };
    const AtlasMesh& mesh_;
    std::vector<Home> by_vertex_;
    std::vector<std::tuple<float, float, float, std::uint32_t, std::uint32_t>> by_position_;
};

} // namespace

std::vector<std::uint32_t> take_flat_charts(std::vector<FlatChart>& charts,
                                            const FaceGeometry& geometry,
                                            std::vector<std::uint32_t>& group_begin) {
    std::vector<std::uint32_t> faces;
    group_begin.assign(1, 0);
    if (std::none_of(charts.begin(), charts.end(),
                     [&](const FlatChart& c) { return has_area(c, geometry); })) {
        return faces; // nothing to ride on: the charts stay as they are
    }
    std::size_t kept = 0;
    for (std::size_t c = 0; c < charts.size(); ++c) {
        if (has_area(charts[c], geometry)) {
            if (kept != c) {
                charts[kept] = std::move(charts[c]);
            }
            ++kept;
            continue;
        }
        faces.insert(faces.end(), charts[c].mesh.faces.begin(), charts[c].mesh.faces.end());
        group_begin.push_back(static_cast<std::uint32_t>(faces.size()));
    }
    charts.resize(kept);
    return faces;
}

Riders seat_riders(const AtlasMesh& mesh, std::span<const std::uint32_t> faces,
                   std::span<const std::uint32_t> group_begin, const std::vector<FlatChart>& charts,
                   const std::vector<std::uint32_t>& order) {
    Riders out;
    out.faces.assign(faces.begin(), faces.end());
    out.slot.resize(faces.size());
    out.local.resize(3 * faces.size());
    if (faces.empty()) {
        return out;
    }
    const auto indices = mesh.indices();
    Homes homes(mesh, charts, order);
    for (std::size_t g = 0; g + 1 < group_begin.size(); ++g) {
        const std::span<const std::uint32_t> group =
            faces.subspan(group_begin[g], group_begin[g + 1] - group_begin[g]);
        // The host: by shared vertex, else by position, else any chart.
        std::uint32_t host = 0, anchor = 0;
        bool seated = false;
        for (int pass = 0; pass < 2 && !seated; ++pass) {
            for (std::size_t c = 0; c < 3 * group.size() && !seated; ++c) {
                const std::uint32_t v = indices[3 * group[c / 3] + c % 3];
                seated = pass == 0 ? homes.first(v, host, anchor) : homes.first_at(v, host, anchor);
            }
        }
        for (std::size_t i = 0; i < group.size(); ++i) {
            const std::size_t at = group_begin[g] + i;
            std::array<std::uint32_t, 3> local;
            std::uint32_t face_anchor = Homes::kNone;
            for (int k = 0; k < 3; ++k) {
                local[k] = homes.in(indices[3 * group[i] + k], host);
                if (face_anchor == Homes::kNone) {
                    face_anchor = local[k];
                }
            }
            if (face_anchor == Homes::kNone) {
                face_anchor = anchor;
            }
            // Three different chart vertices would span a UV triangle that
            // may cross the host's own triangles: the face becomes a point.
            const bool spans = local[0] != local[1] && local[1] != local[2] && local[2] != local[0];
            for (int k = 0; k < 3; ++k) {
                if (spans || local[k] == Homes::kNone) {
                    local[k] = face_anchor;
                }
                out.local[3 * at + k] = local[k];
            }
            out.slot[at] = host;
        }
    }
    return out;
}

} // namespace vellumar::atlas
