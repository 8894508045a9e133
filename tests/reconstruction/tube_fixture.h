// A tube surface made directly with the toolkit, for the 3D view's tests: circles of
// radius r around a helical centre line, fitted like a wall surface (21 points around,
// closed; one row per frame along, open; orders 3 and 3).
#pragma once

#include "spline/handles.h"
#include "spline/loft.h"

#include <cmath>
#include <stdexcept>
#include <vector>

namespace tube_fixture {

struct Helix {
    double radius = 40.0;   // of the centre line, model units
    double rise = 6.0;      // height per frame
    double turn = 0.06;     // radians per frame
};

// Centre of frame k (model coordinates, y up).
inline std::vector<double> Centre(const Helix& h, int k)
{
    const double t = k * h.turn;
    return {h.radius * std::cos(t) - h.radius, k * h.rise, h.radius * std::sin(t)};
}

// The grid of `frames` rows of 21 points on circles of radius r (horizontal planes).
inline std::vector<double> TubeGrid(int frames, double r, const Helix& h = {})
{
    std::vector<double> grid;
    for (int k = 0; k < frames; ++k) {
        const auto c = Centre(h, k);
        for (int i = 0; i < 21; ++i) {
            const double a = 2.0 * 3.14159265358979323846 * i / 21.0;
            grid.insert(grid.end(), {c[0] + r * std::cos(a), c[1], c[2] + r * std::sin(a)});
        }
    }
    return grid;
}

inline SurfaceHandle TubeSurface(int frames, double r, const Helix& h = {})
{
    const std::vector<double> grid = TubeGrid(frames, r, h);
    spline_surface* surface = nullptr;
    int status = 0;
    s1536(grid.data(), 21, frames, 3, 1, 0, 0, 1, 1, 3, 3, 0, 1, &surface, &status);
    if (status < 0 || !surface)
        throw std::runtime_error("s1536 failed on the tube fixture");
    return SurfaceHandle(surface);
}

} // namespace tube_fixture
