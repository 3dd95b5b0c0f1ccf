#include "standalone/render/normals_bake.h"

std::vector<float> BakeNormals(const BakeMesh& mesh, const TexelCoverage& coverage,
                               NormalSpace space, bool flipGreen, const Matrix3& objectTM) {
    std::vector<float> rgba(coverage.triangle.size() * 4, 0.0f);
    // Normals go back into object space with the transpose of the linear
    // part: the inverse of the inverse transpose that carried them out.
    const Point3 rx = objectTM.GetRow(0), ry = objectTM.GetRow(1), rz = objectTM.GetRow(2);
    for (std::size_t i = 0; i < coverage.triangle.size(); ++i) {
        const int tri = coverage.triangle[i];
        if (tri < 0) {
            continue;
        }
        const std::size_t c = std::size_t(tri) * 3;
        const float w1 = coverage.b1[i], w2 = coverage.b2[i], w0 = 1.0f - w1 - w2;
        Point3 n =
            Normalize(mesh.normal[c] * w0 + mesh.normal[c + 1] * w1 + mesh.normal[c + 2] * w2);
        if (space == NormalSpace::Tangent) {
            n = Point3(0, 0, 1);
        } else if (space == NormalSpace::Object) {
            n = Normalize(Point3(DotProd(rx, n), DotProd(ry, n), DotProd(rz, n)));
        }
        if (flipGreen) {
            n.y = -n.y;
        }
        rgba[i * 4 + 0] = n.x * 0.5f + 0.5f;
        rgba[i * 4 + 1] = n.y * 0.5f + 0.5f;
        rgba[i * 4 + 2] = n.z * 0.5f + 0.5f;
        rgba[i * 4 + 3] = 1.0f;
    }
    return rgba;
}
