#include "standalone/files/exporter.h"

#include "host/text.h"
#include "standalone/files/export_materials.h"
#include "standalone/files/glb_file.h"
#include "standalone/files/output_file.h"
#include "standalone/render/bake_mesh.h"
#include "standalone/render/tangent_frames.h"
#include "standalone/scene/node_ops.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <unordered_map>

namespace {

// glTF's column-major matrix: its columns are the images of the axes and
// the translation, which are the host matrix's rows.
std::array<float, 16> column_major(const Matrix3& m) {
    std::array<float, 16> out{};
    for (int r = 0; r < 4; ++r) {
        const Point3 row = m.GetRow(r);
        out[static_cast<std::size_t>(4 * r)] = row.x;
        out[static_cast<std::size_t>(4 * r + 1)] = row.y;
        out[static_cast<std::size_t>(4 * r + 2)] = row.z;
    }
    out[15] = 1;
    return out;
}

// The host's Z-up world as the Y-up one glTF defines (and OBJ files keep by
// convention): z turns into y, y into -z.
Matrix3 to_y_up() {
    Matrix3 m;
    m.SetRow(0, Point3(1, 0, 0));
    m.SetRow(1, Point3(0, 0, -1));
    m.SetRow(2, Point3(0, 1, 0));
    m.SetRow(3, Point3(0, 0, 0));
    return m;
}

bool finite_number(float x) {
    return std::isfinite(x);
}

std::uint32_t bits(float x) {
    std::uint32_t b = 0;
    std::memcpy(&b, &x, 4);
    return b;
}

struct KeyHash {
    std::size_t operator()(const std::vector<std::uint32_t>& k) const {
        std::uint64_t h = 1469598103934665603ull;
        for (std::uint32_t x : k) {
            h = (h ^ x) * 1099511628211ull;
        }
        return static_cast<std::size_t>(h);
    }
};

// The node's mesh as glTF vertices: one per distinct combination of a
// corner's position, its shading normal, its tangent frame in the tangent
// channel and its UVs in sets 0 .. sets-1 (channel s + 1, zeros where the
// channel is missing). Faces naming missing vertices are left out, so what
// is written is consistent whatever the scene holds. The faces go into one
// primitive per glTF material, given per face by faceMaterial, in the
// order the materials first appear.
GlbMesh glb_mesh(const Mesh& m, int sets, int tangentChannel,
                 const std::vector<int>& faceMaterial) {
    GlbMesh out;
    const auto nv = static_cast<DWORD>(m.verts.size());
    // The corners as the renderer sees them, in object space, so that the
    // tangents written are the frames tangent-space normal maps were baked in.
    std::vector<int> faces;
    for (int f = 0; f < m.getNumFaces(); ++f) {
        const Face& face = m.faces[static_cast<std::size_t>(f)];
        if (face.v[0] < nv && face.v[1] < nv && face.v[2] < nv) {
            faces.push_back(f);
        }
    }
    const std::vector<Point3> normals = CornerNormals(m, m.verts);
    BakeMesh corners;
    const bool tangents =
        tangentChannel > 0 && tangentChannel < m.getNumMaps() && m.mapSupport(tangentChannel);
    for (int f : faces) {
        for (int k = 0; k < 3; ++k) {
            const std::size_t c = std::size_t(f) * 3 + std::size_t(k);
            corners.position.push_back(m.verts[m.faces[std::size_t(f)].v[k]]);
            // A corner of a face without area has no normal; glTF needs a unit one.
            corners.normal.push_back(normals[c].Length() > 0 ? normals[c] : Point3(0, 0, 1));
            Point2 uv;
            if (tangents) {
                const DWORD tv = m.mapFaces(tangentChannel)[f].t[k];
                if (tv < static_cast<DWORD>(m.getNumMapVerts(tangentChannel))) {
                    uv = Point2(m.mapVerts(tangentChannel)[tv].x, m.mapVerts(tangentChannel)[tv].y);
                }
            }
            corners.uv.push_back(uv);
        }
    }
    TangentFrames frames;
    if (tangents) {
        frames = ComputeTangentFrames(corners);
    }
    std::unordered_map<std::vector<std::uint32_t>, std::uint32_t, KeyHash> vertex_of;
    std::vector<std::uint32_t> key;
    std::vector<float> uv(2 * static_cast<std::size_t>(sets));
    out.texcoords.resize(static_cast<std::size_t>(sets));
    std::map<int, std::size_t> primitive_of;
    for (std::size_t i = 0; i < faces.size(); ++i) {
        const int f = faces[i];
        const Face& face = m.faces[static_cast<std::size_t>(f)];
        const int material = faceMaterial[static_cast<std::size_t>(f)];
        const auto [p, first] = primitive_of.try_emplace(material, out.primitives.size());
        if (first) {
            out.primitives.push_back({{}, material});
        }
        std::vector<std::uint32_t>& indices = out.primitives[p->second].indices;
        for (int k = 0; k < 3; ++k) {
            const std::size_t c = i * 3 + std::size_t(k);
            const Point3& n = corners.normal[c];
            key.assign({face.v[k], bits(n.x), bits(n.y), bits(n.z)});
            if (tangents) {
                const Point3& t = frames.tangent[c];
                key.insert(key.end(), {bits(t.x), bits(t.y), bits(t.z), bits(frames.sign[c])});
            }
            for (int s = 0; s < sets; ++s) {
                const int ch = s + 1;
                float u = 0, v = 0;
                if (m.mapSupport(ch)) {
                    const DWORD tv = m.mapFaces(ch)[f].t[k];
                    if (tv < static_cast<DWORD>(m.getNumMapVerts(ch))) {
                        u = m.mapVerts(ch)[tv].x;
                        v = m.mapVerts(ch)[tv].y;
                    }
                }
                // glTF's v runs down from the top of the image.
                uv[2 * static_cast<std::size_t>(s)] = u;
                uv[2 * static_cast<std::size_t>(s) + 1] = 1.0f - v;
                key.push_back(bits(u));
                key.push_back(bits(v));
            }
            const auto [it, fresh] =
                vertex_of.try_emplace(key, static_cast<std::uint32_t>(out.positions.size() / 3));
            if (fresh) {
                const Point3& p = m.verts[face.v[k]];
                out.positions.insert(out.positions.end(), {p.x, p.y, p.z});
                out.normals.insert(out.normals.end(), {n.x, n.y, n.z});
                if (tangents) {
                    const Point3& t = frames.tangent[c];
                    out.tangents.insert(out.tangents.end(), {t.x, t.y, t.z, frames.sign[c]});
                }
                for (int s = 0; s < sets; ++s) {
                    auto& set = out.texcoords[static_cast<std::size_t>(s)];
                    set.push_back(uv[2 * static_cast<std::size_t>(s)]);
                    set.push_back(uv[2 * static_cast<std::size_t>(s) + 1]);
                }
            }
            indices.push_back(it->second);
        }
    }
    return out;
}

ExportResult write_to(ExportResult r, const std::string& path) {
    if (r.ok) {
        const std::string error = write_output_file(path, r.bytes);
        if (!error.empty()) {
            r.ok = false;
            r.error = error;
        }
    }
    r.bytes.clear();
    return r;
}

} // namespace

ExportResult export_glb(const std::vector<INode*>& nodes, TimeValue t, int tangentChannel) {
    ExportResult result;
    std::vector<GlbMesh> meshes;
    std::set<int> lost;
    GlbMaterialTable materials;
    for (INode* node : nodes) {
        Mesh m;
        if (!EvaluatedMesh(node, t, m) || m.faces.empty()) {
            continue;
        }
        int sets = 0;
        for (int ch = 1; ch < m.getNumMaps(); ++ch) {
            if (m.mapSupport(ch)) {
                if (ch <= kGlbMaxChannel) {
                    sets = ch;
                } else {
                    lost.insert(ch);
                }
            }
        }
        const std::string name = WideToUtf8(node->GetName());
        // Only sets the mesh has count: the zeros that fill gaps place no texture.
        std::vector<bool> has_set(static_cast<std::size_t>(sets));
        for (int s = 0; s < sets; ++s) {
            has_set[static_cast<std::size_t>(s)] = m.mapSupport(s + 1);
        }
        std::map<MtlID, int> material_of_id;
        std::vector<int> face_material(m.faces.size());
        const auto nv = static_cast<DWORD>(m.verts.size());
        for (std::size_t f = 0; f < m.faces.size(); ++f) {
            const Face& face = m.faces[f];
            if (face.v[0] >= nv || face.v[1] >= nv || face.v[2] >= nv) {
                continue; // left out of the mesh, so no material is asked for
            }
            const MtlID id = face.matID;
            const auto [it, fresh] = material_of_id.try_emplace(id, -1);
            if (fresh) {
                it->second = materials.MaterialFor(node->GetMtl(), id, has_set, name);
            }
            face_material[f] = it->second;
        }
        GlbMesh mesh = glb_mesh(m, sets, tangentChannel, face_material);
        if (mesh.primitives.empty()) {
            continue;
        }
        mesh.name = name;
        mesh.matrix = column_major(node->GetObjectTM(t) * to_y_up());
        const bool all_finite =
            std::all_of(mesh.positions.begin(), mesh.positions.end(), finite_number) &&
            std::all_of(mesh.normals.begin(), mesh.normals.end(), finite_number) &&
            std::all_of(mesh.tangents.begin(), mesh.tangents.end(), finite_number) &&
            std::all_of(mesh.matrix.begin(), mesh.matrix.end(), finite_number) &&
            std::all_of(mesh.texcoords.begin(), mesh.texcoords.end(), [](const auto& set) {
                return std::all_of(set.begin(), set.end(), finite_number);
            });
        if (!all_finite) {
            result.error = "object '" + mesh.name +
                           "' has positions, UVs or a transform that are not finite numbers, "
                           "which glTF cannot hold";
            return result;
        }
        meshes.push_back(std::move(mesh));
    }
    result.warnings = materials.Warnings();
    result.bytes = glb_bytes(meshes, materials.Materials(), materials.Images());
    if (result.bytes.empty()) {
        result.error = "the scene is too large for a glTF binary file (4 GiB)";
        return result;
    }
    result.ok = true;
    result.meshes = static_cast<int>(meshes.size());
    result.lost_channels.assign(lost.begin(), lost.end());
    return result;
}

ExportResult export_glb(const std::vector<INode*>& nodes, TimeValue t, const std::string& path,
                        int tangentChannel) {
    ExportResult r = export_glb(nodes, t, tangentChannel);
    if (!r.ok) {
        r.error = "Cannot export '" + path + "': " + r.error;
    }
    return write_to(std::move(r), path);
}

ExportResult export_obj(const std::vector<INode*>& nodes, TimeValue t, int channel) {
    ExportResult result;
    std::string text;
    char line[160];
    auto append = [&](int n) {
        if (n > 0) {
            text.append(line, std::min(static_cast<std::size_t>(n), sizeof line - 1));
        }
    };
    std::size_t v_base = 1, vt_base = 1;
    for (INode* node : nodes) {
        Mesh m;
        if (!EvaluatedMesh(node, t, m) || m.faces.empty()) {
            continue;
        }
        const Matrix3 tm = node->GetObjectTM(t) * to_y_up();
        text += "o " + WideToUtf8(node->GetName()) + "\n";
        for (const Point3& p : m.verts) {
            const Point3 w = tm.PointTransform(p);
            append(std::snprintf(line, sizeof line, "v %.9g %.9g %.9g\n", w.x, w.y, w.z));
        }
        const bool uv = m.mapSupport(channel);
        const int nt = uv ? m.getNumMapVerts(channel) : 0;
        for (int i = 0; i < nt; ++i) {
            const UVVert& t3 = m.mapVerts(channel)[i];
            append(std::snprintf(line, sizeof line, "vt %.9g %.9g\n", t3.x, t3.y));
        }
        const auto nv = static_cast<DWORD>(m.verts.size());
        for (int f = 0; f < m.getNumFaces(); ++f) {
            const Face& face = m.faces[static_cast<std::size_t>(f)];
            if (face.v[0] >= nv || face.v[1] >= nv || face.v[2] >= nv) {
                continue;
            }
            const TVFace* tf = uv ? &m.mapFaces(channel)[f] : nullptr;
            const bool with_vt = tf != nullptr && tf->t[0] < static_cast<DWORD>(nt) &&
                                 tf->t[1] < static_cast<DWORD>(nt) &&
                                 tf->t[2] < static_cast<DWORD>(nt);
            text += "f";
            for (int k = 0; k < 3; ++k) {
                if (with_vt) {
                    append(std::snprintf(line, sizeof line, " %zu/%zu", v_base + face.v[k],
                                         vt_base + tf->t[k]));
                } else {
                    append(std::snprintf(line, sizeof line, " %zu", v_base + face.v[k]));
                }
            }
            text += "\n";
        }
        v_base += m.verts.size();
        vt_base += static_cast<std::size_t>(nt);
        ++result.meshes;
    }
    result.bytes.assign(text.begin(), text.end());
    result.ok = true;
    return result;
}

ExportResult export_obj(const std::vector<INode*>& nodes, TimeValue t, int channel,
                        const std::string& path) {
    return write_to(export_obj(nodes, t, channel), path);
}
