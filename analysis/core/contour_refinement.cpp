#include "analysis/core/contour_refinement.h"

#include <opencv2/imgproc.hpp>

#include "analysis/core/greedy_snake.h"
#include "analysis/core/polar_smoothing.h"

namespace kestrova::analysis {

namespace {

bool ToGrey(const cv::Mat& image, cv::Mat& grey) {
    if (image.empty() || image.depth() != CV_8U) return false;
    switch (image.channels()) {
        case 1: image.copyTo(grey); return true;
        case 3: cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY); return true;
        case 4: cv::cvtColor(image, grey, cv::COLOR_BGRA2GRAY); return true;
        default: return false;
    }
}

void RefineAndSmooth(const cv::Mat& image, WallContour& initial, WallContour& shown, PixelPoint centre,
                     const RefinementParameters& parameters) {
    RefineContourSnake(image, initial, shown, parameters);
    SmoothContourPolar(shown, shown, centre, parameters.smoothnessLevel);
}

}  // namespace

bool RefineContourSnake(const cv::Mat& image, WallContour& source, WallContour& target,
                        const RefinementParameters& parameters) {
    if (source.size() < 5) return false;
    WallContour points = source;
    try {
        cv::Mat grey;
        if (!ToGrey(image, grey)) return false;
        const SnakeWeights weights{static_cast<float>(parameters.alpha), static_cast<float>(parameters.beta),
                                   static_cast<float>(parameters.gamma)};
        GreedySnake(grey, points, weights, parameters.window, kSnakeIterations);
    } catch (const cv::Exception&) {
        return false;  // the image library failed: leave both contours as they were
    }
    target = std::move(points);
    source.back() = source.front();
    target.back() = target.front();
    return true;
}

bool ReapplyRefinement(const cv::Mat& image, DrawMode mode, FrameWalls walls, PixelPoint centre,
                       const RefinementParameters& parameters) {
    switch (mode) {
        case DrawMode::Outer:
            if (walls.outer.size() < 6) return false;
            RefineAndSmooth(image, walls.userOuter, walls.outer, centre, parameters);
            return true;
        case DrawMode::Inner:
            if (walls.inner.size() < 6) return false;
            RefineAndSmooth(image, walls.userInner, walls.inner, centre, parameters);
            return true;
        case DrawMode::None:
            if (walls.outer.size() > 5) RefineAndSmooth(image, walls.userOuter, walls.outer, centre, parameters);
            if (walls.inner.size() > 5) RefineAndSmooth(image, walls.userInner, walls.inner, centre, parameters);
            return true;
    }
    return false;
}

}  // namespace kestrova::analysis
