// Cutting an engine's result mesh back into one UV set per object.
#pragma once

#include "atlas/mesh.h"
#include "unwrap/object_record.h"

#include <span>

// For every record assigned to `map` (in record order): its vertices become
// the result vertices whose remap entry lies in the record's combined vertex
// range (in result order), its uvs their (u, v, 0), and its indices its block
// of the result's indices renumbered to local vertices. The records hold
// combined numbering on entry. Throws Proxy_Exception when the result mesh
// does not fit the remap or the records.
void write_back(const vellumar::atlas::AtlasMesh& result, std::span<const std::uint32_t> remap,
                std::span<ObjectRecord> records, std::span<const std::int32_t> assignment,
                std::int32_t map);

// Total area of the mesh's triangles in UV space (the unit square has 1).
double uv_coverage(const vellumar::atlas::AtlasMesh& mesh);
