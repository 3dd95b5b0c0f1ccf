// Checks a .glb as a user's texture tool would read it: every mesh has the
// two texture-coordinate sets given, and they are equal at every vertex.
// Usage: glb_channels_match FILE.glb SET_A SET_B MIN_MESHES
#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s FILE.glb SET_A SET_B MIN_MESHES\n", argv[0]);
        return 2;
    }
    const unsigned a = static_cast<unsigned>(std::atoi(argv[2]));
    const unsigned b = static_cast<unsigned>(std::atoi(argv[3]));
    Assimp::Importer importer;
    const aiScene* s = importer.ReadFile(argv[1], 0);
    if (s == nullptr) {
        std::fprintf(stderr, "cannot read %s: %s\n", argv[1], importer.GetErrorString());
        return 1;
    }
    if (s->mNumMeshes < static_cast<unsigned>(std::atoi(argv[4]))) {
        std::fprintf(stderr, "only %u meshes\n", s->mNumMeshes);
        return 1;
    }
    std::size_t checked = 0;
    for (unsigned m = 0; m < s->mNumMeshes; ++m) {
        const aiMesh* mesh = s->mMeshes[m];
        if (!mesh->HasTextureCoords(a) || !mesh->HasTextureCoords(b)) {
            std::fprintf(stderr, "mesh %u lacks set %u or %u\n", m, a, b);
            return 1;
        }
        for (unsigned v = 0; v < mesh->mNumVertices; ++v, ++checked) {
            const aiVector3D& p = mesh->mTextureCoords[a][v];
            const aiVector3D& q = mesh->mTextureCoords[b][v];
            if (p.x != q.x || p.y != q.y) {
                std::fprintf(stderr, "mesh %u vertex %u: (%g %g) != (%g %g)\n", m, v, p.x, p.y, q.x,
                             q.y);
                return 1;
            }
        }
    }
    std::printf("%u meshes, %zu vertices: sets %u and %u match\n", s->mNumMeshes, checked, a, b);
    return 0;
}
