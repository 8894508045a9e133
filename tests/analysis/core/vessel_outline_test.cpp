#include "analysis/core/vessel_outline.h"

#include <cmath>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

namespace kestrova::analysis {
namespace {

cv::Mat RandomImage(int rows, int cols, unsigned seed) {
    cv::Mat image(rows, cols, CV_32F);
    cv::RNG(seed).fill(image, cv::RNG::UNIFORM, 0.0f, 255.0f);
    return image;
}

TEST(OutlineKernels, RadiiAndClosedFormTaps) {
    const float scales[] = {3, 5, 7, 9, 11};
    const int radii[] = {9, 15, 21, 27, 33};
    for (int n = 0; n < 5; ++n) {
        const float s = scales[n];
        EXPECT_EQ(RoundFloat(3.0 * s), radii[n]);
        const int R = radii[n];
        const std::vector<float> g = GaussianKernel(s, R), g1 = GaussianDerivativeKernel(s, R),
                                 g2 = GaussianSecondDerivativeKernel(s, R);
        ASSERT_EQ(g.size(), static_cast<std::size_t>(2 * R + 1));
        const double norm = std::sqrt(6.2831853);
        for (int i = -R; i <= R; ++i) {
            const double e = std::exp(-double(i) * i / (2.0 * s * s));
            EXPECT_NEAR(g[i + R], e / (s * norm), 1e-6);
            EXPECT_NEAR(g1[i + R], -i * e / (s * s * s * norm), 1e-6);
            EXPECT_NEAR(g2[i + R], (double(i) * i / (s * s) - 1) * e / (s * s * s * norm), 1e-6);
        }
        EXPECT_EQ(g1[R], 0.0f);
        EXPECT_FLOAT_EQ(g1[R - 1], -g1[R + 1]);  // odd: the kernel is not mirrored in the passes
    }
    EXPECT_EQ(RoundFloat(2.5), 3);
    EXPECT_EQ(RoundFloat(-2.5), -2);
}

TEST(HessianAtScale, EqualsSeparableFilteringWithZeroBorder) {
    // OpenCV's sepFilter2D also correlates (no kernel flip); BORDER_CONSTANT pads with 0.
    const cv::Mat image = RandomImage(57, 71, 4);
    for (float s : {3.0f, 5.0f, 11.0f}) {
        const int R = RoundFloat(3.0 * s);
        const cv::Mat g = cv::Mat(GaussianKernel(s, R), true), g1 = cv::Mat(GaussianDerivativeKernel(s, R), true),
                      g2 = cv::Mat(GaussianSecondDerivativeKernel(s, R), true);
        cv::Mat dyy, dxx, dxy;
        HessianAtScale(image, s, dyy, dxx, dxy);
        const std::pair<const cv::Mat*, std::pair<cv::Mat, cv::Mat>> cases[] = {
            {&dyy, {g, g2}}, {&dxx, {g2, g}}, {&dxy, {g1, g1}}};
        for (const auto& [ours, kernels] : cases) {
            cv::Mat expected;
            cv::sepFilter2D(image, expected, CV_32F, kernels.first, kernels.second, cv::Point(-1, -1), 0.0,
                            cv::BORDER_CONSTANT);
            expected *= s * s;
            const double scale = cv::norm(expected, cv::NORM_INF);
            EXPECT_LE(cv::norm(*ours, expected, cv::NORM_INF), 1e-4 * scale) << "scale " << s;
        }
    }
}

TEST(HessianEigenvalues, SmallerMagnitudeFirstTiesGoToTheSecondRoot) {
    struct Case {
        float a, b, d;  // Dyy, Dxx, Dxy
        float l1, l2;
    };
    const Case cases[] = {
        {1, 3, 0, 1, 3},   {-4, 1, 0, 1, -4}, {2, -2, 0, -2, 2},  // tie: lambda1 = m2
        {0, 0, 0, 0, 0},   {0, 0, 2, -2, 2},  {5, 5, 0, 5, 5},
        {2, 1, 1, 1.5f - std::sqrt(5.0f) / 2, 1.5f + std::sqrt(5.0f) / 2},
    };
    for (const Case& c : cases) {
        const cv::Mat a(1, 1, CV_32F, cv::Scalar(c.a)), b(1, 1, CV_32F, cv::Scalar(c.b)), d(1, 1, CV_32F, cv::Scalar(c.d));
        cv::Mat l1, l2;
        HessianEigenvalues(a, b, d, l1, l2);
        EXPECT_FLOAT_EQ(l1.at<float>(0, 0), c.l1) << c.a << " " << c.b << " " << c.d;
        EXPECT_FLOAT_EQ(l2.at<float>(0, 0), c.l2) << c.a << " " << c.b << " " << c.d;
        // an independent check: they are the eigenvalues of [[a, d], [d, b]]
        cv::Mat values;
        const cv::Mat hessian = (cv::Mat_<float>(2, 2) << c.a, c.d, c.d, c.b);
        cv::eigen(hessian, values);
        EXPECT_NEAR(l1.at<float>(0, 0) + l2.at<float>(0, 0), values.at<float>(0) + values.at<float>(1), 1e-5);
    }
}

TEST(RescaleImage, MapsToTheRangeAndSurvivesConstantImages) {
    cv::Mat image = (cv::Mat_<float>(1, 3) << 2, 4, 6);
    RescaleImage(image, 0, 255);
    EXPECT_FLOAT_EQ(image.at<float>(0, 0), 0);
    EXPECT_FLOAT_EQ(image.at<float>(0, 1), 127.5f);
    EXPECT_FLOAT_EQ(image.at<float>(0, 2), 255);

    cv::Mat zeros = cv::Mat::zeros(4, 4, CV_32F);
    RescaleImage(zeros, 0, 255);
    EXPECT_EQ(cv::countNonZero(zeros), 0);

    // All responses equal and positive: no division by zero, no outline.
    cv::Mat constant(4, 4, CV_32F, cv::Scalar(0.3));
    RescaleImage(constant, 0, 255);
    EXPECT_EQ(cv::countNonZero(constant), 0);
    EXPECT_TRUE(cv::checkRange(constant));
}

TEST(OutlineThreshold, KeepsTheInnerBoundaryAsMaskMinusItsCrossErosion) {
    for (unsigned seed : {1u, 2u, 3u}) {
        cv::Mat image = RandomImage(40, 50, seed);
        cv::GaussianBlur(image, image, cv::Size(0, 0), 2.0);  // regions, not salt
        const float t = 128.0f;
        cv::Mat mask = image >= t, eroded;
        cv::erode(mask, eroded, cv::getStructuringElement(cv::MORPH_CROSS, {3, 3}));
        cv::Mat expected = mask & ~eroded;
        expected.row(0).setTo(0), expected.row(39).setTo(0), expected.col(0).setTo(0), expected.col(49).setTo(0);

        OutlineThreshold(image, t);
        cv::Mat ours;
        image.convertTo(ours, CV_8U);
        EXPECT_EQ(cv::countNonZero(ours != expected), 0) << seed;
    }
}

TEST(RemoveSmallBlobs, MatchesConnectedComponentsBelowTheMinimumSize) {
    for (unsigned seed : {5u, 6u}) {
        cv::Mat noise(60, 80, CV_8U);
        cv::RNG(seed).fill(noise, cv::RNG::UNIFORM, 0, 100);
        cv::Mat mask = noise < 45;  // many groups of all sizes
        for (int minimum : {2, 10, 50}) {
            cv::Mat labels, stats, centroids;
            const int n = cv::connectedComponentsWithStats(mask, labels, stats, centroids, 8);
            cv::Mat expected = mask.clone();
            for (int y = 0; y < mask.rows; ++y)
                for (int x = 0; x < mask.cols; ++x) {
                    const int l = labels.at<int>(y, x);
                    if (l > 0 && stats.at<int>(l, cv::CC_STAT_AREA) < minimum) expected.at<std::uint8_t>(y, x) = 0;
                }
            ASSERT_GT(n, 3);
            cv::Mat image;
            mask.convertTo(image, CV_32F);  // 0 and 255
            RemoveSmallBlobs(image, minimum);
            cv::Mat ours;
            image.convertTo(ours, CV_8U);
            EXPECT_EQ(cv::countNonZero(ours != expected), 0) << seed << " " << minimum;
        }
    }
}

TEST(RemoveSmallBlobs, RingsOfFortyNineAndFiftyPixels) {
    cv::Mat image = cv::Mat::zeros(60, 60, CV_32F);
    cv::rectangle(image, cv::Rect(2, 2, 14, 13), cv::Scalar(255));   // outline of 2 (14 + 13) - 4 = 50 pixels
    cv::rectangle(image, cv::Rect(30, 30, 13, 13), cv::Scalar(255)); // 48 pixels
    image.at<float>(29, 29) = 255;                                    // + 1 diagonal neighbour: 49
    ASSERT_EQ(cv::countNonZero(image), 99);
    RemoveSmallBlobs(image, 50);
    EXPECT_EQ(cv::countNonZero(image), 50);
    EXPECT_EQ(image.at<float>(2, 2), 255.0f);
    EXPECT_EQ(image.at<float>(29, 29), 0.0f);
}

TEST(VesselOutline, DarkLineGivesTwoParallelBandsUniformImagesGiveNothing) {
    cv::Mat line(140, 140, CV_8UC3);
    for (int y = 0; y < 140; ++y)
        for (int x = 0; x < 140; ++x) {
            const auto v = static_cast<std::uint8_t>(200 - 150 * std::exp(-(x - 70.0) * (x - 70.0) / 32.0));
            line.at<cv::Vec3b>(y, x) = cv::Vec3b(v, 0, 255);  // only the first channel counts
        }
    const cv::Mat mask = ComputeVesselOutline(line, {});
    ASSERT_EQ(mask.size(), line.size());
    int left = 0, right = 0, elsewhere = 0;
    for (int y = 0; y < 140; ++y)
        for (int x = 0; x < 140; ++x) {
            if (!mask.at<std::uint8_t>(y, x)) continue;
            if (x >= 55 && x < 70) ++left;
            else if (x > 70 && x <= 85) ++right;
            else ++elsewhere;
        }
    EXPECT_GT(left, 100);
    EXPECT_EQ(left, right);  // the line is symmetric
    EXPECT_EQ(elsewhere, 0);
    EXPECT_EQ(cv::countNonZero(mask.row(0)) + cv::countNonZero(mask.row(139)), 0);

    EXPECT_EQ(cv::countNonZero(ComputeVesselOutline(cv::Mat(90, 90, CV_8UC1, cv::Scalar(128)), {})), 0);
    EXPECT_EQ(cv::countNonZero(ComputeVesselOutline(cv::Mat::zeros(90, 90, CV_8UC1), {})), 0);
    EXPECT_TRUE(ComputeVesselOutline(cv::Mat(), {}).empty());
}

TEST(VesselOutline, ReportsEachScaleInOrderAndThreshold255KeepsOnlyTheStrongest) {
    cv::Mat image(70, 70, CV_32F, cv::Scalar(200));
    cv::circle(image, {35, 35}, 4, cv::Scalar(40), cv::FILLED);
    std::vector<float> seen;
    OutlineParameters parameters;
    parameters.threshold = 255;
    parameters.minimumBlobSize = 1;
    const cv::Mat outline = VesselEnhance(image, parameters, [&](float s) { seen.push_back(s); });
    EXPECT_EQ(seen, parameters.scales);
    // Only pixels at the largest response (255 after the rescale) can be outline pixels.
    EXPECT_GE(cv::countNonZero(outline), 1);
    EXPECT_LE(cv::countNonZero(outline), 8);
}

}  // namespace
}  // namespace kestrova::analysis
