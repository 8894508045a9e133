#include "surface_file_testutil.h"

#include <gtest/gtest.h>

#include <string>

namespace surface_file_test {

FileSurface ReadSurfaceFile(std::istream& in)
{
    FileSurface s;
    int a, b, c, d;
    in >> a >> b >> c >> d;
    EXPECT_EQ(a, 200);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(d, 0);
    in >> s.dim >> s.rational >> s.n1 >> s.k1;
    s.t1.resize(s.n1 + s.k1);
    for (double& v : s.t1)
        in >> v;
    in >> s.n2 >> s.k2;
    s.t2.resize(s.n2 + s.k2);
    for (double& v : s.t2)
        in >> v;
    s.coefs.resize(static_cast<std::size_t>(s.n1) * s.n2 * (s.dim + s.rational));
    for (double& v : s.coefs)
        in >> v;
    EXPECT_FALSE(in.fail());
    std::string rest;
    in >> rest;
    EXPECT_TRUE(rest.empty()) << "trailing text: " << rest;
    return s;
}

double Basis(const std::vector<double>& t, int i, int k, double x, int n)
{
    if (k == 1) {
        if (t[i] <= x && x < t[i + 1])
            return 1.0;
        const bool lastInterval = x == t[n] && t[i] < t[i + 1] && t[i + 1] == t[n];
        return lastInterval ? 1.0 : 0.0;
    }
    double v = 0.0;
    if (t[i + k - 1] > t[i])
        v += (x - t[i]) / (t[i + k - 1] - t[i]) * Basis(t, i, k - 1, x, n);
    if (t[i + k] > t[i + 1])
        v += (t[i + k] - x) / (t[i + k] - t[i + 1]) * Basis(t, i + 1, k - 1, x, n);
    return v;
}

std::vector<double> Evaluate(const FileSurface& s, double u, double v)
{
    std::vector<double> p(s.dim, 0.0);
    for (int j = 0; j < s.n2; ++j) {
        const double bj = Basis(s.t2, j, s.k2, v, s.n2);
        if (bj == 0.0)
            continue;
        for (int i = 0; i < s.n1; ++i) {
            const double b = Basis(s.t1, i, s.k1, u, s.n1) * bj;
            for (int c = 0; c < s.dim; ++c)
                p[c] += b * s.coefs[(static_cast<std::size_t>(j) * s.n1 + i) * s.dim + c];
        }
    }
    return p;
}


} // namespace surface_file_test
