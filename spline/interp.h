// Curve interpolation through points and derivative conditions, and the curve with
// given points as control vertices.
//
// Point types: 1, 2 a point; 3 / 4 a first derivative at the next / previous point; 5 / 6
// a second derivative there; 13 a direction point before the next point, 14 after the
// previous one.  Open flag: 1 open, 0 closed (clamped), -1 closed and periodic.
#pragma once

struct spline_curve;

// Parametrisation callback (the form of s1909) and knot-vector callback (s1902).
using interp_param_fn = void (*)(const double* conds, const int* codes, int n, int dim,
                                 int nonperiodic, double start, double* end, double** par,
                                 double** distinct, int* status);
using interp_knot_fn = void (*)(const double* par, int n, int k, int nonperiodic, double** knots,
                                int* status);

// Interpolation with chord-length parameters from start.  Returns the curve, the end
// parameter and the distinct condition parameters (a new array the caller frees).
void s1356(const double* points, int count, int dim, const int* types, int start_cond,
           int end_cond, int open_flag, int order, double start, double* end,
           spline_curve** curve, double** params, int* param_count, int* status);

// Interpolation at the caller's parameters: one per point of type 1 or 2, and one more
// (the closing value) for an open flag other than 1.
void s1357(const double* points, int count, int dim, const int* types, const double* point_params,
           int start_cond, int end_cond, int open_flag, int order, double unused, double* end,
           spline_curve** curve, double** params, int* param_count, int* status);

// As s1356 with the types as doubles; open flag 0 is taken as -1 (periodic).
void s1334(const double* points, int count, int dim, const double* types, int start_cond,
           int end_cond, int open_flag, int order, double start, double* end,
           spline_curve** curve, double** params, int* param_count, int* status);

// A curve whose vertices are the points, on chord-length knots.  -109, -113.
void s1630(const double* points, int count, double start, int open_flag, int dim, int order,
           spline_curve** curve, int* status);

// Drivers of s1356 and s1334.
void s1912(interp_param_fn param_fn, interp_knot_fn knot_fn, const double* conds,
           const int* codes, int n, double start, int order, int dim, int open_flag, double* end,
           spline_curve** curve, double** params, int* param_count, int* status);
void s1901(interp_param_fn param_fn, interp_knot_fn knot_fn, const double* conds,
           const int* codes, int n, double start, int order, int dim, int open_flag, double* end,
           spline_curve** curve, double** params, int* param_count, int* status);

// Condition expansion (new arrays) without and with parameters.
void s1906(const double* points, const int* types, int start_cond, int end_cond, int count,
           int dim, double** conds, int** codes, int* n, int* status);
void s1907(const double* points, const int* types, const double* point_params, int open_flag,
           int start_cond, int end_cond, int count, int dim, double** conds, int** codes,
           double** cond_params, int* n, int* status);

// Condition ordering (new arrays) without and with parameters.
void s1905(const double* conds, const int* codes, int n, int order, int dim, int open_flag,
           double** out_conds, int** out_codes, int* out_n, int* status);
void s1908(const double* conds, const int* codes, const double* cond_params, int n, int order,
           int dim, int open_flag, double** out_conds, int** out_codes, double** out_params,
           int* out_n, int* status);

// Chord-length parametrisation of ordered conditions.
void s1909(const double* conds, const int* codes, int n, int dim, int nonperiodic, double start,
           double* end, double** par, double** distinct, int* status);
