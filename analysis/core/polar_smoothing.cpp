#include "analysis/core/polar_smoothing.h"

#include <algorithm>
#include <cmath>

#include "analysis/core/numeric_helpers.h"

namespace kestrova::analysis {

namespace {
constexpr double kHalfTurn = 3.14159265;

inline int Wrap(int j, int n) {
    const int m = j % n;
    return m < 0 ? m + n : m;
}

// The averaging passes on one row of doubles; `work` has the row's length.
void SmoothPasses(std::vector<double>& row, std::vector<double>& work, int level) {
    const int n = static_cast<int>(row.size());
    for (int j = 0; j < n; ++j) work[j] = (row[j] + row[Wrap(j - 1, n)]) / 2.0;
    row.swap(work);
    int shift = 1 % n;  // 2^(k-1) modulo n, kept small for any level
    for (int k = 1; k < level; ++k, shift = (2 * shift) % n) {
        for (int j = 0; j < n; ++j) work[j] = (row[Wrap(j + shift, n)] + row[Wrap(j - shift, n)]) / 2.0;
        row.swap(work);
    }
}

std::int32_t ToInt(double v, SmoothRounding rounding) {
    if (rounding == SmoothRounding::Floor) return static_cast<std::int32_t>(std::floor(v));
    return RoundHalfUp(v);
}
}  // namespace

std::vector<PolarPoint> CartesianToPolar(std::span<const PixelPoint> points, PixelPoint centre) {
    std::vector<PolarPoint> out;
    out.reserve(points.size());
    for (const PixelPoint& p : points) {
        const double dx = static_cast<double>(centre.x) - p.x;
        const double dy = static_cast<double>(centre.y) - p.y;
        out.push_back({std::sqrt(dx * dx + dy * dy), std::atan2(dx, dy) + kHalfTurn});
    }
    return out;
}

std::vector<PixelPoint> PolarToCartesian(std::span<const PolarPoint> points, PixelPoint centre) {
    std::vector<PixelPoint> out;
    out.reserve(points.size());
    for (const PolarPoint& p : points) {
        out.push_back({centre.x + static_cast<int>(std::trunc(p.radius * std::sin(p.angle))),
                       centre.y + static_cast<int>(std::trunc(p.radius * std::cos(p.angle)))});
    }
    return out;
}

bool FillGaps(std::span<double> row) {
    const int n = static_cast<int>(row.size());
    if (std::none_of(row.begin(), row.end(), [](double v) { return v != -1.0; })) return false;
    // With at least one known value a single pass fills every gap: each search below
    // stops within n - 1 steps.
    for (int j = 0; j < n; ++j) {
        if (row[j] != -1.0) continue;
        int d1 = 1;
        while (row[Wrap(j + d1, n)] == -1.0) ++d1;
        int d2 = 1;
        while (row[Wrap(j - d2, n)] == -1.0) ++d2;
        const double x1 = row[Wrap(j + d1, n)];
        const double x2 = row[Wrap(j - d2, n)];
        row[j] = (d2 * x1 + d1 * x2) / (d1 + d2);
    }
    return true;
}

bool MultiscaleSmooth(std::span<std::int32_t> row, int level, bool fillGaps, SmoothRounding rounding) {
    const int n = static_cast<int>(row.size());
    if (n == 0) return true;
    std::vector<double> values(row.begin(), row.end());
    if (fillGaps && !FillGaps(values)) return false;
    std::vector<double> work(values.size());
    SmoothPasses(values, work, std::max(1, level));
    for (int j = 0; j < n; ++j) row[j] = ToInt(values[j], rounding);
    return true;
}

std::vector<bool> MultiscaleSmooth(std::int32_t* const* values, int n, int rows, int level, bool fillGaps,
                                   SmoothRounding rounding) {
    std::vector<bool> smoothed(static_cast<std::size_t>(std::max(rows, 0)), true);
    for (int r = 0; r < rows; ++r) {
        smoothed[r] = MultiscaleSmooth(std::span<std::int32_t>(values[r], static_cast<std::size_t>(n)), level,
                                       fillGaps, rounding);
    }
    return smoothed;
}

bool SmoothContourPolar(const WallContour& source, WallContour& target, PixelPoint centre, int smoothnessLevel) {
    const std::size_t n = source.size();
    if (n < 5) return false;
    std::vector<PolarPoint> polar = CartesianToPolar(source, centre);
    std::vector<std::int32_t> radii(n);
    for (std::size_t i = 0; i < n; ++i) radii[i] = static_cast<std::int32_t>(std::trunc(polar[i].radius));
    MultiscaleSmooth(radii, smoothnessLevel, false, SmoothRounding::Floor);
    for (std::size_t i = 0; i < n; ++i) polar[i].radius = radii[i];
    std::vector<PixelPoint> points = PolarToCartesian(polar, centre);
    target.assign(points.begin(), points.end());
    target.back() = target.front();
    return true;
}

}  // namespace kestrova::analysis
