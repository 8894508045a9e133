#include "reconstruction/core/scene_math.h"

#include <algorithm>

namespace kestrova::reconstruction {

Mat4 LookAt(Vec3 eye, Vec3 target, Vec3 up)
{
    const Vec3 f = Normalized(target - eye);
    const Vec3 s = Normalized(Cross(f, up));
    const Vec3 u = Cross(s, f);
    Mat4 v;
    v.at(0, 0) = s.x, v.at(0, 1) = s.y, v.at(0, 2) = s.z;
    v.at(1, 0) = u.x, v.at(1, 1) = u.y, v.at(1, 2) = u.z;
    v.at(2, 0) = -f.x, v.at(2, 1) = -f.y, v.at(2, 2) = -f.z;
    v.at(0, 3) = -Dot(s, eye);
    v.at(1, 3) = -Dot(u, eye);
    v.at(2, 3) = Dot(f, eye);
    return v;
}

Mat4 Frustum(double l, double r, double b, double t, double n, double f)
{
    Mat4 p;
    p.m.fill(0.0);
    p.at(0, 0) = 2 * n / (r - l);
    p.at(0, 2) = (r + l) / (r - l);
    p.at(1, 1) = 2 * n / (t - b);
    p.at(1, 2) = (t + b) / (t - b);
    p.at(2, 2) = -(f + n) / (f - n);
    p.at(2, 3) = -2 * f * n / (f - n);
    p.at(3, 2) = -1;
    return p;
}

ScreenPoint ProjectToWindow(const Mat4& viewProjection, Vec3 world, int width, int height)
{
    const auto c = viewProjection.Apply(world);
    ScreenPoint s;
    if (c[3] <= 1e-9)
        return s;
    s.inFront = true;
    s.x = (c[0] / c[3] + 1.0) * 0.5 * width;
    s.y = (1.0 - c[1] / c[3]) * 0.5 * height;
    return s;
}

double SegmentDistance(double px, double py, double ax, double ay, double bx, double by)
{
    const double dx = bx - ax, dy = by - ay;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0.0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const double qx = ax + t * dx - px, qy = ay + t * dy - py;
    return std::sqrt(qx * qx + qy * qy);
}

} // namespace kestrova::reconstruction
