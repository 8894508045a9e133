// Turning a toolkit surface into the triangles the 3D view draws.
#pragma once

#include "reconstruction/core/scene.h"

#include <string_view>

struct spline_surface;

namespace kestrova::reconstruction {

struct TessellationOptions {
    int samplesPerSpan = 4;   // grid steps per knot span in each direction (the walls are quadratic)
    int maxSteps = 200;       // at most this many grid steps per direction (fewer per span beyond)
};

// Evaluates the surface (s1421: position and normal) on a grid of steps per knot span over
// its whole parameter domain; two triangles per grid cell, normals of unit length (a
// normal that cannot be computed is taken from a neighbour in the grid). The normals point
// out of the tube (away from the centre of each ring of the grid) and the triangles turn
// counter-clockwise seen from that side. Empty for a surface that is not of dimension 3.
Mesh TessellateSurface(const spline_surface& surface, const TessellationOptions& options = {});

// The surface display steps: reads the NURBS scene text back (ReadNurbsSurfaceText) and
// tessellates it. Throws NurbsTextError on a malformed text.
Mesh MeshFromSceneText(std::string_view text, const TessellationOptions& options = {});

// The surface display steps: the surface's scene text, read back and tessellated, becomes
// the actor's mesh. A null surface leaves the actor without a mesh.
void DisplaySurface(MeshActor& actor, const spline_surface* surface, const TessellationOptions& options = {});

} // namespace kestrova::reconstruction
