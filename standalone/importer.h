// Scene import through Assimp (glTF, FBX, OBJ, 3DS, DAE, ...): one node per
// file node that holds meshes, cameras or lights, in file order, each mesh
// node with its material (see import_materials.h) and, when the file's
// first animation keys it or a node above it, its animation.
//
// Meshes keep their polygons: a node whose faces are all triangles becomes a
// triangle-mesh object, any other a polygon-mesh object (its triangulation
// makes the inner edges invisible). Corners at one position share one
// vertex, so that triangles on both sides of a UV seam are neighbours; UV
// set k of the file becomes map channel k + 1, each map vertex shared by the
// corners with the same position and the same UV. A face whose corners weld
// together is the smaller face it really is: a repeated corner is dropped (a
// sphere's pole quad becomes a triangle), a face that touches itself splits
// into its loops, and a face left with fewer than three corners has no area
// and is not imported. Where welding would put
// three or more faces on one edge (doubled faces), the extra faces keep
// vertices of their own, so every imported mesh is a surface.
#pragma once

#include "standalone/scene.h"

#include <string>
#include <vector>

struct ImportResult {
    bool ok = false;
    std::string error; // names the file; set when !ok
    std::vector<SceneNode*> mesh_nodes;
    std::vector<SceneNode*> other_nodes; // cameras and lights
};

ImportResult import_scene(const std::string& path, Scene& scene);
