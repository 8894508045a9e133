// The NURBS scene text: how a wall surface is handed to the 3D scene, and our reader of it.
//
// Layout (every "\n" is one line feed, nothing else separates the parts):
//     uOrder k1\n uDimension n1\n uKnot [\n t1 joined by ","\n]\n
//     vOrder k2\n vDimension n2\n vKnot [\n t2 joined by ","\n]\n
//     controlPoint [\n values \n]\n
// "uDimension" carries the number of control points in that direction. The control
// values are the coefficients (homogeneous ones for a rational surface), first direction
// fastest; a blank separates values within a group of three and ",\n" ends each group of
// three except the last, whatever the number of values per point.
//
// Numbers are written as single-precision values with up to 15 significant digits and a
// decimal point whatever the process locale (0.1 gives "0.100000001490116", 2.0 gives "2").
#pragma once

#include "spline/handles.h"

#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrova::reconstruction {

// Every knot and control value is multiplied by this before it is written.
inline constexpr double kNurbsTextScale = 1.0;

// The text of one number: rounded to single precision, written with up to 15
// significant digits (general format), "." as the decimal separator.
std::string FormatNumberPoint(double value);

// Appends one direction block ("uOrder", "uDimension", "uKnot") for `letter` 'u' or 'v'.
void WriteNurbsDirection(std::string& text, int vertexCount, int order, const double* knots, char letter);

// The scene text of a surface. Throws std::invalid_argument for a null surface.
std::string WriteNurbsSurfaceText(const spline_surface* surface);

// The text is not a NURBS scene text (the message says where it went wrong).
class NurbsTextError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads a scene text back into a surface of dimension 3 (non-rational when each control
// point has three values, rational when it has four). The reader goes by tokens, not
// lines. Throws NurbsTextError on a malformed text or inconsistent counts.
SurfaceHandle ReadNurbsSurfaceText(std::string_view text);

} // namespace kestrova::reconstruction
