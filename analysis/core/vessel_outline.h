#pragma once
// Vessel-outline filter of the angiographic views.
//
// A multi-scale vessel-enhancement filter on the eigenvalues of the image's Hessian: at
// each scale s the second derivatives come from separable correlations with sampled,
// unnormalised Gaussian kernels (radius RoundFloat(3s), pixels outside the image count as
// 0), scaled by s^2. With lambda1 the eigenvalue of smaller magnitude and lambda2 that of
// larger magnitude, a pixel with lambda2 > 0 (a dark tube on a brighter background)
// responds with
//     exp(-(lambda1 / lambda2)^2 / (2 alpha^2)) * (1 - exp(-(lambda1^2 + lambda2^2) / (2 c^2))),
// other pixels with 0; the response is the largest over the scales. The response is
// rescaled to 0..255, only the inner boundary of the regions at or above the threshold
// is kept, and 8-connected groups smaller than the minimum blob size are removed.
//
// Images are single-channel CV_32F matrices (row i = y, column j = x). Nothing here
// prints or touches a window.

#include <functional>
#include <span>
#include <vector>

#include <opencv2/core.hpp>

namespace kestrova::analysis {

/// The parameters of "Outline", with the view's start values.
struct OutlineParameters {
    std::vector<float> scales{3.0f, 5.0f, 7.0f, 9.0f, 11.0f};  // sigma in pixels, in this order
    float alpha = 0.5f;
    float energy = 5.5f;     // "Energy": the structure sensitivity c, 1 to 20
    int threshold = 20;      // "Max vessel width (px)": the outline threshold on 0..255, 1 to 255
    int minimumBlobSize = 50;
};

/// floor(x + 0.5).
int RoundFloat(double x);

/// The 2R + 1 taps i = -R .. R (2 pi taken as 6.2831853, sums not normalised):
///   Gaussian:          exp(-i^2 / (2 s^2)) / (s sqrt(2 pi))
///   first derivative:  -i exp(-i^2 / (2 s^2)) / (s^3 sqrt(2 pi))
///   second derivative: (i^2 / s^2 - 1) exp(-i^2 / (2 s^2)) / (s^3 sqrt(2 pi))
std::vector<float> GaussianKernel(float s, int radius);
std::vector<float> GaussianDerivativeKernel(float s, int radius);
std::vector<float> GaussianSecondDerivativeKernel(float s, int radius);

/// Correlation along the columns (vertical): out(i, j) += sum over k = -R..R of
/// in(i + k, j) K[k + R], with 0 outside the image. `out` must be CV_32F of the input's
/// size (it is added to); an empty `out` is created zeroed.
void ConvolveColumns(const cv::Mat& in, std::span<const float> kernel, cv::Mat& out);
/// The same along the rows (horizontal): in(i, j + k).
void ConvolveRows(const cv::Mat& in, std::span<const float> kernel, cv::Mat& out);

/// The Hessian at scale s, each component multiplied by s^2:
///   Dyy = rows(Gaussian) of columns(second derivative),
///   Dxx = rows(second derivative) of columns(Gaussian),
///   Dxy = rows(first derivative) of columns(first derivative).
void HessianAtScale(const cv::Mat& image, float s, cv::Mat& dyy, cv::Mat& dxx, cv::Mat& dxy);

/// Per pixel, in single precision, with a = Dyy, b = Dxx, d = Dxy:
/// m1,2 = (a + b +- sqrt((a - b)^2 + 4 d^2)) / 2; lambda1 = the one of smaller magnitude,
/// lambda2 = the other (on a tie lambda1 = m2).
void HessianEigenvalues(const cv::Mat& dyy, const cv::Mat& dxx, const cv::Mat& dxy, cv::Mat& lambda1,
                        cv::Mat& lambda2);

/// Maps the values linearly so that the smallest becomes `low` and the largest `high`.
/// The largest is searched from the smallest positive normal float, so an image of zeros
/// stays zeros. When the smallest equals the largest every value becomes `low`.
void RescaleImage(cv::Mat& image, float low, float high);

/// Keeps the inner boundary of the regions >= t: an interior pixel becomes 255 when its
/// value is >= t and one of its four neighbours is below t; every other pixel, the
/// border rows and columns included, becomes 0.
void OutlineThreshold(cv::Mat& image, float t);

/// Sets to 0 every 8-connected group of pixels equal to 255 that has fewer than
/// `minimumSize` pixels.
void RemoveSmallBlobs(cv::Mat& image, int minimumSize);

/// The whole filter on a CV_32F image: returns the outline (0 or 255 per pixel).
/// `onScale`, when given, is called with each scale before it is processed.
cv::Mat VesselEnhance(const cv::Mat& image, const OutlineParameters& parameters,
                      const std::function<void(float scale)>& onScale = {});

/// "Outline" on a frame as loaded (8-bit, any channel count; the first channel is used):
/// returns a CV_8U mask of the frame's size, 255 where the outline is shown, else 0.
/// An empty or non-8-bit frame gives an empty mask.
/// `onScale` as for VesselEnhance.
cv::Mat ComputeVesselOutline(const cv::Mat& frame, const OutlineParameters& parameters,
                             const std::function<void(float scale)>& onScale = {});

}  // namespace kestrova::analysis
