// The graph tests share the stored-row and workbook helpers of the Qt-free tests.
#include "reconstruction/core/graph_testutil.cpp"
