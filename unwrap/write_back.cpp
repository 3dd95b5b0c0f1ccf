#include "unwrap/write_back.h"

#include "unwrap/proxy_exception.h"

#include <algorithm>
#include <cmath>
#include <map>

void write_back(const vellumar::atlas::AtlasMesh& result, std::span<const std::uint32_t> remap,
                std::span<ObjectRecord> records, std::span<const std::int32_t> assignment,
                std::int32_t map) {
    const auto vertices = result.vertices();
    const auto result_indices = result.indices();
    if (remap.size() > vertices.size()) {
        throw Proxy_Exception("Result mesh is invalid", kUnwrapperUnit, __LINE__);
    }

    // The map's objects own consecutive ranges of combined vertices, so one
    // pass over the result vertices with a search by range finds each
    // vertex's object; the vertices keep their result order per object.
    std::vector<std::size_t> objects; // record indices of the map, by vertex offset
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i < assignment.size() && assignment[i] == map) {
            objects.push_back(i);
        }
    }
    std::vector<std::uint32_t> local(vertices.size(), kNoNeighbour);
    std::vector<std::vector<std::uint32_t>> taken(objects.size());
    for (std::uint32_t j = 0; j < remap.size(); ++j) {
        const std::uint32_t source = remap[j];
        auto it = std::upper_bound(
            objects.begin(), objects.end(), source,
            [&](std::uint32_t s, std::size_t r) { return s < records[r].vertex_offset; });
        if (it == objects.begin()) {
            continue;
        }
        --it;
        const ObjectRecord& r = records[*it];
        if (source - r.vertex_offset < r.vertex_count) {
            auto& list = taken[static_cast<std::size_t>(it - objects.begin())];
            local[j] = static_cast<std::uint32_t>(list.size());
            list.push_back(j);
        }
    }

    std::size_t index_base = 0;
    for (std::size_t o = 0; o < objects.size(); ++o) {
        ObjectRecord& r = records[objects[o]];
        const auto& list = taken[o];
        r.vertex_count = static_cast<std::uint32_t>(list.size());
        r.uvs.resize(list.size());
        for (std::size_t k = 0; k < list.size(); ++k) {
            r.uvs[k] = Point3(vertices[list[k]].u, vertices[list[k]].v, 0.0f);
        }
        if (index_base + r.index_count > result_indices.size()) {
            throw Proxy_Exception("Result mesh is invalid", kUnwrapperUnit, __LINE__);
        }
        r.indices.resize(r.index_count);
        std::map<std::uint32_t, std::uint32_t> borrowed; // result vertex -> local copy
        for (std::uint32_t k = 0; k < r.index_count; ++k) {
            const std::uint32_t j = result_indices[index_base + k];
            if (j >= vertices.size()) {
                throw Proxy_Exception("Result mesh is invalid", kUnwrapperUnit, __LINE__);
            }
            if (local[j] < list.size() && list[local[j]] == j) {
                r.indices[k] = local[j];
                continue;
            }
            // An engine may weld corners of two objects that landed on the
            // same UV; each object then keeps a copy of its own, since its
            // UV set cannot name another object's vertices.
            auto [it, fresh] = borrowed.try_emplace(j, static_cast<std::uint32_t>(r.uvs.size()));
            if (fresh) {
                r.uvs.emplace_back(vertices[j].u, vertices[j].v, 0.0f);
            }
            r.indices[k] = it->second;
        }
        r.vertex_count = static_cast<std::uint32_t>(r.uvs.size());
        index_base += r.index_count;
    }
}

double uv_coverage(const vellumar::atlas::AtlasMesh& mesh) {
    const auto v = mesh.vertices();
    const auto idx = mesh.indices();
    double area = 0.0;
    for (std::size_t t = 0; t + 2 < idx.size(); t += 3) {
        if (idx[t] >= v.size() || idx[t + 1] >= v.size() || idx[t + 2] >= v.size()) {
            continue;
        }
        const auto& a = v[idx[t]];
        const auto& b = v[idx[t + 1]];
        const auto& c = v[idx[t + 2]];
        area += 0.5 * std::fabs((double(b.u) - a.u) * (double(c.v) - a.v) -
                                (double(b.v) - a.v) * (double(c.u) - a.u));
    }
    return area;
}
