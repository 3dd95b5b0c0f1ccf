// Atlas benchmark: runs create_atlas on a fixed corpus and prints time next
// to the quality figures of the uvmetrics tool, measured on the corrected
// UVs exactly as a caller would store them.
//
// Usage: vellumar_atlas_bench UVMETRICS_BINARY OUTPUT_DIR [MODEL_DIR [MESH_NAME]]
#include "atlas/corrections.h"
#include "atlas/create.h"
#include "atlas/mesh.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

using namespace vellumar::atlas;

namespace {

constexpr std::uint32_t kSize = 1024;
constexpr float kGutter = 4.0f;

struct Soup {
    std::vector<std::array<float, 3>> points;
    std::vector<std::uint32_t> indices;
};

// Welds by exact position so that adjacency reaches across the seams of the
// source's own UVs and normals.
Soup weld(const std::vector<std::array<float, 3>>& points, const std::vector<std::uint32_t>& idx) {
    Soup out;
    std::map<std::array<float, 3>, std::uint32_t> ids;
    std::vector<std::uint32_t> map(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        auto [it, fresh] =
            ids.try_emplace(points[i], static_cast<std::uint32_t>(out.points.size()));
        if (fresh) {
            out.points.push_back(points[i]);
        }
        map[i] = it->second;
    }
    for (std::uint32_t i : idx) {
        out.indices.push_back(map[i]);
    }
    return out;
}

double triangle_area(const Soup& s, std::size_t f) {
    const auto& a = s.points[s.indices[3 * f]];
    const auto& b = s.points[s.indices[3 * f + 1]];
    const auto& c = s.points[s.indices[3 * f + 2]];
    const double e1[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
    const double e2[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
    const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                         e1[0] * e2[1] - e1[1] * e2[0]};
    return 0.5 * std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
}

// The mesh as a cleaning step would leave it: triangles without area gone.
Soup without_flat_triangles(const Soup& in) {
    Soup out;
    out.points = in.points;
    for (std::size_t f = 0; f < in.indices.size() / 3; ++f) {
        if (triangle_area(in, f) > 0) {
            out.indices.insert(out.indices.end(), in.indices.begin() + 3 * f,
                               in.indices.begin() + 3 * f + 3);
        }
    }
    return out;
}

// Some models carry double-sided parts as a second, reversed copy of the
// same triangles, which makes edges with four triangles. The atlas rejects
// such meshes; here every triangle with area beyond the first two on an edge
// gets vertices of its own, which keeps the triangle count. Triangles without
// area are no surface and stay as they are.
void detach_extra_sheets(Soup& s) {
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::vector<std::uint32_t>> faces_of_edge;
    for (std::size_t c = 0; c < s.indices.size(); ++c) {
        const std::uint32_t f = static_cast<std::uint32_t>(c / 3);
        const std::uint32_t a = s.indices[c], b = s.indices[3 * f + (c + 1) % 3];
        if (a == b || triangle_area(s, f) <= 0) {
            continue;
        }
        auto& list = faces_of_edge[std::minmax(a, b)];
        if (list.empty() || list.back() != f) {
            list.push_back(f);
        }
    }
    std::vector<std::uint8_t> detach(s.indices.size() / 3, 0);
    for (const auto& [edge, list] : faces_of_edge) {
        for (std::size_t i = 2; i < list.size(); ++i) {
            detach[list[i]] = 1;
        }
    }
    for (std::size_t f = 0; f < detach.size(); ++f) {
        for (int k = 0; detach[f] && k < 3; ++k) {
            s.points.push_back(s.points[s.indices[3 * f + k]]);
            s.indices[3 * f + k] = static_cast<std::uint32_t>(s.points.size() - 1);
        }
    }
}

bool load(const std::string& path, Soup& out, bool keep_flat = true) {
    Assimp::Importer importer;
    const aiScene* scene =
        importer.ReadFile(path, aiProcess_Triangulate | aiProcess_JoinIdenticalVertices |
                                    aiProcess_PreTransformVertices);
    if (scene == nullptr) {
        return false;
    }
    std::vector<std::array<float, 3>> points;
    std::vector<std::uint32_t> idx;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh* mesh = scene->mMeshes[m];
        const auto base = static_cast<std::uint32_t>(points.size());
        for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
            points.push_back({mesh->mVertices[v].x, mesh->mVertices[v].y, mesh->mVertices[v].z});
        }
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            if (mesh->mFaces[f].mNumIndices != 3) {
                continue;
            }
            for (int k = 0; k < 3; ++k) {
                idx.push_back(base + mesh->mFaces[f].mIndices[k]);
            }
        }
    }
    out = weld(points, idx);
    if (!keep_flat) {
        out = without_flat_triangles(out);
    }
    detach_extra_sheets(out);
    return !out.indices.empty();
}

// One 1-to-4 midpoint subdivision.
Soup subdivide(const Soup& in) {
    Soup out;
    out.points = in.points;
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> mid;
    auto midpoint = [&](std::uint32_t a, std::uint32_t b) {
        const auto key = std::minmax(a, b);
        auto [it, fresh] = mid.try_emplace(key, static_cast<std::uint32_t>(out.points.size()));
        if (fresh) {
            const auto& p = in.points[a];
            const auto& q = in.points[b];
            out.points.push_back({(p[0] + q[0]) / 2, (p[1] + q[1]) / 2, (p[2] + q[2]) / 2});
        }
        return it->second;
    };
    for (std::size_t f = 0; f < in.indices.size(); f += 3) {
        const std::uint32_t a = in.indices[f], b = in.indices[f + 1], c = in.indices[f + 2];
        const std::uint32_t ab = midpoint(a, b), bc = midpoint(b, c), ca = midpoint(c, a);
        for (std::uint32_t v : {a, ab, ca, ab, b, bc, ca, bc, c, ab, bc, ca}) {
            out.indices.push_back(v);
        }
    }
    return out;
}

Soup grid_surface(int nu, int nv, bool wrap_u, bool wrap_v,
                  const std::function<std::array<float, 3>(double, double)>& at) {
    Soup s;
    const int cu = wrap_u ? nu : nu + 1, cv = wrap_v ? nv : nv + 1;
    for (int j = 0; j < cv; ++j) {
        for (int i = 0; i < cu; ++i) {
            s.points.push_back(at(double(i) / nu, double(j) / nv));
        }
    }
    auto id = [&](int i, int j) { return static_cast<std::uint32_t>((j % cv) * cu + (i % cu)); };
    for (int j = 0; j < nv; ++j) {
        for (int i = 0; i < nu; ++i) {
            const std::uint32_t a = id(i, j), b = id(i + 1, j), c = id(i + 1, j + 1),
                                d = id(i, j + 1);
            for (std::uint32_t v : {a, b, c, a, c, d}) {
                s.indices.push_back(v);
            }
        }
    }
    return s;
}

Soup sphere() {
    // A latitude-longitude sphere, poles welded.
    Soup s = grid_surface(64, 32, true, false, [](double u, double v) {
        const double th = 2 * M_PI * u, ph = M_PI * v;
        if (v == 0 || v == 1) {
            return std::array<float, 3>{0.0f, 0.0f, v == 0 ? -1.0f : 1.0f};
        }
        return std::array<float, 3>{float(std::sin(ph) * std::cos(th)),
                                    float(std::sin(ph) * std::sin(th)), float(-std::cos(ph))};
    });
    Soup w = weld(s.points, s.indices);
    Soup out;
    out.points = w.points;
    for (std::size_t f = 0; f < w.indices.size(); f += 3) {
        const std::uint32_t a = w.indices[f], b = w.indices[f + 1], c = w.indices[f + 2];
        if (a != b && b != c && c != a) {
            out.indices.insert(out.indices.end(), {a, b, c});
        }
    }
    return out;
}

Soup torus() {
    return grid_surface(96, 48, true, true, [](double u, double v) {
        const double a = 2 * M_PI * u, b = 2 * M_PI * v;
        return std::array<float, 3>{float((1 + 0.35 * std::cos(b)) * std::cos(a)),
                                    float((1 + 0.35 * std::cos(b)) * std::sin(a)),
                                    float(0.35 * std::sin(b))};
    });
}

Soup box() {
    // A 2 x 1 x 0.5 box, 8 x 8 quads per side, welded into one closed mesh.
    Soup all;
    const int n = 8;
    for (int axis = 0; axis < 3; ++axis) {
        for (int side = 0; side < 2; ++side) {
            Soup face = grid_surface(n, n, false, false, [&](double u, double v) {
                double p[3];
                p[axis] = side;
                p[(axis + 1) % 3] = side ? u : v;
                p[(axis + 2) % 3] = side ? v : u;
                return std::array<float, 3>{float(2 * p[0]), float(p[1]), float(0.5 * p[2])};
            });
            const auto base = static_cast<std::uint32_t>(all.points.size());
            all.points.insert(all.points.end(), face.points.begin(), face.points.end());
            for (std::uint32_t i : face.indices) {
                all.indices.push_back(base + i);
            }
        }
    }
    return weld(all.points, all.indices);
}

std::unique_ptr<AtlasMesh> atlas_mesh(const std::vector<std::array<float, 3>>& points,
                                      const std::vector<std::uint32_t>& indices) {
    std::unique_ptr<AtlasMesh> mesh;
    if (failed(create_mesh(static_cast<std::uint32_t>(indices.size() / 3),
                           static_cast<std::uint32_t>(points.size()), &mesh))) {
        return nullptr;
    }
    auto v = mesh->vertices();
    for (std::size_t i = 0; i < points.size(); ++i) {
        v[i] = {points[i][0], points[i][1], points[i][2], 0, 0};
    }
    std::copy(indices.begin(), indices.end(), mesh->indices().begin());
    return mesh;
}

// One vt per distinct UV of a chart, so the tool sees each chart connected
// and different charts apart.
void write_obj(const std::string& path, const AtlasMesh& mesh,
               const std::vector<std::uint32_t>& chart) {
    std::ofstream out(path);
    const auto v = mesh.vertices();
    const auto ix = mesh.indices();
    out.precision(9);
    for (const AtlasVertex& p : v) {
        out << "v " << p.x << ' ' << p.y << ' ' << p.z << '\n';
    }
    std::map<std::tuple<std::uint32_t, float, float>, std::uint32_t> vt;
    std::vector<std::uint32_t> corner_vt(ix.size());
    for (std::size_t c = 0; c < ix.size(); ++c) {
        const AtlasVertex& p = v[ix[c]];
        auto [it, fresh] =
            vt.try_emplace({chart[c / 3], p.u, p.v}, static_cast<std::uint32_t>(vt.size() + 1));
        if (fresh) {
            out << "vt " << p.u << ' ' << p.v << '\n';
        }
        corner_vt[c] = it->second;
    }
    for (std::size_t f = 0; f < ix.size(); f += 3) {
        out << 'f';
        for (int k = 0; k < 3; ++k) {
            out << ' ' << ix[f + k] + 1 << '/' << corner_vt[f + k];
        }
        out << '\n';
    }
}

// How well the charts' shapes fill their convex hulls: UV area over hull
// area, summed over all charts (1 for convex charts; saw-toothed borders and
// crescents lower it, and so does every gap the packer cannot fill).
double hull_fill(const AtlasMesh& mesh, const std::vector<std::uint32_t>& chart) {
    const auto v = mesh.vertices();
    const auto ix = mesh.indices();
    std::map<std::uint32_t, std::vector<std::pair<double, double>>> points;
    double area = 0;
    for (std::size_t f = 0; f < ix.size() / 3; ++f) {
        const AtlasVertex &a = v[ix[3 * f]], &b = v[ix[3 * f + 1]], &c = v[ix[3 * f + 2]];
        area += 0.5 * std::abs(double(b.u - a.u) * (c.v - a.v) - double(b.v - a.v) * (c.u - a.u));
        for (const AtlasVertex* p : {&a, &b, &c}) {
            points[chart[f]].emplace_back(p->u, p->v);
        }
    }
    double hulls = 0;
    for (auto& [c, pts] : points) {
        std::sort(pts.begin(), pts.end());
        pts.erase(std::unique(pts.begin(), pts.end()), pts.end());
        if (pts.size() < 3) {
            continue;
        }
        auto turn = [](auto o, auto a, auto b) {
            return (a.first - o.first) * (b.second - o.second) -
                   (a.second - o.second) * (b.first - o.first);
        };
        // Andrew's monotone chain.
        std::vector<std::pair<double, double>> hull(2 * pts.size());
        std::size_t k = 0;
        for (std::size_t i = 0; i < pts.size(); ++i) {
            while (k >= 2 && turn(hull[k - 2], hull[k - 1], pts[i]) <= 0) {
                --k;
            }
            hull[k++] = pts[i];
        }
        for (std::size_t i = pts.size() - 1, t = k + 1; i-- > 0;) {
            while (k >= t && turn(hull[k - 2], hull[k - 1], pts[i]) <= 0) {
                --k;
            }
            hull[k++] = pts[i];
        }
        for (std::size_t i = 0; i + 1 < k; ++i) {
            hulls +=
                0.5 * (hull[i].first * hull[i + 1].second - hull[i + 1].first * hull[i].second);
        }
    }
    return hulls > 0 ? area / hulls : NAN;
}

double metric(const std::string& json, const std::string& key) {
    const auto at = json.find("\"" + key + "\"");
    if (at == std::string::npos) {
        return NAN;
    }
    return std::atof(json.c_str() + json.find(':', at) + 1);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s UVMETRICS OUTPUT_DIR [MODEL_DIR]\n", argv[0]);
        return 2;
    }
    const std::string tool = argv[1], dir = argv[2];
    const std::string models = argc > 3 ? argv[3] : "/usr/share/assimp/models";
    const std::string only = argc > 4 ? argv[4] : "";
    // Each entry builds its mesh only when it runs.
    auto model = [&](const std::string& file, bool keep_flat = true) {
        return [&models, file, keep_flat]() {
            Soup s;
            if (!load(models + file, s, keep_flat)) {
                std::fprintf(stderr, "cannot load %s\n", (models + file).c_str());
            }
            return s;
        };
    };
    const std::vector<std::pair<std::string, std::function<Soup()>>> corpus = {
        {"duck", model("/Collada/duck_triangulate.dae")},
        {"jeep", model("/MS3D/jeep1.ms3d")},
        {"jeep_max80", model("/MS3D/jeep1.ms3d")},
        {"human", model("/Collada/human.zae")},
        {"human_x16", [&]() { return subdivide(subdivide(model("/Collada/human.zae")())); }},
        {"sphere", sphere},
        {"torus", torus},
        {"box", box},
        // CAD exports: thousands of small parts, and (the engine as shipped)
        // about 11k triangles without area among 121k.
        {"ifc_house", model("/IFC/AC14-FZK-Haus.ifc")},
        {"engine", model("/glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb")},
        {"engine_clean", model("/glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb", false)},
    };

    std::printf("%-12s %7s %7s %6s %6s %6s %6s %6s %8s %6s %6s %7s %6s %7s %7s %5s  %s\n", "mesh",
                "tris", "seconds", "links", "split", "merge", "pack", "charts", "coverage", "hull",
                "l2", "overlap", "gutter", "selfovl", "flipped", "degen", "status");
    int bad = 0;
    for (const auto& [name, make] : corpus) {
        if (!only.empty() && name != only) {
            continue;
        }
        const Soup soup = make();
        if (soup.indices.empty()) {
            ++bad;
            continue;
        }
        auto mesh = atlas_mesh(soup.points, soup.indices);
        std::vector<std::uint32_t> adjacency(soup.indices.size());
        convert_point_reps_to_adjacency(*mesh, {}, adjacency);
        AtlasOptions options;
        // Rows named *_maxN run with a chart limit of N.
        if (const auto at = name.find("_max"); at != std::string::npos) {
            options.max_charts = static_cast<std::uint32_t>(std::stoul(name.substr(at + 4)));
        }
        AtlasResult result;
        const auto start = std::chrono::steady_clock::now();
        auto since_start = [&]() {
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        };
        // Stage ends, read off the progress: links (0.05), the split phase
        // (half of the charts' share), the merge (0.7), then the packing.
        const float stage_end[3] = {0.05f, 0.375f, 0.7f};
        double stage_time[3] = {NAN, NAN, NAN};
        const ProgressCallback stages = [&](float done) {
            for (int i = 0; i < 3; ++i) {
                if (done >= stage_end[i] && std::isnan(stage_time[i])) {
                    stage_time[i] = since_start();
                }
            }
            return 0;
        };
        const Status status = create_atlas(*mesh, adjacency, {}, options, stages, 0.0f, &result);
        const double seconds = since_start();
        if (failed(status)) {
            std::printf("%-12s %7zu %7.3f %6u  failed 0x%08x\n", name.c_str(),
                        soup.indices.size() / 3, seconds, result.charts_out,
                        static_cast<unsigned>(status));
            ++bad;
            continue;
        }
        apply_corrections(result.mesh->vertices(), kSize, kSize, kGutter);
        const std::string obj = dir + "/" + name + ".obj";
        write_obj(obj, *result.mesh, result.face_partition);
        const std::string cmd = tool + " " + obj + " --width 1024 --height 1024 --gutter 4";
        std::string json;
        if (FILE* pipe = popen(cmd.c_str(), "r")) {
            char buf[4096];
            while (fgets(buf, sizeof buf, pipe)) {
                json += buf;
            }
            pclose(pipe);
        }
        const double overlap = metric(json, "overlap_texels_cons");
        const double gutter = metric(json, "gutter_violations_cons");
        const double self = metric(json, "self_overlap_texels");
        const double flipped = metric(json, "flipped_uv_triangles");
        const double degenerate = metric(json, "degenerate_uv_triangles");
        const double outside = metric(json, "out_of_bounds");
        const double l2 = metric(json, "l2_stretch");
        const bool ok = overlap == 0 && gutter == 0 && self == 0 && flipped == 0 &&
                        degenerate == 0 && outside == 0 && l2 <= 1.10;
        bad += ok ? 0 : 1;
        std::printf("%-12s %7zu %7.3f %6.3f %6.3f %6.3f %6.3f %6.0f %8.4f %6.3f %6.4f %7.0f %6.0f "
                    "%7.0f %7.0f %5.0f  %s\n",
                    name.c_str(), soup.indices.size() / 3, seconds, stage_time[0],
                    stage_time[1] - stage_time[0], stage_time[2] - stage_time[1],
                    seconds - stage_time[2], metric(json, "charts"), metric(json, "coverage"),
                    hull_fill(*result.mesh, result.face_partition), l2, overlap, gutter, self,
                    flipped, degenerate, ok ? "ok" : "INVALID");
        std::fflush(stdout);
    }
    return bad == 0 ? 0 : 1;
}
