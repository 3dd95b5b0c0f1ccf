// The `--report` file of `vellumar unwrap`: whether the run went through
// (and if not, why), then per map what it got and how long each stage took.
//
//   {
//     "status": "ok" | "failed",
//     "message": "...",            (only when failed)
//     "objects": N,
//     "seconds_extract": S,
//     "maps": [ {"map": ..., "width": ..., "height": ..., "triangles": ..., "charts": ...,
//     "coverage": ...,
//                "stretch": ..., "seconds": {...},
//                "area": ..., "texel_density": ..., "seam_length": ...}, ... ]
//                                                        (maps finished)
//     "density_unit": "texels per scene unit",
//     "object_figures": [ {"name": ..., "map": ..., "area": ..., "texel_density": ...,
//                          "charts": ..., "seam_length": ...}, ... ]
//   }
// Areas and lengths are in scene units, measured on the evaluated objects.
#pragma once

#include "apps/vellumar/object_figures.h"
#include "unwrap/unwrapper.h"

#include <string>
#include <vector>

struct RunSummary {
    bool ok = false;
    std::string message; // why the run stopped; empty when it went through
    std::uint32_t objects = 0;
    double seconds_extract = 0.0;
    std::vector<MapReport> maps;
    std::vector<ObjectFigures> objects_measured; // of the group the run made
};

std::string report_json(const RunSummary& run);
