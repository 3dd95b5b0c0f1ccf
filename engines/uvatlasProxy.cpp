#include "engines/uvatlasProxy.h"

#include "atlas/corrections.h"
#include "atlas/create.h"
#include "atlas/pack.h"
#include "host/interface.h"
#include "unwrap/proxy_exception.h"

#include <algorithm>
#include <cstdio>

namespace vatlas = vellumar::atlas;

void UvAtlasProxy::init(HWND window, std::uint32_t max_charts, float max_stretch,
                        std::uint32_t width, std::uint32_t height, int gutter, bool quality) {
    window_ = window;
    max_charts_ = max_charts;
    max_stretch_ = max_stretch;
    width_ = width;
    height_ = height;
    gutter_ = static_cast<float>(gutter);
    options_ = quality ? 2u : 1u;
}

void UvAtlasProxy::release() {
    window_ = nullptr;
}

void UvAtlasProxy::set_density(double density, std::uint32_t max_size, bool any_size) {
    density_ = density;
    max_size_ = max_size;
    any_size_ = any_size;
    too_big_ = false;
}

bool UvAtlasProxy::cancelled() {
    Interface* ip = GetCOREInterface();
    return ip != nullptr && ip->GetCancel();
}

void UvAtlasProxy::throw_too_big() {
    too_big_ = true;
    char text[160];
    std::snprintf(text, sizeof text, "The charts do not fit a %u x %u map at %g texels per unit.",
                  max_size_, max_size_, density_);
    throw Proxy_Exception(text, kUvAtlasProxyUnit, __LINE__);
}

void UvAtlasProxy::create_atlas(const vatlas::AtlasMesh& mesh, AtlasMeshPtr& result,
                                std::vector<std::uint32_t>& vertex_remap,
                                const vatlas::ProgressCallback& progress,
                                std::span<const std::uint32_t> adjacency,
                                std::span<std::uint32_t> false_edges,
                                std::span<const std::uint32_t> false_edge_copy,
                                bool triangles_only) {
    if (triangles_only && !adjacency.empty() && !false_edges.empty()) {
        repair_false_edge_polygons(mesh.indices(), false_edges);
    }
    vatlas::AtlasOptions options;
    options.max_charts = max_charts_;
    options.max_stretch = max_stretch_;
    options.width = width_;
    options.height = height_;
    options.gutter = gutter_;
    options.quality = options_ == 2;
    options.texel_density = density_;
    options.max_size = max_size_;
    options.any_size = any_size_;
    too_big_ = false;

    std::vector<std::span<const std::uint32_t>> attempts = {false_edges, false_edge_copy};
    if (triangles_only) {
        attempts.emplace_back();
    }
    vatlas::Status status = vatlas::Status::Failed;
    vatlas::AtlasResult out;
    const std::span<const std::uint32_t>* previous = nullptr;
    for (const auto& attempt : attempts) {
        // The library gives the same answer to the same question.
        if (previous != nullptr &&
            std::equal(previous->begin(), previous->end(), attempt.begin(), attempt.end())) {
            continue;
        }
        previous = &attempt;
        status = vatlas::create_atlas(mesh, adjacency, attempt, options, progress, 0.1f, &out);
        if (vatlas::succeeded(status)) {
            break;
        }
    }
    if (vatlas::failed(status)) {
        if (status == vatlas::Status::InvalidMesh) {
            throw Proxy_Exception("Non-manifold mesh!", kUvAtlasProxyUnit, __LINE__);
        }
        if (max_charts_ != 0 && out.charts_out != 0 && out.charts_out > max_charts_) {
            Proxy_Exception::raise_formatted(kUvAtlasProxyUnit, __LINE__,
                                             "Minimum number of charts is %d",
                                             static_cast<int>(out.charts_out));
        }
        if (density_ > 0 && status == vatlas::Status::Failed && !cancelled()) {
            throw_too_big();
        }
        throw Proxy_Exception(
            "Unwrapping not possible. Try increasing the allowed stretch or the texture size.",
            kUvAtlasProxyUnit, __LINE__);
    }
    if (density_ > 0) {
        width_ = out.width;
        height_ = out.height;
    }
    result = std::move(out.mesh);
    vertex_remap = std::move(out.vertex_remap);
    stretch_out_ = out.stretch_out;
    charts_out_ = out.charts_out;
}

std::vector<std::uint32_t>
UvAtlasProxy::charts_from_adjacency(const vatlas::AtlasMesh& mesh,
                                    std::span<const std::uint32_t> adjacency) {
    const std::uint32_t faces = mesh.face_count();
    std::vector<std::uint32_t> chart(faces, 0);
    std::vector<std::uint32_t> queue;
    queue.reserve(faces);
    std::uint32_t next = 1;
    for (std::uint32_t f = 0; f < faces; ++f) {
        if (chart[f] != 0) {
            continue;
        }
        chart[f] = next;
        queue.assign(1, f);
        for (std::size_t head = 0; head < queue.size(); ++head) {
            const std::uint32_t t = queue[head];
            for (std::uint32_t k = 0; k < 3; ++k) {
                const std::size_t slot = 3 * static_cast<std::size_t>(t) + k;
                const std::uint32_t n =
                    slot < adjacency.size() ? adjacency[slot] : vatlas::kNoNeighbour;
                if (n < faces && chart[n] == 0) {
                    chart[n] = next;
                    queue.push_back(n);
                }
            }
        }
        ++next;
    }
    return chart;
}

void UvAtlasProxy::split_shared_vertices(AtlasMeshPtr& mesh,
                                         std::span<const std::uint32_t> charts) {
    const auto indices = mesh->indices();
    std::vector<vatlas::AtlasVertex> vertices(mesh->vertices().begin(), mesh->vertices().end());
    std::vector<std::uint32_t> new_indices(indices.begin(), indices.end());
    // Slots per vertex, in index order (CSR), so each vertex is visited once.
    const std::size_t nv = vertices.size();
    std::vector<std::uint32_t> start(nv + 1, 0);
    for (std::uint32_t v : indices) {
        if (v < nv) {
            ++start[v + 1];
        }
    }
    for (std::size_t v = 0; v < nv; ++v) {
        start[v + 1] += start[v];
    }
    std::vector<std::uint32_t> slots(start[nv]);
    std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
    for (std::uint32_t s = 0; s < indices.size(); ++s) {
        if (indices[s] < nv) {
            slots[fill[indices[s]]++] = s;
        }
    }
    // The vertex list grows, so vertices are visited in the order of their
    // first slot, as the walk over the index slots meets them.
    std::vector<std::uint32_t> first_use(nv, 0xFFFFFFFFu);
    for (std::size_t v = 0; v < nv; ++v) {
        if (start[v] != start[v + 1]) {
            first_use[v] = slots[start[v]];
        }
    }
    std::vector<std::uint32_t> order;
    for (std::uint32_t v = 0; v < nv; ++v) {
        if (first_use[v] != 0xFFFFFFFFu) {
            order.push_back(v);
        }
    }
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return first_use[a] < first_use[b]; });
    std::vector<std::pair<std::uint32_t, std::uint32_t>> copies; // chart -> vertex, per vertex
    for (std::uint32_t v : order) {
        copies.clear();
        for (std::uint32_t i = start[v]; i < start[v + 1]; ++i) {
            const std::uint32_t s = slots[i];
            const std::uint32_t c = s / 3 < charts.size() ? charts[s / 3] : 0;
            auto it = std::find_if(copies.begin(), copies.end(),
                                   [c](const auto& e) { return e.first == c; });
            if (it == copies.end()) {
                const std::uint32_t target =
                    copies.empty() ? v : static_cast<std::uint32_t>(vertices.size());
                if (!copies.empty()) {
                    vertices.push_back(vertices[v]);
                }
                copies.emplace_back(c, target);
                it = copies.end() - 1;
            }
            new_indices[s] = it->second;
        }
    }
    AtlasMeshPtr split;
    if (vatlas::failed(vatlas::create_mesh(mesh->face_count(),
                                           static_cast<std::uint32_t>(vertices.size()), &split))) {
        throw Proxy_Exception("Failed to create d3dx mesh. Please check if your gemoetry is valid.",
                              kUvAtlasProxyUnit, __LINE__);
    }
    std::copy(vertices.begin(), vertices.end(), split->vertices().begin());
    std::copy(new_indices.begin(), new_indices.end(), split->indices().begin());
    mesh = std::move(split);
}

void UvAtlasProxy::pack(AtlasMeshPtr& mesh, std::span<const std::uint32_t> adjacency,
                        const vatlas::ProgressCallback& progress,
                        std::span<const std::uint32_t> charts, bool split) {
    if (split) {
        split_shared_vertices(mesh, charts);
    }
    too_big_ = false;
    std::uint32_t side = 0;
    const vatlas::Status status =
        density_ > 0 ? vatlas::pack_charts_at_density(*mesh, adjacency, charts,
                                                      {density_, max_size_, any_size_}, gutter_,
                                                      progress, 0.01f, &side)
                     : vatlas::pack_charts(*mesh, adjacency, charts, width_, height_, gutter_,
                                           progress, 0.01f);
    if (density_ > 0 && status == vatlas::Status::Failed && !cancelled()) {
        throw_too_big();
    }
    if (density_ > 0 && vatlas::succeeded(status)) {
        width_ = height_ = side;
    }
    if (status == vatlas::Status::InvalidMesh) {
        throw Proxy_Exception("Packing was not possible due to an error in the mesh!",
                              kUvAtlasProxyUnit, __LINE__);
    }
    if (vatlas::failed(status)) {
        throw Proxy_Exception(
            "Packing was not possible due to an encountered error. Most likely the settings for "
            "width, height and padding do not provide enough space to place all UV charts",
            kUvAtlasProxyUnit, __LINE__);
    }
}

bool UvAtlasProxy::aspect_fit(vatlas::AtlasMesh* mesh) const {
    if (mesh == nullptr) {
        return false;
    }
    vatlas::aspect_fit(mesh->vertices(), static_cast<float>(width_), static_cast<float>(height_));
    return true;
}

bool UvAtlasProxy::gutter_border(vatlas::AtlasMesh* mesh) const {
    if (mesh == nullptr) {
        return false;
    }
    vatlas::gutter_border(mesh->vertices(), static_cast<float>(width_), static_cast<float>(height_),
                          gutter_);
    return true;
}

bool UvAtlasProxy::aspect_stretch(vatlas::AtlasMesh* mesh) const {
    if (mesh == nullptr) {
        return false;
    }
    vatlas::aspect_stretch(mesh->vertices(), static_cast<float>(width_),
                           static_cast<float>(height_));
    return true;
}
