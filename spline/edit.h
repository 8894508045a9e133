// Picking pieces of curves, joining, reversing, checking and making curves k-regular.
//
// New curves have copy mode 2 and belong to the caller; on an error no output is
// stored.
#pragma once

struct spline_curve;

// The piece between begin and end, running from begin to end (reversed when begin >
// end).  A periodic curve gives the piece inside its base period.  -150, -151.
void s1712(const spline_curve* curve, double begin, double end, spline_curve** result,
           int* status);

// The piece from begin to end; begin > end runs through the curve's end and start (the
// curve is treated as closed).  begin == end restarts the whole curve at begin.
void s1713(const spline_curve* curve, double begin, double end, spline_curve** result,
           int* status);

// Both pieces of a closed curve: from begin to end, and from end onward to begin.
void s1714(const spline_curve* curve, double begin, double end, spline_curve** piece1,
           spline_curve** piece2, int* status);

// Joins curve 1 and curve 2 at the chosen ends (0 start, other values end) into one
// curve; curve 2 is translated so that its joined end meets curve 1's.  The result is
// rational when either input is.  -150, -106, -101.
void s1715(const spline_curve* curve1, const spline_curve* curve2, int end1, int end2,
           spline_curve** result, int* status);

// Turns a curve's direction in place, keeping its parameter range.
void reverse_curve(spline_curve* curve);

// Consistency check: -150, -111, -110, -102, -112; warnings 8 (weight not positive),
// 2 (periodic flag without cyclic knots), 1 (periodic with too few vertices).
void s1707(const spline_curve* curve, int* status);

// The k-regular copy of a curve (a periodic source gives open flag 0).
void make_cv_kreg(const spline_curve* curve, spline_curve** result, int* status);

// Replaces every curve of the array that is not k-regular by its k-regular part.
void s1349(int count, spline_curve** curves, int* status);
