// The export fixture card and its helpers are shared with the Qt-free export tests; this
// binary compiles them once more.
#include "reconstruction/core/export_testutil.cpp"
