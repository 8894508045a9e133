#include "analysis/core/greedy_snake.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace kestrova::analysis {

namespace {

double Distance(PixelPoint a, PixelPoint b) { return std::hypot(double(a.x - b.x), double(a.y - b.y)); }

}  // namespace

int GreedySnake(const cv::Mat& grey, std::span<PixelPoint> points, const SnakeWeights& weights, int window,
                int maxIterations) {
    const int n = static_cast<int>(points.size());
    if (n < 3 || grey.empty() || grey.type() != CV_8UC1) return 0;
    const int width = grey.cols;
    const int height = grey.rows;
    const int half = std::max(window, 1) / 2;

    for (PixelPoint& p : points) {
        p.x = std::clamp(p.x, 0, width - 1);
        p.y = std::clamp(p.y, 0, height - 1);
    }

    cv::Mat gx, gy;
    cv::Sobel(grey, gx, CV_16S, 1, 0, 3, 1, 0, cv::BORDER_REPLICATE);
    cv::Sobel(grey, gy, CV_16S, 0, 1, 3, 1, 0, cv::BORDER_REPLICATE);
    cv::Mat energy(grey.size(), CV_32S);
    for (int y = 0; y < height; ++y) {
        const short* rx = gx.ptr<short>(y);
        const short* ry = gy.ptr<short>(y);
        int* re = energy.ptr<int>(y);
        for (int x = 0; x < width; ++x) re[x] = rx[x] * rx[x] + ry[x] * ry[x];
    }

    const int side = 2 * half + 1;
    std::vector<float> econt(side * side), ecurv(side * side), eimg(side * side);

    int iteration = 0;
    while (iteration < maxIterations) {
        ++iteration;
        double perimeter = 0.0;
        for (int i = 0; i < n; ++i) perimeter += Distance(points[i], points[(i + 1) % n]);
        const double meanEdge = perimeter / n;

        int moved = 0;
        for (int i = 0; i < n; ++i) {
            const PixelPoint p = points[i];
            const PixelPoint prev = points[(i + n - 1) % n];
            const PixelPoint next = points[(i + 1) % n];
            const int left = -std::min(p.x, half), right = std::min(width - 1 - p.x, half);
            const int top = -std::min(p.y, half), bottom = std::min(height - 1 - p.y, half);
            const int cols = right - left + 1;

            float minCont = std::numeric_limits<float>::max(), maxCont = std::numeric_limits<float>::lowest();
            float minCurv = minCont, maxCurv = maxCont, minImg = minCont, maxImg = maxCont;
            for (int dy = top; dy <= bottom; ++dy) {
                for (int dx = left; dx <= right; ++dx) {
                    const int idx = (dy - top) * cols + (dx - left);
                    const PixelPoint c{p.x + dx, p.y + dy};
                    const float cont = static_cast<float>(std::fabs(meanEdge - Distance(prev, c)));
                    const double kx = double(prev.x) - 2.0 * c.x + next.x;
                    const double ky = double(prev.y) - 2.0 * c.y + next.y;
                    const float curv = static_cast<float>(kx * kx + ky * ky);
                    const float img = static_cast<float>(energy.at<int>(c.y, c.x));
                    econt[idx] = cont;
                    ecurv[idx] = curv;
                    eimg[idx] = img;
                    minCont = std::min(minCont, cont), maxCont = std::max(maxCont, cont);
                    minCurv = std::min(minCurv, curv), maxCurv = std::max(maxCurv, curv);
                    minImg = std::min(minImg, img), maxImg = std::max(maxImg, img);
                }
            }
            const float rangeCont = maxCont - minCont;
            const float rangeCurv = maxCurv - minCurv;
            const float rangeImg = maxImg - minImg;

            float best = std::numeric_limits<float>::max();
            int bestDx = 0, bestDy = 0;
            for (int dy = top; dy <= bottom; ++dy) {
                for (int dx = left; dx <= right; ++dx) {
                    const int idx = (dy - top) * cols + (dx - left);
                    const float cont = rangeCont > 0.0f ? (econt[idx] - minCont) / rangeCont : 0.0f;
                    const float curv = rangeCurv > 0.0f ? (ecurv[idx] - minCurv) / rangeCurv : 0.0f;
                    const float img = rangeImg > 0.0f ? (minImg - eimg[idx]) / rangeImg : 0.0f;
                    const float e = weights.alpha * cont + weights.beta * curv + weights.gamma * img;
                    if (e < best) {
                        best = e;
                        bestDx = dx;
                        bestDy = dy;
                    }
                }
            }
            if (bestDx != 0 || bestDy != 0) {
                points[i] = {p.x + bestDx, p.y + bestDy};
                ++moved;
            }
        }
        if (moved == 0) break;
    }
    return iteration;
}

}  // namespace kestrova::analysis
