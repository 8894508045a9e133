#include "reconstruction/core/tessellation.h"

#include "reconstruction/core/nurbs_text.h"
#include "spline/records.h"
#include "spline/surface_eval.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kestrova::reconstruction {

namespace {

// Parameter values over [knots[order-1], knots[count]]: `per` steps in every non-empty
// knot span (fewer when the whole would pass maxSteps), ends included.
std::vector<double> GridParameters(const double* knots, int order, int count, const TessellationOptions& options)
{
    const double start = knots[order - 1], end = knots[count];
    std::vector<int> spans;
    for (int i = order - 1; i < count; ++i)
        if (knots[i + 1] > knots[i])
            spans.push_back(i);
    const int spanCount = std::max<int>(1, static_cast<int>(spans.size()));
    const int per = std::clamp(options.maxSteps / spanCount, 1, std::max(1, options.samplesPerSpan));
    std::vector<double> values;
    for (const int k : spans) {
        for (int s = 0; s < per; ++s)
            values.push_back(knots[k] + (knots[k + 1] - knots[k]) * s / per);
    }
    if (values.empty())
        values.push_back(start);
    values.push_back(end);
    return values;
}

} // namespace

Mesh TessellateSurface(const spline_surface& surface, const TessellationOptions& options)
{
    Mesh mesh;
    if (surface.dim != 3)
        return mesh;
    const auto us = GridParameters(surface.knots1, surface.order1, surface.vertex_count1, options);
    const auto vs = GridParameters(surface.knots2, surface.order2, surface.vertex_count2, options);
    const std::size_t nu = us.size(), nv = vs.size();
    mesh.positions.resize(nu * nv * 3);
    mesh.normals.resize(nu * nv * 3);
    std::vector<bool> hasNormal(nu * nv, false);
    int left1 = 0, left2 = 0;
    double derivs[9];
    double normal[3];
    for (std::size_t j = 0; j < nv; ++j)
        for (std::size_t i = 0; i < nu; ++i) {
            const double uv[2] = {us[i], vs[j]};
            int status = 0;
            s1421(&surface, 1, uv, &left1, &left2, derivs, normal, &status);
            const std::size_t v = j * nu + i;
            for (int c = 0; c < 3; ++c)
                mesh.positions[v * 3 + c] = static_cast<float>(derivs[c]);
            const Vec3 n = Normalized({normal[0], normal[1], normal[2]});
            if (status >= 0 && status != kSurfaceNormalDegenerate && Length(n) > 0.5) {
                mesh.normals[v * 3] = static_cast<float>(n.x);
                mesh.normals[v * 3 + 1] = static_cast<float>(n.y);
                mesh.normals[v * 3 + 2] = static_cast<float>(n.z);
                hasNormal[v] = true;
            }
        }
    // Degenerate points (a collapsed edge) borrow the normal of the next row or column.
    for (std::size_t v = 0; v < nu * nv; ++v) {
        if (hasNormal[v])
            continue;
        const std::size_t i = v % nu, j = v / nu;
        const std::size_t candidates[4] = {j + 1 < nv ? v + nu : v, j > 0 ? v - nu : v, i + 1 < nu ? v + 1 : v,
                                           i > 0 ? v - 1 : v};
        for (std::size_t c : candidates)
            if (hasNormal[c]) {
                std::copy_n(&mesh.normals[c * 3], 3, &mesh.normals[v * 3]);
                break;
            }
    }
    // A wall is a tube around the vessel's axis: turn the normals (and the faces with them)
    // so that they point out of the tube, away from the centre of each ring, whichever way
    // the fit ran around.
    double outward = 0.0;
    for (std::size_t j = 0; j < nv; ++j) {
        Vec3 centre;
        for (std::size_t i = 0; i < nu; ++i)
            centre = centre + Vec3{mesh.positions[(j * nu + i) * 3], mesh.positions[(j * nu + i) * 3 + 1],
                                   mesh.positions[(j * nu + i) * 3 + 2]};
        centre = centre * (1.0 / nu);
        for (std::size_t i = 0; i < nu; ++i) {
            const std::size_t v = (j * nu + i) * 3;
            outward += Dot(Vec3{mesh.normals[v], mesh.normals[v + 1], mesh.normals[v + 2]},
                           Vec3{mesh.positions[v], mesh.positions[v + 1], mesh.positions[v + 2]} - centre);
        }
    }
    const bool flip = outward < 0.0;
    if (flip)
        for (float& n : mesh.normals)
            n = -n;
    mesh.triangles.reserve((nu - 1) * (nv - 1) * 6);
    for (std::size_t j = 0; j + 1 < nv; ++j)
        for (std::size_t i = 0; i + 1 < nu; ++i) {
            const auto a = static_cast<unsigned>(j * nu + i), b = a + 1, c = static_cast<unsigned>(a + nu), d = c + 1;
            // Counter-clockwise seen from the side the normals point to.
            if (flip)
                mesh.triangles.insert(mesh.triangles.end(), {a, d, b, a, c, d});
            else
                mesh.triangles.insert(mesh.triangles.end(), {a, b, d, a, d, c});
        }
    return mesh;
}

Mesh MeshFromSceneText(std::string_view text, const TessellationOptions& options)
{
    const SurfaceHandle surface = ReadNurbsSurfaceText(text);
    return TessellateSurface(*surface, options);
}

void DisplaySurface(MeshActor& actor, const spline_surface* surface, const TessellationOptions& options)
{
    actor.SetMesh(surface ? MeshFromSceneText(WriteNurbsSurfaceText(surface), options) : Mesh{});
}

} // namespace kestrova::reconstruction
