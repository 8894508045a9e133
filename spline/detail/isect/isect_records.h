// Intersection records: the graph of intersection points of one intersection problem,
// its lists, the curves handed to the caller, parameter tracks, edge tables and the
// object wrapper through which the intersection engine sees a point, curve or surface.
//
// All records are plain structures allocated with malloc/calloc/realloc and freed with
// free.  They are built only by the create_* routines below and freed only by the
// destroy_* routines.  One intersection problem's records are used by one thread at a
// time (the topology walks use the marker word of the points).
#pragma once

#include "spline/isect.h"
#include "spline/records.h"

// Kind words of an isect_point (see below).
enum IsectPointKind : int {
  kHelpPoint = -1,       // a help point (any negative word: a demoted point)
  kOrdinaryPoint = 1,    // an ordinary main point
  kSingularPoint = 2,    // a singular main point: chains are split and lists end there
  kEdgePoint = 3,        // a main point on an edge or in a coincident stretch
  kTouchingPoint = 4,    // a tangential touching point
};

// Marker word of a point consumed by the output or about to be removed.
constexpr int kPointConsumed = -99;

// One intersection point with its connections to neighbouring points.
//
// Kind word: > 0 main point, < 0 help point, 0 neither (plain constructor).
//   1 ordinary main point, 2 singular main point (a chain is not continued through it),
//   3 main point on an edge or in a coincident stretch, 4 tangential touching point,
//   -1 help point; demotion negates the word (so -3 exists).
// Segment mask (per neighbour slot): the sign gives the direction of the segment
//   (positive: from this point to the neighbour); bit 0 is set with any direction;
//   bit i+1 marks parameter i as constant along the segment.
// Top codes (per slot): 0 not set, 1 and 2 the two sides, 3 undecided, 4 along a
//   parameter boundary.  Before the first connection slot 0 holds the point's own codes.
// Marker word: 0 normally; -99 consumed by the output or about to be removed; -10 help
//   points visited by the top-code collection; -90 edge-group collection; -199
//   reachability search; small positive counts during list building.
struct isect_point {
  int param_count;            // first object's parameters, then the second's
  double* params;             // owned; null when param_count is 0
  double value;
  isect_point* link;          // not used by the topology
  int kind;
  isect_point** neighbours;   // owned; slots 0 .. neighbour_count - 1
  int* segment_masks;         // owned; one word per slot
  int neighbour_count;
  int capacity;               // slots allocated in each of the six slot arrays
  int* top_a;                 // first object, start side
  int* top_b;                 // second object, start side
  int* top_c;                 // first object, end side
  int* top_d;                 // second object, end side
  int geom_size1;
  int geom_size2;
  double* geom1;              // owned cached evaluation of the first object, or null
  double* geom2;              // the same for the second object
  double curve_geom[10];      // intersection curve at the point (position, tangent, ...)
  double surf_geom1[7];       // curve in the first object's parameter plane
  double surf_geom2[7];       // the same on the second object
  int edge_word1;             // 0, or 1/2: connected along a boundary of the first object
  int edge_word2;             // the same for the second object
  int marker;
  int evaluated;              // 1 once the three caches above hold valid data
  void* spare1;               // owned, freed when set
  void* spare2;
  int eval_side1;             // side choice for evaluating the first surface (direction 1)
  int eval_side2;             // the same, second direction
};

// A chain of connected points from one end point to the other.
struct isect_list {
  isect_point* first;
  isect_point* last;          // same as first for a closed chain
  int first_slot;             // slot of first leading into the chain
  int last_slot;              // slot of last leading back into the chain
  int list_type;              // 0 from the list builder; a type of the chained lists
  int point_count;            // points on the chain (2 at creation)
  int word1;                  // list words: top codes of the chain ends
  int word2;
  int word3;
  int word4;
};

// All points and lists of one intersection problem.  The data owns its points and
// its list records; the lists name points of the same data.
struct isect_data {
  isect_point** points;
  int point_count;
  int point_capacity;         // 20 at creation, grows by 20
  isect_list** lists;
  int list_count;
  int list_capacity;          // 10 at creation, grows by 20
};

// Parameter values collected along a chain.
struct param_track {
  int point_count;
  int param_count;
  double* params;             // point_count * param_count, owned
  int* const_index;           // per point: first constant parameter of the leaving
                              // segment, or param_count when none
};

struct edge_node {
  isect_point* point;         // not owned
  edge_node* next;
};

// Points found on the edges of one object.  Curve edges: 0 start, 1 end.  Surface
// edges: 0 second parameter at its start, 1 first at its end, 2 second at its end,
// 3 first at its start.
struct edge_table {
  int edge_count;
  int point_count;            // nodes in all lists
  edge_node** heads;          // edge_count list heads, null for an empty edge
};

// Kinds of a geom_object; the kind is also the number of parameters it contributes.
enum GeomObjectKind : int {
  kPointObject = 0,
  kCurveObject = 1,
  kSurfaceObject = 2,
};

// The wrapper by which the engine sees a point (kind 0), curve (1) or surface (2).
// The kind is also the number of parameters the object contributes to a point.
struct geom_object {
  int kind;
  spline_point* point;        // owned when kind is 0
  spline_curve* curve;        // owned when kind is 1
  spline_surface* surface;    // owned when kind is 2
  geom_object* origin;        // not owned; the top-level object (itself at top level)
  geom_object* edges[4];      // owned edge objects, made on demand
  void* extra;                // not freed by the destructor
};

// ---- Constructors (return null when an allocation fails; nothing half-built is left)

// A point with a copy of the parameters, kind word 0 and no slot arrays.  Every other
// field is zero.
isect_point* create_isect_point(int param_count, const double* params, double value);

// A zero-filled point with room for 4 neighbours, the given kind word, slot 0 of the
// top arrays set from the four codes (given in the order a, c, b, d) and copies of the
// two geometry blocks (a size <= 0 gives no block and size 0).
isect_point* create_isect_point_geom(int param_count, const double* params, double value,
                                     int kind, int top_a0, int top_c0, int top_b0,
                                     int top_d0, int geom_size1, int geom_size2,
                                     const double* geom1, const double* geom2);

// Copies without connections: parameters, value and kind word (and, for the _geom
// form, slot 0 of the top codes and both geometry blocks).
isect_point* copy_isect_point(const isect_point* point);
isect_point* copy_isect_point_geom(const isect_point* point);

// A list from first to last with point_count 2; slots and list words zero until the
// list builder fills them.
isect_list* create_isect_list(isect_point* first, isect_point* last, int list_type);

// An empty data with room for 20 points and 10 lists.
isect_data* create_isect_data();

// The parameters along a list: point_count - 1 rows (a closed chain's first point is
// counted once); marks every point it takes with -99.  Null for a null list, a first
// point without parameters, point_count <= 2 or an allocation failure.
param_track* make_param_track(isect_list* list);

// Null when edge_count < 1.
edge_table* create_edge_table(int edge_count);
edge_node* create_edge_node(isect_point* point);
geom_object* create_geom_object(int kind);

// ---- Destructors (all accept null; none frees what another record owns)

void destroy_isect_point(isect_point* point);
void destroy_isect_list(isect_list* list);
void destroy_isect_data(isect_data* data);
void destroy_param_track(param_track* track);
void destroy_edge_table(edge_table* table);
void destroy_edge_node(edge_node* node);
// Destroys the geometry its kind names and its edge objects (recursively); the origin
// and extra are not touched.
void destroy_geom_object(geom_object* object);

// ---- Accessors

bool is_main_point(const isect_point* point);
bool is_help_point(const isect_point* point);

// First slot of point holding other; -1 when either is null or other is not there.
int neighbour_index(const isect_point* point, const isect_point* other);

// Slots of q in p and of p in q (-1 when not found).  Status 0 connected, 1 not
// connected, -1 connected one-sided (reported).
void sh6getlist(isect_point* p, isect_point* q, int* slot_in_p, int* slot_in_q, int* status);

// The next point of a chain that comes into point from neighbour.  Status 0 found;
// 1 no next point; 2 the chain may not be continued (singular point or a branch);
// negative: -1 not connected or a main point entered from a help point, -2 a help
// point with several other neighbours (reported).
void sh6getother(isect_point* point, isect_point* neighbour, isect_point** other,
                 int* status);
