#include "standalone/exporter.h"

#include "host/text.h"

#include <assimp/Exporter.hpp>
#include <assimp/material.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

namespace {

aiMatrix4x4 to_ai(const Matrix3& m) {
    const Point3 x = m.GetRow(0), y = m.GetRow(1), z = m.GetRow(2), t = m.GetRow(3);
    return aiMatrix4x4(x.x, y.x, z.x, t.x, x.y, y.y, z.y, t.y, x.z, y.z, z.z, t.z, 0, 0, 0, 1);
}

// The evaluated mesh of a node, as triangles; empty when the node is no mesh.
bool evaluated_mesh(INode* node, TimeValue t, Mesh& out) {
    Object* obj = node->EvalWorldState(t).obj;
    if (obj == nullptr || !obj->CanConvertToType(triObjectClassID)) {
        return false;
    }
    Object* tri = obj->ConvertToType(t, triObjectClassID);
    if (tri == nullptr) {
        return false;
    }
    out = static_cast<TriObject*>(tri)->mesh;
    if (tri != obj) {
        tri->DeleteThis();
    }
    return true;
}

// An aiMesh whose vertices are the distinct combinations of a corner's
// geometric vertex and its map vertex in every exported channel.
aiMesh* to_ai_mesh(const Mesh& m, const std::string& name) {
    std::vector<int> channels; // 1..99 that the mesh supports
    int last = 0;
    for (int ch = 1; ch < m.getNumMaps(); ++ch) {
        if (m.mapSupport(ch)) {
            channels.push_back(ch);
            last = ch;
        }
    }
    const auto nv = static_cast<DWORD>(m.verts.size());
    std::map<std::vector<DWORD>, unsigned> vertex_of;
    std::vector<std::vector<DWORD>> keys;
    std::vector<unsigned> corners;
    for (int f = 0; f < m.getNumFaces(); ++f) {
        const Face& face = m.faces[static_cast<std::size_t>(f)];
        if (face.v[0] >= nv || face.v[1] >= nv || face.v[2] >= nv) {
            continue;
        }
        for (int k = 0; k < 3; ++k) {
            std::vector<DWORD> key = {face.v[k]};
            for (int ch : channels) {
                key.push_back(m.mapFaces(ch)[f].t[k]);
            }
            auto [it, fresh] = vertex_of.try_emplace(key, static_cast<unsigned>(keys.size()));
            if (fresh) {
                keys.push_back(key);
            }
            corners.push_back(it->second);
        }
    }
    auto* mesh = new aiMesh;
    mesh->mName = name;
    mesh->mMaterialIndex = 0;
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mNumVertices = static_cast<unsigned>(keys.size());
    mesh->mVertices = new aiVector3D[keys.size()];
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const Point3& p = m.verts[keys[i][0]];
        mesh->mVertices[i] = aiVector3D(p.x, p.y, p.z);
    }
    // glTF numbers its sets without gaps, so a missing channel below the
    // highest one is written as zeros to keep channel k at TEXCOORD_(k-1).
    for (int ch = 1; ch <= last && ch <= AI_MAX_NUMBER_OF_TEXTURECOORDS; ++ch) {
        const auto set = static_cast<unsigned>(ch - 1);
        mesh->mTextureCoords[set] = new aiVector3D[keys.size()];
        mesh->mNumUVComponents[set] = 2;
        const auto pos = std::find(channels.begin(), channels.end(), ch);
        for (std::size_t i = 0; i < keys.size(); ++i) {
            aiVector3D uv(0, 0, 0);
            if (pos != channels.end()) {
                const DWORD t = keys[i][static_cast<std::size_t>(pos - channels.begin()) + 1];
                if (t < static_cast<DWORD>(m.getNumMapVerts(ch))) {
                    const UVVert& v = m.mapVerts(ch)[t];
                    uv = aiVector3D(v.x, v.y, 0);
                }
            }
            mesh->mTextureCoords[set][i] = uv;
        }
    }
    mesh->mNumFaces = static_cast<unsigned>(corners.size() / 3);
    mesh->mFaces = new aiFace[mesh->mNumFaces];
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
        mesh->mFaces[f].mNumIndices = 3;
        mesh->mFaces[f].mIndices =
            new unsigned[3]{corners[3 * f], corners[3 * f + 1], corners[3 * f + 2]};
    }
    return mesh;
}

} // namespace

ExportResult export_glb(const std::vector<INode*>& nodes, TimeValue t, const std::string& path) {
    ExportResult result;
    std::vector<aiMesh*> meshes;
    std::vector<aiNode*> children;
    for (INode* node : nodes) {
        Mesh m;
        if (!evaluated_mesh(node, t, m) || m.faces.empty()) {
            continue;
        }
        const std::string name = WideToUtf8(node->GetName());
        auto* child = new aiNode(name);
        child->mTransformation = to_ai(node->GetObjectTM(t));
        child->mNumMeshes = 1;
        child->mMeshes = new unsigned[1]{static_cast<unsigned>(meshes.size())};
        meshes.push_back(to_ai_mesh(m, name));
        children.push_back(child);
    }
    auto scene = std::make_unique<aiScene>();
    scene->mRootNode = new aiNode("root");
    scene->mMaterials = new aiMaterial* [1] { new aiMaterial };
    scene->mNumMaterials = 1;
    scene->mNumMeshes = static_cast<unsigned>(meshes.size());
    scene->mMeshes = new aiMesh*[meshes.size()];
    std::copy(meshes.begin(), meshes.end(), scene->mMeshes);
    scene->mRootNode->addChildren(static_cast<unsigned>(children.size()), children.data());

    Assimp::Exporter exporter;
    if (exporter.Export(scene.get(), "glb2", path) != aiReturn_SUCCESS) {
        result.error = "Cannot export '" + path + "': " + exporter.GetErrorString();
        return result;
    }
    result.ok = true;
    result.meshes = static_cast<int>(meshes.size());
    return result;
}

ExportResult export_obj(const std::vector<INode*>& nodes, TimeValue t, int channel,
                        const std::string& path) {
    ExportResult result;
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        result.error = "Cannot export '" + path + "': cannot open the file";
        return result;
    }
    std::size_t v_base = 1, vt_base = 1;
    for (INode* node : nodes) {
        Mesh m;
        if (!evaluated_mesh(node, t, m) || m.faces.empty()) {
            continue;
        }
        const Matrix3 tm = node->GetObjectTM(t);
        std::fprintf(file, "o %s\n", WideToUtf8(node->GetName()).c_str());
        for (const Point3& p : m.verts) {
            const Point3 w = tm.PointTransform(p);
            std::fprintf(file, "v %.9g %.9g %.9g\n", w.x, w.y, w.z);
        }
        const bool uv = m.mapSupport(channel);
        const int nt = uv ? m.getNumMapVerts(channel) : 0;
        for (int i = 0; i < nt; ++i) {
            const UVVert& t3 = m.mapVerts(channel)[i];
            std::fprintf(file, "vt %.9g %.9g\n", t3.x, t3.y);
        }
        for (int f = 0; f < m.getNumFaces(); ++f) {
            const Face& face = m.faces[static_cast<std::size_t>(f)];
            std::fprintf(file, "f");
            for (int k = 0; k < 3; ++k) {
                if (uv) {
                    std::fprintf(file, " %zu/%zu", v_base + face.v[k],
                                 vt_base + m.mapFaces(channel)[f].t[k]);
                } else {
                    std::fprintf(file, " %zu", v_base + face.v[k]);
                }
            }
            std::fprintf(file, "\n");
        }
        v_base += m.verts.size();
        vt_base += static_cast<std::size_t>(nt);
        ++result.meshes;
    }
    if (std::fclose(file) != 0) {
        result.error = "Cannot export '" + path + "': write failed";
        return result;
    }
    result.ok = true;
    return result;
}
