#include "standalone/importer.h"

#include "host/text.h"
#include "standalone/non_mesh_objects.h"

#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <pthread.h>
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
Key4 key_of(float x, float y, float z, std::uint32_t tag = 0) {
    Key4 k;
    std::memcpy(&k.bits[0], &x, 4);
    std::memcpy(&k.bits[1], &y, 4);
    std::memcpy(&k.bits[2], &z, 4);
    k.bits[3] = tag;
    return k;
}

// The node's meshes merged into polygons over shared vertices.
struct Polygons {
    std::vector<Point3> verts;
    std::vector<std::vector<int>> faces;
    // channel -> map vertices and, per face, its corners' map vertices
    std::map<int, std::vector<UVVert>> map_verts;
    std::map<int, std::vector<std::vector<int>>> map_faces;
};

Polygons gather(const aiScene& scene, const aiNode& node) {
    Polygons out;
    std::unordered_map<Key4, int, Key4Hash> vertex_of;
    std::map<int, std::unordered_map<Key4, int, Key4Hash>> map_vertex_of; // per channel
    std::vector<int> channels;
    for (unsigned i = 0; i < node.mNumMeshes; ++i) {
        const aiMesh* mesh = scene.mMeshes[node.mMeshes[i]];
        for (unsigned c = 0; c < AI_MAX_NUMBER_OF_TEXTURECOORDS; ++c) {
            if (mesh->HasTextureCoords(c) && !out.map_verts.count(static_cast<int>(c) + 1)) {
                out.map_verts[static_cast<int>(c) + 1];
                out.map_faces[static_cast<int>(c) + 1];
                channels.push_back(static_cast<int>(c) + 1);
            }
        }
    }
    for (unsigned i = 0; i < node.mNumMeshes; ++i) {
        const aiMesh* mesh = scene.mMeshes[node.mMeshes[i]];
        std::vector<int> local(mesh->mNumVertices);
        for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
            const aiVector3D& p = mesh->mVertices[v];
            auto [it, inserted] =
                vertex_of.try_emplace(key_of(p.x, p.y, p.z), static_cast<int>(out.verts.size()));
            if (inserted) {
                out.verts.emplace_back(p.x, p.y, p.z);
            }
            local[v] = it->second;
        }
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            const aiFace& face = mesh->mFaces[f];
            if (face.mNumIndices < 3) {
                continue; // points and lines are not surfaces
            }
            std::vector<int> corners;
            bool valid = true;
            for (unsigned k = 0; k < face.mNumIndices; ++k) {
                valid = valid && face.mIndices[k] < mesh->mNumVertices;
                corners.push_back(valid ? local[face.mIndices[k]] : -1);
            }
            if (!valid) {
                continue;
            }
            for (int ch : channels) {
                const unsigned c = static_cast<unsigned>(ch - 1);
                std::vector<int> tv;
                for (unsigned k = 0; k < face.mNumIndices; ++k) {
                    const aiVector3D uv = mesh->HasTextureCoords(c)
                                              ? mesh->mTextureCoords[c][face.mIndices[k]]
                                              : aiVector3D(0, 0, 0);
                    // Same position and same UV: one map vertex.
                    auto& verts = out.map_verts[ch];
                    auto [it, inserted] = map_vertex_of[ch].try_emplace(
                        key_of(uv.x, uv.y, uv.z, static_cast<std::uint32_t>(corners[k])),
                        static_cast<int>(verts.size()));
                    if (inserted) {
                        verts.emplace_back(uv.x, uv.y, uv.z);
                    }
                    tv.push_back(it->second);
                }
                out.map_faces[ch].push_back(std::move(tv));
            }
            out.faces.push_back(std::move(corners));
        }
    }
    return out;
}

// Welding by position can put three or more faces on one edge (a model with
// doubled, back-to-back faces, common in game assets). Such a mesh is not a
// surface any unwrap can cut: on each such edge the first face and the first
// one running the edge the other way stay (faces that repeat a vertex only
// when no other face is there); every other face gets vertices of its own,
// as the file's own vertices had it.
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
    for (std::size_t f = 0; f < p.faces.size(); ++f) {
        const auto& c = p.faces[f];
        for (std::size_t k = 0; k < c.size(); ++k) {
            const auto a = static_cast<std::uint32_t>(c[k]);
            const auto b = static_cast<std::uint32_t>(c[(k + 1) % c.size()]);
            if (a != b) {
                edges.push_back({static_cast<std::uint64_t>(std::min(a, b)) << 32 | std::max(a, b),
                                 static_cast<std::uint32_t>(f), a < b});
            }
        }
    }
    std::sort(edges.begin(), edges.end());
    std::vector<bool> separate(p.faces.size(), false);
    std::vector<bool> degenerate(p.faces.size(), false);
    for (std::size_t f = 0; f < p.faces.size(); ++f) {
        std::vector<int> corners = p.faces[f];
        std::sort(corners.begin(), corners.end());
        degenerate[f] = std::adjacent_find(corners.begin(), corners.end()) != corners.end();
    }
    for (std::size_t i = 0; i < edges.size();) {
        std::size_t j = i;
        while (j < edges.size() && edges[j].key == edges[i].key) {
            ++j;
        }
        if (j - i > 2) {
            // Faces that repeat a vertex (slivers at a welded pole) are the
            // ones to move apart; the surface keeps its real faces.
            std::size_t keep = j;
            for (int pass = 0; pass < 2 && keep == j; ++pass) {
                for (std::size_t k = i; k < j && keep == j; ++k) {
                    if (pass == 1 || !degenerate[edges[k].face]) {
                        keep = k;
                    }
                }
            }
            std::size_t partner = j;
            for (int pass = 0; pass < 2 && partner == j; ++pass) {
                for (std::size_t k = i; k < j && partner == j; ++k) {
                    if (edges[k].face != edges[keep].face &&
                        edges[k].forward != edges[keep].forward &&
                        (pass == 1 || !degenerate[edges[k].face])) {
                        partner = k;
                    }
                }
            }
            for (std::size_t k = i; k < j; ++k) {
                if (k != keep && k != partner && edges[k].face != edges[keep].face &&
                    (partner == j || edges[k].face != edges[partner].face)) {
                    separate[edges[k].face] = true;
                }
            }
        }
        i = j;
    }
    for (std::size_t f = 0; f < p.faces.size(); ++f) {
        if (!separate[f]) {
            continue;
        }
        for (int& v : p.faces[f]) {
            p.verts.push_back(p.verts[static_cast<std::size_t>(v)]);
            v = static_cast<int>(p.verts.size() - 1);
        }
    }
}

Object* make_object(const Polygons& p) {
    bool all_triangles = true;
    for (const auto& f : p.faces) {
        all_triangles = all_triangles && f.size() == 3;
    }
    if (all_triangles) {
        auto* tri = new TriObject;
        Mesh& m = tri->mesh;
        m.verts = p.verts;
        m.setNumFaces(static_cast<int>(p.faces.size()));
        for (std::size_t i = 0; i < p.faces.size(); ++i) {
            m.faces[i].setVerts(static_cast<DWORD>(p.faces[i][0]),
                                static_cast<DWORD>(p.faces[i][1]),
                                static_cast<DWORD>(p.faces[i][2]));
            m.faces[i].setEdgeVisFlags(1, 1, 1);
        }
        for (const auto& [ch, verts] : p.map_verts) {
            m.setMapSupport(ch);
            m.Map(ch).tv = verts;
            const auto& faces = p.map_faces.at(ch);
            for (std::size_t i = 0; i < faces.size(); ++i) {
                m.Map(ch).tf[i].setTVerts(static_cast<DWORD>(faces[i][0]),
                                          static_cast<DWORD>(faces[i][1]),
                                          static_cast<DWORD>(faces[i][2]));
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
    mm.f.resize(p.faces.size());
    for (std::size_t i = 0; i < p.faces.size(); ++i) {
        mm.f[i].vtx = p.faces[i];
        mm.f[i].visedg.assign(p.faces[i].size(), true);
    }
    if (!p.map_verts.empty()) {
        mm.SetMapNum(p.map_verts.rbegin()->first + 1);
    }
    for (const auto& [ch, verts] : p.map_verts) {
        MNMap& map = *mm.M(ch);
        map.v = verts;
        const auto& faces = p.map_faces.at(ch);
        map.f.resize(faces.size());
        for (std::size_t i = 0; i < faces.size(); ++i) {
            map.f[i].tv = faces[i];
        }
    }
    mm.FillInMesh();
    return poly;
}

struct Walker {
    const aiScene& scene;
    Scene& target;
    ImportResult& result;
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
    void visit_all(const aiNode& root) {
        std::vector<std::pair<const aiNode*, aiMatrix4x4>> pending = {{&root, aiMatrix4x4()}};
        while (!pending.empty()) {
            const auto [node, parent] = pending.back();
            pending.pop_back();
            const aiMatrix4x4 world = parent * node->mTransformation;
            visit(*node, world);
            for (unsigned i = node->mNumChildren; i-- > 0;) {
                if (node->mChildren[i] != nullptr) {
                    pending.emplace_back(node->mChildren[i], world);
                }
            }
        }
    }

    void visit(const aiNode& node, const aiMatrix4x4& world) {
        if (node.mNumMeshes > 0) {
            Polygons polygons = gather(scene, node);
            separate_extra_faces_on_edges(polygons);
            SceneNode* n = target.CreateNode(name_of(node), make_object(polygons));
            n->SetObjectTM(to_matrix3(world));
            result.mesh_nodes.push_back(n);
        } else if (Object* obj = non_mesh_object(node)) {
            SceneNode* n = target.CreateNode(name_of(node), obj);
            n->SetObjectTM(to_matrix3(world));
            result.other_nodes.push_back(n);
        }
    }
};

ImportResult import_here(const std::string& path, Scene& scene) {
    ImportResult result;
    Assimp::Importer importer;
    importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
    const aiScene* s = importer.ReadFile(path, aiProcess_ValidateDataStructure);
    if (s == nullptr || s->mRootNode == nullptr) {
        result.error = "Cannot read scene '" + path + "': " +
                       (s == nullptr ? std::string(importer.GetErrorString()) : "it has no nodes");
        return result;
    }
    Walker walker{*s, scene, result};
    walker.visit_all(*s->mRootNode);
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
    ImportResult result;
};

void* run_import(void* arg) {
    auto* job = static_cast<ImportJob*>(arg);
    try {
        job->result = import_here(*job->path, *job->scene);
    } catch (const std::exception& e) {
        job->result = ImportResult{};
        job->result.error = "Cannot read scene '" + *job->path + "': " + e.what();
    }
    return nullptr;
}

} // namespace

ImportResult import_scene(const std::string& path, Scene& scene) {
    ImportJob job{&path, &scene, {}};
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
