// Chained intersection data: the points of an isect_data linked by their single
// successor pointer (`link`) instead of neighbour arrays, as the extremal-value search
// collects them, with the lists built from the chains at the end.  Also three services
// used by the point-graph topology and the subdivision driver: the points on an edge,
// whether two level points of a one-dimensional surface lie on one piece, and a point
// strictly inside an object's parameter domain.
//
// A chain is valid when every point has at most one successor and one predecessor.
// Kind word 2 marks a point where chains are split and lists end.  Routines that free
// the data when its last point goes leave the caller's pointer null.
#pragma once

struct spline_surface;
struct geom_object;
struct isect_data;
struct isect_point;
struct isect_list;
struct edge_node;

// Inserts *point (a null *data gets a new data).  With compare set and the point's kind
// not 2, a point of equal parameters already present replaces it: the given point is
// freed and *point names the present one.  Returns 0 inserted, 1 the very point is
// there already, 2 an equal point was found.  -101.
int s6idnpt(isect_data** data, isect_point** point, int compare, int* status);

// Chains point 1 to point 2 (both inserted with comparison first).  Returns 0 chained,
// 1 already chained, 2 both are the same point, 3 both of kind 2 with equal parameters.
int s6idcon(isect_data** data, isect_point** point1, isect_point** point2, int* status);

// Reverses the chain that starts at point; the point becomes its end.
void reverse_chain(isect_point* point);

// Reverses the whole chain through point (from the chain's start).
void reverse_whole_chain(isect_data* data, isect_point* point);

// Lifts the points (and chains) of a sub-problem into the parent, inserting value as
// parameter number position.  -190 a successor outside the sub-problem, -191 a position
// outside 0 .. parameter count.
void s6idput(isect_data** parent, isect_data* sub, int position, double value, int* status);

// Builds the lists of the chains (earlier list records are freed): kind-2 points inside
// a chain split it; open chains give list types 0, 2, 3, 4; closed ones type 1 with
// `first` the successor of `last`.  Then, for two surfaces in space or a level (a point
// object of dimension 1 with its point) against a surface, the examination pass of
// chain_examine.h.  -105 a broken loop, -101.
void s6idlis(geom_object* object1, geom_object* object2, isect_data** data, int* status);

// Removes a list and every point on it.  Returns 0 removed (or no data), 1 no list or
// not in the data.
int s6idklist(isect_data** data, isect_list* list, int* status);

// Takes *point out of the data and frees it (*point becomes null), returning its
// predecessor and successor.  Returns 1 when the point was not in the data.
int remove_chain_point(isect_data** data, isect_point** point, isect_point** predecessor,
                       isect_point** successor, int* status);

// Appends to *head a node for every point of data inside the parameter ranges of both
// objects with parameter `direction` (1 or 2) of object `which` (1 or 2) fixed at
// value; *count grows by the nodes made.  -101.
void s6idedg(geom_object* object1, geom_object* object2, int which, int direction, double value,
             isect_data* data, edge_node** head, int* count, int* status);

// 1 when the two level points (parameter pairs) of the one-dimensional surface lie on
// one piece within tol, else 0.  -109 a pair outside the domain or no surface.
int s6identify(const spline_surface* surface, const double* par1, const double* par2,
               double level, double distance_limit, double tol, int* status);

// The last point of data inside both objects' domains and strictly inside the domain of
// object `which` (1, else 2); null when none.  *point receives it as well.
isect_point* inner_isect_point(geom_object* object1, geom_object* object2, isect_data* data,
                               isect_point** point, int which);
