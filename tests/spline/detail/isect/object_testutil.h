// Objects of the intersection engine around the records built by newton_testutil.h.
#pragma once

#include <memory>

#include "spline/detail/isect/isect_records.h"
#include "spline/detail/isect/newton_testutil.h"

namespace newton_test {

using ObjectPtr = std::unique_ptr<geom_object, decltype(&destroy_geom_object)>;

// Wraps a record in an object (the object takes it over).
inline ObjectPtr wrap(CurveHandle c) {
  ObjectPtr o(create_geom_object(kCurveObject), destroy_geom_object);
  o->curve = c.release();
  return o;
}
inline ObjectPtr wrap(SurfaceHandle s) {
  ObjectPtr o(create_geom_object(kSurfaceObject), destroy_geom_object);
  o->surface = s.release();
  return o;
}
inline ObjectPtr wrap(PointPtr p) {
  ObjectPtr o(create_geom_object(kPointObject), destroy_geom_object);
  o->point = p.release();
  return o;
}

}  // namespace newton_test
