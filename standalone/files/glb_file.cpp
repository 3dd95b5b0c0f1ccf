#include "standalone/files/glb_file.h"

#include "standalone/files/json_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

constexpr std::uint32_t kMagic = 0x46546C67;     // "glTF"
constexpr std::uint32_t kJsonChunk = 0x4E4F534A; // "JSON"
constexpr std::uint32_t kBinChunk = 0x004E4942;  // "BIN\0"
constexpr int kFloat = 5126, kUnsignedInt = 5125;
constexpr int kArrayBuffer = 34962, kElementArrayBuffer = 34963;

// Shortest text that reads back as the same float.
std::string number(float x) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(x));
    return text;
}

void append_u32(std::vector<std::uint8_t>& out, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
    }
}

// Little-endian on every platform this runs on; glTF's binary is too.
template <class T>
std::size_t append_array(std::vector<std::uint8_t>& bin, const std::vector<T>& a) {
    const std::size_t offset = bin.size();
    bin.resize(offset + a.size() * sizeof(T));
    if (!a.empty()) {
        std::memcpy(bin.data() + offset, a.data(), a.size() * sizeof(T));
    }
    return offset;
}

struct Json {
    std::string accessors, views;
    int accessor_count = 0, view_count = 0;

    // A buffer view over bin[offset, offset + length); images have no target.
    int view(std::size_t offset, std::size_t length, int target) {
        views += std::string(view_count == 0 ? "" : ",") +
                 "{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) +
                 ",\"byteLength\":" + std::to_string(length) +
                 (target != 0 ? ",\"target\":" + std::to_string(target) : "") + "}";
        return view_count++;
    }

    // A buffer view and one accessor on it.
    int add(std::size_t offset, std::size_t length, int target, int component, std::size_t count,
            const char* type, const std::string& extra = "") {
        const int v = view(offset, length, target);
        accessors +=
            std::string(accessor_count == 0 ? "" : ",") + "{\"bufferView\":" + std::to_string(v) +
            ",\"componentType\":" + std::to_string(component) +
            ",\"count\":" + std::to_string(count) + ",\"type\":\"" + type + "\"" + extra + "}";
        return accessor_count++;
    }
};

// Texture i shows image i, so a texture reference names its image.
std::string texture_info(const GlbTextureRef& t) {
    return "{\"index\":" + std::to_string(t.image) + ",\"texCoord\":" + std::to_string(t.set) + "}";
}

std::string material_json(const GlbMaterial& m) {
    std::string pbr = "\"baseColorFactor\":[";
    for (std::size_t k = 0; k < 4; ++k) {
        pbr += (k == 0 ? "" : ",") + number(m.base_color[k]);
    }
    pbr += "]";
    if (m.base_color_texture.image >= 0) {
        pbr += ",\"baseColorTexture\":" + texture_info(m.base_color_texture);
    }
    std::string out = "{\"name\":" + JsonQuoted(m.name) + ",\"pbrMetallicRoughness\":{" + pbr +
                      ",\"metallicFactor\":0,\"roughnessFactor\":1}";
    if (m.normal_texture.image >= 0) {
        out += ",\"normalTexture\":" + texture_info(m.normal_texture);
    }
    return out + ",\"alphaMode\":\"" + (m.base_color[3] < 1 ? "BLEND" : "OPAQUE") + "\"}";
}

} // namespace

std::vector<std::uint8_t> glb_bytes(const std::vector<GlbMesh>& meshes,
                                    const std::vector<GlbMaterial>& materials,
                                    const std::vector<GlbImage>& images) {
    std::vector<std::uint8_t> bin;
    Json json;
    std::string nodes, meshes_json, scene_nodes;
    for (std::size_t m = 0; m < meshes.size(); ++m) {
        const GlbMesh& mesh = meshes[m];
        const std::size_t vertices = mesh.positions.size() / 3;
        // The reader needs the bounds of the positions.
        float lo[3], hi[3];
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::numeric_limits<float>::max();
            hi[k] = std::numeric_limits<float>::lowest();
        }
        for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
            lo[i % 3] = std::min(lo[i % 3], mesh.positions[i]);
            hi[i % 3] = std::max(hi[i % 3], mesh.positions[i]);
        }
        const std::string bounds = ",\"min\":[" + number(lo[0]) + "," + number(lo[1]) + "," +
                                   number(lo[2]) + "],\"max\":[" + number(hi[0]) + "," +
                                   number(hi[1]) + "," + number(hi[2]) + "]";
        std::string attributes =
            "\"POSITION\":" +
            std::to_string(json.add(append_array(bin, mesh.positions), mesh.positions.size() * 4,
                                    kArrayBuffer, kFloat, vertices, "VEC3", bounds));
        if (!mesh.normals.empty()) {
            attributes +=
                ",\"NORMAL\":" +
                std::to_string(json.add(append_array(bin, mesh.normals), mesh.normals.size() * 4,
                                        kArrayBuffer, kFloat, vertices, "VEC3"));
        }
        if (!mesh.tangents.empty()) {
            attributes +=
                ",\"TANGENT\":" +
                std::to_string(json.add(append_array(bin, mesh.tangents), mesh.tangents.size() * 4,
                                        kArrayBuffer, kFloat, vertices, "VEC4"));
        }
        for (std::size_t s = 0; s < mesh.texcoords.size(); ++s) {
            attributes += ",\"TEXCOORD_" + std::to_string(s) + "\":" +
                          std::to_string(json.add(append_array(bin, mesh.texcoords[s]),
                                                  mesh.texcoords[s].size() * 4, kArrayBuffer,
                                                  kFloat, vertices, "VEC2"));
        }
        std::string primitives;
        for (const GlbPrimitive& p : mesh.primitives) {
            const int indices =
                json.add(append_array(bin, p.indices), p.indices.size() * 4, kElementArrayBuffer,
                         kUnsignedInt, p.indices.size(), "SCALAR");
            const std::string material =
                p.material >= 0 ? ",\"material\":" + std::to_string(p.material) : "";
            primitives += std::string(primitives.empty() ? "" : ",") + "{\"attributes\":{" +
                          attributes + "},\"indices\":" + std::to_string(indices) + material +
                          ",\"mode\":4}";
        }
        const std::string sep = m == 0 ? "" : ",";
        meshes_json +=
            sep + "{\"name\":" + JsonQuoted(mesh.name) + ",\"primitives\":[" + primitives + "]}";
        std::string matrix;
        for (int i = 0; i < 16; ++i) {
            matrix += (i == 0 ? "" : ",") + number(mesh.matrix[static_cast<std::size_t>(i)]);
        }
        nodes += sep + "{\"name\":" + JsonQuoted(mesh.name) + ",\"mesh\":" + std::to_string(m) +
                 ",\"matrix\":[" + matrix + "]}";
        scene_nodes += sep + std::to_string(m);
    }
    std::string images_json, textures_json;
    for (std::size_t i = 0; i < images.size(); ++i) {
        const std::string sep = i == 0 ? "" : ",";
        const int v = json.view(append_array(bin, images[i].bytes), images[i].bytes.size(), 0);
        // Every view starts on a 4-byte boundary, whatever lies before it.
        while (bin.size() % 4 != 0) {
            bin.push_back(0);
        }
        images_json += sep + "{\"bufferView\":" + std::to_string(v) +
                       ",\"mimeType\":" + JsonQuoted(images[i].mime_type) + "}";
        textures_json += sep + "{\"sampler\":0,\"source\":" + std::to_string(i) + "}";
    }
    std::string materials_json;
    for (std::size_t i = 0; i < materials.size(); ++i) {
        materials_json += (i == 0 ? "" : ",") + material_json(materials[i]);
    }

    std::string text = "{\"asset\":{\"generator\":\"Vellumar\",\"version\":\"2.0\"},\"scene\":0,";
    if (meshes.empty()) {
        // glTF forbids empty arrays: a scene without nodes has none.
        text += "\"scenes\":[{}]}";
    } else {
        text += "\"scenes\":[{\"nodes\":[" + scene_nodes + "]}],\"nodes\":[" + nodes +
                "],\"meshes\":[" + meshes_json + "],";
        if (!materials.empty()) {
            text += "\"materials\":[" + materials_json + "],";
        }
        if (!images.empty()) {
            // 9729: linear, 10497: repeat.
            text += "\"textures\":[" + textures_json +
                    "],\"samplers\":[{\"magFilter\":9729,\"minFilter\":9729,\"wrapS\":10497,"
                    "\"wrapT\":10497}],\"images\":[" +
                    images_json + "],";
        }
        text += "\"accessors\":[" + json.accessors + "],\"bufferViews\":[" + json.views +
                "],\"buffers\":[{\"byteLength\":" + std::to_string(bin.size()) + "}]}";
    }
    // Chunks are padded to 4 bytes: JSON with spaces, binary with zeros.
    while (text.size() % 4 != 0) {
        text += ' ';
    }
    while (bin.size() % 4 != 0) {
        bin.push_back(0);
    }
    std::vector<std::uint8_t> out;
    const std::size_t total = 12 + 8 + text.size() + (bin.empty() ? 0 : 8 + bin.size());
    if (total > std::numeric_limits<std::uint32_t>::max()) {
        return out;
    }
    out.reserve(total);
    append_u32(out, kMagic);
    append_u32(out, 2);
    append_u32(out, static_cast<std::uint32_t>(total));
    append_u32(out, static_cast<std::uint32_t>(text.size()));
    append_u32(out, kJsonChunk);
    out.insert(out.end(), text.begin(), text.end());
    if (!bin.empty()) {
        append_u32(out, static_cast<std::uint32_t>(bin.size()));
        append_u32(out, kBinChunk);
        out.insert(out.end(), bin.begin(), bin.end());
    }
    return out;
}
