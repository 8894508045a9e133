#include "app/point_list.h"

#include <algorithm>

std::pair<std::string, std::string> PointListTexts(const WallContour& points, std::size_t n)
{
    n = std::min(n, points.size());
    std::vector<int> xs(n), ys(n);
    for (std::size_t i = 0; i < n; ++i) {
        xs[i] = points[i].x;
        ys[i] = points[i].y;
    }
    return {PointListText(std::span<const int>(xs)), PointListText(std::span<const int>(ys))};
}

WallContour ZipPoints(const std::vector<int>& xs, const std::vector<int>& ys)
{
    const std::size_t n = std::min(xs.size(), ys.size());
    WallContour out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = {xs[i], ys[i]};
    return out;
}
