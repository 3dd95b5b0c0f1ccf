// The hard-surface engine on procedural hard-surface scenes of growing size:
// seconds next to charts, coverage and the validity figures of uvmetrics.
// Usage: vellumar_flatten_bench UVMETRICS OUT_DIR
#include "atlas/corrections.h"
#include "atlas/mesh.h"
#include "engines/flatten_unwrap.h"
#include "engines/uvatlasProxy.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace vatlas = vellumar::atlas;

namespace {

// Machined blocks: `count` boxes of different sizes on a grid, each side a
// grid of n x n quads (two triangles joined by a false edge, as extraction
// gives polygons); a side's quads share vertices, sides do not.
struct Scene {
    std::vector<vatlas::AtlasVertex> vertices;
    std::vector<std::uint32_t> indices, false_edges;
};

Scene boxes(int count, int n) {
    Scene s;
    const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
    // Each side: an origin corner and two edge directions (unit box), wound
    // counter-clockwise seen from outside.
    struct Face {
        float o[3], a[3], b[3];
    };
    static const Face faces[6] = {
        {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}, {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},
        {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}, {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},
        {{0, 0, 0}, {0, 0, 1}, {0, 1, 0}}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    for (int b = 0; b < count; ++b) {
        const float x0 = static_cast<float>(b % side) * 6.0f,
                    y0 = static_cast<float>(b / side) * 6.0f;
        // Sizes vary deterministically so charts differ.
        const float size[3] = {1.0f + static_cast<float>((b * 7) % 5) * 0.6f,
                               1.0f + static_cast<float>((b * 3) % 4) * 0.5f,
                               0.5f + static_cast<float>((b * 11) % 9) * 0.5f};
        for (const Face& f : faces) {
            const auto base = static_cast<std::uint32_t>(s.vertices.size());
            for (int j = 0; j <= n; ++j) {
                for (int i = 0; i <= n; ++i) {
                    float p[3];
                    for (int c = 0; c < 3; ++c) {
                        p[c] = (f.o[c] + f.a[c] * static_cast<float>(i) / n +
                                f.b[c] * static_cast<float>(j) / n) *
                               size[c];
                    }
                    s.vertices.push_back({x0 + p[0], y0 + p[1], p[2], 0, 0});
                }
            }
            for (int j = 0; j < n; ++j) {
                for (int i = 0; i < n; ++i) {
                    const auto q0 = base + static_cast<std::uint32_t>(j * (n + 1) + i);
                    const std::uint32_t q1 = q0 + 1, q2 = q0 + static_cast<std::uint32_t>(n) + 2,
                                        q3 = q0 + static_cast<std::uint32_t>(n) + 1;
                    const auto t = static_cast<std::uint32_t>(s.indices.size() / 3);
                    s.indices.insert(s.indices.end(), {q0, q1, q2, q0, q2, q3});
                    // Diagonal q0-q2: edge 2 of the first triangle, edge 0 of
                    // the second.
                    s.false_edges.insert(s.false_edges.end(),
                                         {vatlas::kNoNeighbour, vatlas::kNoNeighbour, t + 1, t,
                                          vatlas::kNoNeighbour, vatlas::kNoNeighbour});
                }
            }
        }
    }
    return s;
}

void write_obj(const std::string& path, const Scene& s, const vatlas::AtlasMesh& result,
               const std::vector<std::uint32_t>& remap) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    for (const auto& v : s.vertices) {
        std::fprintf(f, "v %g %g %g\n", v.x, v.y, v.z);
    }
    for (const auto& v : result.vertices()) {
        std::fprintf(f, "vt %.9g %.9g\n", v.u, v.v);
    }
    const auto idx = result.indices();
    for (std::size_t t = 0; t < idx.size(); t += 3) {
        std::fprintf(f, "f %u/%u %u/%u %u/%u\n", remap[idx[t]] + 1, idx[t] + 1,
                     remap[idx[t + 1]] + 1, idx[t + 1] + 1, remap[idx[t + 2]] + 1, idx[t + 2] + 1);
    }
    std::fclose(f);
}

std::string field(const std::string& json, const std::string& key) {
    const auto at = json.find("\"" + key + "\":");
    if (at == std::string::npos) {
        return "?";
    }
    const auto start = at + key.size() + 3;
    return json.substr(start, json.find_first_of(",}", start) - start);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s UVMETRICS OUT_DIR\n", argv[0]);
        return 2;
    }
    UvAtlasProxy proxy;
    proxy.init(nullptr, 0, 0.16667f, 1024, 1024, 4, false);
    std::printf("%-10s %9s %8s %7s %8s %9s %9s %9s\n", "mesh", "triangles", "seconds", "charts",
                "coverage", "overlaps", "gutter", "flipped");
    // About 50k, 100k and 200k triangles: 1,200 per box.
    for (int count : {42, 84, 167}) {
        Scene s = boxes(count, 10);
        AtlasMeshPtr mesh;
        vatlas::create_mesh(static_cast<std::uint32_t>(s.indices.size() / 3),
                            static_cast<std::uint32_t>(s.vertices.size()), &mesh);
        std::copy(s.vertices.begin(), s.vertices.end(), mesh->vertices().begin());
        std::copy(s.indices.begin(), s.indices.end(), mesh->indices().begin());
        std::vector<std::uint32_t> adjacency(s.indices.size());
        vatlas::convert_point_reps_to_adjacency(*mesh, {}, adjacency);
        AtlasMeshPtr result;
        std::vector<std::uint32_t> remap;
        const auto start = std::chrono::steady_clock::now();
        flatten_unwrap(proxy, *mesh, result, remap, {}, adjacency, s.false_edges, nullptr, nullptr);
        vatlas::apply_corrections(result->vertices(), 1024, 1024, 4);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const std::string obj = std::string(argv[2]) + "/boxes_" + std::to_string(count) + ".obj";
        write_obj(obj, s, *result, remap);
        const std::string cmd =
            std::string(argv[1]) + " '" + obj + "' --width 1024 --height 1024 --gutter 4";
        std::string json;
        if (std::FILE* p = popen(cmd.c_str(), "r")) {
            char buf[4096];
            while (std::fgets(buf, sizeof buf, p) != nullptr) {
                json += buf;
            }
            pclose(p);
        }
        std::printf("%-10s %9zu %8.3f %7s %8s %9s %9s %9s\n",
                    ("boxes" + std::to_string(count)).c_str(), s.indices.size() / 3, seconds,
                    field(json, "charts").c_str(), field(json, "coverage").c_str(),
                    field(json, "overlap_texels_cons").c_str(),
                    field(json, "gutter_violations_cons").c_str(),
                    field(json, "flipped_uv_triangles").c_str());
        std::fflush(stdout);
    }
    return 0;
}
