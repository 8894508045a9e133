// Small 3D math for the scene model: vectors and 4 x 4 matrices (column-major, as OpenGL
// takes them), the camera's view and projection, projection to window pixels.
#pragma once

#include <array>
#include <cmath>

namespace kestrova::reconstruction {

struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    friend Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
    friend Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
    friend Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
    friend Vec3 operator*(double s, Vec3 a) { return a * s; }
    friend bool operator==(const Vec3&, const Vec3&) = default;
};

inline double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline double Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
// The unit vector of a; a itself when it has no length.
inline Vec3 Normalized(Vec3 a)
{
    const double l = Length(a);
    return l > 0.0 ? a * (1.0 / l) : a;
}

// A 4 x 4 matrix, column-major: element (row r, column c) is m[c * 4 + r].
struct Mat4 {
    std::array<double, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    double& at(int r, int c) { return m[c * 4 + r]; }
    double at(int r, int c) const { return m[c * 4 + r]; }

    friend Mat4 operator*(const Mat4& a, const Mat4& b)
    {
        Mat4 p;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) {
                double s = 0.0;
                for (int i = 0; i < 4; ++i)
                    s += a.at(r, i) * b.at(i, c);
                p.at(r, c) = s;
            }
        return p;
    }
    // The image of a point (w = 1), without the perspective division.
    std::array<double, 4> Apply(Vec3 p) const
    {
        std::array<double, 4> out{};
        for (int r = 0; r < 4; ++r)
            out[r] = at(r, 0) * p.x + at(r, 1) * p.y + at(r, 2) * p.z + at(r, 3);
        return out;
    }
    Vec3 Point(Vec3 p) const
    {
        const auto h = Apply(p);
        return {h[0], h[1], h[2]};
    }
    // The image of a direction (w = 0).
    Vec3 Direction(Vec3 d) const
    {
        return {at(0, 0) * d.x + at(0, 1) * d.y + at(0, 2) * d.z, at(1, 0) * d.x + at(1, 1) * d.y + at(1, 2) * d.z,
                at(2, 0) * d.x + at(2, 1) * d.y + at(2, 2) * d.z};
    }
};

// The view matrix of an eye looking at a target with an up vector (gluLookAt).
Mat4 LookAt(Vec3 eye, Vec3 target, Vec3 up);
// A perspective frustum (glFrustum).
Mat4 Frustum(double left, double right, double bottom, double top, double nearPlane, double farPlane);

// A point projected to window pixels: x to the right, y downwards from the top left.
struct ScreenPoint {
    double x = 0.0;
    double y = 0.0;
    bool inFront = false; // false: behind the eye (not on screen)
};
ScreenPoint ProjectToWindow(const Mat4& viewProjection, Vec3 world, int width, int height);

// Distance from p to the segment a-b in the plane.
double SegmentDistance(double px, double py, double ax, double ay, double bx, double by);

} // namespace kestrova::reconstruction
