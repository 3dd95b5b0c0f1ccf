#include "standalone/files/importer.h"

#include "host/text.h"
#include "standalone/files/import_animation.h"
#include "standalone/files/import_materials.h"
#include "standalone/scene/non_mesh_objects.h"

#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <pthread.h>
#include <span>
#include <stdexcept>
#include <unordered_map>

namespace {

Matrix3 to_matrix3(const aiMatrix4x4& m) {
    // Assimp transforms column vectors; the host's rows are the images of
    // the axes, so row i is column i.
    Matrix3 r;
    r.SetRow(0, Point3(m.a1, m.b1, m.c1));
    r.SetRow(1, Point3(m.a2, m.b2, m.c2));
    r.SetRow(2, Point3(m.a3, m.b3, m.c3));
    r.SetRow(3, Point3(m.a4, m.b4, m.c4));
    return r;
}

// Exact-bit keys: welding merges only corners that are truly identical.
struct Key4 {
    std::array<std::uint32_t, 4> bits;
    bool operator==(const Key4&) const = default;
};
struct Key4Hash {
    std::size_t operator()(const Key4& k) const {
        std::uint64_t h = 1469598103934665603ull;
        for (std::uint32_t b : k.bits) {
            h = (h ^ b) * 1099511628211ull;
        }
        return static_cast<std::size_t>(h);
    }
};
// `tag` tells apart equal values that must stay apart (the corner's vertex).
// Exporters write the pole of a sphere as 0 and -0 by turns: adding 0.0f
// makes every zero +0, so those corners weld like any other equal values.
Key4 key_of(float x, float y, float z, std::uint32_t tag = 0) {
    Key4 k;
    x += 0.0f;
    y += 0.0f;
    z += 0.0f;
    std::memcpy(&k.bits[0], &x, 4);
    std::memcpy(&k.bits[1], &y, 4);
    std::memcpy(&k.bits[2], &z, 4);
    k.bits[3] = tag;
    return k;
}

// The node's meshes merged into polygons over shared vertices, in flat
// arrays: a file of millions of small faces costs a few words per corner.
struct Polygons {
    std::vector<Point3> verts;
    std::vector<int> corners;                  // every face's vertices, face after face
    std::vector<std::size_t> face_begin = {0}; // face f: corners[face_begin[f] .. face_begin[f+1])
    // channel -> map vertices and each corner's map vertex (parallel to corners)
    std::map<int, std::vector<UVVert>> map_verts;
    std::map<int, std::vector<int>> map_corners;
    // The file's normal at each corner (parallel to corners), zero where its
    // mesh has none; empty when no mesh of the node has any.
    std::vector<aiVector3D> normals;

    std::size_t face_count() const { return face_begin.size() - 1; }
    std::size_t degree(std::size_t f) const { return face_begin[f + 1] - face_begin[f]; }
};

// Splits a face's welded corner ring into simple loops, calling
// emit(first, count) with positions into `loop_corners` for each loop of
// three or more corners. A corner that repeats the one before it (a pole
// quad) closes a loop of one, so that polygon is the smaller polygon it
// really is; a ring that touches itself (a bowtie of two triangles) becomes
// its two triangles; a loop of two corners has no area and disappears.
// `slot` maps a vertex to its place on the stack (-1: not there), and is
// left as it was found.
template <class Emit>
void split_into_loops(std::span<const int> ring, std::vector<int>& slot, std::vector<int>& stack,
                      Emit&& emit) {
    stack.clear();
    for (std::size_t k = 0; k < ring.size(); ++k) {
        const int v = ring[k];
        const int s = slot[static_cast<std::size_t>(v)];
        if (s < 0) {
            slot[static_cast<std::size_t>(v)] = static_cast<int>(stack.size());
            stack.push_back(static_cast<int>(k));
            continue;
        }
        // The corners from v's first visit up to here go round a loop.
        const std::size_t first = static_cast<std::size_t>(s);
        if (stack.size() - first >= 3) {
            emit(std::span<const int>(stack).subspan(first));
        }
        for (std::size_t j = first + 1; j < stack.size(); ++j) {
            slot[static_cast<std::size_t>(ring[static_cast<std::size_t>(stack[j])])] = -1;
        }
        stack.resize(first + 1);
    }
    if (stack.size() >= 3) {
        emit(std::span<const int>(stack));
    }
    for (int k : stack) {
        slot[static_cast<std::size_t>(ring[static_cast<std::size_t>(k)])] = -1;
    }
}

Polygons gather(const aiScene& scene, const aiNode& node) {
    Polygons out;
    std::unordered_map<Key4, int, Key4Hash> vertex_of;
    std::map<int, std::unordered_map<Key4, int, Key4Hash>> map_vertex_of; // per channel
    std::vector<int> channels;
    std::size_t corner_total = 0;
    bool normals = false;
    for (unsigned i = 0; i < node.mNumMeshes; ++i) {
        const aiMesh* mesh = scene.mMeshes[node.mMeshes[i]];
        normals = normals || mesh->HasNormals();
        for (unsigned c = 0; c < AI_MAX_NUMBER_OF_TEXTURECOORDS; ++c) {
            if (mesh->HasTextureCoords(c) && !out.map_verts.count(static_cast<int>(c) + 1)) {
                out.map_verts[static_cast<int>(c) + 1];
                out.map_corners[static_cast<int>(c) + 1];
                channels.push_back(static_cast<int>(c) + 1);
            }
        }
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            corner_total += mesh->mFaces[f].mNumIndices;
        }
    }
    out.corners.reserve(corner_total);
    if (normals) {
        out.normals.reserve(corner_total);
    }
    for (int ch : channels) {
        out.map_corners[ch].reserve(corner_total);
    }
    std::vector<int> local, ring, slot, stack;
    for (unsigned i = 0; i < node.mNumMeshes; ++i) {
        const aiMesh* mesh = scene.mMeshes[node.mMeshes[i]];
        local.resize(mesh->mNumVertices);
        for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
            const aiVector3D& p = mesh->mVertices[v];
            auto [it, inserted] =
                vertex_of.try_emplace(key_of(p.x, p.y, p.z), static_cast<int>(out.verts.size()));
            if (inserted) {
                out.verts.emplace_back(p.x, p.y, p.z);
            }
            local[v] = it->second;
        }
        slot.resize(out.verts.size(), -1);
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            const aiFace& face = mesh->mFaces[f];
            if (face.mNumIndices < 3) {
                continue; // points and lines are not surfaces
            }
            const std::span<const unsigned> index(face.mIndices, face.mNumIndices);
            if (std::any_of(index.begin(), index.end(),
                            [&](unsigned x) { return x >= mesh->mNumVertices; })) {
                continue;
            }
            ring.clear();
            for (unsigned x : index) {
                ring.push_back(local[x]);
            }
            split_into_loops(ring, slot, stack, [&](std::span<const int> loop) {
                for (int k : loop) {
                    out.corners.push_back(ring[static_cast<std::size_t>(k)]);
                    if (normals) {
                        out.normals.push_back(
                            mesh->HasNormals() ? mesh->mNormals[index[static_cast<std::size_t>(k)]]
                                               : aiVector3D(0, 0, 0));
                    }
                }
                out.face_begin.push_back(out.corners.size());
                for (int ch : channels) {
                    const unsigned c = static_cast<unsigned>(ch - 1);
                    auto& verts = out.map_verts[ch];
                    auto& to = out.map_corners[ch];
                    auto& known = map_vertex_of[ch];
                    for (int k : loop) {
                        const unsigned x = index[static_cast<std::size_t>(k)];
                        const aiVector3D uv = mesh->HasTextureCoords(c) ? mesh->mTextureCoords[c][x]
                                                                        : aiVector3D(0, 0, 0);
                        // Same position and same UV: one map vertex.
                        auto [it, inserted] = known.try_emplace(
                            key_of(uv.x, uv.y, uv.z, static_cast<std::uint32_t>(local[x])),
                            static_cast<int>(verts.size()));
                        if (inserted) {
                            verts.emplace_back(uv.x, uv.y, uv.z);
                        }
                        to.push_back(it->second);
                    }
                }
            });
        }
    }
    return out;
}

// Welding by position can put three or more faces on one edge (a model with
// doubled, back-to-back faces, common in game assets). Such a mesh is not a
// surface any unwrap can cut: on each such edge the first face and the first
// one running the edge the other way stay; every other face gets vertices of
// its own, as the file's own vertices had it.
void separate_extra_faces_on_edges(Polygons& p) {
    struct HalfEdge {
        std::uint64_t key;
        std::uint32_t face;
        bool forward;
        bool operator<(const HalfEdge& o) const {
            return key != o.key ? key < o.key : face < o.face;
        }
    };
    std::vector<HalfEdge> edges;
    edges.reserve(p.corners.size());
    for (std::size_t f = 0; f < p.face_count(); ++f) {
        const std::size_t first = p.face_begin[f], d = p.degree(f);
        for (std::size_t k = 0; k < d; ++k) {
            const auto a = static_cast<std::uint32_t>(p.corners[first + k]);
            const auto b = static_cast<std::uint32_t>(p.corners[first + (k + 1) % d]);
            edges.push_back({static_cast<std::uint64_t>(std::min(a, b)) << 32 | std::max(a, b),
                             static_cast<std::uint32_t>(f), a < b});
        }
    }
    std::sort(edges.begin(), edges.end());
    std::vector<bool> separate(p.face_count(), false);
    for (std::size_t i = 0; i < edges.size();) {
        std::size_t j = i;
        std::size_t partner = edges.size();
        while (j < edges.size() && edges[j].key == edges[i].key) {
            if (partner == edges.size() && edges[j].forward != edges[i].forward) {
                partner = j;
            }
            ++j;
        }
        if (j - i > 2) {
            for (std::size_t k = i + 1; k < j; ++k) {
                if (k != partner) {
                    separate[edges[k].face] = true;
                }
            }
        }
        i = j;
    }
    for (std::size_t f = 0; f < p.face_count(); ++f) {
        if (!separate[f]) {
            continue;
        }
        for (std::size_t c = p.face_begin[f]; c < p.face_begin[f + 1]; ++c) {
            p.verts.push_back(p.verts[static_cast<std::size_t>(p.corners[c])]);
            p.corners[c] = static_cast<int>(p.verts.size() - 1);
        }
    }
}

// Whether two corner normals from the file point the same way; a missing
// (zero) or broken (NaN) normal agrees with nothing.
bool same_direction(const aiVector3D& a, const aiVector3D& b) {
    constexpr double kMinCos = 0.999;
    const double d = static_cast<double>(a * b);
    return d > 0 && d * d > kMinCos * kMinCos * static_cast<double>(a.SquareLength()) *
                                static_cast<double>(b.SquareLength());
}

// Smoothing groups that give back the shading the file's normals describe.
// Faces joined by an edge whose normals agree on both sides at both ends
// form smooth regions; each region gets one bit, and regions that touch
// (along a hard edge, or only at a vertex, where the host would otherwise
// average across them) get different bits. A face alone in its region is
// shaded by its own normal either way, so it keeps group 0 and leaves the
// 32 bits to the regions that need them.
std::vector<DWORD> smoothing_groups(const Polygons& p) {
    const std::size_t nf = p.face_count();
    std::vector<DWORD> groups(nf, 0);
    if (p.normals.empty()) {
        return groups;
    }
    struct Side {
        std::uint64_t key;
        std::uint32_t face;
        std::uint32_t corner; // position in p.corners of the side's first corner
        bool operator<(const Side& o) const { return key != o.key ? key < o.key : face < o.face; }
    };
    std::vector<Side> sides;
    sides.reserve(p.corners.size());
    for (std::size_t f = 0; f < nf; ++f) {
        const std::size_t first = p.face_begin[f], d = p.degree(f);
        for (std::size_t k = 0; k < d; ++k) {
            const auto a = static_cast<std::uint32_t>(p.corners[first + k]);
            const auto b = static_cast<std::uint32_t>(p.corners[first + (k + 1) % d]);
            sides.push_back({static_cast<std::uint64_t>(std::min(a, b)) << 32 | std::max(a, b),
                             static_cast<std::uint32_t>(f), static_cast<std::uint32_t>(first + k)});
        }
    }
    std::sort(sides.begin(), sides.end());
    auto next_corner = [&](std::size_t c, std::size_t f) {
        return c + 1 < p.face_begin[f + 1] ? c + 1 : p.face_begin[f];
    };
    std::vector<std::size_t> root(nf);
    for (std::size_t f = 0; f < nf; ++f) {
        root[f] = f;
    }
    auto find = [&](std::size_t f) {
        while (root[f] != f) {
            root[f] = root[root[f]];
            f = root[f];
        }
        return f;
    };
    for (std::size_t i = 0, j = 0; i < sides.size(); i = j) {
        while (j < sides.size() && sides[j].key == sides[i].key) {
            ++j;
        }
        if (j - i != 2 || sides[i].face == sides[i + 1].face) {
            continue;
        }
        const Side &s = sides[i], &t = sides[i + 1];
        const std::size_t s0 = s.corner, s1 = next_corner(s0, s.face);
        std::size_t t0 = t.corner, t1 = next_corner(t0, t.face);
        if (p.corners[t0] != p.corners[s0]) {
            std::swap(t0, t1); // the usual case: the neighbour runs the edge the other way
        }
        if (same_direction(p.normals[s0], p.normals[t0]) &&
            same_direction(p.normals[s1], p.normals[t1])) {
            root[find(s.face)] = find(t.face);
        }
    }
    // The faces of each region, regions in the order of their first face.
    std::vector<std::size_t> size(nf, 0);
    for (std::size_t f = 0; f < nf; ++f) {
        root[f] = find(f);
        ++size[root[f]];
    }
    std::vector<std::size_t> begin(nf + 1, 0);
    for (std::size_t f = 0; f < nf; ++f) {
        begin[f + 1] = begin[f] + size[f];
    }
    std::vector<std::size_t> members(nf), fill(begin.begin(), begin.end() - 1);
    for (std::size_t f = 0; f < nf; ++f) {
        members[fill[root[f]]++] = f;
    }
    // Greedy colouring through the bits already taken at each vertex: linear
    // in the corners, however many regions meet at one vertex.
    std::vector<DWORD> taken(p.verts.size(), 0);
    std::size_t region = 0;
    for (std::size_t f = 0; f < nf; ++f) {
        const std::size_t r = root[f];
        if (size[r] < 2 || groups[f] != 0) {
            continue;
        }
        const std::span<const std::size_t> faces(members.data() + begin[r], size[r]);
        DWORD busy = 0;
        for (std::size_t g : faces) {
            for (std::size_t c = p.face_begin[g]; c < p.face_begin[g + 1]; ++c) {
                busy |= taken[static_cast<std::size_t>(p.corners[c])];
            }
        }
        // With all 32 taken around it some blending is unavoidable; the
        // bits go round so that it falls on different neighbours.
        const DWORD bit = busy == ~DWORD{0} ? DWORD{1} << (region % 32) : (busy + 1) & ~busy;
        ++region;
        for (std::size_t g : faces) {
            groups[g] = bit;
            for (std::size_t c = p.face_begin[g]; c < p.face_begin[g + 1]; ++c) {
                taken[static_cast<std::size_t>(p.corners[c])] |= bit;
            }
        }
    }
    return groups;
}

Object* make_object(const Polygons& p, const std::vector<DWORD>& groups) {
    const std::size_t faces = p.face_count();
    bool all_triangles = true;
    for (std::size_t f = 0; f < faces; ++f) {
        all_triangles = all_triangles && p.degree(f) == 3;
    }
    if (all_triangles) {
        auto* tri = new TriObject;
        Mesh& m = tri->mesh;
        m.verts = p.verts;
        m.setNumFaces(static_cast<int>(faces));
        for (std::size_t i = 0; i < faces; ++i) {
            m.faces[i].setVerts(static_cast<DWORD>(p.corners[3 * i]),
                                static_cast<DWORD>(p.corners[3 * i + 1]),
                                static_cast<DWORD>(p.corners[3 * i + 2]));
            m.faces[i].setEdgeVisFlags(1, 1, 1);
            m.faces[i].smGroup = groups[i];
        }
        for (const auto& [ch, verts] : p.map_verts) {
            m.setMapSupport(ch);
            m.Map(ch).tv = verts;
            const auto& corners = p.map_corners.at(ch);
            for (std::size_t i = 0; i < faces; ++i) {
                m.Map(ch).tf[i].setTVerts(static_cast<DWORD>(corners[3 * i]),
                                          static_cast<DWORD>(corners[3 * i + 1]),
                                          static_cast<DWORD>(corners[3 * i + 2]));
            }
        }
        return tri;
    }
    auto* poly = new PolyObject;
    MNMesh& mm = poly->mm;
    mm.v.resize(p.verts.size());
    for (std::size_t i = 0; i < p.verts.size(); ++i) {
        mm.v[i].p = p.verts[i];
    }
    auto face_of = [&](const std::vector<int>& corners, std::size_t f) {
        return std::vector<int>(corners.begin() + static_cast<std::ptrdiff_t>(p.face_begin[f]),
                                corners.begin() + static_cast<std::ptrdiff_t>(p.face_begin[f + 1]));
    };
    mm.f.resize(faces);
    for (std::size_t i = 0; i < faces; ++i) {
        mm.f[i].vtx = face_of(p.corners, i);
        mm.f[i].visedg.assign(p.degree(i), true);
        mm.f[i].smGroup = groups[i];
    }
    if (!p.map_verts.empty()) {
        mm.SetMapNum(p.map_verts.rbegin()->first + 1);
    }
    for (const auto& [ch, verts] : p.map_verts) {
        MNMap& map = *mm.M(ch);
        map.v = verts;
        const auto& corners = p.map_corners.at(ch);
        map.f.resize(faces);
        for (std::size_t i = 0; i < faces; ++i) {
            map.f[i].tv = face_of(corners, i);
        }
    }
    mm.FillInMesh();
    return poly;
}

struct Walker {
    const aiScene& scene;
    Scene& target;
    ImportResult& result;
    ImportedMaterials& materials;
    ImportedAnimation& animation;
    int unnamed = 0;

    std::wstring name_of(const aiNode& node) {
        if (node.mName.length > 0) {
            return Utf8ToWide(std::string(node.mName.C_Str()));
        }
        return L"Object" + std::to_wstring(++unnamed);
    }

    Object* non_mesh_object(const aiNode& node) {
        for (unsigned i = 0; i < scene.mNumCameras; ++i) {
            if (scene.mCameras[i]->mName == node.mName) {
                auto* cam = new CameraObject;
                cam->fov = 2.0f * scene.mCameras[i]->mHorizontalFOV;
                return cam;
            }
        }
        for (unsigned i = 0; i < scene.mNumLights; ++i) {
            if (scene.mLights[i]->mName == node.mName) {
                return new LightObject;
            }
        }
        return nullptr;
    }

    // The file's nodes in depth-first order, parents before children. A
    // loop, not recursion: a hierarchy can be as deep as the file is long.
    // `up` turns the file's world into the host's; it stands above the
    // file's root, animated or not.
    void visit_all(const aiNode& root, const aiMatrix4x4& up) {
        struct Pending {
            const aiNode* node;
            aiMatrix4x4 parent;
            NodeAnimation chain; // the parent's, from the top down
        };
        NodeAnimation top;
        top.Append(to_matrix3(up));
        std::vector<Pending> pending = {{&root, up, top}};
        while (!pending.empty()) {
            Pending p = std::move(pending.back());
            pending.pop_back();
            const aiMatrix4x4 world = p.parent * p.node->mTransformation;
            if (auto track = animation.TrackOf(*p.node)) {
                p.chain.Append(std::move(track));
            } else {
                p.chain.Append(to_matrix3(p.node->mTransformation));
            }
            visit(*p.node, world, p.chain);
            for (unsigned i = p.node->mNumChildren; i-- > 0;) {
                if (p.node->mChildren[i] != nullptr) {
                    pending.push_back({p.node->mChildren[i], world, p.chain});
                }
            }
        }
    }

    // Keyed nodes, or nodes below keyed ones, follow their keys; the others
    // keep the file's transform exactly.
    void place(SceneNode* n, const aiMatrix4x4& world, const NodeAnimation& chain) {
        n->SetObjectTM(to_matrix3(world));
        if (chain.Animated()) {
            n->SetAnimation(chain);
        }
    }

    void visit(const aiNode& node, const aiMatrix4x4& world, const NodeAnimation& chain) {
        if (node.mNumMeshes > 0) {
            Polygons polygons = gather(scene, node);
            separate_extra_faces_on_edges(polygons);
            SceneNode* n =
                target.CreateNode(name_of(node), make_object(polygons, smoothing_groups(polygons)));
            place(n, world, chain);
            // A node holds one material: when its meshes use several, the
            // first mesh's stands for all of them.
            const aiMesh* first = scene.mMeshes[node.mMeshes[0]];
            n->SetMtl(materials.Get(first->mMaterialIndex));
            result.mesh_nodes.push_back(n);
        } else if (Object* obj = non_mesh_object(node)) {
            SceneNode* n = target.CreateNode(name_of(node), obj);
            place(n, world, chain);
            result.other_nodes.push_back(n);
        }
    }
};

bool has_extension(const std::string& path, std::initializer_list<const char*> extensions) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::any_of(extensions.begin(), extensions.end(),
                       [&](const char* e) { return ext == e; });
}

// Whether the file's world is Y-up, the one other convention there is.
bool y_up(const std::string& path, const aiScene& scene, UpAxis up) {
    if (has_extension(path, {".gltf", ".glb", ".dae", ".zae"})) {
        return true;
    }
    if (has_extension(path, {".fbx"})) {
        std::int32_t axis = 1;
        if (scene.mMetaData != nullptr && scene.mMetaData->Get("UpAxis", axis)) {
            return axis != 2;
        }
        return true;
    }
    return up != UpAxis::Z;
}

ImportResult import_here(const std::string& path, Scene& scene, UpAxis up) {
    ImportResult result;
    Assimp::Importer importer;
    importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
    const aiScene* s = importer.ReadFile(path, aiProcess_ValidateDataStructure);
    if (s == nullptr || s->mRootNode == nullptr) {
        result.error = "Cannot read scene '" + path + "': " +
                       (s == nullptr ? std::string(importer.GetErrorString()) : "it has no nodes");
        return result;
    }
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    ImportedMaterials materials(*s,
                                (ec ? std::filesystem::path(path) : full).parent_path().string());
    ImportedAnimation animation(*s);
    Walker walker{*s, scene, result, materials, animation};
    // Y up becomes Z up: y turns into z, z into -y.
    const aiMatrix4x4 to_host = y_up(path, *s, up)
                                    ? aiMatrix4x4(1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1)
                                    : aiMatrix4x4();
    walker.visit_all(*s->mRootNode, to_host);
    result.ok = true;
    return result;
}

// Assimp's readers, its checks and its scene's destructor recurse once per
// level of the file's node hierarchy, and a small file can hold tens of
// thousands of levels: the import runs on a thread whose stack has room for
// them (address space only; pages are taken as they are touched).
constexpr std::size_t kImportStack = std::size_t{1} << 30;

struct ImportJob {
    const std::string* path;
    Scene* scene;
    UpAxis up;
    ImportResult result;
};

void* run_import(void* arg) {
    auto* job = static_cast<ImportJob*>(arg);
    try {
        job->result = import_here(*job->path, *job->scene, job->up);
    } catch (const std::exception& e) {
        job->result = ImportResult{};
        job->result.error = "Cannot read scene '" + *job->path + "': " + e.what();
    }
    return nullptr;
}

} // namespace

ImportResult import_scene(const std::string& path, Scene& scene, UpAxis up) {
    ImportJob job{&path, &scene, up, {}};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, kImportStack);
    pthread_t thread;
    const bool started = pthread_create(&thread, &attr, run_import, &job) == 0;
    pthread_attr_destroy(&attr);
    if (!started) {
        job.result.error = "Cannot read scene '" + path + "': no thread could be started for it";
        return job.result;
    }
    pthread_join(thread, nullptr);
    return job.result;
}
