// Building the intersection lists of a finished point graph: top codes of help chains
// go to their main points, straight stretches are thinned, singular and branch points
// are split, every chain of main points becomes one isect_list (open chains first,
// then closed loops), oriented along its direction marks, with its four list words.
#pragma once

#include "spline/detail/isect/isect_records.h"

// Builds the lists of *data (null data: status 0).  Status 0; -500 inconsistent graph;
// -101 the list array cannot grow; other negative statuses of the called operations
// (all reported as "sh6idlis").
void sh6idlis(geom_object* object1, geom_object* object2, isect_data** data, int* status);
