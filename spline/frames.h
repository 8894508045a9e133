// Frenet frames along a curve (always three-dimensional: curves of dimension 1 and 2
// are lifted into space).
#pragma once

struct spline_curve;

// Positions, unit tangents, principal normals and binormals at m parameters (3 doubles
// per entry).  Where the curve is straight the normal and binormal are zero.
void s2559(const spline_curve* curve, const double* params, int m, double* positions,
           double* tangents, double* normals, double* binormals, int* status);

// The frame at one parameter; work holds 3 * dim doubles.
void s2560(const spline_curve* curve, double x, int* left, double* work, double* position,
           double* tangent, double* normal, double* binormal, int* status);

// The frame from position and two derivatives; status 2 (normal and binormal zero) on a
// straight piece or where the first derivative vanishes.
void frame_from_derivatives(const double* derivs, int dim, double* position, double* tangent,
                            double* normal, double* binormal, int* status);
