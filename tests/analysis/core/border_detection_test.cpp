#include "analysis/core/border_detection.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <new>
#include <random>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "analysis/core/numeric_helpers.h"
#include "analysis/core/printers_testutil.h"
#include "analysis/core/synthetic_frames_testutil.h"

namespace kestrova::analysis {
namespace {

TEST(DetectionGeometry, RadiusLimitCatheterRadiusWindowAndFrameCount) {
    EXPECT_EQ(DetectionRadiusLimit({512, 512}, {256, 240}), 240);
    EXPECT_EQ(DetectionRadiusLimit({512, 480}, {300, 256}), 212);
    EXPECT_LE(DetectionRadiusLimit({512, 512}, {0, 256}), 0);
    EXPECT_EQ(CatheterRadius({100, 100}, {103, 104}), 5);
    EXPECT_EQ(CatheterRadius({100, 100}, {110, 110}), 14);  // 14.14 truncated
    EXPECT_EQ(EnergyWindowSize(400, 200), 15);
    EXPECT_EQ(EnergyWindowSize(400, 240), 15);
    EXPECT_EQ(EnergyWindowSize(400, 256), 17);
    // whole square roots sit on the boundary of the floor
    EXPECT_EQ(EnergyWindowSize(400, 16), 5);
    EXPECT_EQ(EnergyWindowSize(400, 63), 7);
    EXPECT_EQ(EnergyWindowSize(400, 64), 9);
    EXPECT_EQ(EnergyWindowSize(400, 196), 15);
    // "Affected frames" 3 from the last but one of 10 frames covers 2 frames
    EXPECT_EQ(DetectionFrameCount(8, 10, 3), 2);
    EXPECT_EQ(DetectionFrameCount(0, 10, 3), 3);
    EXPECT_EQ(DetectionFrameCount(9, 10, 200), 1);
    EXPECT_EQ(DetectionFrameCount(-1, 10, 3), 0);
}

TEST(PolarResample, SamplesAlongTheDirectionsAndCopiesTheFirstChannels) {
    cv::Mat image(40, 50, CV_8UC3);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x) image.at<cv::Vec3b>(y, x) = cv::Vec3b(x, y, 7);
    const PixelPoint centre{10, 20};
    cv::Mat polar;
    PolarResample(image, polar, centre, 400, 15);
    ASSERT_EQ(polar.type(), CV_8UC3);
    ASSERT_EQ(polar.size(), cv::Size(400, 15));
    for (int k = 0; k < 400; ++k) {
        const double a = k * 6.2831853 / 400;
        for (int r = 0; r < 15; ++r) {
            const int x = centre.x + RoundHalfUp(r * std::cos(a));
            const int y = centre.y + RoundHalfUp(r * std::sin(a));
            const cv::Vec3b expected = (x > 0 && y > 0) ? cv::Vec3b(x, y, 7) : cv::Vec3b(0, 0, 0);
            ASSERT_EQ(polar.at<cv::Vec3b>(r, k), expected) << r << " " << k;
        }
    }
    EXPECT_EQ(polar.at<cv::Vec3b>(10, 200), cv::Vec3b(0, 0, 0));  // x = 0 is never sampled
    EXPECT_EQ(polar.at<cv::Vec3b>(5, 100), cv::Vec3b(10, 25, 7));  // straight down

    cv::Mat grey(40, 50, CV_8UC1, cv::Scalar(99));
    PolarResample(grey, polar, centre, 400, 5);
    EXPECT_EQ(polar.at<cv::Vec3b>(3, 17), cv::Vec3b(99, 0, 0));

    MaskCatheterRing(polar, 3);
    EXPECT_EQ(cv::countNonZero(polar.reshape(1).rowRange(0, 3)), 0);
    EXPECT_EQ(polar.at<cv::Vec3b>(3, 17), cv::Vec3b(99, 0, 0));
    MaskCatheterRing(polar, 50);  // beyond R: every row
    EXPECT_EQ(cv::countNonZero(polar.reshape(1)), 0);
}

// Reference decomposition: every filter input padded by cv::copyMakeBorder with
// BORDER_REFLECT (edge sample repeated), then the filter formulas read directly.
std::vector<cv::Mat> ReferenceDetails(const cv::Mat& grey, int levels, cv::Mat& approximation) {
    const int p = 1 << levels;
    cv::Mat a;
    grey.convertTo(a, CV_32F);
    std::vector<cv::Mat> details;
    for (int l = 1; l <= levels; ++l) {
        const int s = 1 << (l - 1);
        cv::Mat pa, pb, pc;
        cv::copyMakeBorder(a, pa, p, p, p, p, cv::BORDER_REFLECT);
        cv::Mat b(a.size(), CV_32F), c(a.size(), CV_32F);
        for (int i = 0; i < a.rows; ++i)
            for (int j = 0; j < a.cols; ++j) {
                c.at<float>(i, j) = (pa.at<float>(i + p, j + p + s) - pa.at<float>(i + p, j + p + 2 * s)) / 2;
                b.at<float>(i, j) = (pa.at<float>(i + p, j + p) + pa.at<float>(i + p, j + p - s)) / 2;
            }
        cv::copyMakeBorder(b, pb, p, p, p, p, cv::BORDER_REFLECT);
        cv::copyMakeBorder(c, pc, p, p, p, p, cv::BORDER_REFLECT);
        cv::Mat d0(a.size(), CV_32F), d1(a.size(), CV_32F), d2(a.size(), CV_32F);
        for (int i = 0; i < a.rows; ++i)
            for (int j = 0; j < a.cols; ++j) {
                d0.at<float>(i, j) = (pc.at<float>(i + p + s, j + p) - pc.at<float>(i + p + 2 * s, j + p)) / 2;
                d1.at<float>(i, j) = (pc.at<float>(i + p, j + p) + pc.at<float>(i + p - s, j + p)) / 2;
                d2.at<float>(i, j) = (pb.at<float>(i + p + s, j + p) - pb.at<float>(i + p + 2 * s, j + p)) / 2;
                a.at<float>(i, j) = (pb.at<float>(i + p, j + p) + pb.at<float>(i + p - s, j + p)) / 2;
            }
        details.push_back(d0);
        details.push_back(d1);
        details.push_back(d2);
    }
    a.convertTo(approximation, CV_8U);  // values are in 0..255; truncation checked below
    cv::Mat truncated(a.size(), CV_8U);
    for (int i = 0; i < a.rows; ++i)
        for (int j = 0; j < a.cols; ++j) truncated.at<std::uint8_t>(i, j) = static_cast<std::uint8_t>(a.at<float>(i, j));
    approximation = truncated;
    return details;
}

cv::Mat RandomPolar(int rows, int cols, unsigned seed) {
    cv::Mat polar(rows, cols, CV_8UC3);
    cv::RNG rng(seed);
    rng.fill(polar, cv::RNG::UNIFORM, 0, 256);
    return polar;
}

TEST(Wavelet, MatchesAReferenceWithMirroredBorders) {
    const cv::Mat polar = RandomPolar(40, 60, 5);
    cv::Mat firstChannel;
    cv::extractChannel(polar, firstChannel, 0);
    for (int levels = 1; levels <= 4; ++levels) {
        cv::Mat expectedApprox;
        const std::vector<cv::Mat> expected = ReferenceDetails(firstChannel, levels, expectedApprox);
        ByteMatrix approx(60, 40);
        std::vector<cv::Mat> details;
        WaveletDecompose(polar, levels, details, approx.get());
        ASSERT_EQ(details.size(), expected.size());
        for (std::size_t d = 0; d < details.size(); ++d)
            EXPECT_EQ(cv::norm(details[d], expected[d], cv::NORM_INF), 0.0) << levels << " detail " << d;
        for (int i = 0; i < 40; ++i)
            for (int j = 0; j < 60; ++j) ASSERT_EQ(approx[i][j], expectedApprox.at<std::uint8_t>(i, j)) << i << "," << j;
    }
}

TEST(Wavelet, ConstantImageHasNoDetailAndItselfAsApproximation) {
    const cv::Mat polar(32, 48, CV_8UC3, cv::Scalar(77, 1, 2));
    ByteMatrix approx(48, 32);
    std::vector<cv::Mat> details;
    WaveletDecompose(polar, 4, details, approx.get());
    for (const cv::Mat& d : details) EXPECT_EQ(cv::countNonZero(d), 0);
    for (int i = 0; i < 32; ++i)
        for (int j = 0; j < 48; ++j) ASSERT_EQ(approx[i][j], 77);
}

double BruteForceRms(const cv::Mat& detail, int w, int r, int k) {
    const int h = (w - 1) / 2;
    r = std::clamp(r, h, detail.rows - 1 - h);
    k = std::clamp(k, h, detail.cols - 1 - h);
    double sum = 0;
    for (int i = r - h; i <= r + h; ++i)
        for (int j = k - h; j <= k + h; ++j) sum += double(detail.at<float>(i, j)) * detail.at<float>(i, j);
    return std::sqrt(sum / (w * w));
}

TEST(WindowRms, IncrementalSumsEqualBruteForce) {
    // The real input (wavelet details of a speckled polar image) and plain random floats.
    std::vector<cv::Mat> details;
    ByteMatrix approx(400, 70);
    WaveletDecompose(RandomPolar(70, 400, 11), 4, details, approx.get());
    cv::Mat randomFloats(33, 57, CV_32F);
    cv::RNG(3).fill(randomFloats, cv::RNG::UNIFORM, -100.0f, 100.0f);
    const std::pair<cv::Mat, int> inputs[] = {{details[0], 9}, {details[10], 9}, {randomFloats, 15},
                                              {randomFloats, 1}, {randomFloats, 33}};
    for (const auto& [detail, w] : inputs) {
        cv::Mat rms;
        ASSERT_TRUE(WindowRms(detail, w, rms));
        ASSERT_EQ(rms.type(), CV_64F);
        double worst = 0;
        for (int r = 0; r < detail.rows; ++r)
            for (int k = 0; k < detail.cols; ++k)
                worst = std::max(worst, std::fabs(rms.at<double>(r, k) - BruteForceRms(detail, w, r, k)));
        EXPECT_LE(worst, 1e-9) << "window " << w;
    }
    cv::Mat rms;
    EXPECT_FALSE(WindowRms(randomFloats, 35, rms));  // no interior position
    EXPECT_TRUE(rms.empty());
}

TEST(FuseFeatures, LeavesOutTheColumnAverageDifferencesAndScalesTo255) {
    const cv::Mat base = (cv::Mat_<double>(2, 2) << 1, 2, 3, 4);
    std::vector<cv::Mat> energies;
    for (int d = 0; d < 12; ++d) energies.push_back(base * (d + 1));
    cv::Mat fused;
    FuseFeatures(energies, fused);
    // fused = 48 * base, largest 192: 255 * base / 4 = 63.75, 127.5, 191.25, 255
    EXPECT_EQ(fused.at<double>(0, 0), 64);
    EXPECT_EQ(fused.at<double>(0, 1), 128);
    EXPECT_EQ(fused.at<double>(1, 0), 191);
    EXPECT_EQ(fused.at<double>(1, 1), 255);

    std::vector<cv::Mat> zeros(12, cv::Mat::zeros(3, 3, CV_64F));
    FuseFeatures(zeros, fused);
    EXPECT_EQ(cv::countNonZero(fused), 0);  // nothing to scale, no division by zero
}

TEST(FuseFeatures, TakesTheScaleFromTheColumnsNotIgnored) {
    const cv::Mat base = (cv::Mat_<double>(1, 3) << 1, 2, 8);
    std::vector<cv::Mat> energies(12, base);
    cv::Mat fused;
    FuseFeatures(energies, fused, {false, false, true});  // the scale: 8 * 2 = 16
    EXPECT_EQ(fused.at<double>(0, 0), 128);
    EXPECT_EQ(fused.at<double>(0, 1), 255);
    EXPECT_EQ(fused.at<double>(0, 2), 1020);  // beyond 255, but only in the ignored column
    FuseFeatures(energies, fused, {true, true, true});  // nothing left: the whole frame
    EXPECT_EQ(fused.at<double>(0, 2), 255);
    FuseFeatures(energies, fused, {true});  // not one flag per column: ignored
    EXPECT_EQ(fused.at<double>(0, 2), 255);
}

// A speckled polar image (tissue echo about 100) with dark columns beyond a depth.
cv::Mat PolarWithShadows(const std::vector<std::tuple<int, int, int>>& shadows) {  // first, last, depth
    cv::Mat polar(200, 400, CV_8UC3);
    cv::RNG(9).fill(polar, cv::RNG::UNIFORM, 50, 151);
    for (const auto& [first, last, depth] : shadows)
        for (int k = first; k <= last; ++k)
            for (int r = depth; r < 200; ++r) polar.at<cv::Vec3b>(r, k % 400)[0] = 4;
    return polar;
}

std::vector<int> Flagged(const std::vector<bool>& flags) {
    std::vector<int> k;
    for (std::size_t i = 0; i < flags.size(); ++i)
        if (flags[i]) k.push_back(static_cast<int>(i));
    return k;
}

std::vector<int> Range(int first, int last) {
    std::vector<int> k;
    for (int i = first; i <= last; ++i) k.push_back(i % 400);
    std::sort(k.begin(), k.end());
    return k;
}

TEST(AcousticShadow, DirectionsWhoseEchoDiesOutBeyondADepth) {
    struct Case {
        const char* what;
        std::vector<std::tuple<int, int, int>> shadows;
        std::vector<int> expected;
    };
    std::vector<int> two = Range(100, 110);
    for (int k : Range(390, 405)) two.push_back(k);
    std::sort(two.begin(), two.end());
    const Case cases[] = {
        {"no shadow", {}, {}},
        {"a guidewire's 11 directions from depth 40", {{100, 110, 40}}, Range(100, 110)},
        {"a shadow from just beyond the catheter", {{200, 266, 20}}, Range(200, 266)},
        {"a shadow over direction 0, and another", {{100, 110, 40}, {390, 405, 60}}, two},
        {"two directions are too few", {{50, 51, 40}}, {}},
        {"three are enough", {{50, 52, 40}}, Range(50, 52)},
        {"dark only in the last rows: no shadow", {{50, 60, 175}}, {}},
        {"dark from the deepest depth looked at", {{50, 60, 148}}, Range(50, 60)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Flagged(FindShadowedDirections(PolarWithShadows(c.shadows), 15)), c.expected) << c.what;
    }
    // Dark beyond the catheter only (rows below it are ignored), and an all-dark frame.
    cv::Mat polar = PolarWithShadows({});
    polar.rowRange(0, 30).colRange(10, 40).setTo(cv::Scalar::all(0));
    EXPECT_TRUE(Flagged(FindShadowedDirections(polar, 30)).empty());
    EXPECT_TRUE(Flagged(FindShadowedDirections(cv::Mat::zeros(200, 400, CV_8UC3), 15)).empty());
    EXPECT_TRUE(Flagged(FindShadowedDirections(cv::Mat::zeros(10, 400, CV_8UC3), 15)).empty());  // too shallow
}

TEST(AcousticShadow, WidenColumnsStopsAtTheEnds) {
    std::vector<bool> flags(12, false);
    flags[1] = flags[8] = true;
    EXPECT_EQ(Flagged(WidenColumns(flags, 3, 1)), (std::vector<int>{0, 1, 2, 5, 6, 7, 8, 9}));
    EXPECT_EQ(Flagged(WidenColumns(flags, 0, 0)), (std::vector<int>{1, 8}));
    EXPECT_EQ(Flagged(WidenColumns(flags, 0, 5)), (std::vector<int>{1, 2, 3, 4, 5, 6, 8, 9, 10, 11}));
}

TEST(FindRadii, LumenIsTheFirstRadiusBeyondTheCatheterReachingTheThreshold) {
    cv::Mat fused = cv::Mat::zeros(10, 3, CV_64F);
    fused.at<double>(1, 0) = 255;  // inside the catheter: ignored
    fused.at<double>(5, 0) = 128;
    fused.at<double>(7, 0) = 200;
    fused.at<double>(9, 1) = 127;  // never reaches 128
    fused.at<double>(2, 2) = 130;
    std::int32_t lumen[3];
    FindLumenRadii(fused, lumen, 2, 128);
    EXPECT_EQ(lumen[0], 5);
    EXPECT_EQ(lumen[1], -1);
    EXPECT_EQ(lumen[2], 2);
}

TEST(FindRadii, VesselLiesRingOffsetInsideTheBrightestRingBeyondTheLumen) {
    const int R = 100;
    ByteMatrix approx(4, R);
    for (int r = 0; r < R; ++r)
        for (int k = 0; k < 4; ++k) approx[r][k] = 10;
    approx[50][0] = 250;  // not searched: rows 51..99
    approx[70][0] = 200;
    approx[80][0] = 200;
    approx[99][1] = 11;   // the last row
    const std::int32_t lumen[4] = {30, 30, 78, -1};
    std::int32_t vessel[4];
    FindVesselRadii(approx.get(), lumen, vessel, 4, R, 20);
    EXPECT_EQ(vessel[0], 50);
    EXPECT_EQ(vessel[1], 79);
    EXPECT_EQ(vessel[2], 79);  // 78 + 20 + 2 >= 100: lumen + 1
    EXPECT_EQ(vessel[3], -1);  // no lumen, no vessel
}

TEST(FindRadii, OuterIsKeptBeyondInner) {
    std::int32_t lumen0[] = {10, 10, 99, 50, -1};
    std::int32_t vessel0[] = {9, 12, 40, 50, 3};
    std::int32_t* lumen[] = {lumen0};
    std::int32_t* vessel[] = {vessel0};
    EnforceOuterBeyondInner(lumen, vessel, 5, 100, 1);
    EXPECT_EQ(std::vector<int>(vessel0, vessel0 + 5), (std::vector<int>{11, 12, 99, 50, 3}));
}

TEST(PolarRadiiToContour, FourHundredClosedPointsAndSkippedDirections) {
    const PixelPoint centre{256, 240};
    std::vector<std::int32_t> radii(400, 50);
    WallContour c = PolarRadiiToContour(radii, centre, 240);
    ASSERT_EQ(c.size(), 400u);
    EXPECT_EQ(c.front(), (PixelPoint{306, 240}));
    EXPECT_EQ(c[100], (PixelPoint{256, 290}));  // a quarter turn: downward
    EXPECT_EQ(c[200], (PixelPoint{206, 240}));
    EXPECT_EQ(c.back(), c.front());

    radii[5] = -1;
    radii[7] = 240;  // not below R
    radii[399] = -1;
    c = PolarRadiiToContour(radii, centre, 240);
    EXPECT_EQ(c.size(), 398u);
    EXPECT_EQ(c.back(), c.front());  // still closed

    EXPECT_TRUE(PolarRadiiToContour(std::vector<std::int32_t>(400, -1), centre, 240).empty());
}

// ---------------------------------------------------------------------------------

const cv::Size kFrameSize{512, 512};
const PixelPoint kCentre{256, 256};
const PixelPoint kEdge{271, 256};  // catheter radius 15

DetectionResult Detect(const std::vector<cv::Mat>& frames, const DetectionParameters& parameters = {}) {
    return DetectIvusBorders([&](int f) { return frames[f]; }, static_cast<int>(frames.size()), kFrameSize, kCentre,
                             kEdge, parameters);
}

double FractionWithin(const std::vector<std::int32_t>& a, const std::vector<std::int32_t>& b, int shift, int tol) {
    int ok = 0;
    for (std::size_t k = 0; k < a.size(); ++k) ok += std::abs((b[k] - a[k]) - shift) <= tol;
    return double(ok) / a.size();
}

TEST(DetectIvusBorders, LumenRadiiTrackTheTrueLumen) {
    const cv::Point c(kCentre.x, kCentre.y);
    const std::vector<cv::Mat> frames{testing::DrawIvusFrame(kFrameSize, c, 15, 60, 130, 1),
                                      testing::DrawIvusFrame(kFrameSize, c, 15, 80, 130, 2)};
    int done = 0;
    const DetectionResult result = DetectIvusBorders([&](int f) { return frames[f]; }, 2, kFrameSize, kCentre, kEdge,
                                                     {}, [&](int d, int total) {
                                                         EXPECT_EQ(total, 2);
                                                         done = d;
                                                     });
    ASSERT_EQ(result.status, DetectionStatus::Completed) << result.message;
    EXPECT_EQ(done, 2);
    ASSERT_EQ(result.frames.size(), 2u);
    for (const FrameBorders& b : result.frames) {
        ASSERT_TRUE(b.found);
        EXPECT_EQ(b.inner.size(), 400u);
        EXPECT_EQ(b.outer.size(), 400u);
        EXPECT_EQ(b.inner.back(), b.inner.front());
        EXPECT_EQ(b.outer.back(), b.outer.front());
        for (int k = 0; k < 400; ++k) EXPECT_GE(b.outerRadii[k], b.innerRadii[k]);
    }
    EXPECT_GE(FractionWithin(result.frames[0].innerRadii, result.frames[1].innerRadii, 20, 2), 0.95);
}

TEST(DetectIvusBorders, VesselRadiiFollowTheBrightRing) {
    const cv::Point c(kCentre.x, kCentre.y);
    const std::vector<cv::Mat> frames{testing::DrawIvusFrame(kFrameSize, c, 15, 60, 130, 3),
                                      testing::DrawIvusFrame(kFrameSize, c, 15, 60, 150, 4)};
    const DetectionResult result = Detect(frames);
    ASSERT_EQ(result.status, DetectionStatus::Completed) << result.message;
    EXPECT_GE(FractionWithin(result.frames[0].outerRadii, result.frames[1].outerRadii, 20, 2), 0.95);
    EXPECT_GE(FractionWithin(result.frames[0].innerRadii, result.frames[1].innerRadii, 0, 2), 0.95);
}

TEST(DetectIvusBorders, EccentricLumenFollowsItsProfile) {
    const cv::Point c(kCentre.x, kCentre.y);
    const cv::Point2d shift(20, -10);
    const DetectionResult result =
        Detect({testing::DrawIvusFrame(kFrameSize, c, 15, 70, 140, 5, shift), testing::DrawIvusFrame(kFrameSize, c, 15, 70, 140, 6)});
    ASSERT_EQ(result.status, DetectionStatus::Completed) << result.message;
    // The distance from the catheter centre to a circle of radius 70 about centre + shift,
    // along direction k, minus that of the centred circle: the detector's bias cancels.
    int ok = 0;
    for (int k = 0; k < 400; ++k) {
        const double a = k * 6.2831853 / 400;
        const double along = shift.x * std::cos(a) + shift.y * std::sin(a);
        const double across2 = shift.x * shift.x + shift.y * shift.y - along * along;
        const double expected = along + std::sqrt(70 * 70 - across2) - 70;
        ok += std::fabs((result.frames[0].innerRadii[k] - result.frames[1].innerRadii[k]) - expected) <= 3;
    }
    EXPECT_GE(ok, 0.9 * 400);
}

TEST(DetectIvusBorders, FrameWithoutBorderGetsNoContourAndTheRunGoesOn) {
    const cv::Point c(kCentre.x, kCentre.y);
    const std::vector<cv::Mat> frames{cv::Mat::zeros(kFrameSize, CV_8UC1),
                                      testing::DrawIvusFrame(kFrameSize, c, 15, 60, 130, 7),
                                      cv::Mat(kFrameSize, CV_8UC3, cv::Scalar(100, 100, 100))};
    const DetectionResult result = Detect(frames, {3, 255, 6, 20});
    ASSERT_EQ(result.status, DetectionStatus::Completed);
    ASSERT_EQ(result.frames.size(), 3u);
    EXPECT_FALSE(result.frames[0].found);
    EXPECT_TRUE(result.frames[0].inner.empty());
    EXPECT_TRUE(result.frames[0].outer.empty());
    EXPECT_TRUE(result.frames[1].found);
    EXPECT_FALSE(result.frames[2].found);
    EXPECT_EQ(result.framesWithoutBorder, (std::vector<int>{0, 2}));
    EXPECT_EQ(NoBorderMessage(result.framesWithoutBorder, 4),
              "No border reached the threshold on frames 5, 7; their contours were left as they were.");
    EXPECT_EQ(NoBorderMessage({}, 4), "");
}

TEST(DetectIvusBorders, RefusalsAndFailuresWriteNothing) {
    const std::vector<cv::Mat> one{testing::DrawIvusFrame(kFrameSize, {256, 256}, 15, 60, 130, 8)};
    const auto loader = [&](int) { return one[0]; };
    struct Case {
        PixelPoint centre, edge;
        DetectionStatus status;
    };
    const Case cases[] = {
        {{0, 0}, kEdge, DetectionStatus::CalibrationMissing},
        {kCentre, {0, 0}, DetectionStatus::CalibrationMissing},
        {{5, 300}, {8, 300}, DetectionStatus::GeometryRefused},          // R = 5
        {{256, 256}, {256, 0}, DetectionStatus::GeometryRefused},        // catheter radius >= R
        {{600, 256}, {610, 256}, DetectionStatus::GeometryRefused},      // centre outside
    };
    for (const Case& c : cases) {
        const DetectionResult r = DetectIvusBorders(loader, 1, kFrameSize, c.centre, c.edge, {});
        EXPECT_EQ(r.status, c.status);
        EXPECT_TRUE(r.frames.empty());
        EXPECT_FALSE(r.message.empty());
    }
    EXPECT_EQ(DetectIvusBorders(loader, 1, kFrameSize, {0, 0}, kEdge, {}).message, "Calibration is not defined");

    // A frame that cannot be loaded, and a loader that runs out of memory: no results.
    const DetectionResult missing =
        DetectIvusBorders([&](int f) { return f == 1 ? cv::Mat() : one[0]; }, 3, kFrameSize, kCentre, kEdge, {});
    EXPECT_EQ(missing.status, DetectionStatus::Failed);
    EXPECT_TRUE(missing.frames.empty());
    const DetectionResult outOfMemory = DetectIvusBorders(
        [&](int f) -> cv::Mat { throw std::bad_alloc(); }, 2, kFrameSize, kCentre, kEdge, {});
    EXPECT_EQ(outOfMemory.status, DetectionStatus::Failed);
    EXPECT_TRUE(outOfMemory.frames.empty());
}

}  // namespace
}  // namespace kestrova::analysis
