#include "atlas/create.h"

#include "atlas/chart_check.h"
#include "atlas/chart_packer.h"
#include "atlas/face_geometry.h"
#include "atlas/riders.h"
#include "atlas/segment.h"
#include "atlas/topology.h"
#include "atlas/void_cuts.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <new>
#include <numeric>

namespace vellumar::atlas {

namespace {

// Charts that together hold less than this share of the mesh's area may
// merge along part of their border: on scenes of many small parts each
// part unfolds into one net (a box into a cross) instead of a chart per
// side, and every chart saved is a gutter saved.
constexpr double kSmallPartShare = 0.02;

// Atlases of at most this many charts try cutting up to kVoidCuts of them.
constexpr std::size_t kVoidCutCharts = 64;
constexpr std::size_t kVoidCuts = 12;
constexpr double kCutGain = 0.005;

// Charts in order of their lowest triangle: the packing order that keeps
// output independent of how the charts were found.
std::vector<std::uint32_t> order_of(const std::vector<FlatChart>& charts) {
    std::vector<std::uint32_t> order(charts.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return charts[a].mesh.faces.front() < charts[b].mesh.faces.front();
    });
    return order;
}

// The UV area the packed triangles cover.
double packed_area(const ChartSet& set) {
    double area = 0;
    for (std::size_t t = 0; t + 2 < set.triangles.size(); t += 3) {
        const double* a = &set.uv[2 * set.triangles[t]];
        const double* b = &set.uv[2 * set.triangles[t + 1]];
        const double* c = &set.uv[2 * set.triangles[t + 2]];
        area += std::abs((b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]));
    }
    return 0.5 * area;
}

// Charts in order of their lowest triangle, their UVs in one chart set.
ChartSet chart_set_of(const std::vector<FlatChart>& charts,
                      const std::vector<std::uint32_t>& order) {
    ChartSet set;
    set.vertex_begin.assign(1, 0);
    set.triangle_begin.assign(1, 0);
    for (std::uint32_t c : order) {
        const FlatChart& chart = charts[c];
        const std::uint32_t base = set.vertex_begin.back();
        set.uv.insert(set.uv.end(), chart.uv.begin(), chart.uv.end());
        for (std::uint32_t v : chart.mesh.corner_vertex) {
            set.triangles.push_back(base + v);
        }
        set.vertex_begin.push_back(base + chart.mesh.vertex_count());
        set.triangle_begin.push_back(static_cast<std::uint32_t>(set.triangles.size() / 3));
    }
    return set;
}

// The output mesh: one vertex per chart vertex and input vertex, numbered in
// order of first use by the triangles.
Status assemble(const AtlasMesh& mesh, const std::vector<FlatChart>& charts,
                const std::vector<std::uint32_t>& order, const ChartSet& packed,
                const Riders& riders, AtlasResult& result) {
    const std::uint32_t faces = mesh.face_count();
    const auto indices = mesh.indices();
    const auto in_vertices = mesh.vertices();
    // Where each triangle lives: chart slot (in `order`) and local index.
    std::vector<std::uint32_t> chart_of_face(faces), local_of_face(faces);
    for (std::uint32_t slot = 0; slot < order.size(); ++slot) {
        const ChartMesh& cm = charts[order[slot]].mesh;
        for (std::uint32_t i = 0; i < cm.faces.size(); ++i) {
            chart_of_face[cm.faces[i]] = slot;
            local_of_face[cm.faces[i]] = i;
        }
    }
    std::vector<std::uint32_t> rider_of_face(riders.faces.empty() ? 0 : faces, kNoNeighbour);
    for (std::uint32_t i = 0; i < riders.faces.size(); ++i) {
        rider_of_face[riders.faces[i]] = i;
        chart_of_face[riders.faces[i]] = riders.slot[i];
    }
    std::vector<std::uint32_t> out_of_vertex(packed.uv.size() / 2, kNoNeighbour);
    // Chart vertices joined across an edge whose two sides name different
    // input vertices keep one output vertex per input vertex.
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> extra;
    std::vector<std::uint32_t> out_indices(indices.size());
    std::vector<std::uint32_t> remap;
    std::vector<std::uint32_t> chart_vertex_of_out;
    for (std::uint32_t f = 0; f < faces; ++f) {
        const std::uint32_t slot = chart_of_face[f];
        const ChartMesh& cm = charts[order[slot]].mesh;
        const std::uint32_t rider = rider_of_face.empty() ? kNoNeighbour : rider_of_face[f];
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t local = rider == kNoNeighbour
                                            ? cm.corner_vertex[3 * local_of_face[f] + k]
                                            : riders.local[3 * rider + k];
            const std::uint32_t cv = packed.vertex_begin[slot] + local;
            const std::uint32_t source = indices[3 * f + k];
            std::uint32_t id;
            if (source == cm.vertex_source[local]) {
                if (out_of_vertex[cv] == kNoNeighbour) {
                    out_of_vertex[cv] = static_cast<std::uint32_t>(remap.size());
                    remap.push_back(source);
                    chart_vertex_of_out.push_back(cv);
                }
                id = out_of_vertex[cv];
            } else {
                auto [it, fresh] =
                    extra.try_emplace({cv, source}, static_cast<std::uint32_t>(remap.size()));
                if (fresh) {
                    remap.push_back(source);
                    chart_vertex_of_out.push_back(cv);
                }
                id = it->second;
            }
            out_indices[3 * f + k] = id;
        }
    }
    std::unique_ptr<AtlasMesh> out;
    if (Status s = create_mesh(faces, static_cast<std::uint32_t>(remap.size()), &out); failed(s)) {
        return s;
    }
    auto out_vertices = out->vertices();
    for (std::size_t v = 0; v < remap.size(); ++v) {
        AtlasVertex p = in_vertices[remap[v]];
        p.u = static_cast<float>(packed.uv[2 * chart_vertex_of_out[v]]);
        p.v = static_cast<float>(packed.uv[2 * chart_vertex_of_out[v] + 1]);
        out_vertices[v] = p;
    }
    std::copy(out_indices.begin(), out_indices.end(), out->indices().begin());
    result.mesh = std::move(out);
    result.vertex_remap = std::move(remap);
    // Riders can come before their host's lowest triangle: number the
    // charts again in order of their lowest triangle.
    if (!riders.faces.empty()) {
        std::vector<std::uint32_t> id(order.size(), kNoNeighbour);
        std::uint32_t next = 0;
        for (std::uint32_t& c : chart_of_face) {
            if (id[c] == kNoNeighbour) {
                id[c] = next++;
            }
            c = id[c];
        }
    }
    result.face_partition = std::move(chart_of_face);
    return Status::Ok;
}

Status run(const AtlasMesh& mesh, std::span<const std::uint32_t> adjacency,
           std::span<const std::uint32_t> false_edges, const AtlasOptions& options,
           ProgressReporter& progress, AtlasResult& result) {
    // 1. Links and false-edge polygons; rejects non-manifold input.
    progress.set_stage(0.0f, 0.05f);
    const std::size_t corners = mesh.indices().size();
    if (adjacency.size() != corners || (!false_edges.empty() && false_edges.size() != corners)) {
        return Status::InvalidCall;
    }
    if (!mesh.indices_in_range()) {
        return Status::InvalidMesh;
    }
    const FaceGeometry geometry = face_geometry(mesh);
    Topology topology;
    if (Status s = build_topology(mesh, geometry, adjacency, false_edges, topology); failed(s)) {
        return s;
    }
    if (!progress.report(1.0f)) {
        return Status::Failed;
    }

    // 2. Charts within the stretch limit, flattened at their own 3D scale.
    progress.set_stage(0.05f, 0.7f);
    std::vector<FlatChart> charts;
    SegmentOptions segment;
    segment.max_stretch = options.max_stretch;
    segment.quality = options.quality;
    segment.limit_extent = options.max_charts == 0;
    segment.partial_joins = options.max_charts != 0;
    segment.small_part_share = kSmallPartShare;
    const bool by_density = options.texel_density > 0;
    segment.max_parts =
        by_density ? chart_capacity({options.max_size, options.max_size, options.gutter, false})
                   : chart_capacity({options.width, options.height, options.gutter, false});
    if (Status s = flatten_charts(mesh, topology, geometry, segment, progress, charts); failed(s)) {
        return s;
    }
    // Charts without area ride along with their neighbours.
    std::vector<std::uint32_t> rider_groups;
    const std::vector<std::uint32_t> rider_faces = take_flat_charts(charts, geometry, rider_groups);
    result.charts_out = static_cast<std::uint32_t>(charts.size());
    if (options.max_charts != 0 && charts.size() > options.max_charts) {
        return Status::Failed;
    }

    // 3. One texel density for all charts, packed for the corrections.
    progress.set_stage(0.7f, 1.0f);
    std::vector<std::uint32_t> order = order_of(charts);
    ChartSet set = chart_set_of(charts, order);
    PackLayout layout{options.width, options.height, options.gutter, options.quality};
    double scale = options.texel_density;
    if (by_density) {
        const DensityFit fit{options.texel_density, options.max_size, options.any_size};
        if (Status s = pack_chart_set_at_density(set, layout, fit, progress); failed(s)) {
            return s;
        }
    } else if (Status s = pack_chart_set(set, layout, progress, &scale); failed(s)) {
        return s;
    }
    // Few charts leave nothing to fill the bays of a crescent-shaped one:
    // the same charts with the most wasteful ones cut in two are packed as
    // well, and the layout that uses more of the atlas wins, each cut (a
    // chart and a seam more) paid for with kCutGain of the area. Greedy
    // packing does not grow steadily with the cuts: all of them are tried
    // first, then half, then the first one only.
    if (!by_density && options.max_charts == 0 && charts.size() <= kVoidCutCharts) {
        const std::vector<VoidCut> cuts =
            find_void_cuts(mesh, topology, geometry, options.max_stretch, kVoidCuts, charts);
        // These packs have no share of the progress left, but a cancel
        // still reaches them.
        const ProgressCallback poll = [&](float) { return progress.report(1.0f) ? 0 : 1; };
        auto score = [](double area, std::size_t count) {
            return area / (1.0 + kCutGain * double(count));
        };
        double best_score = score(packed_area(set), 0);
        std::vector<FlatChart> best; // empty while no cut wins
        std::vector<std::uint32_t> best_order;
        ChartSet best_set;
        for (std::size_t count = cuts.size(); count > 0 && best.empty();
             count = count == 1 ? 0 : (count + 1) / 2) {
            std::vector<FlatChart> cut = with_cuts(charts, std::span(cuts).first(count));
            std::vector<std::uint32_t> cut_order = order_of(cut);
            ChartSet cut_set = chart_set_of(cut, cut_order);
            ProgressReporter polled(poll, 0.1f);
            double cut_scale = 0;
            if (succeeded(pack_chart_set(cut_set, layout, polled, &cut_scale)) &&
                score(packed_area(cut_set), count) > best_score) {
                scale = cut_scale;
                best_score = score(packed_area(cut_set), count);
                best = std::move(cut);
                best_order = std::move(cut_order);
                best_set = std::move(cut_set);
            }
            if (progress.cancelled()) {
                return Status::Failed;
            }
        }
        if (!best.empty()) {
            charts = std::move(best);
            order = std::move(best_order);
            set = std::move(best_set);
            result.charts_out = static_cast<std::uint32_t>(charts.size());
        }
    }

    // 4. The output mesh in input triangle order.
    AtlasResult out;
    out.charts_out = result.charts_out;
    out.width = layout.width;
    out.height = layout.height;
    out.texel_density_out = scale;
    for (const FlatChart& c : charts) {
        out.stretch_out =
            std::max(out.stretch_out, static_cast<float>(stretch_measure(c.stretch_squared)));
    }
    const Riders riders = seat_riders(mesh, rider_faces, rider_groups, charts, order);
    if (Status s = assemble(mesh, charts, order, set, riders, out); failed(s)) {
        return s;
    }
    result = std::move(out);
    return Status::Ok;
}

} // namespace

Status create_atlas(const AtlasMesh& mesh, std::span<const std::uint32_t> adjacency,
                    std::span<const std::uint32_t> false_edges, const AtlasOptions& options,
                    const ProgressCallback& progress, float frequency, AtlasResult* result) {
    if (result == nullptr || options.width == 0 || options.height == 0 || !(options.gutter >= 0) ||
        !(options.max_stretch >= 0) || mesh.face_count() == 0) {
        return Status::InvalidCall;
    }
    ProgressReporter reporter(progress, frequency);
    try {
        return run(mesh, adjacency, false_edges, options, reporter, *result);
    } catch (const std::bad_alloc&) {
        return Status::OutOfMemory;
    }
}

} // namespace vellumar::atlas
