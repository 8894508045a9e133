#pragma once
// Automatic detection of the lumen border (inner wall) and the vessel border (outer
// wall) on IVUS frames.
//
// Each frame is resampled into a polar image around the catheter centre (one column per
// direction, one row per radius). An a-trous Haar wavelet decomposition of the polar
// image gives texture energies (local root-mean-square of the details); their sum,
// scaled to 0..255 and thresholded radius by radius outward from the catheter, gives
// the lumen radius of each direction. The vessel border lies `ringOffset` rows inside
// the brightest ring of the wavelet approximation found beyond the lumen. Both radius
// rows are gap-filled and smoothed around the circle (MultiscaleSmooth), the vessel is
// kept outside the lumen, and the radii become closed contours.
//
// Polar convention of the detection (the contour smoothing has its own, see
// polar_smoothing.h): direction k of A has the angle k * 6.2831853 / A, measured from the
// image's x axis toward its y axis, and the pixel at radius r is
// (cx + RoundHalfUp(r cos), cy + RoundHalfUp(r sin)).
//
// Matrices here are row = radius, column = direction. Everything is Qt-free and works on
// images in memory; DetectIvusBorders is the whole run over consecutive analysed frames.

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "study/contour.h"

namespace kestrova::analysis {

inline constexpr int kDetectionAngles = 400;
inline constexpr double kDetectionTurn = 6.2831853;
inline constexpr int kWaveletLevels = 4;

/// The detection's parameters (the drop-down of "Automatic" in the IVUS window), with
/// the window's start values.
struct DetectionParameters {
    int affectedFrames = 3;    // "Affected frames", 1 to 200
    int threshold = 128;       // "Threshold", 1 to 255
    int smoothnessLevel = 6;   // "Smoothness level", 4 to 10
    int ringOffset = 20;       // "Ring offset", 1 to 200
};

// Texts of the IVUS window for this operation.
inline constexpr const char* kSelectInitialFrameText = "You have to select an initial frame";
inline constexpr const char* kCalibrationMissingText = "Calibration is not defined";
inline constexpr const char* kDetectionProgressText = "Automatic detection progress";

/// Number of frames a run starting at `selectedFrame` covers: `affectedFrames`, but at
/// most the frames from the selected one to the last (0 when none is selected).
int DetectionFrameCount(int selectedFrame, int frameCount, int affectedFrames);

/// R: the largest radius whose circle around `centre` stays inside a frame of `frameSize`
/// (MinOfFour(cx, cy, width - cx, height - cy)); 0 or less when the centre is on or
/// outside the border.
int DetectionRadiusLimit(cv::Size frameSize, PixelPoint centre);

/// rc: the distance from the catheter centre to its edge, truncated toward zero.
int CatheterRadius(PixelPoint centre, PixelPoint edge);

/// Side w of the energy window for an A x R polar image: 2 floor(s / 2) + 1 with
/// s = sqrt(0.0025 A R) in single precision (15 for 400 x 200).
int EnergyWindowSize(int angles, int radii);

/// Resamples `image` (8-bit, 1 to 4 channels) into `polar`, an 8-bit 3-channel image of
/// `radii` rows by `angles` columns: row r, column k takes the image pixel at
/// (cx + RoundHalfUp(r cos(angle k)), cy + RoundHalfUp(r sin(angle k))) when that pixel
/// satisfies 0 < x < width and 0 < y < height. The first min(3, channels) channels are
/// copied; other channels and unreached pixels are 0.
void PolarResample(const cv::Mat& image, cv::Mat& polar, PixelPoint centre, int angles, int radii);

/// Sets every channel of the rows r < catheterRadius of `polar` to 0.
void MaskCatheterRing(cv::Mat& polar, int catheterRadius);

/// The local root-mean-square of `detail` (CV_32F, R x A) over a w x w window: for each
/// interior position (r in h .. R-1-h, k in h .. A-1-h, h = (w-1)/2) the square root of
/// the window's sum of squares (summed in double precision, incrementally: down the
/// columns, then along each row) divided by w*w; every other position takes the value
/// of the nearest interior one. `rms` becomes CV_64F of the same size. Returns false
/// (and leaves `rms` empty) when there is no interior position.
bool WindowRms(const cv::Mat& detail, int window, cv::Mat& rms);

/// The a-trous Haar decomposition with `levels` levels (1..4; 4 in the detection) of the
/// first channel of `polar` (8-bit, R x A), in single precision, with the data padded by
/// 2^levels mirrored rows and columns (edge sample repeated) before every filter.
/// At level l (s = 2^(l-1)), with a the current approximation:
///   c = (a[i][j+s] - a[i][j+2s]) / 2,  b = (a[i][j] + a[i][j-s]) / 2,
///   detail 3(l-1)   = (c[i+s][j] - c[i+2s][j]) / 2,
///   detail 3(l-1)+1 = (c[i][j] + c[i-s][j]) / 2,
///   detail 3(l-1)+2 = (b[i+s][j] - b[i+2s][j]) / 2,
///   new a           = (b[i][j] + b[i-s][j]) / 2.
/// `details` receives the 3 * levels detail matrices (CV_32F, R x A).
/// `approximation` (R rows of A bytes, e.g. a ByteMatrix) receives the last a
/// truncated toward zero. Needs R >= 2^levels and A >= 2^levels.
void WaveletDecompose(const cv::Mat& polar, int levels, std::vector<cv::Mat>& details,
                      std::uint8_t* const* approximation);

/// WaveletDecompose followed by WindowRms of every detail with the window
/// EnergyWindowSize(A, R): `energies` receives 3 * levels CV_64F matrices. Returns false
/// when the polar image is too small for the padding or the window.
bool WaveletEnergyFeatures(const cv::Mat& polar, std::vector<cv::Mat>& energies,
                           std::uint8_t* const* approximation, int levels);

/// fused = the sum of the energies except the row difference of the column average of
/// each level (energies 2, 5, 8, 11), then RoundHalfUp(255 * fused / largest). When
/// every sum is 0 the fused matrix stays all 0. `fused` becomes CV_64F.
/// The largest is taken over the columns not flagged in `ignoredColumns` (all columns
/// when it is empty, or when it flags every column).
void FuseFeatures(const std::vector<cv::Mat>& energies, cv::Mat& fused, const std::vector<bool>& ignoredColumns = {});

// ---------------------------------------------------------------------------------
// Acoustic shadows.
//
// A guidewire or a calcium arc reflects nearly all of the ultrasound: behind it, along
// its few directions, the echo dies out down to the noise floor. Such a sector tells
// nothing about the walls behind it, and its angular edges (bright tissue beside black
// shadow) carry the largest texture energy of the whole frame. The detection treats
// the directions a shadow reaches as gaps, closed from their neighbours by the gap
// filling of the smoothing, and takes the energy's scale from the other directions.

/// Directions (columns of the polar image, first channel) in an acoustic shadow: those
/// with a depth d beyond which the mean echo of the column (rows d .. R - 1) is below a
/// quarter of the median of that mean over all columns. The depths looked at are
/// d = R - max(R / 4, 16) and every fourth row nearer the catheter, down to
/// catheterRadius. Runs of fewer than 3 directions (around the circle) are not taken
/// as shadows.
std::vector<bool> FindShadowedDirections(const cv::Mat& polar, int catheterRadius);

/// `flags` widened by `before` columns towards lower indexes and `after` columns towards
/// higher ones, within 0 .. size - 1 (the wavelet filters mirror the angles at the
/// ends of the polar image rather than wrap them).
std::vector<bool> WidenColumns(const std::vector<bool>& flags, int before, int after);

/// For each column k: the first radius r from `catheterRadius` to R - 1 with
/// fused[r][k] >= threshold, or -1.
void FindLumenRadii(const cv::Mat& fused, std::int32_t* lumen, int catheterRadius, int threshold);

/// For each column k with L = lumen[k] (columns with L = -1 get -1): when
/// L + offset + 2 < R, the first row at or beyond L + offset + 1 that holds the largest
/// approximation value of rows L + offset + 1 .. R - 1, minus `offset`; otherwise L + 1.
void FindVesselRadii(const std::uint8_t* const* approximation, const std::int32_t* lumen, std::int32_t* vessel,
                     int angles, int radii, int ringOffset);

/// For every frame and column with a known lumen radius: a vessel radius below the
/// lumen radius becomes lumen + 1, or lumen when lumen + 1 >= R.
void EnforceOuterBeyondInner(std::int32_t* const* lumen, std::int32_t* const* vessel, int angles, int radii,
                             int frames);

/// The contour of one radius row: for each direction k < A - 1 with 0 <= radii[k] < R the
/// point (cx + RoundHalfUp(r cos), cy + RoundHalfUp(r sin)); directions with another
/// radius are skipped. A non-empty contour is closed with a copy of its first point.
WallContour PolarRadiiToContour(std::span<const std::int32_t> radii, PixelPoint centre, int radiusLimit);

// ---------------------------------------------------------------------------------
// The whole run.

enum class DetectionStatus {
    Completed,           // every frame processed (some may have no border, see below)
    CalibrationMissing,  // centre or edge at (0,0): kCalibrationMissingText
    GeometryRefused,     // the catheter centre leaves no room to analyse
    Failed,              // a frame could not be loaded, memory ran out, ...
};

/// The detected borders of one frame. `found` is false when no direction reached the
/// threshold: both contours are then empty and the frame's current contours should be
/// kept and the user told.
struct FrameBorders {
    bool found = false;
    WallContour inner;  // lumen border, 400 points when every radius is valid, closed
    WallContour outer;  // vessel border, likewise
    std::vector<std::int32_t> innerRadii;  // the 400 smoothed lumen radii (rows), by direction
    std::vector<std::int32_t> outerRadii;  // the 400 smoothed vessel radii
};

struct DetectionResult {
    DetectionStatus status = DetectionStatus::Failed;
    std::string message;              // for every status but Completed; see also below
    std::vector<FrameBorders> frames; // one per frame when Completed, else empty
    std::vector<int> framesWithoutBorder;  // indexes f (0-based in the run) with found == false
};

/// Loads frame f (0 .. frameCount - 1) of the run as stored (8-bit, any channel count);
/// an empty image means the frame cannot be loaded.
using FrameLoader = std::function<cv::Mat(int frame)>;
/// Called after each frame's first pass with (frames done, frames in the run).
using DetectionProgress = std::function<void(int done, int total)>;

/// Detects both borders on `frameCount` consecutive frames. `frameSize` is the size
/// taken for every frame (the window's frame size) and fixes R; `centre` and `edge` are
/// the catheter centre and a point of its edge. Frames do not influence each other.
/// Parameters outside their ranges are taken at the nearest bound. The run never throws:
/// on failure the status says so and no frame result is given, so the caller's contours
/// stay as they were.
DetectionResult DetectIvusBorders(const FrameLoader& loadFrame, int frameCount, cv::Size frameSize,
                                  PixelPoint centre, PixelPoint edge, const DetectionParameters& parameters,
                                  const DetectionProgress& progress = {});

/// A message for the frames of a run that got no border; `firstFrame` is the analysed
/// frame index of the run's first frame (frames are named by index + 1, as in the
/// strip). Empty when there are none.
std::string NoBorderMessage(std::span<const int> framesWithoutBorder, int firstFrame);

}  // namespace kestrova::analysis
