// Closed-form surfaces for the tests of pairs with a surface: plane patches, polynomial
// patches of space, a rational quarter cylinder; edge tables filled by hand.
#pragma once

#include <cmath>
#include <memory>
#include <vector>

#include "spline/detail/isect/isect_records.h"
#include "spline/records.h"
#include "spline/detail/isect/newton_testutil.h"

namespace surface_test {


// S(u, v) = o + u a + v b over [0, 1] x [0, 1] (dimension of o).
inline SurfaceHandle plane_patch(const std::vector<double>& o, const std::vector<double>& a,
                              const std::vector<double>& b) {
  const int dim = static_cast<int>(o.size());
  std::vector<double> v;
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i)
      for (int m = 0; m < dim; ++m) v.push_back(o[m] + i * a[m] + j * b[m]);
  return newton_test::surface({0, 0, 1, 1}, {0, 0, 1, 1}, 2, 2, v, 1, dim);
}

// One monomial c u^p v^q of one coordinate.
struct Monomial {
  int coordinate;
  int p;
  int q;
  double c;
};

// Polynomial surface of space of orders (k1, k2) over one Bezier patch [0,1]^2 whose
// coordinate m is the sum of its monomials (control points by blossoming).
inline SurfaceHandle poly_patch(const std::vector<Monomial>& terms, int k1, int k2) {
  std::vector<double> t1(2 * k1, 0.0), t2(2 * k2, 0.0);
  for (int i = 0; i < k1; ++i) t1[k1 + i] = 1.0;
  for (int i = 0; i < k2; ++i) t2[k2 + i] = 1.0;
  std::vector<double> v(3 * k1 * k2, 0.0);
  for (int j = 0; j < k2; ++j)
    for (int i = 0; i < k1; ++i)
      for (const Monomial& t : terms)
        v[3 * (j * k1 + i) + t.coordinate] += t.c *
                                              newton_test::monomial_blossom(t.p, &t1[i + 1], k1 - 1) *
                                              newton_test::monomial_blossom(t.q, &t2[j + 1], k2 - 1);
  return newton_test::surface(t1, t2, k1, k2, v, 1, 3);
}

// Quarter of the cylinder x^2 + y^2 = r^2 between z = 0 and z = h: the first parameter
// runs over [0, 1] from (r, 0) to (0, r) (rational quadratic), the second over [0, 1]
// from z = 0 to z = h.
inline SurfaceHandle quarter_cylinder(double r, double h) {
  const double w = std::sqrt(0.5);
  const double xy[3][2] = {{1, 0}, {1, 1}, {0, 1}};
  std::vector<double> v;
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 3; ++i) {
      const double wi = i == 1 ? w : 1.0;
      v.push_back(wi * r * xy[i][0]);
      v.push_back(wi * r * xy[i][1]);
      v.push_back(wi * h * j);
      v.push_back(wi);
    }
  return newton_test::surface({0, 0, 0, 1, 1, 1}, {0, 0, 1, 1}, 3, 2, v, 2, 3);
}

// Edge tables of a problem, freed at the end of a test.
struct Tables {
  edge_table* t[2] = {nullptr, nullptr};
  Tables(int edges1, int edges2) {
    t[0] = edges1 > 0 ? create_edge_table(edges1) : nullptr;
    t[1] = edges2 > 0 ? create_edge_table(edges2) : nullptr;
  }
  ~Tables() {
    destroy_edge_table(t[0]);
    destroy_edge_table(t[1]);
  }
  Tables(const Tables&) = delete;
  Tables& operator=(const Tables&) = delete;
  void push(int which, int edge, isect_point* p) {
    edge_node* n = create_edge_node(p);
    n->next = t[which]->heads[edge];
    t[which]->heads[edge] = n;
    ++t[which]->point_count;
  }
};

// The intersection data of a test, freed at its end.
struct Data {
  isect_data* d = nullptr;
  ~Data() { destroy_isect_data(d); }
  int size() const { return d ? d->point_count : 0; }
};

}  // namespace surface_test
