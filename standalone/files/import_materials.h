// The materials of an Assimp scene as the host's standard materials: base or
// diffuse colour and map (with its UV set), opacity, emission, and a normal
// map (as a normal bump) or a height map in the bump slot. Textures packed
// into the file are decoded from memory; texture files keep their names,
// found relative to the scene's folder.
#pragma once

#include "host/mtl.h"

#include <assimp/scene.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

class ImportedMaterials {
  public:
    // scene_dir: the folder of the scene file, for relative texture names.
    ImportedMaterials(const aiScene& scene, std::string scene_dir);
    // Drops the materials no node took.
    ~ImportedMaterials();
    ImportedMaterials(const ImportedMaterials&) = delete;
    ImportedMaterials& operator=(const ImportedMaterials&) = delete;

    // The material of the file's material `index`, made on first use and
    // the same object after; nullptr for none or for the grey stand-in
    // Assimp invents for files without materials.
    Mtl* Get(unsigned index);

  private:
    Texmap* texture(const aiMaterial& m, aiTextureType type);
    std::shared_ptr<const std::vector<std::uint8_t>> packed(const aiTexture& t);

    const aiScene& scene_;
    std::string scene_dir_;
    std::vector<Mtl*> made_;
    std::map<const aiTexture*, std::shared_ptr<const std::vector<std::uint8_t>>> packed_;
};
