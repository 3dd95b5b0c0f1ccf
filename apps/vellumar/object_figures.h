// What a user reads off an atlas per object: its surface, the texels it
// got, their density, its charts and the length of its seams. Measured on
// the evaluated result, as a viewer would see it, not taken from the
// engine's own bookkeeping.
#pragma once

#include "host/inode.h"
#include "host/mesh.h"

#include <cstdint>
#include <string>
#include <vector>

struct SurfaceFigures {
    double area = 0.0;       // world-space surface, scene units squared
    double texel_area = 0.0; // the UV area in texels of the map
    std::uint32_t charts = 0;
    double seam_length = 0.0; // world-space length of the edges cut in UV
    // Texels per scene unit: the square root of texel area over area.
    double density() const;
    void add(const SurfaceFigures& other);
};

// The mesh (object space, placed by `tm`) with its UVs in `channel` on a
// map of width x height texels. A chart is a set of faces joined through
// shared map vertices; a seam is a mesh edge whose two faces meet at
// different map vertices (counted once; open borders are none).
SurfaceFigures MeasureSurface(const Mesh& mesh, const Matrix3& tm, int channel, int width,
                              int height);

struct ObjectFigures {
    std::string name;
    std::int32_t map = 0;
    SurfaceFigures figures;
};

// Every object wearing the group, in scene order, measured at time t.
std::vector<ObjectFigures> GroupObjectFigures(std::uint64_t groupKey, int width, int height,
                                              TimeValue t);
