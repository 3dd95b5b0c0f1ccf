// Convex hulls of UV point sets, for the packer's frames and the void cuts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vellumar::atlas {

// Andrew's monotone chain over the n points xy[2i], xy[2i + 1]: hull
// receives their indices counter-clockwise; order is scratch memory.
void convex_hull(const double* xy, std::size_t n, std::vector<std::uint32_t>& order,
                 std::vector<std::uint32_t>& hull);

// Area of the polygon whose corners are the points `hull` names, in order.
double polygon_area(const double* xy, const std::vector<std::uint32_t>& hull);

} // namespace vellumar::atlas
