// Projection bakes: a node whose bake projection is on shows, texel by
// texel, the surfaces of its projection modifier's source objects instead
// of its own. With UVW matching, a texel shows the source point that has
// the texel's coordinates in the sub-object bake channel, so the sources
// are drawn in that channel and shaded as themselves. Ray traced, a texel
// shows the source surface that a ray along the node's normal meets.
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
    float rayOffset = 1.0f;      // ray traced: how far off the surface sources are looked for
    bool warnRayMiss = false;    // ray traced: texels without a source are shown and counted
};

// What a texel whose ray found no source shows when ray misses are
// warned about: the red the host's projection marks them with.
inline constexpr float kRayMissRGBA[4] = {1, 0, 0, 1};

// The node's projection; nullopt when the node bakes its own surface (its
// projection is off or names no projection modifier).
std::optional<ProjectionSetup> BakeProjectionOf(Scene& scene, INode* node);

// Whether the node's bake shows other objects: such a node holds copies of
// them and would shadow them twice, so rays pass through it.
bool IsProjectionTarget(INode* node);

// The rows of the image a projection bake fills, source by source: a texel
// belongs to the first source that covers it.
class ProjectedImage {
  public:
    // Rows `rows` (within the image) of a width x height image.
    ProjectedImage(int width, int height, RowRange rows = {});
    // A source's window image (RGBA per window texel of cov).
    void Add(const TexelCoverage& cov, const std::vector<float>& rgba);
    // The texels taken so far, as a coverage of its rows.
    const TexelCoverage& Coverage() const { return coverage_; }
    std::vector<float>& Pixels() { return rgba_; }

    // Texels of the target that show no source (image-wide indices): they
    // stay out of the coverage, so padding never spreads into them. Those
    // outside the rows are no concern of this image.
    void SetMissed(std::vector<std::size_t> texels) { missed_ = std::move(texels); }
    // Gives the missed texels that colour, once the padding is done.
    void PaintMissed(const float rgba[4]);

  private:
    TexelCoverage coverage_;
    std::vector<float> rgba_;
    std::vector<std::size_t> missed_;
};
