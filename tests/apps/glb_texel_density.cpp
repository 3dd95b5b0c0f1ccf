// Measures a baked .glb as a viewer would show it: texels per scene unit of
// the base colour textures, from the embedded image's own size, the UV set
// the material names and the world-space triangles. Prints the density over
// all textured meshes and the image sizes seen.
// Usage: glb_texel_density FILE.glb
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>

namespace {

// Width and height from a PNG's IHDR chunk.
bool png_size(const aiTexture* t, unsigned& w, unsigned& h) {
    if (t == nullptr || t->mHeight != 0 || t->mWidth < 24) {
        return false;
    }
    const auto* b = reinterpret_cast<const unsigned char*>(t->pcData);
    if (b[0] != 0x89 || b[1] != 'P' || b[12] != 'I' || b[13] != 'H') {
        return false;
    }
    auto be32 = [&](int at) {
        return (unsigned(b[at]) << 24) | (unsigned(b[at + 1]) << 16) | (unsigned(b[at + 2]) << 8) |
               unsigned(b[at + 3]);
    };
    w = be32(16);
    h = be32(20);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.glb\n", argv[0]);
        return 2;
    }
    Assimp::Importer importer;
    const aiScene* s = importer.ReadFile(argv[1], aiProcess_PreTransformVertices);
    if (s == nullptr) {
        std::fprintf(stderr, "cannot read %s: %s\n", argv[1], importer.GetErrorString());
        return 1;
    }
    double texels = 0, surface = 0;
    std::set<std::pair<unsigned, unsigned>> sizes;
    for (unsigned m = 0; m < s->mNumMeshes; ++m) {
        const aiMesh* mesh = s->mMeshes[m];
        const aiMaterial* mat = s->mMaterials[mesh->mMaterialIndex];
        aiString path;
        unsigned set = 0;
        if (mat->GetTexture(aiTextureType_BASE_COLOR, 0, &path, nullptr, &set) != AI_SUCCESS &&
            mat->GetTexture(aiTextureType_DIFFUSE, 0, &path, nullptr, &set) != AI_SUCCESS) {
            continue;
        }
        unsigned w = 0, h = 0;
        if (!png_size(s->GetEmbeddedTexture(path.C_Str()), w, h) || !mesh->HasTextureCoords(set)) {
            std::fprintf(stderr, "mesh %u: no embedded PNG or no UV set %u\n", m, set);
            return 1;
        }
        sizes.insert({w, h});
        const aiVector3D* uv = mesh->mTextureCoords[set];
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            const aiFace& face = mesh->mFaces[f];
            if (face.mNumIndices != 3) {
                continue;
            }
            const unsigned a = face.mIndices[0], b = face.mIndices[1], c = face.mIndices[2];
            const aiVector3D e1 = mesh->mVertices[b] - mesh->mVertices[a];
            const aiVector3D e2 = mesh->mVertices[c] - mesh->mVertices[a];
            surface += 0.5 * double((e1 ^ e2).Length());
            const aiVector3D t1 = uv[b] - uv[a], t2 = uv[c] - uv[a];
            texels += 0.5 * std::abs(double(t1.x) * t2.y - double(t1.y) * t2.x) * w * h;
        }
    }
    if (surface <= 0) {
        std::fprintf(stderr, "%s: no textured surface\n", argv[1]);
        return 1;
    }
    std::printf("%.6f", std::sqrt(texels / surface));
    for (const auto& [w, h] : sizes) {
        std::printf(" %ux%u", w, h);
    }
    std::printf("\n");
    return 0;
}
