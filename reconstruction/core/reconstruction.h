// The 3D reconstruction of one vessel: the catheter path rebuilt from the LAO and RAO
// catheter tracings, the IVUS wall contours placed along it, and the two wall surfaces.
//
// Qt-free. The caller fills a ReconstructionInput (reconstruction/card/card_input.h does
// it from the open card) and calls ReconstructVessel, which either returns a complete
// Reconstruction or throws ReconstructionRefused with one message for the user; nothing
// half-built is ever returned.
//
//     ReconstructionInput in = LoadOpenCardInput(data, card);
//     try {
//         Reconstruction r = ReconstructVessel(in);
//         for (const SceneLine& line : r.lines) ...    // "catheter", "outer1", "inner1", ...
//         if (r.outerSurface) ...                       // may be null: the wall was not fitted
//         for (const std::string& w : r.warnings) ...   // frames left out, weak results
//     } catch (const ReconstructionRefused& e) {
//         // e.what(): why there is no model
//     }
//
// Coordinates. Model coordinates are angiographic image pixels along the path (after the
// two tracings have been brought to the same height) and IVUS pixels / 16 across it. The
// LAO view looks along z, the RAO view along x, both share the vertical axis y, which
// points up (image rows go down). Point 0 of the path is the origin and lies at the end
// of the catheter where the clinician started the LAO tracing: the user traces from
// where the pull-back starts. The view draws every model coordinate scaled by
// kReconstructionScale.
//
// Main thread only, one run at a time: the spline toolkit's intersector keeps process-wide
// state that two concurrent runs would share and corrupt: its recursion depth and deepest
// depth (`isect_recursion_level`, `isect_recursion_max`; the depth's parity decides which
// object is handled first), the nesting depth of its driver (`driver_depth`, whose outermost
// call starts a run's work budget), and the one error sink its messages go to. Only the work
// count against that budget and the budget's "exceeded" flag are kept per thread.
#pragma once

#include "spline/handles.h"
#include "study/contour.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrova::reconstruction {

// A point or vector of the model (three doubles).
struct TPointXYZ {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    TPointXYZ() = default;
    TPointXYZ(double x_, double y_, double z_) : x(x_), y(y_), z(z_) {}
    friend bool operator==(const TPointXYZ&, const TPointXYZ&) = default;
};

// A point of a plane (contour samples relative to the catheter centre).
struct TPointXY {
    double x = 0.0;
    double y = 0.0;
    TPointXY() = default;
    TPointXY(double x_, double y_) : x(x_), y(y_) {}
    friend bool operator==(const TPointXY&, const TPointXY&) = default;
};

// The scale at which the view shows every model coordinate.
inline constexpr double kReconstructionScale = 0.25;
// IVUS pixels per model unit across the path.
inline constexpr double kContourDivisor = 16.0;

// The largest coordinate a tracing, a contour or the catheter centre can hold: image
// sides are 16-bit. Coordinates run from 0 to this value.
inline constexpr int kMaxImageCoordinate = 65535;
// The most analysed frames a reconstruction places (far beyond any pull-back).
inline constexpr int kMaxFrameCount = 1000000;

// What a reconstruction needs of a card.
struct ReconstructionInput {
    // The stored catheter tracings of the two angiographic views, in stored order
    // (angiographic image pixels). Both must have at least three points.
    WallContour laoCatheter;
    WallContour raoCatheter;
    // N: the number of analysed IVUS frames (the card's IVUS frame count). The path is
    // sampled at N points, point k being the position of analysed frame k.
    int frameCount = 0;
    // One contour per analysed frame k (IVUS image pixels); a frame without a contour has
    // an empty one. Lists shorter than N mean empty contours for the missing frames.
    FrameContourList outerWalls;
    FrameContourList innerWalls;
    // The catheter centre of the IVUS frames; (0, 0) means it was never set, and then no
    // contour can be placed.
    PixelPoint catheterCentre;
    // Stored wall rows that name a frame k >= N (left out by the loader); each is named
    // in one warning.
    std::vector<int> skippedWallFrames;
};

// A colour as 8-bit red, green, blue.
struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// One polyline of the scene, as plain data. The view draws it through its points (model
// coordinates) multiplied by `scale`, as a cubic spline with invisible nodes.
//   "catheter":     tag -1, width 5, colour (127, 0, 255), the catheter path
//   "outer"<k + 1>: tag k,  width 1, colour (255, 255, 255), the placed outer contour of frame k
//   "inner"<k + 1>: tag k,  width 1, colour (0, 0, 255), the placed inner contour of frame k
// A wall line has 22 points as a rule (21 samples around the wall and the closing copy
// of the first).
struct SceneLine {
    std::string name;
    int tag = -1;
    int width = 1;
    Rgb colour;
    double scale = kReconstructionScale;
    std::vector<TPointXYZ> points;
};

// The result of one reconstruction. Moves only (it owns the surfaces).
struct Reconstruction {
    // CatheterPath3D: N points, or N + 1 when the last sampling step falls just short of
    // the curve's end; point k belongs to analysed frame k; point 0 is exactly (0, 0, 0).
    std::vector<TPointXYZ> catheterPath;
    // The path's frame per analysed frame (at most N entries, entry k for path point k):
    // the unit tangent in the direction of growing k, and a unit normal and binormal
    // completing it to a right-handed orthonormal frame. The normal is the Frenet normal
    // where the path bends; where it runs straight it is any unit vector perpendicular to
    // the tangent, continued from the neighbouring frames. Never NaN.
    std::vector<TPointXYZ> pathTangents;
    std::vector<TPointXYZ> pathNormals;
    std::vector<TPointXYZ> pathBinormals;
    // The scene lines in the order they were made: "catheter" first, then "outer1",
    // "outer2", ... (frames with an outer contour), then the inner lines.
    std::vector<SceneLine> lines;
    // The wall surfaces (u around the vessel, closed, order 3; v along it, order 3 or
    // less); null for a wall that was not fitted.
    SurfaceHandle outerSurface;
    SurfaceHandle innerSurface;
    // Everything that was left out or looks doubtful, one sentence each, in the order met.
    std::vector<std::string> warnings;
};

// The reconstruction cannot be built; what() is the one message for the user.
class ReconstructionRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Processor seconds spent in each step of the last reconstruction (for the benchmark).
struct StepTimes {
    double curves = 0.0;     // ordering, height matching, tracing curves and lofts
    double intersect = 0.0;  // s1859
    double march = 0.0;      // s1310
    double sampling = 0.0;   // choice and sampling of the path
    double reduce = 0.0;     // s1940
    double frames = 0.0;     // s2559
    double placement = 0.0;  // contour resampling and placement
    double surfaces = 0.0;   // s1536
    double Total() const
    {
        return curves + intersect + march + sampling + reduce + frames + placement + surfaces;
    }
};

// Optional hooks into a running reconstruction.
struct ReconstructionHooks {
    // Called after each of `steps` steps with the number done so far (for a progress bar).
    std::function<void(int done, int steps)> progress;
    // Filled with the time of each step when not null.
    StepTimes* times = nullptr;
};

// Runs the whole reconstruction. Throws ReconstructionRefused when:
//   - a catheter tracing is empty ("Cannot construct 3D because you have not defined the
//     LAO or/and RAO catheter"), has fewer than three distinct points, lies on the top
//     image row, or holds a point outside 0..kMaxImageCoordinate;
//   - a tracing turns back in height by more than the click noise (the views share the
//     height axis, so such a catheter is ambiguous): the message names the view and rows;
//   - N is 0 or more than kMaxFrameCount;
//   - the two swept tracings do not intersect, or a toolkit step fails.
// Warns when the two tracings start at opposite ends (frame 1 is then placed where the
// LAO tracing starts) and when the path covers clearly less height than both tracings
// share (naming the rows left out). Frames whose contour cannot be placed are left out
// with a warning; a wall with fewer than two placed frames gets no surface (a warning
// when it has one). Frame numbers in messages count from 1.
Reconstruction ReconstructVessel(const ReconstructionInput& input, const ReconstructionHooks& hooks = {});

} // namespace kestrova::reconstruction
