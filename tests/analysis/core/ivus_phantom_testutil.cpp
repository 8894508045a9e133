#include "analysis/core/ivus_phantom_testutil.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

#include <opencv2/imgproc.hpp>

namespace kestrova::analysis::testing {

namespace {

constexpr int kSize = 512;
constexpr int kBins = 1440;            // directions drawn, a quarter degree apart
constexpr int kTruthPoints = 360;      // vertices of a true border (off the circle by < 0.01 px)
constexpr double kBodyRadius = 14.0;   // the catheter body; its sheath and ring-down beyond
constexpr int kCatheterEdge = 22;      // where the ring-down has died out
constexpr double kMediaWidth = 9.0;    // dark band inside the vessel border
constexpr double kPi = 3.14159265358979323846;

struct Echoes {
    double lumen, plaque, media, adventitia, tissue;
};

Echoes EchoesOf(PhantomDifficulty d) {
    return d == PhantomDifficulty::Easy ? Echoes{6, 110, 22, 190, 65} : Echoes{18, 90, 30, 175, 55};
}

double WrapAngle(double a) {  // into -pi .. pi
    a = std::fmod(a + kPi, 2 * kPi);
    return (a < 0 ? a + 2 * kPi : a) - kPi;
}

// Angular weight of a sector of half-width `half` about `middle`, with a soft edge of
// half a degree on either side.
double SectorWeight(double angle, double middle, double half) {
    const double d = std::fabs(WrapAngle(angle - middle));
    const double soft = 0.5 * kPi / 180;
    return std::clamp((half + soft - d) / (2 * soft), 0.0, 1.0);
}

// Radius of the region's boundary along direction `angle` from the catheter centre:
// the first point leaving the region (star-shaped about its own centre, which lies
// around the catheter), refined by bisection.
double BoundaryRadius(const std::function<bool(cv::Point2d)>& inside, cv::Point2d c, double angle) {
    const cv::Point2d u(std::cos(angle), std::sin(angle));
    double lo = kCatheterEdge, hi = lo;
    while (hi < kSize && inside(c + hi * u)) {
        lo = hi;
        hi += 0.5;
    }
    for (int i = 0; i < 12; ++i) {
        const double mid = (lo + hi) / 2;
        (inside(c + mid * u) ? lo : hi) = mid;
    }
    return (lo + hi) / 2;
}

// Unit-mean Rayleigh speckle with a grain of about a pixel and a half.
cv::Mat Speckle(cv::RNG& rng) {
    cv::Mat re(kSize, kSize, CV_32F), im(kSize, kSize, CV_32F);
    rng.fill(re, cv::RNG::NORMAL, 0, 1);
    rng.fill(im, cv::RNG::NORMAL, 0, 1);
    cv::GaussianBlur(re, re, cv::Size(0, 0), 0.9);
    cv::GaussianBlur(im, im, cv::Size(0, 0), 0.9);
    cv::Mat magnitude;
    cv::magnitude(re, im, magnitude);
    return magnitude / cv::mean(magnitude)[0];
}

// A smooth field of mean 1 for the plaque's uneven echo.
cv::Mat Heterogeneity(cv::RNG& rng) {
    cv::Mat g(kSize, kSize, CV_32F);
    rng.fill(g, cv::RNG::NORMAL, 0, 1);
    cv::GaussianBlur(g, g, cv::Size(0, 0), 12);
    cv::Scalar mean, sd;
    cv::meanStdDev(g, mean, sd);
    g = (g - mean[0]) / sd[0];
    cv::Mat field = 1.0 + 0.2 * g;
    return cv::max(cv::min(field, 1.4), 0.6);
}

}  // namespace

IvusPhantom MakeIvusPhantom(const PhantomOptions& o) {
    std::mt19937 rng(o.seed);
    const auto uniform = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
    const cv::Point2d c(kSize / 2, kSize / 2);
    const double r0 = uniform(60, 85);
    const double tilt = uniform(0, 2 * kPi);
    const cv::Point2d jitter(uniform(-4, 4), uniform(-4, 4));

    std::function<bool(cv::Point2d)> inLumen;
    switch (o.shape) {
    case PhantomShape::Circle:
        inLumen = [=](cv::Point2d p) { return cv::norm(p - (c + jitter)) < r0; };
        break;
    case PhantomShape::Ellipse: {
        const double e = uniform(0.15, 0.25), a = r0 * (1 + e), b = r0 * (1 - e);
        inLumen = [=](cv::Point2d p) {
            const cv::Point2d d = p - (c + jitter);
            const double u = d.x * std::cos(tilt) + d.y * std::sin(tilt), v = -d.x * std::sin(tilt) + d.y * std::cos(tilt);
            return (u / a) * (u / a) + (v / b) * (v / b) < 1;
        };
        break;
    }
    case PhantomShape::Eccentric: {
        const double shift = uniform(0.35, 0.5) * (r0 - kCatheterEdge - 8);
        const cv::Point2d centre = c + shift * cv::Point2d(std::cos(tilt), std::sin(tilt));
        inLumen = [=](cv::Point2d p) { return cv::norm(p - centre) < r0; };
        break;
    }
    case PhantomShape::Kidney: {
        const double dent = uniform(0, 2 * kPi);
        inLumen = [=](cv::Point2d p) {
            const cv::Point2d d = p - (c + jitter);
            const double phi = std::atan2(d.y, d.x), w = WrapAngle(phi - dent) / 0.55;
            const double rho = r0 * (1 + 0.08 * std::cos(2 * (phi - tilt)) - 0.22 * std::exp(-w * w));
            return cv::norm(d) < rho;
        };
        break;
    }
    }
    const double vesselRadius = r0 + uniform(45, 70), ve = uniform(0, 0.08), vtilt = uniform(0, 2 * kPi);
    const cv::Point2d vesselCentre = c + cv::Point2d(uniform(-10, 10), uniform(-10, 10));
    const auto inVessel = [=](cv::Point2d p) {
        const cv::Point2d d = p - vesselCentre;
        const double u = d.x * std::cos(vtilt) + d.y * std::sin(vtilt), v = -d.x * std::sin(vtilt) + d.y * std::cos(vtilt);
        const double a = vesselRadius * (1 + ve), b = vesselRadius * (1 - ve);
        return (u / a) * (u / a) + (v / b) * (v / b) < 1;
    };

    // Borders along the directions from the catheter; the plaque at least 30 px thick.
    std::vector<double> lumen(kBins), vessel(kBins);
    IvusPhantom phantom;
    for (int i = 0; i < kBins; ++i) {
        const double angle = 2 * kPi * i / kBins;
        lumen[i] = BoundaryRadius(inLumen, c, angle);
        vessel[i] = std::max(BoundaryRadius(inVessel, c, angle), lumen[i] + 30);
    }
    for (int i = 0; i < kBins; i += kBins / kTruthPoints) {
        const cv::Point2d u(std::cos(2 * kPi * i / kBins), std::sin(2 * kPi * i / kBins));
        phantom.lumen.push_back(c + lumen[i] * u);
        phantom.vessel.push_back(c + vessel[i] * u);
    }
    const auto radiusAt = [&](const std::vector<double>& radii, double angle) {
        double t = angle / (2 * kPi) * kBins;
        t -= std::floor(t / kBins) * kBins;
        const int i = static_cast<int>(t) % kBins;
        const double f = t - std::floor(t);
        return radii[i] * (1 - f) + radii[(i + 1) % kBins] * f;
    };

    // The guidewire sits between the catheter and the lumen border; the calcium arc
    // starts 3 px beyond the lumen border and is 12 px thick.
    const double wireAngle = uniform(0, 2 * kPi), calciumAngle = uniform(0, 2 * kPi);
    const double wireRadius = kCatheterEdge + uniform(0.45, 0.7) * (radiusAt(lumen, wireAngle) - kCatheterEdge);
    const cv::Point2d wire = c + wireRadius * cv::Point2d(std::cos(wireAngle), std::sin(wireAngle));

    const Echoes echo = EchoesOf(o.difficulty);
    cv::RNG cvRng(o.seed * 7919u + 17u);
    const cv::Mat speckle = Speckle(cvRng);
    const cv::Mat plaqueField = Heterogeneity(cvRng);
    phantom.image.create(kSize, kSize, CV_8UC1);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const double dx = x - c.x, dy = y - c.y;
            const double r = std::hypot(dx, dy), angle = std::atan2(dy, dx);
            const double L = radiusAt(lumen, angle), V = radiusAt(vessel, angle);
            double e;
            if (r < kBodyRadius) {
                e = 3;
            } else if (r < kBodyRadius + 3) {
                e = 220;  // sheath
            } else {
                if (r < L) e = echo.lumen;
                else if (r < V - kMediaWidth) e = echo.plaque * plaqueField.at<float>(y, x);
                else if (r < V) e = echo.media;
                else {
                    // the adventitia brightest a little beyond the vessel border
                    const double d = (r - V - 12) / 10;
                    e = echo.tissue + (echo.adventitia - echo.tissue) * std::exp(-d * d);
                }
                const double t = r - kBodyRadius - 3;  // ring-down
                e += 180 * std::exp(-t / 2.0) * (0.7 + 0.3 * std::cos(2 * kPi * t / 2.5));
            }
            double shadow = 1.0;
            if (o.calcium) {
                const double w = SectorWeight(angle, calciumAngle, 30 * kPi / 180);
                if (r >= L + 3 && r < L + 15) e = e * (1 - w) + 235 * w;
                if (r >= L + 15) shadow = 1 - 0.96 * w;
            }
            if (o.guidewire) {
                if (std::hypot(x - wire.x, y - wire.y) < 3.5) e = 250;
                if (o.guidewireShadow && r > wireRadius + 2)
                    shadow = std::min(shadow, 1 - 0.96 * SectorWeight(angle, wireAngle, 5 * kPi / 180));
            }
            phantom.image.at<std::uint8_t>(y, x) = cv::saturate_cast<std::uint8_t>(e * shadow * speckle.at<float>(y, x));
        }
    }
    phantom.centre = {static_cast<int>(c.x), static_cast<int>(c.y)};
    phantom.edge = {phantom.centre.x + kCatheterEdge, phantom.centre.y};
    return phantom;
}

PhantomOptions PhantomInSeries(int i, PhantomDifficulty difficulty, unsigned seed) {
    PhantomOptions o;
    o.shape = static_cast<PhantomShape>(i % 4);
    o.difficulty = difficulty;
    o.seed = seed * 1000u + static_cast<unsigned>(i) * 7u + (difficulty == PhantomDifficulty::Easy ? 1u : 2u);
    return o;
}

namespace {

constexpr int kScoreScale = 2;  // sub-pixel rasterisation of the areas

// The polygon filled (255) into `mask`, whose pixel (0, 0) is at `origin`, at
// kScoreScale times the frame's resolution.
void Fill(const std::vector<cv::Point2d>& polygon, cv::Point2d origin, cv::Mat& mask) {
    std::vector<cv::Point> points;  // in 1/16 of a mask pixel
    for (const cv::Point2d& p : polygon) {
        const cv::Point2d q = (p - origin + cv::Point2d(0.5, 0.5)) * kScoreScale - cv::Point2d(0.5, 0.5);
        points.emplace_back(cvRound(q.x * 16), cvRound(q.y * 16));
    }
    mask.setTo(0);
    cv::fillPoly(mask, std::vector<std::vector<cv::Point>>{points}, cv::Scalar(255), cv::LINE_8, 4);
}

double SegmentDistance(cv::Point2d p, cv::Point2d a, cv::Point2d b) {
    const cv::Point2d ab = b - a;
    const double len2 = ab.dot(ab);
    const double t = len2 > 0 ? std::clamp((p - a).dot(ab) / len2, 0.0, 1.0) : 0.0;
    return cv::norm(p - (a + t * ab));
}

// The largest distance from a vertex of `from` to the closed outline `to`.
double DirectedHausdorff(const std::vector<cv::Point2d>& from, const std::vector<cv::Point2d>& to) {
    double worst = 0;
    for (const cv::Point2d& p : from) {
        double best = 1e300;
        for (std::size_t i = 0; i < to.size(); ++i) best = std::min(best, SegmentDistance(p, to[i], to[(i + 1) % to.size()]));
        worst = std::max(worst, best);
    }
    return worst;
}

}  // namespace

BorderScore ScoreBorder(const WallContour& detected, const std::vector<cv::Point2d>& truth) {
    BorderScore score;
    if (detected.size() < 3) {
        score.areaDifference = -100.0;
        score.hausdorffMm = 1e9;
        return score;
    }
    std::vector<cv::Point2d> polygon;
    for (const PixelPoint& p : detected) polygon.emplace_back(p.x, p.y);
    // Both filled over the rectangle holding both, with a pixel to spare.
    cv::Point2d low = truth.front(), high = low;
    for (const auto& outline : {polygon, truth})
        for (const cv::Point2d& p : outline) {
            low = {std::min(low.x, p.x), std::min(low.y, p.y)};
            high = {std::max(high.x, p.x), std::max(high.y, p.y)};
        }
    const cv::Point2d origin(std::floor(low.x) - 1, std::floor(low.y) - 1);
    const cv::Size size(static_cast<int>(high.x - origin.x + 3) * kScoreScale,
                        static_cast<int>(high.y - origin.y + 3) * kScoreScale);
    cv::Mat a(size, CV_8UC1), b(size, CV_8UC1);
    Fill(polygon, origin, a);
    Fill(truth, origin, b);
    const double intersection = cv::countNonZero(a & b), united = cv::countNonZero(a | b);
    score.jaccard = united > 0 ? intersection / united : 0.0;
    std::vector<cv::Point2f> pf(polygon.begin(), polygon.end()), tf(truth.begin(), truth.end());
    const double trueArea = cv::contourArea(tf);
    score.areaDifference = 100.0 * (cv::contourArea(pf) - trueArea) / trueArea;
    score.hausdorffMm = std::max(DirectedHausdorff(polygon, truth), DirectedHausdorff(truth, polygon)) * kPhantomPixelMm;
    return score;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    const std::size_t mid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + mid, values.end());
    const double upper = values[mid];
    if (values.size() % 2 == 1) return upper;
    return (upper + *std::max_element(values.begin(), values.begin() + mid)) / 2;
}

}  // namespace kestrova::analysis::testing
