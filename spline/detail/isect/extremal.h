// Greatest value of a one-dimensional point, curve or surface over its whole parameter
// domain, with every parameter point and connected stretch where it is reached within
// aepsge.
//
// The caller passes a running greatest value that the search raises in place; found
// points are collected in chained intersection data (see chain_lists.h), which the
// caller frees.  The boundary is searched first as objects of one kind less, then the
// interior by coefficient tests, Newton iterations and subdivision.  The lists are built
// at the end without an examination pass: such a pass would remove isolated interior
// points of small gradient, which are exactly the maxima found here.
//
// Results of s1161: 0 nothing reaches the running value, 1 points equal to it were
// added, 2 a greater value was found (the running value raised and earlier points
// discarded).  Errors: -106 a point object not of dimension 1, -105 a curve or surface
// not of dimension 1, -121 an object of another kind, -101 memory.
#pragma once

struct geom_object;
struct isect_data;
struct edge_table;

void s1161(geom_object* object, double* running, double aepsge, isect_data** data, int* status);

// Interior search of a curve or surface piece whose boundary points are in the edge
// table (2 edges for a curve, 4 for a surface).
void s1162(geom_object* object, double* running, double aepsge, isect_data** data,
           edge_table* edges, int repeat_count, int edge_point_count, int* status);

// Simple-case test on the value box: 1 nothing can reach the running value, 2 the
// object is flat within aepsge, 3 the greatest coefficient is at a corner, else 0.
void s1190(geom_object* object, double* running, double aepsge, int* status);

// Makes the value box of the object when it has none.
void s1192(geom_object* object, double aepsge, int* status);

// Split kind: 0 none, 1 first direction, 2 second, 3 both.
void s1162_s9num(geom_object* object, int* split_kind, int* status);

// Connection of edge points through a single polynomial surface patch; status 0 to 3.
void s1162_s9con(geom_object* object, double* running, double aepsge, isect_data** data,
                 edge_table* edges, int* repeat_count, int* edge_point_count, int* status);

// A piece too small to split.
void s1162_s9mic(geom_object* object, geom_object* other, isect_data** data, edge_table* edges,
                 int* status);

// Newton search for the one interior maximum of a piece.
void s1162_s9update(geom_object* object, double* running, double aepsge, isect_data** data,
                    edge_table* edges, int* status);

// Splits the object into 2 or 4 pieces (returned as new objects in pieces) and searches
// the split lines.
void s1162_s9div(geom_object* object, double* running, double aepsge, int split_kind,
                 int knot_index1, int knot_index2, geom_object** pieces, isect_data** data,
                 edge_table* edges, int repeat_count, int* status);

// Enters the collected points on each edge of each piece into the piece's edge table.
void s1162_s9edge(geom_object** pieces, geom_object* other, int count, isect_data* data,
                  edge_table** tables, int* status);

// Coefficient sign test: shape 0 no interior maximum, 1 one interior maximum, 2 not
// simple; knot indices of interior knots of full multiplicity (0 when none).
void extremal_shape_test(const double* coefs, const double* knots1, const double* knots2,
                         int order1, int count1, int order2, int count2, int* shape,
                         int* knot_index1, int* knot_index2, int* status);

// Greatest and least coefficient of an n1 x n2 grid (first index fastest), preferring
// an inner vertex within aepsge of a corner extreme.
void extremal_value_box(const double* coefs, int count1, int count2, double aepsge,
                        double* greatest, double* least, int* index_greatest, int* index_least);

// 1 when the parameter interval of the knots can be halved, else 0.
int interval_halvable(const double* knots, int order, int count);

// Default split value of a direction: the middle knot, else the midpoint.
double subdivision_value(const double* knots, int order, int count);
