// Connection of the intersection points found on the edges of a sub-problem whose
// intersection is made of curves: two surfaces in three dimensions, and a point (a
// value) against a surface of dimension 1 (its level curves).
//
// Every edge point gets a direction from the local geometry: the intersection curve,
// followed in its own orientation (N_A x N_B for two surfaces, (-f_v, f_u) for a level
// curve), enters the domain there (1), leaves it (-1), runs along the edge (0), has no
// direction (2, tangent surfaces or a vanishing gradient) or gets contradicting
// directions from two edges (10, not used).  Points whose pattern of directions leaves
// no doubt are connected (directed from the entering towards the leaving point); three
// points around a touching place get the singular point between them (kind word 2);
// otherwise the curves are marched from point to point.
//
// Status 0 settled (the data holds the connections), 1 not settled (the caller
// subdivides further), negative an error (points joined before it stay joined).
#pragma once

struct spline_surface;
struct edge_table;
struct isect_data;

// Two surfaces of dimension 3 (else -200).  tables[0] holds the points on A's edges,
// tables[1] those on B's; points carry (u, v) on A and (s, t) on B.  simple_pair is 1
// when the simple-case test found A and B a simple pair.  Fewer than two edge points:
// status 0.
void sh1762_s9edgsscon(edge_table* tables[2], const spline_surface* a, const spline_surface* b,
                       isect_data** data, int simple_pair, double aepsge, int* status);

// A simple pair of two surfaces of dimension 3 with a single edge point at which the
// curve enters or leaves the pair: the curve crosses the pair's boundary a second time
// where no point was found (a dividing line that grazes the other surface).  The curve
// is marched from the point through the pair and its other end on the boundary is
// added and joined to the point.  Status 1 a point was added, 0 nothing done (another
// count of edge points, no clear direction, or no piece from boundary to boundary),
// negative an error.
void sh1762_s9edgsslone(edge_table* tables[2], const spline_surface* a,
                        const spline_surface* b, isect_data** data, double aepsge,
                        int* status);

// A surface of dimension 1 (else -200) against the value `level`; table holds the points
// on the surface's edges, each with (u, v).  piece is 1 when the surface is a piece cut
// from a larger surface.  Fewer than two edge points: status 1.
void sh1762_s9edgpscon(edge_table* table, double level, const spline_surface* surface, int piece,
                       isect_data** data, double aepsge, int* status);
