#include "atlas/face_geometry.h"

#include <cmath>

namespace vellumar::atlas {

FaceGeometry face_geometry(const AtlasMesh& mesh) {
    const auto v = mesh.vertices();
    const auto ix = mesh.indices();
    const std::size_t faces = mesh.face_count();
    FaceGeometry g;
    g.normal.assign(3 * faces, 0.0);
    g.centroid.assign(3 * faces, 0.0);
    g.area.assign(faces, 0.0);
    double total = 0;
    for (std::size_t f = 0; f < faces; ++f) {
        const AtlasVertex& a = v[ix[3 * f]];
        const AtlasVertex& b = v[ix[3 * f + 1]];
        const AtlasVertex& c = v[ix[3 * f + 2]];
        const double e1[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
        const double e2[3] = {double(c.x) - a.x, double(c.y) - a.y, double(c.z) - a.z};
        const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                             e1[0] * e2[1] - e1[1] * e2[0]};
        const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        g.area[f] = 0.5 * len;
        total += g.area[f];
        if (len > 0) {
            for (int k = 0; k < 3; ++k) {
                g.normal[3 * f + k] = n[k] / len;
            }
        }
        g.centroid[3 * f] = (double(a.x) + b.x + c.x) / 3;
        g.centroid[3 * f + 1] = (double(a.y) + b.y + c.y) / 3;
        g.centroid[3 * f + 2] = (double(a.z) + b.z + c.z) / 3;
    }
    // The same relative threshold texel metrics use to tell flat triangles.
    g.area_floor = faces > 0 ? 1e-12 * total / static_cast<double>(faces) : 0.0;
    return g;
}

} // namespace vellumar::atlas
