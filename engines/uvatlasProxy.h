// The adapter between the unwrap pipeline and the atlas library: the atlas
// parameters of the current run, the Organic unwrap of one map with its
// fallbacks and messages, and the packing services of every other mode.
// Every failure throws Proxy_Exception with the user's message.
#pragma once

#include "atlas/mesh.h"
#include "atlas/progress.h"
#include "host/max_types.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

using AtlasMeshPtr = std::unique_ptr<vellumar::atlas::AtlasMesh>;

class UvAtlasProxy {
  public:
    // Stores the run's parameters. The atlas library needs no device, so
    // nothing can fail here.
    void init(HWND window, std::uint32_t max_charts, float max_stretch, std::uint32_t width,
              std::uint32_t height, int gutter, bool quality);
    // Forgets the run's window.
    void release();
    // A texel density (texels per scene unit) that chooses the atlas size:
    // each unwrap or pack then takes the smallest square side up to
    // max_size (a power of two unless any_size) that holds its charts, and
    // width() and height() follow it. 0 lets the size stand again; either
    // way too_big() is forgotten.
    void set_density(double density, std::uint32_t max_size, bool any_size);
    double density() const { return density_; }
    std::uint32_t max_size() const { return max_size_; }
    // Whether the last failure was a density the largest size cannot hold.
    bool too_big() const { return too_big_; }

    // The Organic unwrap of one map: repairs the false edges of triangle
    // objects unwrapped as polygons, then tries the atlas with the false
    // edges, with the false edges before the coplanar merge, and (for
    // triangle objects only) without any; the user sees the last failure.
    // The per-face-edge spans are borrowed; false_edges may be modified by
    // the repair.
    void create_atlas(const vellumar::atlas::AtlasMesh& mesh, AtlasMeshPtr& result,
                      std::vector<std::uint32_t>& vertex_remap,
                      const vellumar::atlas::ProgressCallback& progress,
                      std::span<const std::uint32_t> adjacency,
                      std::span<std::uint32_t> false_edges,
                      std::span<const std::uint32_t> false_edge_copy, bool triangles_only);

    // Chart numbers from 1 per triangle: the connected components of the
    // adjacency, numbered in the order of their lowest triangle.
    static std::vector<std::uint32_t>
    charts_from_adjacency(const vellumar::atlas::AtlasMesh& mesh,
                          std::span<const std::uint32_t> adjacency);
    // Gives every chart its own vertices: a vertex used by several charts is
    // kept by the first (in index order) and copied, at the end of the
    // vertex list, for each further one. Triangle order never changes.
    static void split_shared_vertices(AtlasMeshPtr& mesh, std::span<const std::uint32_t> charts);
    // Packs the charts into width x height with the gutter, keeping their
    // shapes; splits shared vertices first when asked.
    void pack(AtlasMeshPtr& mesh, std::span<const std::uint32_t> adjacency,
              const vellumar::atlas::ProgressCallback& progress,
              std::span<const std::uint32_t> charts, bool split);

    // The three corrections every computed atlas gets, in this order. Each
    // returns false, changing nothing, when the mesh has no vertex data.
    bool aspect_fit(vellumar::atlas::AtlasMesh* mesh) const;
    bool gutter_border(vellumar::atlas::AtlasMesh* mesh) const;
    bool aspect_stretch(vellumar::atlas::AtlasMesh* mesh) const;

    HWND window() const { return window_; }
    std::uint32_t max_charts() const { return max_charts_; }
    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }
    float max_stretch() const { return max_stretch_; }
    float gutter() const { return gutter_; }
    // 2 for the high-quality computation, 1 for the fast one.
    std::uint32_t options() const { return options_; }
    float stretch_out() const { return stretch_out_; }
    std::uint32_t charts_out() const { return charts_out_; }

  private:
    HWND window_ = nullptr;
    std::uint32_t max_charts_ = 0;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    float max_stretch_ = 0.0f;
    float gutter_ = 0.0f;
    std::uint32_t options_ = 1;
    float stretch_out_ = 0.0f;
    std::uint32_t charts_out_ = 0;
    double density_ = 0.0;
    std::uint32_t max_size_ = 4096;
    bool any_size_ = false;
    bool too_big_ = false;

    [[noreturn]] void throw_too_big();
    // A failure the user asked for is no want of room.
    static bool cancelled();
};

// Removes the false edges of every polygon (triangles joined through false
// edges) whose outline is not one closed loop, so that each polygon left is
// a disc. Only ever removes false edges.
void repair_false_edge_polygons(std::span<const std::uint32_t> indices,
                                std::span<std::uint32_t> false_edges);
