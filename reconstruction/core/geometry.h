// Small vector geometry of the wall placement.
//
// PlaneNormal and PlaneIntersectionLine keep the placement's convention of a cross
// product whose middle component has the opposite sign; with it, the negated angle of
// the placement turns a contour into the plane perpendicular to the path.
#pragma once

#include "reconstruction/core/reconstruction.h"

namespace kestrova::reconstruction {

inline TPointXYZ operator+(const TPointXYZ& a, const TPointXYZ& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline TPointXYZ operator-(const TPointXYZ& a, const TPointXYZ& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline TPointXYZ operator*(double s, const TPointXYZ& a) { return {s * a.x, s * a.y, s * a.z}; }
double Dot(const TPointXYZ& a, const TPointXYZ& b);
TPointXYZ Cross(const TPointXYZ& a, const TPointXYZ& b); // the usual cross product
double Norm(const TPointXYZ& a);

// With V = B - A and U = C - A: (Vy Uz - Vz Uy, Vx Uz - Vz Ux, Vx Uy - Vy Ux).
TPointXYZ PlaneNormal(const TPointXYZ& A, const TPointXYZ& B, const TPointXYZ& C);

// The line where the planes (n1, p1) and (n2, p2) meet: its direction
// (n1y n2z - n1z n2y, n1x n2z - n1z n2x, n1x n2y - n1y n2x) and a point of it. Returns
// false (nothing written) when the planes are parallel (|dx| + |dy| + |dz| < 1e-6).
bool PlaneIntersectionLine(const TPointXYZ& n1, const TPointXYZ& p1, const TPointXYZ& n2, const TPointXYZ& p2,
                           TPointXYZ& direction, TPointXYZ& point);

// The angle between two vectors in radians (0 .. pi); the cosine is clamped to [-1, 1].
double AngleBetweenVectors(const TPointXYZ& a, const TPointXYZ& b);

// X turned by angle (right-handed) about the line through Q with direction d (any
// non-zero length).
TPointXYZ RotateAboutAxis(const TPointXYZ& X, const TPointXYZ& d, const TPointXYZ& Q, double angle);

} // namespace kestrova::reconstruction
