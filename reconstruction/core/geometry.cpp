#include "reconstruction/core/geometry.h"

#include <algorithm>
#include <cmath>

namespace kestrova::reconstruction {

double Dot(const TPointXYZ& a, const TPointXYZ& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

TPointXYZ Cross(const TPointXYZ& a, const TPointXYZ& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double Norm(const TPointXYZ& a) { return std::sqrt(Dot(a, a)); }

TPointXYZ PlaneNormal(const TPointXYZ& A, const TPointXYZ& B, const TPointXYZ& C)
{
    const TPointXYZ V = B - A;
    const TPointXYZ U = C - A;
    return {V.y * U.z - V.z * U.y, V.x * U.z - V.z * U.x, V.x * U.y - V.y * U.x};
}

bool PlaneIntersectionLine(const TPointXYZ& n1, const TPointXYZ& p1, const TPointXYZ& n2, const TPointXYZ& p2,
                           TPointXYZ& direction, TPointXYZ& point)
{
    const TPointXYZ d{n1.y * n2.z - n1.z * n2.y, n1.x * n2.z - n1.z * n2.x, n1.x * n2.y - n1.y * n2.x};
    if (std::abs(d.x) + std::abs(d.y) + std::abs(d.z) < 1e-6)
        return false;
    // A point of both planes: the one nearest the origin, from the true cross product.
    const TPointXYZ c = Cross(n1, n2);
    const double h1 = Dot(n1, p1);
    const double h2 = Dot(n2, p2);
    point = (1.0 / Dot(c, c)) * (h1 * Cross(n2, c) + h2 * Cross(c, n1));
    direction = d;
    return true;
}

double AngleBetweenVectors(const TPointXYZ& a, const TPointXYZ& b)
{
    const double c = Dot(a, b) / (Norm(a) * Norm(b));
    return std::acos(std::clamp(c, -1.0, 1.0));
}

TPointXYZ RotateAboutAxis(const TPointXYZ& X, const TPointXYZ& d, const TPointXYZ& Q, double angle)
{
    const double x = X.x, y = X.y, z = X.z;
    const double a = Q.x, b = Q.y, c = Q.z;
    const double u = d.x, v = d.y, w = d.z;
    const double L2 = u * u + v * v + w * w;
    const double L = std::sqrt(L2);
    const double co = std::cos(angle), si = std::sin(angle);
    const double dotX = u * x + v * y + w * z;
    return {((a * (v * v + w * w) - u * (b * v + c * w - dotX)) * (1 - co) + L2 * x * co +
             L * (-c * v + b * w - w * y + v * z) * si) / L2,
            ((b * (u * u + w * w) - v * (a * u + c * w - dotX)) * (1 - co) + L2 * y * co +
             L * (c * u - a * w + w * x - u * z) * si) / L2,
            ((c * (u * u + v * v) - w * (a * u + b * v - dotX)) * (1 - co) + L2 * z * co +
             L * (-b * u + a * v - v * x + u * y) * si) / L2};
}

} // namespace kestrova::reconstruction
