#include "engines/flatten_unwrap.h"

#include "engines/FlattenUVGenerator.h"
#include "unwrap/proxy_exception.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace vatlas = vellumar::atlas;

namespace {

constexpr const char* kUnit = "flatten_unwrap";

// The weld key: the five floats of a packed vertex, compared exactly.
using Key = std::array<float, 5>;
Key key_of(const vatlas::AtlasVertex& v) {
    return {v.x, v.y, v.z, v.u, v.v};
}

AtlasMeshPtr new_mesh(std::uint32_t faces, std::uint32_t vertices) {
    AtlasMeshPtr m;
    if (vatlas::failed(vatlas::create_mesh(faces, vertices, &m))) {
        throw Proxy_Exception("Result mesh is invalid", kUnit, __LINE__);
    }
    return m;
}

} // namespace

void flatten_unwrap(UvAtlasProxy& proxy, const vatlas::AtlasMesh& mesh, AtlasMeshPtr& result,
                    std::vector<std::uint32_t>& vertex_remap,
                    const vatlas::ProgressCallback& progress, std::span<std::uint32_t> adjacency,
                    std::span<std::uint32_t> false_edges, Interface* ip, ProjectionParams* params) {
    auto report = [ip](int percent) {
        if (ip != nullptr) {
            ip->ProgressUpdate(percent);
        }
    };
    // 1 - 2. Explode: one vertex per corner, so that every corner can take
    // the planar UV of its own triangle.
    report(0);
    const std::uint32_t faces = mesh.face_count();
    if (faces == 0) {
        throw Proxy_Exception("Result mesh is invalid", kUnit, __LINE__);
    }
    const std::size_t corners = 3 * static_cast<std::size_t>(faces);
    const auto in_vertices = mesh.vertices();
    const auto in_indices = mesh.indices();
    std::vector<vatlas::AtlasVertex> exploded(corners);
    std::vector<std::uint32_t> identity(corners);
    std::vector<std::uint32_t> origin(corners);
    for (std::size_t j = 0; j < corners; ++j) {
        const std::uint32_t v = in_indices[j];
        if (v >= in_vertices.size()) {
            throw Proxy_Exception("Unable to lock indexbuffer", kUnit, 29);
        }
        exploded[j] = in_vertices[v];
        identity[j] = static_cast<std::uint32_t>(j);
        origin[j] = v;
    }
    report(8);

    // 3. Generate the planar UVs and cut the adjacency between classes.
    FlattenUVGenerator generator(identity, exploded, origin, adjacency, false_edges,
                                 static_cast<std::int32_t>(faces), params);
    if (params == nullptr) {
        generator.run_hard_surface();
    } else if (params->orthographic()) {
        generator.run_orthographic();
    } else {
        generator.run_perspective();
    }
    report(25);

    // 4. The flat mesh: the planar UV of every corner as position and UV.
    AtlasMeshPtr flat = new_mesh(faces, static_cast<std::uint32_t>(corners));
    auto flat_vertices = flat->vertices();
    for (std::size_t j = 0; j < corners; ++j) {
        flat_vertices[j] = {exploded[j].u, exploded[j].v, 0.0f, exploded[j].u, exploded[j].v};
    }
    std::copy(identity.begin(), identity.end(), flat->indices().begin());
    report(35);

    // 5. Charts and packing.
    const std::vector<std::uint32_t> charts = UvAtlasProxy::charts_from_adjacency(*flat, adjacency);
    proxy.pack(flat, adjacency, progress, charts, true);
    report(75);

    // 6. Weld corners with equal keys, in vertex order.
    const auto packed = flat->vertices();
    const auto packed_indices = flat->indices();
    std::vector<std::uint32_t> order(packed.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return key_of(packed[a]) < key_of(packed[b]);
    });
    // Each group of equal keys takes the number its first vertex (in vertex
    // order) gets when the vertices are numbered in order of first key.
    std::vector<std::uint32_t> representative(packed.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        const bool same = i > 0 && key_of(packed[order[i]]) == key_of(packed[order[i - 1]]);
        representative[order[i]] = same ? representative[order[i - 1]] : order[i];
    }
    std::vector<std::uint32_t> new_index(packed.size(), vatlas::kNoNeighbour);
    std::vector<vatlas::AtlasVertex> welded;
    vertex_remap.clear();
    for (std::uint32_t v = 0; v < packed.size(); ++v) {
        const std::uint32_t r = representative[v];
        if (new_index[r] == vatlas::kNoNeighbour) {
            new_index[r] = static_cast<std::uint32_t>(welded.size());
            welded.push_back(packed[v]);
            // Vertices the split added copy a corner; they have no origin of
            // their own.
            vertex_remap.push_back(origin[std::min<std::size_t>(r, origin.size() - 1)]);
        }
        new_index[v] = new_index[r];
    }
    report(97);

    // 7. The result mesh.
    result = new_mesh(faces, static_cast<std::uint32_t>(welded.size()));
    std::copy(welded.begin(), welded.end(), result->vertices().begin());
    auto out_indices = result->indices();
    for (std::size_t j = 0; j < corners; ++j) {
        out_indices[j] = new_index[packed_indices[j]];
    }
    report(100);
}
