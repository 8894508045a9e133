// An independent reader of the toolkit's surface text file for the tests: the text parsed
// token by token and the B-spline evaluated by the Cox-de Boor recursion.
#pragma once

#include <istream>
#include <vector>

namespace surface_file_test {

struct FileSurface {
    int dim = 0, rational = 0, n1 = 0, k1 = 0, n2 = 0, k2 = 0;
    std::vector<double> t1, t2, coefs;
};

// Reads the seven lines of a surface file (expecting the "200 1 0 0" heading and nothing
// after the coefficients).
FileSurface ReadSurfaceFile(std::istream& in);

// B-spline basis function i of order k at x (Cox-de Boor), right-continuous except at the
// end of the range, where the last non-empty interval is closed.
double Basis(const std::vector<double>& t, int i, int k, double x, int n);

// The point of a non-rational surface at (u, v).
std::vector<double> Evaluate(const FileSurface& s, double u, double v);

} // namespace surface_file_test
