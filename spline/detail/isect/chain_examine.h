// Examination passes over the chained lists of a surface-surface problem and of a
// one-dimensional surface against a level: open lists are reduced to one point and
// classified by marching through it, duplicate lists and isolated points that carry no
// information are removed.
//
// The marching classification (the tangency tests of two surfaces and of a level) is
// reached through chain_tangency(), which starts with s1788 and s1787 (march_through.h);
// tests may replace its entries.
#pragma once

struct spline_surface;
struct isect_data;

struct chain_tangency_table {
  // Surfaces 1 and 2, tolerance, point (u, v, s, t); the marched piece's ends.
  void (*s1788)(spline_surface* surface1, spline_surface* surface2, double aepsge,
                const double* point, double* start, double* end, int* status);
  // One-dimensional surface, level, tolerance, point (u, v); the piece's ends.
  void (*s1787)(spline_surface* surface, double level, double aepsge, const double* point,
                double* start, double* end, int* status);
};

// The table in use (tests and the marchers replace entries).
chain_tangency_table& chain_tangency();

// Surface against surface, both of dimension 3 (else -200).
void s6idlis_s9ssexamin(spline_surface* surface1, spline_surface* surface2, isect_data** data,
                        int* status);

// One-dimensional surface against a level (dimension 1, else -200).
void s6idlis_s9psexamin(spline_surface* surface, double level, isect_data** data, int* status);
