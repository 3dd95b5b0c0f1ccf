// Baked images put to use: every target map of a bake gets one new material
// holding the images as bitmap textures in the slots the entries name, and
// every object receives its map's material, either in place of its own or
// inside a shell material that keeps its own beside it. Also the commands
// on shells afterwards and the slot names a material class offers.
#pragma once

#include "bake/bake_element.h"
#include "host/class_desc.h"
#include "host/inode.h"
#include "host/mtl.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The shell's parameters choosing the sub-material viewports and renders
// show (0: the original, 1: the baked one).
inline constexpr int kShellViewport = 0;
inline constexpr int kShellRender = 1;

// The materials of one Bake command, gathered over its frames and handed to
// the objects once every frame went through. The assigner holds a reference
// to everything it gathered, so a bake that fails half-way leaves nothing
// behind.
class MaterialAssigner {
  public:
    MaterialAssigner() = default;
    ~MaterialAssigner() { Discard(); }
    MaterialAssigner(const MaterialAssigner&) = delete;
    MaterialAssigner& operator=(const MaterialAssigner&) = delete;

    // After each baked frame: the images of every entry with a slot go into
    // the materials of their maps. `materialClass` nullptr: nothing happens.
    void AssignBakedMaterials(const std::vector<INode*>& objects, std::uint64_t groupKey,
                              int mapCount, const std::vector<BakeElementEntry>& elements,
                              ClassDesc* materialClass, int frame, const std::string& groupName);
    // After the last frame: the objects get their materials; with shells,
    // the group's shells show the baked material. Empties the caches.
    void FinishBake(const std::vector<INode*>& groupObjects);
    // Forgets what was gathered (a failed bake).
    void Discard();

    // What the objects will receive, in the order they were first met.
    const std::vector<std::pair<INode*, Mtl*>>& ObjectMaterials() const { return objectMaterial_; }

  private:
    Mtl* material_for(INode* object, int mapIndex, ClassDesc* materialClass);
    void set_object_material(INode* object, Mtl* mtl);

    std::vector<std::pair<INode*, Mtl*>> objectMaterial_;
    std::vector<std::pair<int, Mtl*>> mapMaterial_;
};

// The material class named `className` among the host's material classes,
// the first two of the directory not counted; nullptr when there is none.
ClassDesc* FindMaterialClass(const std::string& className);

// The classes users may choose for baked materials: the host's material
// classes but the first two, in the host's order.
std::vector<ClassDesc*> TargetMaterialClasses();

// Whether the material is the host's shell material.
bool IsShell(Mtl* mtl);

// Puts the texture into the first slot named `slot` of the material and of
// each of its sub-materials (depth first) where that slot is empty, and
// shows the material's maps in viewports where it has such a slot.
void PutTextureInSlot(Mtl* mtl, Texmap* texture, const std::string& slot);

// The map slot names of the material, then those of its sub-materials depth
// first; empty names left out, duplicates kept.
std::vector<std::string> CollectSlotNames(Mtl* mtl);

// Sets the shell parameter `which` (kShellViewport or kShellRender) to
// `value` (0 original, 1 baked) on every shell the objects wear, then
// redraws. Returns how many shells changed; 0 (and no redraw) for another
// `which` or `value`.
int SetShellIndex(const std::vector<INode*>& objects, int which, int value);

// Replaces the shell of every selected object by its baked (`keepBaked`) or
// its original sub-material, then redraws. Returns how many were replaced.
int ClearShells(bool keepBaked);

// Makes an instance of the material class and puts its slot names into
// `slotNames`; false, the names unchanged, when the host makes none.
bool SlotNamesOfClass(ClassDesc* materialClass, std::vector<std::string>& slotNames);

// The user picked another class for baked materials. When its name is not
// the settings' `target_material`: the settings take it, `slotNames` is
// rebuilt from an instance of it and every entry's slot becomes "NONE";
// returns whether that happened.
bool TargetMaterialChanged(ClassDesc* materialClass, std::vector<std::string>& slotNames);

// One line of an image file list: the image's file name with the frame, and
// for the first frame of a range that starts after 0 the count of frames it
// is held for.
std::string ImageListLine(const std::string& imageName, int frame);
