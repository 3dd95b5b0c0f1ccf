#include "standalone/files/import_materials.h"

#include "host/text.h"
#include "standalone/files/png_file.h"
#include "standalone/materials/bitmap_texture.h"
#include "standalone/materials/normal_bump.h"
#include "standalone/materials/standard_material.h"

#include <assimp/material.h>

#include <algorithm>
#include <cstring>

ImportedMaterials::ImportedMaterials(const aiScene& scene, std::string scene_dir)
    : scene_(scene), scene_dir_(std::move(scene_dir)), made_(scene.mNumMaterials, nullptr) {}

ImportedMaterials::~ImportedMaterials() {
    for (Mtl* m : made_) {
        if (m != nullptr) {
            m->DecRef();
        }
    }
}

std::shared_ptr<const std::vector<std::uint8_t>> ImportedMaterials::packed(const aiTexture& t) {
    auto& bytes = packed_[&t];
    if (bytes) {
        return bytes;
    }
    auto out = std::make_shared<std::vector<std::uint8_t>>();
    if (t.mHeight == 0) {
        // A whole image file (PNG, JPEG, ...) of mWidth bytes.
        const auto* data = reinterpret_cast<const std::uint8_t*>(t.pcData);
        if (data != nullptr) {
            out->assign(data, data + t.mWidth);
        }
    } else if (t.pcData != nullptr) {
        // Bare texels: kept as a PNG, the one form a bitmap map carries.
        const std::size_t n = std::size_t(t.mWidth) * t.mHeight;
        std::vector<std::uint16_t> rgba(n * 4);
        for (std::size_t i = 0; i < n; ++i) {
            const aiTexel& x = t.pcData[i];
            rgba[4 * i] = std::uint16_t(x.r * 257);
            rgba[4 * i + 1] = std::uint16_t(x.g * 257);
            rgba[4 * i + 2] = std::uint16_t(x.b * 257);
            rgba[4 * i + 3] = std::uint16_t(x.a * 257);
        }
        if (!png_rgba16(int(t.mWidth), int(t.mHeight), rgba, *out).empty()) {
            out->clear();
        }
    }
    bytes = std::move(out);
    return bytes;
}

Texmap* ImportedMaterials::texture(const aiMaterial& m, aiTextureType type) {
    aiString path;
    unsigned uvindex = 0;
    if (m.GetTextureCount(type) == 0 ||
        m.GetTexture(type, 0, &path, nullptr, &uvindex) != aiReturn_SUCCESS || path.length == 0) {
        return nullptr;
    }
    auto* map = new BitmapTexture;
    // Assimp counts UV sets from 0; the host's texture channels from 1.
    map->SetMapChannel(static_cast<int>(std::min(uvindex, 98u)) + 1);
    const std::string name = path.C_Str();
    if (const aiTexture* embedded = scene_.GetEmbeddedTexture(name.c_str())) {
        const std::string own = embedded->mFilename.length > 0 ? embedded->mFilename.C_Str() : name;
        map->SetMapName(Utf8ToWide(own).c_str());
        map->SetPackedImage(packed(*embedded));
    } else {
        map->SetMapName(Utf8ToWide(ResolveTexturePath(name, scene_dir_)).c_str());
    }
    return map;
}

Mtl* ImportedMaterials::Get(unsigned index) {
    if (index >= made_.size() || scene_.mMaterials[index] == nullptr) {
        return nullptr;
    }
    if (made_[index] != nullptr) {
        return made_[index];
    }
    const aiMaterial& m = *scene_.mMaterials[index];
    aiString name;
    m.Get(AI_MATKEY_NAME, name);
    if (std::strcmp(name.C_Str(), AI_DEFAULT_MATERIAL_NAME) == 0) {
        return nullptr;
    }
    auto* mtl = new StandardMaterial;
    mtl->IncRef();
    made_[index] = mtl;
    mtl->SetName(Utf8ToWide(name.C_Str()));
    aiColor4D colour;
    if (m.Get(AI_MATKEY_BASE_COLOR, colour) == aiReturn_SUCCESS ||
        m.Get(AI_MATKEY_COLOR_DIFFUSE, colour) == aiReturn_SUCCESS) {
        mtl->SetDiffuse(Color(colour.r, colour.g, colour.b), 0);
    }
    float opacity = 1.0f;
    if (m.Get(AI_MATKEY_OPACITY, opacity) == aiReturn_SUCCESS) {
        mtl->SetOpacity(opacity, 0);
    }
    aiColor3D emissive;
    if (m.Get(AI_MATKEY_COLOR_EMISSIVE, emissive) == aiReturn_SUCCESS) {
        mtl->SetSelfIllumColor(Color(emissive.r, emissive.g, emissive.b), 0);
    }
    Texmap* diffuse = texture(m, aiTextureType_BASE_COLOR);
    mtl->SetSubTexmap(ID_DI, diffuse != nullptr ? diffuse : texture(m, aiTextureType_DIFFUSE));
    mtl->SetSubTexmap(ID_OP, texture(m, aiTextureType_OPACITY));
    mtl->SetSubTexmap(ID_SI, texture(m, aiTextureType_EMISSIVE));
    if (Texmap* normal = texture(m, aiTextureType_NORMALS)) {
        auto* bump = new NormalBump;
        bump->SetSubTexmap(0, normal);
        mtl->SetSubTexmap(ID_BU, bump);
    } else {
        mtl->SetSubTexmap(ID_BU, texture(m, aiTextureType_HEIGHT));
    }
    return mtl;
}
