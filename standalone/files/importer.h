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

#include "standalone/scene/scene.h"

#include <string>
#include <vector>

struct ImportResult {
    bool ok = false;
    std::string error; // names the file; set when !ok
    std::vector<SceneNode*> mesh_nodes;
    std::vector<SceneNode*> other_nodes; // cameras and lights
};

// Which way is up in a file. The host is Z-up; glTF is Y-up by definition,
// Collada files say so themselves (the reader turns them Y-up), FBX files
// carry their axes. Other formats (OBJ, 3DS, PLY, ...) have no word on it:
// they are taken as Y-up, the common convention, unless told otherwise.
enum class UpAxis { FromFile, Y, Z };

// Reads the file into the scene, turned so that its up axis is the host's.
// `up` says which way is up in formats that do not say it themselves.
ImportResult import_scene(const std::string& path, Scene& scene, UpAxis up = UpAxis::FromFile);
