// Projection bakes: a node whose bake projection is on shows, texel by
// texel, the surfaces of its projection modifier's source objects instead
// of its own. With UVW matching, a texel shows the source point that has
// the texel's coordinates in the sub-object bake channel, so the sources
// are drawn in that channel and shaded as themselves.
#pragma once

#include "host/inode.h"
#include "standalone/render/texel_raster.h"

#include <optional>
#include <vector>

class Scene;

struct ProjectionSetup {
    std::vector<INode*> sources; // in the modifier's order; deleted ones left out
    int channel = 1;             // where sources and target share coordinates
    bool raytrace = false;       // rays from the target's surface instead of UVW matching
};

// The node's projection; nullopt when the node bakes its own surface (its
// projection is off or names no projection modifier).
std::optional<ProjectionSetup> BakeProjectionOf(Scene& scene, INode* node);

// Whether the node's bake shows other objects: such a node holds copies of
// them and would shadow them twice, so rays pass through it.
bool IsProjectionTarget(INode* node);

// The whole image a projection bake fills, source by source: a texel
// belongs to the first source that covers it.
class ProjectedImage {
  public:
    ProjectedImage(int width, int height);
    // A source's window image (RGBA per window texel of cov).
    void Add(const TexelCoverage& cov, const std::vector<float>& rgba);
    // The texels taken so far, as a coverage of the whole image.
    const TexelCoverage& Coverage() const { return coverage_; }
    std::vector<float>& Pixels() { return rgba_; }

  private:
    TexelCoverage coverage_;
    std::vector<float> rgba_;
};
