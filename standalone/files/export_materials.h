// The materials of a glTF export, gathered from the host materials of the
// exported nodes: each standard material once per combination of textures
// its meshes can show, each image once however many maps name it.
#pragma once

#include "host/mesh.h"
#include "standalone/files/glb_file.h"

#include <map>
#include <string>
#include <tuple>
#include <vector>

class Mtl;
class Texmap;

class GlbMaterialTable {
  public:
    // The glTF material for the faces with material id `id` of a mesh
    // named `object` wearing `mtl` (a multi/sub-object material gives them
    // the sub-material the id selects), whose exported sets are those with
    // sets[s] true; -1 for none. Textures the mesh cannot show, images that
    // cannot be read and materials of other classes are named in the
    // warnings, once each.
    int MaterialFor(Mtl* mtl, MtlID id, const std::vector<bool>& sets, const std::string& object);

    const std::vector<GlbMaterial>& Materials() const { return materials_; }
    const std::vector<GlbImage>& Images() const { return images_; }
    const std::vector<std::string>& Warnings() const { return warnings_; }

  private:
    struct Texture {
        Texmap* map = nullptr; // the bitmap that holds the image
        int loaded = -1;       // into loaded_, or none
        int channel = 0;
    };
    Texture texture(Texmap* map, const std::string& material);
    int load(Texmap* map, const std::string& material);
    // The file's image of a loaded one; only images a material shows are
    // written.
    int use(int loaded);
    void warn(const std::string& text);

    std::vector<GlbMaterial> materials_;
    std::vector<GlbImage> images_;
    std::vector<std::string> warnings_;
    std::map<std::tuple<Mtl*, bool, bool>, int> material_of_;
    std::vector<GlbImage> loaded_;
    std::vector<int> image_of_loaded_;
    // Keyed by the resolved file name, or by the packed bytes' address;
    // -1 for images that cannot be read.
    std::map<std::string, int> loaded_file_;
    std::map<const void*, int> loaded_bytes_;
};
