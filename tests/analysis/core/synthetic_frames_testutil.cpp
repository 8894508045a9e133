#include "analysis/core/synthetic_frames_testutil.h"

#include <cmath>
#include <random>

#include <opencv2/imgproc.hpp>

namespace kestrova::analysis::testing {

cv::Mat DrawIvusFrame(cv::Size size, cv::Point centre, int catheterRadius, double lumenRadius, double ringRadius,
                      unsigned seed, cv::Point2d lumenShift) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    cv::Mat frame(size, CV_8UC1);
    const cv::Point2d lumenCentre(centre.x + lumenShift.x, centre.y + lumenShift.y);
    for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) {
            const double rc = std::hypot(x - centre.x, y - centre.y);
            const double rl = std::hypot(x - lumenCentre.x, y - lumenCentre.y);
            const double u = unit(rng);
            double v;
            if (rc < catheterRadius) {
                v = rc > catheterRadius - 3 ? 220 : 30;
            } else if (rl < lumenRadius) {
                v = 10 + 10 * u;
            } else if (rl < ringRadius) {
                v = 40 + 160 * u;
            } else if (rl < ringRadius + 12) {
                v = 225 + 20 * u;
            } else {
                v = 30 + 60 * u;
            }
            frame.at<std::uint8_t>(y, x) = cv::saturate_cast<std::uint8_t>(v);
        }
    }
    return frame;
}

cv::Mat DrawBlurredDisc(cv::Size size, cv::Point2d centre, double radius, double sigma) {
    cv::Mat disc(size, CV_8UC1, cv::Scalar(40));
    // Drawn at 16x sub-pixel precision so the edge is round.
    cv::circle(disc, cv::Point(cvRound(centre.x * 16), cvRound(centre.y * 16)), cvRound(radius * 16),
               cv::Scalar(200), cv::FILLED, cv::LINE_AA, 4);
    cv::Mat blurred;
    cv::GaussianBlur(disc, blurred, cv::Size(0, 0), sigma);
    return blurred;
}

}  // namespace kestrova::analysis::testing
