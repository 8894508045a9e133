#include "spline/detail/isect/isect_records.h"

#include <cstdlib>
#include <cstring>

#include "spline/status.h"

namespace {

constexpr int kInitialSlots = 4;
constexpr int kInitialPoints = 20;
constexpr int kInitialLists = 10;

// Allocates the six slot arrays of a point, zero-filled.  Either all six are set or
// none is (and false is returned).
bool alloc_slot_arrays(isect_point* pt, int capacity) {
  pt->neighbours = static_cast<isect_point**>(calloc(capacity, sizeof(isect_point*)));
  pt->segment_masks = static_cast<int*>(calloc(capacity, sizeof(int)));
  pt->top_a = static_cast<int*>(calloc(capacity, sizeof(int)));
  pt->top_b = static_cast<int*>(calloc(capacity, sizeof(int)));
  pt->top_c = static_cast<int*>(calloc(capacity, sizeof(int)));
  pt->top_d = static_cast<int*>(calloc(capacity, sizeof(int)));
  if (pt->neighbours && pt->segment_masks && pt->top_a && pt->top_b && pt->top_c &&
      pt->top_d) {
    pt->capacity = capacity;
    return true;
  }
  free(pt->neighbours);
  free(pt->segment_masks);
  free(pt->top_a);
  free(pt->top_b);
  free(pt->top_c);
  free(pt->top_d);
  pt->neighbours = nullptr;
  pt->segment_masks = pt->top_a = pt->top_b = pt->top_c = pt->top_d = nullptr;
  pt->capacity = 0;
  return false;
}

}  // namespace

isect_point* create_isect_point(int param_count, const double* params, double value) {
  isect_point* pt = static_cast<isect_point*>(calloc(1, sizeof(isect_point)));
  if (!pt) return nullptr;
  if (param_count > 0) {
    pt->params = static_cast<double*>(calloc(param_count, sizeof(double)));
    if (!pt->params) {
      free(pt);
      return nullptr;
    }
    if (params) memcpy(pt->params, params, sizeof(double) * param_count);
  }
  pt->param_count = param_count;
  pt->value = value;
  return pt;
}

isect_point* create_isect_point_geom(int param_count, const double* params, double value,
                                     int kind, int top_a0, int top_c0, int top_b0,
                                     int top_d0, int geom_size1, int geom_size2,
                                     const double* geom1, const double* geom2) {
  isect_point* pt = create_isect_point(param_count, params, value);
  if (!pt) return nullptr;
  pt->kind = kind;
  if (!alloc_slot_arrays(pt, kInitialSlots)) {
    destroy_isect_point(pt);
    return nullptr;
  }
  pt->top_a[0] = top_a0;
  pt->top_b[0] = top_b0;
  pt->top_c[0] = top_c0;
  pt->top_d[0] = top_d0;
  if (geom_size1 > 0) {
    pt->geom1 = static_cast<double*>(calloc(geom_size1, sizeof(double)));
    if (!pt->geom1) {
      destroy_isect_point(pt);
      return nullptr;
    }
    if (geom1) memcpy(pt->geom1, geom1, sizeof(double) * geom_size1);
    pt->geom_size1 = geom_size1;
  }
  if (geom_size2 > 0) {
    pt->geom2 = static_cast<double*>(calloc(geom_size2, sizeof(double)));
    if (!pt->geom2) {
      destroy_isect_point(pt);
      return nullptr;
    }
    if (geom2) memcpy(pt->geom2, geom2, sizeof(double) * geom_size2);
    pt->geom_size2 = geom_size2;
  }
  return pt;
}

isect_point* copy_isect_point(const isect_point* point) {
  if (!point) return nullptr;
  isect_point* pt = create_isect_point(point->param_count, point->params, point->value);
  if (pt) pt->kind = point->kind;
  return pt;
}

isect_point* copy_isect_point_geom(const isect_point* point) {
  if (!point) return nullptr;
  int a = 0, b = 0, c = 0, d = 0;
  if (point->capacity > 0 && point->top_a) {
    a = point->top_a[0];
    b = point->top_b[0];
    c = point->top_c[0];
    d = point->top_d[0];
  }
  return create_isect_point_geom(point->param_count, point->params, point->value,
                                 point->kind, a, c, b, d, point->geom_size1,
                                 point->geom_size2, point->geom1, point->geom2);
}

isect_list* create_isect_list(isect_point* first, isect_point* last, int list_type) {
  isect_list* list = static_cast<isect_list*>(calloc(1, sizeof(isect_list)));
  if (!list) return nullptr;
  list->first = first;
  list->last = last;
  list->list_type = list_type;
  list->point_count = 2;
  return list;
}

isect_data* create_isect_data() {
  isect_data* data = static_cast<isect_data*>(calloc(1, sizeof(isect_data)));
  if (!data) return nullptr;
  data->points = static_cast<isect_point**>(calloc(kInitialPoints, sizeof(isect_point*)));
  data->lists = static_cast<isect_list**>(calloc(kInitialLists, sizeof(isect_list*)));
  if (!data->points || !data->lists) {
    free(data->points);
    free(data->lists);
    free(data);
    return nullptr;
  }
  data->point_capacity = kInitialPoints;
  data->list_capacity = kInitialLists;
  return data;
}

isect_curve* create_isect_curve(int point_count, int param_count1, int param_count2,
                                double* params1, double* params2, int curve_type) {
  isect_curve* curve = static_cast<isect_curve*>(calloc(1, sizeof(isect_curve)));
  if (!curve) return nullptr;
  curve->point_count = point_count;
  curve->param_count1 = param_count1;
  curve->param_count2 = param_count2;
  curve->params1 = params1;
  curve->params2 = params2;
  curve->curve_type = curve_type;
  return curve;
}

param_track* make_param_track(isect_list* list) {
  if (!list || !list->first || list->first->param_count <= 0 || list->point_count <= 2)
    return nullptr;
  const int rows = list->point_count - 1;
  const int pc = list->first->param_count;
  param_track* track = static_cast<param_track*>(calloc(1, sizeof(param_track)));
  if (!track) return nullptr;
  track->params = static_cast<double*>(calloc(static_cast<size_t>(rows) * pc, sizeof(double)));
  track->const_index = static_cast<int*>(calloc(rows, sizeof(int)));
  if (!track->params || !track->const_index) {
    destroy_param_track(track);
    return nullptr;
  }
  track->point_count = rows;
  track->param_count = pc;

  isect_point* pt = list->first;
  int slot = list->first_slot;
  for (int row = 0; row < rows && pt; ++row) {
    pt->marker = kPointConsumed;
    const int n = pt->param_count < pc ? pt->param_count : pc;
    memcpy(track->params + static_cast<size_t>(row) * pc, pt->params, sizeof(double) * n);
    int ci = pc;
    if (slot >= 0 && slot < pt->neighbour_count) {
      const int mask = pt->segment_masks[slot];
      for (int i = 0; i < pc && i < 4; ++i)
        if (mask & (1 << (i + 1))) {
          ci = i;
          break;
        }
    }
    track->const_index[row] = ci;
    if (row + 1 == rows) break;
    // Step along the chain: next comes into pt's neighbour from pt.
    isect_point* next = (slot >= 0 && slot < pt->neighbour_count) ? pt->neighbours[slot]
                                                                  : nullptr;
    if (!next) break;
    isect_point* after = nullptr;
    int st = 0;
    sh6getother(next, pt, &after, &st);
    int slot_in_next = -1, dummy = -1;
    if (after) sh6getlist(next, after, &slot_in_next, &dummy, &st);
    pt = next;
    slot = slot_in_next;
  }
  return track;
}

edge_table* create_edge_table(int edge_count) {
  if (edge_count < 1) return nullptr;
  edge_table* table = static_cast<edge_table*>(calloc(1, sizeof(edge_table)));
  if (!table) return nullptr;
  table->heads = static_cast<edge_node**>(calloc(edge_count, sizeof(edge_node*)));
  if (!table->heads) {
    free(table);
    return nullptr;
  }
  table->edge_count = edge_count;
  return table;
}

edge_node* create_edge_node(isect_point* point) {
  edge_node* node = static_cast<edge_node*>(calloc(1, sizeof(edge_node)));
  if (node) node->point = point;
  return node;
}

geom_object* create_geom_object(int kind) {
  geom_object* object = static_cast<geom_object*>(calloc(1, sizeof(geom_object)));
  if (object) object->kind = kind;
  return object;
}

void destroy_isect_point(isect_point* point) {
  if (!point) return;
  if (point->param_count != 0) free(point->params);
  free(point->neighbours);
  free(point->segment_masks);
  free(point->top_a);
  free(point->top_b);
  free(point->top_c);
  free(point->top_d);
  free(point->geom1);
  free(point->geom2);
  free(point->spare1);
  free(point->spare2);
  free(point);
}

void destroy_isect_list(isect_list* list) { free(list); }

void destroy_isect_data(isect_data* data) {
  if (!data) return;
  for (int i = 0; i < data->point_count; ++i) destroy_isect_point(data->points[i]);
  free(data->points);
  for (int i = 0; i < data->list_count; ++i) destroy_isect_list(data->lists[i]);
  free(data->lists);
  free(data);
}

void destroy_isect_curve(isect_curve* curve) {
  if (!curve) return;
  free(curve->params1);
  free(curve->params2);
  destroy_curve(curve->geometry);
  destroy_curve(curve->pcurve1);
  destroy_curve(curve->pcurve2);
  free(curve);
}

void destroy_isect_curve_array(isect_curve** curves, int count) {
  if (!curves) return;
  for (int i = count - 1; i >= 0; --i)
    if (curves[i]) destroy_isect_curve(curves[i]);
  free(curves);
}

void destroy_param_track(param_track* track) {
  if (!track) return;
  free(track->params);
  free(track->const_index);
  free(track);
}

void destroy_edge_table(edge_table* table) {
  if (!table) return;
  for (int e = 0; e < table->edge_count; ++e) {
    edge_node* node = table->heads[e];
    while (node) {
      edge_node* next = node->next;
      free(node);
      node = next;
    }
  }
  free(table->heads);
  free(table);
}

void destroy_edge_node(edge_node* node) { free(node); }

void destroy_geom_object(geom_object* object) {
  if (!object) return;
  switch (object->kind) {
    case 0:
      destroy_point(object->point);
      break;
    case 1:
      destroy_curve(object->curve);
      break;
    case 2:
      destroy_surface(object->surface);
      break;
    default:
      break;
  }
  for (geom_object* edge : object->edges)
    if (edge) destroy_geom_object(edge);
  free(object);
}

bool is_main_point(const isect_point* point) { return point && point->kind > 0; }

bool is_help_point(const isect_point* point) { return point && point->kind < 0; }

int neighbour_index(const isect_point* point, const isect_point* other) {
  if (!point || !other) return -1;
  for (int i = 0; i < point->neighbour_count; ++i)
    if (point->neighbours[i] == other) return i;
  return -1;
}

void sh6getlist(isect_point* p, isect_point* q, int* slot_in_p, int* slot_in_q,
                int* status) {
  *slot_in_p = neighbour_index(p, q);
  *slot_in_q = neighbour_index(q, p);
  if (*slot_in_p >= 0 && *slot_in_q >= 0) {
    *status = 0;
  } else if (*slot_in_p < 0 && *slot_in_q < 0) {
    *status = 1;
  } else {
    *status = -1;
    error_report("sh6getlist", *status, 0);
  }
}

void sh6getother(isect_point* point, isect_point* neighbour, isect_point** other,
                 int* status) {
  *other = nullptr;
  *status = 0;
  int in_point = -1, in_neighbour = -1, st = 0;
  sh6getlist(point, neighbour, &in_point, &in_neighbour, &st);
  if (st < 0) {
    *status = st;
    error_report("sh6getother", st, 0);
    return;
  }
  if (st == 1) {
    *status = -1;
    error_report("sh6getother", *status, 0);
    return;
  }

  if (!is_main_point(point)) {
    if (point->neighbour_count - 1 > 1) {
      *status = -2;
      error_report("sh6getother", *status, 0);
      return;
    }
    for (int i = 0; i < point->neighbour_count; ++i)
      if (i != in_point) *other = point->neighbours[i];
    if (!*other) *status = 1;
    return;
  }

  if (!is_main_point(neighbour)) {
    *status = -1;
    error_report("sh6getother", *status, 0);
    return;
  }
  if (point->kind == kSingularPoint) {
    *status = 2;
    return;
  }
  isect_point* found = nullptr;
  int mains = 0;
  for (int i = 0; i < point->neighbour_count; ++i) {
    if (i == in_point || !is_main_point(point->neighbours[i])) continue;
    ++mains;
    found = point->neighbours[i];
  }
  if (mains == 0) {
    *status = 1;
  } else if (mains > 1) {
    *status = 2;
  } else {
    *other = found;
  }
}
