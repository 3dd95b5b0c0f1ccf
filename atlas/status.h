// Status codes of the atlas library. Every operation that can fail returns one;
// negative means failure. Callers tell an invalid mesh apart from every other
// failure, so it has a code of its own.
#pragma once

#include <cstdint>

namespace vellumar::atlas {

enum class Status : std::int32_t {
    Ok = 0,
    // The mesh cannot be processed as given: an index out of range, or an edge
    // shared by more than two triangles where the operation needs a manifold.
    InvalidMesh = static_cast<std::int32_t>(0x88760B55u),
    // An argument is missing or out of range (null buffer, zero size).
    InvalidCall = static_cast<std::int32_t>(0x8876086Cu),
    OutOfMemory = static_cast<std::int32_t>(0x8007000Eu),
    // The operation ran but could not meet its limits: the stretch or chart
    // limit of an atlas, or the charts do not fit into the packing area.
    Failed = static_cast<std::int32_t>(0x80004005u),
};

inline bool failed(Status s) {
    return static_cast<std::int32_t>(s) < 0;
}
inline bool succeeded(Status s) {
    return !failed(s);
}

} // namespace vellumar::atlas
