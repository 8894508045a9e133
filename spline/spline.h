// Public header of the spline toolkit: records, status reporting and routines.
#pragma once

#include "spline/records.h"
#include "spline/status.h"
