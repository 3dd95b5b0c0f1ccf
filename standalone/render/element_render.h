// One bake element over the texels of one mesh: the element's parameters
// read by name and handed to the bake that computes its texels.
#pragma once

#include "standalone/render/bake_elements.h"
#include "standalone/render/bake_mesh.h"
#include "standalone/render/render_context.h"
#include "standalone/render/texel_raster.h"

#include <vector>

// RGBA per window texel of cov, the surface shaded by the node's material.
// objectTM: the space of object-space normals (the baked node's own).
// Throws RenderFailure for an element class this renderer cannot bake.
std::vector<float> RenderElement(RenderContext& ctx, INode* node, const BakeMesh& mesh,
                                 const TexelCoverage& cov, const StandaloneBakeElement& e,
                                 const Matrix3& objectTM);

bool IsNormalsElement(const StandaloneBakeElement& e);

// World-space normals per window texel of cov (zero where uncovered),
// written in the space and with the green direction the normals element
// asks for; tangent space is that of the mesh's frames at each texel.
std::vector<float> EncodeNormals(const StandaloneBakeElement& e, const BakeMesh& mesh,
                                 const TexelCoverage& cov, const Matrix3& objectTM,
                                 const std::vector<Point3>& normals);
