// Toolkit records: curves, surfaces, points, bounding boxes and direction cones,
// with their constructors and destructors.
//
// The records are plain structures allocated with malloc and freed with free; the
// windows of the application read some of their fields directly, so the field order
// is fixed.  Build them only with the create_* routines and free them only with the
// destroy_* routines.
#pragma once

// Bounding boxes of an object (see spline/boxes.h for the meaning of the slots) and
// the data of the extremal-value search of the intersection engine.
struct param_box {
  double* ext_values1;  // m doubles: greatest coefficient (extremal-value search)
  double* ext_values2;  // m doubles: least coefficient
  int ext_index1;       // index of the vertex holding the least coefficient
  int ext_index2;       // index of the vertex holding the greatest coefficient
  double* slot_high[3];  // per slot, the upper bounds (two boxes per slot)
  double* slot_low[3];   // per slot, the lower bounds; a slot is present when set
  double slot_tol[3];    // per slot, the tolerance it was built with (none for slot 0)
  int slot_count[3];     // per slot, the number of directions m its arrays were sized for
};

// Direction cone of an object, computed on demand by the intersection engine.
struct dir_cone {
  int flag;
  double* axis;     // dim doubles
  double angle;     // half-opening angle in radians
  double* polygon;  // copy of the object's vertices, or null
};

// A NURBS curve.  Parameter range [knots[order-1], knots[vertex_count]].
struct spline_curve {
  int order;          // k >= 1
  int vertex_count;   // n >= k
  double* knots;      // n + k doubles
  double* coefs;      // n * dim doubles; Euclidean vertices
  double* hom_coefs;  // n * (dim + 1) doubles (w*x, w) of a rational curve, else null
  int kind;           // 1 polynomial, 2 rational; 3 and 4 behave like 1 and 2
  int dim;            // dimension of the space
  int copy_mode;      // 0 shared arrays, 1 copied, 2 taken over
  dir_cone* cone;     // null until computed
  param_box* box;     // null until computed
  int open_flag;      // 1 open, 0 closed, -1 closed and periodic
};

// A tensor-product NURBS surface.  Vertex (i, j) is vertex number j * n1 + i.
struct spline_surface {
  int order1;
  int order2;
  int vertex_count1;
  int vertex_count2;
  double* knots1;     // n1 + k1 doubles
  double* knots2;     // n2 + k2 doubles
  double* coefs;      // n1 * n2 * dim doubles, first direction fastest
  double* hom_coefs;  // n1 * n2 * (dim + 1) doubles of a rational surface, else null
  int kind;
  int dim;
  int copy_mode;
  dir_cone* cone;
  param_box* box;
  int open_flag1;
  int open_flag2;
};

// A point as a geometric object of the intersection engine.
struct spline_point {
  double inline_coords[3];  // holds a copied point of dimension <= 3
  int dim;
  double* coords;  // inline_coords, an allocated copy, or the caller's array
  int copy_mode;   // 1 copy, otherwise share
  param_box* box;
};

// True for the rational kinds (2 and 4).
inline bool is_rational_kind(int kind) { return kind == 2 || kind == 4; }

// Curve constructor.  vertices are homogeneous (dim + 1 per vertex) for kinds 2 and
// 4.  Superfluous end knots are trimmed: with copy modes 0 and 2 the caller's arrays
// are moved down in place; with copy mode 1 only the copies are trimmed.  Returns
// null on allocation failure or when fewer than k vertices remain.
spline_curve* create_curve(int n, int k, double* knots, double* vertices, int kind, int dim,
                           int copy_mode);

// Surface constructor; as create_curve, per direction.  Returns null when a direction
// keeps fewer vertices than its order after trimming.
spline_surface* create_surface(int n1, int n2, int k1, int k2, double* knots1, double* knots2,
                               double* vertices, int kind, int dim, int copy_mode);

// Point constructor: copy mode 1 copies the coordinates, any other mode shares them.
spline_point* create_point(double* coords, int dim, int copy_mode);

// Empty box for an object of dimension dim (null for dim < 1 or allocation failure).
param_box* create_param_box(int dim);

// Cone with an axis array of dim doubles (null for dim < 1 or allocation failure).
dir_cone* create_dir_cone(int dim);

// Deep copies, including cached boxes and cones; null on failure.
spline_curve* copy_curve(const spline_curve* curve);
spline_surface* copy_surface(const spline_surface* surface);

// Destructors; a null record is ignored.
void destroy_curve(spline_curve* curve);
void destroy_surface(spline_surface* surface);
void destroy_point(spline_point* point);
void destroy_param_box(param_box* box);
void destroy_dir_cone(dir_cone* cone);

// Moves entry (i, j) at (j * fast + i) * width of src to (i * slow + j) * width of dst.
void transpose_coefs(const double* src, int fast, int slow, int width, double* dst);

// Allocates the arrays of a box slot for m directions (2 * m doubles each, m when m
// is 1, so a slot holds two boxes) and stores tol for slots 1 and 2.  A slot whose
// arrays were sized for another number of directions is reallocated (slot_count).  Status -126 for a slot
// outside 0..2, -101 when an allocation fails.
void box_slot_alloc(param_box* box, int m, int slot, double tol, int* status);

// 0 when the slot is missing, 1 when present (slots 1 and 2: built with tol), -1 when
// slot 1 or 2 was built with another tolerance.
int box_slot_test(const param_box* box, int slot, double tol);
