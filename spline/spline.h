// Public header of the spline toolkit: records, status reporting and routines.
#pragma once

#include "spline/boxes.h"
#include "spline/curve_eval.h"
#include "spline/knots.h"
#include "spline/linalg.h"
#include "spline/records.h"
#include "spline/status.h"
#include "spline/surface_eval.h"
#include "spline/vsf.h"
