#pragma once
// Synthetic frames drawn by the analysis tests.

#include <opencv2/core.hpp>

namespace kestrova::analysis::testing {

/// An IVUS-like 8-bit grey frame: a bright catheter ring around `centre` (radius
/// `catheterRadius`), a dark lumen with faint speckle up to `lumenRadius`, speckled
/// tissue beyond it, a bright adventitia ring of 12 pixels starting at `ringRadius`, and
/// darker speckle outside. Lumen and ring may be eccentric: their centre is `centre`
/// shifted by `lumenShift`. Noise comes from `seed`.
cv::Mat DrawIvusFrame(cv::Size size, cv::Point centre, int catheterRadius, double lumenRadius, double ringRadius,
                      unsigned seed, cv::Point2d lumenShift = {0.0, 0.0});

/// A bright disc (200) of `radius` on a dark background (40), blurred with a Gaussian of
/// `sigma` pixels, as 8-bit grey.
cv::Mat DrawBlurredDisc(cv::Size size, cv::Point2d centre, double radius, double sigma);

}  // namespace kestrova::analysis::testing
