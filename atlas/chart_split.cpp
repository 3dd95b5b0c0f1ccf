#include "atlas/chart_split.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace vellumar::atlas {

namespace {

constexpr std::uint8_t kUnreached = 255;
// How much a step costs per unit of normal deviation (1 - cos) relative to
// its length: large enough that regions follow bends, small enough that
// they stay compact on flat parts.
constexpr double kBendWeight = 6.0;
constexpr int kLloydRounds = 3;
constexpr int kSmoothingRounds = 6;

double dot3(const double* a, const double* b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void normalise(double* v) {
    const double len = std::sqrt(dot3(v, v));
    if (len > 0) {
        v[0] /= len;
        v[1] /= len;
        v[2] /= len;
    }
}

} // namespace

ChartSplitter::ChartSplitter(const Topology& topology, const FaceGeometry& geometry)
    : topology_(topology), geometry_(geometry), stamp_(geometry.area.size(), 0),
      region_(geometry.area.size(), kUnreached), dist_(geometry.area.size(), 0.0),
      visited_(geometry.area.size(), 0) {}

void ChartSplitter::label_unit(std::uint32_t face, std::uint8_t region, double dist) {
    const std::uint32_t u = topology_.unit_of_face[face];
    for (std::uint32_t i = topology_.unit_begin[u]; i < topology_.unit_begin[u + 1]; ++i) {
        const std::uint32_t f = topology_.unit_faces[i];
        region_[f] = region;
        dist_[f] = dist;
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t t = topology_.twin[3 * f + k];
            if (t == kNoNeighbour) {
                continue;
            }
            const std::uint32_t g = t / 3;
            if (stamp_[g] != token_ || region_[g] != kUnreached) {
                continue;
            }
            const double* cf = &geometry_.centroid[3 * f];
            const double* cg = &geometry_.centroid[3 * g];
            const double d[3] = {cg[0] - cf[0], cg[1] - cf[1], cg[2] - cf[2]};
            const double bend = 1.0 - dot3(&geometry_.normal[3 * g], proxies_[region]);
            const double step = std::sqrt(dot3(d, d)) * (1.0 + kBendWeight * std::max(bend, 0.0));
            heap_.push_back({dist + step, g, region});
            std::push_heap(heap_.begin(), heap_.end(), std::greater<Item>());
        }
    }
}

void ChartSplitter::grow(std::span<const std::uint32_t> faces, const std::uint32_t seeds[2],
                         const double proxies[2][3]) {
    for (std::uint32_t f : faces) {
        region_[f] = kUnreached;
    }
    for (int r = 0; r < 2; ++r) {
        std::copy(proxies[r], proxies[r] + 3, proxies_[r]);
    }
    heap_.clear();
    label_unit(seeds[0], 0, 0.0);
    label_unit(seeds[1], 1, 0.0);
    while (!heap_.empty()) {
        std::pop_heap(heap_.begin(), heap_.end(), std::greater<Item>());
        const Item item = heap_.back();
        heap_.pop_back();
        if (region_[item.face] != kUnreached) {
            continue;
        }
        label_unit(item.face, item.region, item.dist);
    }
    // Charts are connected, so this only guards the counting below.
    for (std::uint32_t f : faces) {
        if (region_[f] == kUnreached) {
            region_[f] = 1;
        }
    }
}

bool ChartSplitter::split(std::span<const std::uint32_t> faces, std::vector<std::uint32_t>& first,
                          std::vector<std::uint32_t>& second) {
    if (++token_ == 0) {
        std::fill(stamp_.begin(), stamp_.end(), 0);
        token_ = 1;
    }
    const std::uint32_t unit0 = topology_.unit_of_face[faces.front()];
    bool single_unit = true;
    for (std::uint32_t f : faces) {
        stamp_[f] = token_;
        single_unit = single_unit && topology_.unit_of_face[f] == unit0;
    }
    if (single_unit) {
        return false;
    }
    const double* normal = geometry_.normal.data();
    const double* centroid = geometry_.centroid.data();
    double mean[3] = {0, 0, 0}, centre[3] = {0, 0, 0}, area = 0;
    for (std::uint32_t f : faces) {
        for (int k = 0; k < 3; ++k) {
            mean[k] += geometry_.area[f] * normal[3 * f + k];
            centre[k] += geometry_.area[f] * centroid[3 * f + k];
        }
        area += geometry_.area[f];
    }
    normalise(mean);
    for (int k = 0; k < 3 && area > 0; ++k) {
        centre[k] /= area;
    }
    auto distance2 = [&](std::uint32_t f, const double* p) {
        const double d[3] = {centroid[3 * f] - p[0], centroid[3 * f + 1] - p[1],
                             centroid[3 * f + 2] - p[2]};
        return dot3(d, d);
    };
    // Seeds: the two most opposed normals when the chart bends; otherwise
    // (a flat ring or a fold) the two farthest points.
    std::uint32_t seeds[2] = {faces.front(), faces.back()};
    auto arg_best = [&](auto score) {
        std::uint32_t best = faces.front();
        double best_score = -1e300;
        for (std::uint32_t f : faces) {
            const double s = score(f);
            if (s > best_score) {
                best_score = s;
                best = f;
            }
        }
        return best;
    };
    seeds[0] = arg_best([&](std::uint32_t f) {
        return geometry_.area[f] > geometry_.area_floor ? -dot3(&normal[3 * f], mean) : -1e200;
    });
    seeds[1] = arg_best([&](std::uint32_t f) {
        if (topology_.unit_of_face[f] == topology_.unit_of_face[seeds[0]]) {
            return -1e300;
        }
        return geometry_.area[f] > geometry_.area_floor
                   ? -dot3(&normal[3 * f], &normal[3 * seeds[0]])
                   : -1e200;
    });
    if (dot3(&normal[3 * seeds[0]], &normal[3 * seeds[1]]) > 0.9) {
        seeds[0] = arg_best([&](std::uint32_t f) { return distance2(f, centre); });
        seeds[1] = arg_best([&](std::uint32_t f) {
            return topology_.unit_of_face[f] == topology_.unit_of_face[seeds[0]]
                       ? -1e300
                       : distance2(f, &centroid[3 * seeds[0]]);
        });
    }
    double proxies[2][3];
    for (int r = 0; r < 2; ++r) {
        std::copy(&normal[3 * seeds[r]], &normal[3 * seeds[r]] + 3, proxies[r]);
    }
    for (int round = 0; round <= kLloydRounds; ++round) {
        grow(faces, seeds, proxies);
        if (round == kLloydRounds) {
            break;
        }
        // Move each seed to the triangle that best matches its region: near
        // its centre and facing along its mean normal.
        double sums[2][7] = {};
        for (std::uint32_t f : faces) {
            double* s = sums[region_[f]];
            const double a = geometry_.area[f];
            for (int k = 0; k < 3; ++k) {
                s[k] += a * normal[3 * f + k];
                s[3 + k] += a * centroid[3 * f + k];
            }
            s[6] += a;
        }
        double centres[2][3], radius2[2] = {0, 0};
        for (int r = 0; r < 2; ++r) {
            std::copy(sums[r], sums[r] + 3, proxies[r]);
            normalise(proxies[r]);
            for (int k = 0; k < 3; ++k) {
                centres[r][k] =
                    sums[r][6] > 0 ? sums[r][3 + k] / sums[r][6] : centroid[3 * seeds[r] + k];
            }
        }
        for (std::uint32_t f : faces) {
            const int r = region_[f];
            radius2[r] = std::max(radius2[r], distance2(f, centres[r]));
        }
        std::uint32_t next[2] = {seeds[0], seeds[1]};
        double best[2] = {1e300, 1e300};
        for (std::uint32_t f : faces) {
            const int r = region_[f];
            const double cost = distance2(f, centres[r]) / std::max(radius2[r], 1e-300) +
                                4.0 * (1.0 - dot3(&normal[3 * f], proxies[r]));
            if (cost < best[r]) {
                best[r] = cost;
                next[r] = f;
            }
        }
        if (topology_.unit_of_face[next[0]] == topology_.unit_of_face[next[1]]) {
            break;
        }
        seeds[0] = next[0];
        seeds[1] = next[1];
    }
    smooth_border(faces);
    first.clear();
    second.clear();
    for (std::uint32_t f : faces) {
        (region_[f] == 0 ? first : second).push_back(f);
    }
    return !first.empty() && !second.empty();
}

// Competing fronts leave a saw-tooth border on a triangle mesh, and every
// tooth costs gutter space in the atlas. A triangle that has two of its
// linked neighbours in the other region changes sides, a few rounds over;
// the result is kept only if both regions stay connected and non-empty.
void ChartSplitter::smooth_border(std::span<const std::uint32_t> faces) {
    saved_.resize(faces.size());
    for (std::size_t i = 0; i < faces.size(); ++i) {
        saved_[i] = region_[faces[i]];
    }
    for (int round = 0; round < kSmoothingRounds; ++round) {
        bool changed = false;
        for (std::uint32_t f : faces) {
            const std::uint32_t u = topology_.unit_of_face[f];
            if (topology_.unit_begin[u + 1] - topology_.unit_begin[u] != 1) {
                continue; // polygons move whole or not at all
            }
            int other = 0;
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t t = topology_.twin[3 * f + k];
                if (t != kNoNeighbour && stamp_[t / 3] == token_ && region_[t / 3] != region_[f]) {
                    ++other;
                }
            }
            if (other >= 2) {
                region_[f] = static_cast<std::uint8_t>(1 - region_[f]);
                changed = true;
            }
        }
        if (!changed) {
            break;
        }
    }
    if (!regions_connected(faces)) {
        for (std::size_t i = 0; i < faces.size(); ++i) {
            region_[faces[i]] = saved_[i];
        }
    }
}

bool ChartSplitter::regions_connected(std::span<const std::uint32_t> faces) {
    // Flood each region from its first triangle and count what it reaches.
    std::size_t sizes[2] = {0, 0};
    for (std::uint32_t f : faces) {
        ++sizes[region_[f]];
        visited_[f] = 0;
    }
    for (int r = 0; r < 2; ++r) {
        if (sizes[r] == 0) {
            return false;
        }
        auto start = std::find_if(faces.begin(), faces.end(),
                                  [&](std::uint32_t f) { return region_[f] == r; });
        queue_.assign(1, *start);
        visited_[*start] = 1;
        for (std::size_t i = 0; i < queue_.size(); ++i) {
            const std::uint32_t f = queue_[i];
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t t = topology_.twin[3 * f + k];
                if (t == kNoNeighbour) {
                    continue;
                }
                const std::uint32_t g = t / 3;
                if (stamp_[g] == token_ && region_[g] == r && !visited_[g]) {
                    visited_[g] = 1;
                    queue_.push_back(g);
                }
            }
        }
        if (queue_.size() != sizes[r]) {
            return false;
        }
    }
    return true;
}

} // namespace vellumar::atlas
