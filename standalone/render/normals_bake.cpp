#include "standalone/render/normals_bake.h"

#include "standalone/render/tangent_frames.h"

std::vector<float> BakeNormals(const BakeMesh& mesh, const TexelCoverage& coverage,
                               NormalSpace space, bool flipGreen, const Matrix3& objectTM,
                               const std::vector<Point3>* texelNormals) {
    std::vector<float> rgba(coverage.triangle.size() * 4, 0.0f);
    // Normals go back into object space with the transpose of the linear
    // part: the inverse of the inverse transpose that carried them out.
    const Point3 rx = objectTM.GetRow(0), ry = objectTM.GetRow(1), rz = objectTM.GetRow(2);
    TangentFrames frames;
    if (space == NormalSpace::Tangent) {
        frames = ComputeTangentFrames(mesh);
    }
    for (std::size_t i = 0; i < coverage.triangle.size(); ++i) {
        const int tri = coverage.triangle[i];
        if (tri < 0) {
            continue;
        }
        const std::size_t c = std::size_t(tri) * 3;
        const float w1 = coverage.b1[i], w2 = coverage.b2[i], w0 = 1.0f - w1 - w2;
        const Point3 smooth = Normalize(mesh.NormalAt(tri, w1, w2));
        Point3 n = texelNormals != nullptr ? (*texelNormals)[i] : smooth;
        if (space == NormalSpace::Tangent) {
            // The frame the viewer rebuilds from the exported tangents: the
            // interpolated tangent made orthogonal to the smooth normal.
            Point3 t =
                frames.tangent[c] * w0 + frames.tangent[c + 1] * w1 + frames.tangent[c + 2] * w2;
            t = Normalize(t - smooth * DotProd(smooth, t));
            const Point3 b = CrossProd(smooth, t) * (frames.sign[c] < 0 ? -1.0f : 1.0f);
            n = t.Length() == 0
                    ? Point3(0, 0, 1)
                    : Normalize(Point3(DotProd(n, t), DotProd(n, b), DotProd(n, smooth)));
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
