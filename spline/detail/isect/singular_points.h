// Singular intersection points of two surfaces: places inside a parameter box where the
// surfaces touch (their normals are parallel), so that their intersection curves meet
// there without a single direction.
//
// A parameter point holds four doubles, (u, v) on surface A and (s, t) on surface B.  A
// box holds the start and end of each of the four parameters: u start, u end, v start,
// v end, s start, s end, t start, t end.
#pragma once

struct spline_surface;

// Damped Newton search, from start, for a point where A's tangent plane is orthogonal to
// B's normal at the point of B nearest to A's point (B's parameters always follow A's
// by projection).  At most 20 iterations; a trial that makes the tangency measure
// |N_A x N_B| larger is never accepted, its step is halved instead; the search ends
// early when the step is zero (every component at most 1e-15 of its range).  The result
// stays inside the box; a parameter within 1e-11 of its range from a knot is put on
// that knot.
// Status 1 a point where the measure is at most 1e-11 is in result; 0 the search ended
// without one (result holds the best point reached); -106 a surface is not
// three-dimensional; -200 a range of the box is below 1e-11; evaluation and projection
// errors are passed on.  Reported as "shsing".
void shsing(const spline_surface* a, const spline_surface* b, const double box[8],
            const double start[4], double result[4], int* status);

// Newton step for A's parameters towards tangency: step[0], step[1] from A's derivative
// block (S, Su, Sv, Suu, Suv, Svv) and B's block followed by B's normal Ts x Tt (21
// doubles); step[2] and step[3] are 0.  A singular system gives a step along one
// parameter, or none.
void tangency_step(double step[4], const double* a_derivs, const double* b_derivs_normal);

// Shortens each component of the step so that point + step stays inside the box.
void clamp_step_to_box(double step[4], const double point[4], const double box[8]);
