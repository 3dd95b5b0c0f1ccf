// Materials and texture maps in the standalone host's scene file. Each map
// and material is written once, before the nodes, and named by a number;
// whatever refers to it (a material's slot, a node) writes that number, so
// sharing survives a save and a load. Maps come before the maps and
// materials that use them, sub-materials before the materials holding them.
//
//   0x5650 map (container)
//     0x5651 u32 number (maps count from 0 in file order)
//     0x5621 u32 super class, u32 class id part A, u32 part B
//     0x5654 u64 name length, name (UTF-8)
//     0x5652 the map's own data (a bitmap: u64 length + file name, i32
//            channel, u64 length + packed image bytes)
//     0x5653 u32 slot, u32 number of an earlier map; one per filled slot
//     0x565B u32 material flags (maps shown in viewports); absent: none
//   0x5658 material (container): as a map, with 0x5659 for its own data (a
//          standard material: f32 x 3 diffuse, f32 opacity, f32 x 3
//          self-illumination colour, f32 self-illumination amount (absent
//          in older files: 0); a shell material: i32 viewport index, i32
//          render index; a multi/sub-object material: u32 number of slots,
//          empty ones included (absent in older files: as many as its
//          sub-materials name)), 0x5653 naming maps, and
//     0x565A u32 sub-material slot, u32 number of an earlier material; one
//            per filled slot
//   in a node: 0x5613 u32 number of its material
#pragma once

#include "host/ioapi.h"
#include "host/mtl.h"

#include <cstdint>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

class Interface;
class Scene;

inline constexpr USHORT kMapChunk = 0x5650, kMaterialChunk = 0x5658, kNodeMaterialChunk = 0x5613;

// Numbers the materials of the scene's nodes and their maps, and writes them.
class MaterialWriter {
  public:
    explicit MaterialWriter(Scene& scene);
    bool Write(ISave* s);
    // The material's number; only the materials of the scene's nodes and
    // their sub-materials have one.
    std::uint32_t Number(Mtl* mtl) const { return mtl_number_.at(mtl); }

  private:
    void add(MtlBase* root, bool rootIsMtl);
    bool write_one(ISave* s, MtlBase* item, USHORT chunk, USHORT data, std::uint32_t number);

    std::map<Texmap*, std::uint32_t> map_number_;
    std::vector<Texmap*> maps_;
    std::map<Mtl*, std::uint32_t> mtl_number_;
    std::vector<Mtl*> mtls_;
    std::unordered_set<MtlBase*> visiting_;
};

// Reads map and material chunks as they come and hands out materials by
// number. It holds one reference to each while loading: what no node took
// goes with it.
class MaterialReader {
  public:
    MaterialReader(Interface& core, std::vector<std::string>& warnings)
        : core_(core), warnings_(warnings) {}
    ~MaterialReader();
    MaterialReader(const MaterialReader&) = delete;
    MaterialReader& operator=(const MaterialReader&) = delete;

    // Inside an open map or material chunk.
    void ReadMap(ILoad* in) { read_one(in, true); }
    void ReadMaterial(ILoad* in) { read_one(in, false); }
    // nullptr when the file has no such material.
    Mtl* Material(std::uint32_t number) const;

  private:
    void read_one(ILoad* in, bool is_map);

    Interface& core_;
    std::vector<std::string>& warnings_;
    std::map<std::uint32_t, Texmap*> maps_;
    std::map<std::uint32_t, Mtl*> mtls_;
};
