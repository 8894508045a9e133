// Connection of the edge points of a sub-problem of the subdivision intersector.
#include "spline/isect/subdiv.h"

void sh1762_s9con(geom_object* object1, geom_object* object2, double /*epsge*/,
                  isect_data** /*data*/, edge_table* /*tables*/[2], int* status) {
  // A one-dimensional point against anything: nothing to connect, subdivide.
  if ((object1->kind == 0 && object1->point->dim == 1) ||
      (object2->kind == 0 && object2->point->dim == 1)) {
    *status = 0;
    return;
  }
  // The special-case tests of the other pairs are not built: subdivide.
  *status = 0;
}
