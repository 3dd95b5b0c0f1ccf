// Splitting a chart that cannot be flattened within the limits into two.
//
// Two seeds grow competing regions over the chart's links (Dijkstra on
// triangle centroids), each weighting its steps by how far the triangle's
// normal turns away from the region's mean normal, and the seeds are moved
// to the region centres for a few rounds (Lloyd relaxation). This is the
// chart growing of Sander, Wood, Gortler, Snyder and Hoppe 2003
// ("Multi-Chart Geometry Images") restricted to two charts, which is what a
// recursive split needs: the cut falls where the surface bends most.
#pragma once

#include "atlas/face_geometry.h"
#include "atlas/topology.h"

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace vellumar::atlas {

class ChartSplitter {
  public:
    ChartSplitter(const Topology& topology, const FaceGeometry& geometry);

    // faces: ascending, connected through links, whole units. On success
    // `first` and `second` receive two non-empty connected parts made of
    // whole units, both ascending. False when the chart is a single unit.
    bool split(std::span<const std::uint32_t> faces, std::vector<std::uint32_t>& first,
               std::vector<std::uint32_t>& second);

  private:
    void grow(std::span<const std::uint32_t> faces, const std::uint32_t seeds[2],
              const double proxies[2][3]);
    void label_unit(std::uint32_t face, std::uint8_t region, double dist);
    void smooth_border(std::span<const std::uint32_t> faces);
    bool regions_connected(std::span<const std::uint32_t> faces);

    const Topology& topology_;
    const FaceGeometry& geometry_;
    std::vector<std::uint32_t> stamp_;
    std::uint32_t token_ = 0;
    std::vector<std::uint8_t> region_; // per face; 255 = not reached
    std::vector<double> dist_;
    std::vector<std::uint8_t> saved_, visited_;
    std::vector<std::uint32_t> queue_;
    struct Item {
        double dist;
        std::uint32_t face;
        std::uint8_t region;
        bool operator>(const Item& o) const {
            return dist != o.dist ? dist > o.dist : face > o.face;
        }
    };
    std::vector<Item> heap_;
    double proxies_[2][3] = {};
};

} // namespace vellumar::atlas
