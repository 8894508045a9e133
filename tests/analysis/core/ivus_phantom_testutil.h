#pragma once
// Seeded IVUS phantoms with known borders, and the scores that compare a detected
// border with the truth.
//
// A phantom is a 512 x 512 grey frame at 0.02 mm per pixel around a catheter at the
// frame's centre: the catheter with its ring-down, a dark lumen with blood speckle, a
// speckled plaque, a dark media band ending at the vessel border (the media/adventitia
// interface), a bright adventitia and fainter tissue beyond, all under multiplicative
// Rayleigh speckle. Optionally a guidewire (a bright spot in the lumen casting a 10
// degree shadow) and a 60 degree calcium arc in the plaque casting its own shadow.
// Borders are known as polygons of 360 points, star-shaped about the catheter centre.

#include <vector>

#include <opencv2/core.hpp>

#include "study/contour.h"

namespace kestrova::analysis::testing {

inline constexpr double kPhantomPixelMm = 0.02;

enum class PhantomShape { Circle, Ellipse, Eccentric, Kidney };
enum class PhantomDifficulty { Easy, Medium };

struct PhantomOptions {
    PhantomShape shape = PhantomShape::Circle;
    PhantomDifficulty difficulty = PhantomDifficulty::Easy;
    bool guidewire = false;        // bright spot in the lumen ...
    bool guidewireShadow = true;   // ... and its 10 degree shadow
    bool calcium = false;          // 60 degree calcium arc with its shadow
    unsigned seed = 1;
};

struct IvusPhantom {
    cv::Mat image;  // 512 x 512, CV_8UC1
    PixelPoint centre;  // catheter centre
    PixelPoint edge;    // a point on the catheter's edge (beyond its ring-down)
    std::vector<cv::Point2d> lumen;   // true lumen border
    std::vector<cv::Point2d> vessel;  // true vessel border
};

IvusPhantom MakeIvusPhantom(const PhantomOptions& options);

/// The i-th phantom of a series: the shapes taken in turn, the seed from `seed` and i.
PhantomOptions PhantomInSeries(int i, PhantomDifficulty difficulty, unsigned seed);

struct BorderScore {
    double jaccard = 0.0;         // area of intersection / area of union
    double hausdorffMm = 0.0;     // symmetric Hausdorff distance of the two outlines
    double areaDifference = 0.0;  // (detected - true) / true area, in percent
};

/// Scores a detected closed contour against a true polygon. An empty contour scores
/// Jaccard 0 and area difference -100 %.
BorderScore ScoreBorder(const WallContour& detected, const std::vector<cv::Point2d>& truth);

double Median(std::vector<double> values);

}  // namespace kestrova::analysis::testing
