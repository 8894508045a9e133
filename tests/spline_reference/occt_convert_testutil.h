// Conversion of the toolkit's B-spline records into OpenCASCADE's, for comparing the
// intersection results with that kernel's.
#pragma once

#include <Geom2d_BSplineCurve.hxx>
#include <Geom_BSplineSurface.hxx>

struct spline_curve;
struct spline_surface;

// A planar curve (dim 2, polynomial or rational) as an OpenCASCADE curve with the same
// parametrisation.
Handle(Geom2d_BSplineCurve) to_occt_curve2d(const spline_curve* curve);

// A surface of dimension 3 (polynomial or rational) with the same parametrisation.
Handle(Geom_BSplineSurface) to_occt_surface(const spline_surface* surface);
