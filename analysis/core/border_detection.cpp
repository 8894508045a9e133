#include "analysis/core/border_detection.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <new>

#include "analysis/core/numeric_helpers.h"
#include "analysis/core/polar_smoothing.h"

namespace kestrova::analysis {

namespace {

double Angle(int k, int angles) { return k * kDetectionTurn / angles; }

// A padded single-precision matrix: data at rows pad .. pad+rows-1, columns
// pad .. pad+cols-1.
class Padded {
public:
    Padded(int rows, int cols, int pad)
        : rows_(rows), cols_(cols), pad_(pad), stride_(cols + 2 * pad),
          values_(static_cast<std::size_t>(rows + 2 * pad) * (cols + 2 * pad), 0.0f) {}

    // (i, j) in data coordinates; -pad <= i < rows + pad, likewise j.
    float& at(int i, int j) { return values_[static_cast<std::size_t>(i + pad_) * stride_ + (j + pad_)]; }
    float at(int i, int j) const { return values_[static_cast<std::size_t>(i + pad_) * stride_ + (j + pad_)]; }

    // Mirror about the edges, the edge sample repeated (column -1-j takes column j,
    // column cols+j takes column cols-1-j); rows only within the data columns.
    void Mirror() {
        for (int i = 0; i < rows_; ++i) {
            for (int j = 0; j < pad_; ++j) {
                at(i, -1 - j) = at(i, j);
                at(i, cols_ + j) = at(i, cols_ - 1 - j);
            }
        }
        for (int i = 0; i < pad_; ++i) {
            for (int j = 0; j < cols_; ++j) {
                at(-1 - i, j) = at(i, j);
                at(rows_ + i, j) = at(rows_ - 1 - i, j);
            }
        }
    }

private:
    int rows_, cols_, pad_, stride_;
    std::vector<float> values_;
};

}  // namespace

int DetectionFrameCount(int selectedFrame, int frameCount, int affectedFrames) {
    if (selectedFrame < 0 || selectedFrame >= frameCount) return 0;
    return std::max(0, std::min(affectedFrames, frameCount - selectedFrame));
}

int DetectionRadiusLimit(cv::Size frameSize, PixelPoint centre) {
    return MinOfFour(centre.x, centre.y, frameSize.width - centre.x, frameSize.height - centre.y);
}

int CatheterRadius(PixelPoint centre, PixelPoint edge) {
    const double dx = double(edge.x) - centre.x;
    const double dy = double(edge.y) - centre.y;
    return static_cast<int>(std::trunc(std::sqrt(dx * dx + dy * dy)));
}

int EnergyWindowSize(int angles, int radii) {
    const float s = static_cast<float>(std::sqrt(0.0025 * angles * radii));
    return 2 * static_cast<int>(std::floor(s / 2.0f)) + 1;
}

void PolarResample(const cv::Mat& image, cv::Mat& polar, PixelPoint centre, int angles, int radii) {
    polar = cv::Mat::zeros(std::max(radii, 0), std::max(angles, 0), CV_8UC3);
    if (image.empty() || image.depth() != CV_8U) return;
    const int channels = image.channels();
    const int copied = std::min(3, channels);
    for (int k = 0; k < angles; ++k) {
        const double c = std::cos(Angle(k, angles));
        const double s = std::sin(Angle(k, angles));
        for (int r = 0; r < radii; ++r) {
            const int x = centre.x + RoundHalfUp(r * c);
            const int y = centre.y + RoundHalfUp(r * s);
            if (x > 0 && x < image.cols && y > 0 && y < image.rows) {
                const std::uint8_t* src = image.ptr<std::uint8_t>(y) + static_cast<std::size_t>(x) * channels;
                std::uint8_t* dst = polar.ptr<std::uint8_t>(r) + static_cast<std::size_t>(k) * 3;
                for (int ch = 0; ch < copied; ++ch) dst[ch] = src[ch];
            }
        }
    }
}

void MaskCatheterRing(cv::Mat& polar, int catheterRadius) {
    const int rows = std::min(catheterRadius, polar.rows);
    for (int r = 0; r < rows; ++r) polar.row(r).setTo(cv::Scalar::all(0));
}

bool WindowRms(const cv::Mat& detail, int window, cv::Mat& rms) {
    rms.release();
    const int rows = detail.rows, cols = detail.cols;
    const int h = (window - 1) / 2;
    if (window < 1 || rows < window || cols < window) return false;
    const int lastRow = rows - 1 - h, lastCol = cols - 1 - h;

    // Squares in double precision: the detail values are exact binary fractions, so the
    // running sums below are exact and equal a direct summation.
    cv::Mat squares(rows, cols, CV_64F);
    for (int r = 0; r < rows; ++r) {
        const float* d = detail.ptr<float>(r);
        double* q = squares.ptr<double>(r);
        for (int k = 0; k < cols; ++k) q[k] = double(d[k]) * double(d[k]);
    }

    // Column sums of w rows, centred on rows h .. lastRow.
    cv::Mat columnSums(rows, cols, CV_64F, cv::Scalar(0));
    for (int k = 0; k < cols; ++k) {
        double sum = 0.0;
        for (int r = 0; r < window; ++r) sum += squares.at<double>(r, k);
        columnSums.at<double>(h, k) = sum;
        for (int r = h + 1; r <= lastRow; ++r) {
            sum += squares.at<double>(r + h, k) - squares.at<double>(r - h - 1, k);
            columnSums.at<double>(r, k) = sum;
        }
    }

    rms.create(rows, cols, CV_64F);
    const double area = double(window) * window;
    for (int r = h; r <= lastRow; ++r) {
        const double* cs = columnSums.ptr<double>(r);
        double* out = rms.ptr<double>(r);
        double sum = 0.0;
        for (int k = 0; k < window; ++k) sum += cs[k];
        out[h] = std::sqrt(sum / area);
        for (int k = h + 1; k <= lastCol; ++k) {
            sum += cs[k + h] - cs[k - h - 1];
            out[k] = std::sqrt(sum / area);
        }
    }
    // Outside the interior: the nearest interior value.
    for (int r = 0; r < rows; ++r) {
        const int sr = std::clamp(r, h, lastRow);
        double* out = rms.ptr<double>(r);
        const double* src = rms.ptr<double>(sr);
        for (int k = 0; k < cols; ++k) {
            if (r >= h && r <= lastRow && k >= h && k <= lastCol) continue;
            out[k] = src[std::clamp(k, h, lastCol)];
        }
    }
    return true;
}

void WaveletDecompose(const cv::Mat& polar, int levels, std::vector<cv::Mat>& details,
                      std::uint8_t* const* approximation) {
    const int rows = polar.rows, cols = polar.cols;
    const int pad = 1 << levels;
    Padded a(rows, cols, pad), b(rows, cols, pad), c(rows, cols, pad);
    const int channels = polar.channels();
    for (int i = 0; i < rows; ++i) {
        const std::uint8_t* src = polar.ptr<std::uint8_t>(i);
        for (int j = 0; j < cols; ++j) a.at(i, j) = src[static_cast<std::size_t>(j) * channels];
    }
    details.assign(static_cast<std::size_t>(3 * levels), cv::Mat());
    for (int l = 1; l <= levels; ++l) {
        const int s = 1 << (l - 1);
        cv::Mat& rowDiffC = details[3 * (l - 1)];
        cv::Mat& rowAvgC = details[3 * (l - 1) + 1];
        cv::Mat& rowDiffB = details[3 * (l - 1) + 2];
        rowDiffC.create(rows, cols, CV_32F);
        rowAvgC.create(rows, cols, CV_32F);
        rowDiffB.create(rows, cols, CV_32F);

        a.Mirror();
        for (int i = 0; i < rows; ++i) {
            for (int j = 0; j < cols; ++j) {
                c.at(i, j) = (a.at(i, j + s) - a.at(i, j + 2 * s)) / 2.0f;
                b.at(i, j) = (a.at(i, j) + a.at(i, j - s)) / 2.0f;
            }
        }
        c.Mirror();
        b.Mirror();
        for (int i = 0; i < rows; ++i) {
            float* dc = rowDiffC.ptr<float>(i);
            float* ac = rowAvgC.ptr<float>(i);
            float* db = rowDiffB.ptr<float>(i);
            for (int j = 0; j < cols; ++j) {
                dc[j] = (c.at(i + s, j) - c.at(i + 2 * s, j)) / 2.0f;
                ac[j] = (c.at(i, j) + c.at(i - s, j)) / 2.0f;
                db[j] = (b.at(i + s, j) - b.at(i + 2 * s, j)) / 2.0f;
                a.at(i, j) = (b.at(i, j) + b.at(i - s, j)) / 2.0f;
            }
        }
    }
    if (approximation != nullptr) {
        for (int i = 0; i < rows; ++i) {
            for (int j = 0; j < cols; ++j) approximation[i][j] = static_cast<std::uint8_t>(a.at(i, j));
        }
    }
}

bool WaveletEnergyFeatures(const cv::Mat& polar, std::vector<cv::Mat>& energies,
                           std::uint8_t* const* approximation, int levels) {
    const int rows = polar.rows, cols = polar.cols;
    const int window = EnergyWindowSize(cols, rows);
    if (levels < 1 || rows < (1 << levels) || cols < (1 << levels) || rows < window || cols < window) return false;
    std::vector<cv::Mat> details;
    WaveletDecompose(polar, levels, details, approximation);
    energies.assign(details.size(), cv::Mat());
    for (std::size_t d = 0; d < details.size(); ++d) {
        if (!WindowRms(details[d], window, energies[d])) return false;
    }
    return true;
}

void FuseFeatures(const std::vector<cv::Mat>& energies, cv::Mat& fused, const std::vector<bool>& ignoredColumns) {
    if (energies.empty()) {
        fused.release();
        return;
    }
    fused = cv::Mat::zeros(energies[0].size(), CV_64F);
    for (std::size_t d = 0; d < energies.size(); ++d) {
        if (d % 3 == 2) continue;  // the row difference of the column average
        fused += energies[d];
    }
    const bool ignoreSome = static_cast<int>(ignoredColumns.size()) == fused.cols &&
                            std::find(ignoredColumns.begin(), ignoredColumns.end(), false) != ignoredColumns.end();
    double largest = 0.0;
    for (int r = 0; r < fused.rows; ++r) {
        const double* f = fused.ptr<double>(r);
        for (int k = 0; k < fused.cols; ++k) {
            if (!ignoreSome || !ignoredColumns[k]) largest = std::max(largest, f[k]);
        }
    }
    if (largest <= 0.0) return;  // nothing to scale: no lumen will be found
    for (int r = 0; r < fused.rows; ++r) {
        double* f = fused.ptr<double>(r);
        for (int k = 0; k < fused.cols; ++k) f[k] = RoundHalfUp(255.0 * f[k] / largest);
    }
}

std::vector<bool> FindShadowedDirections(const cv::Mat& polar, int catheterRadius) {
    const int rows = polar.rows, cols = polar.cols, channels = polar.channels();
    std::vector<bool> shadowed(static_cast<std::size_t>(std::max(cols, 0)), false);
    const int deepest = rows - std::max(rows / 4, 16);  // the shortest tail looked at
    const int shallowest = std::max(catheterRadius, 0);
    constexpr int kDepthStep = 4;
    constexpr double kDarkFraction = 0.25;
    constexpr int kShortestRun = 3;
    if (cols < kShortestRun || deepest < shallowest) return shadowed;

    std::vector<double> tail(cols, 0.0), means(cols), sorted(cols);
    for (int d = rows - 1; d >= shallowest; --d) {
        const std::uint8_t* p = polar.ptr<std::uint8_t>(d);
        for (int k = 0; k < cols; ++k) tail[k] += p[static_cast<std::size_t>(k) * channels];
        if (d > deepest || (deepest - d) % kDepthStep != 0) continue;
        for (int k = 0; k < cols; ++k) means[k] = tail[k] / (rows - d);
        sorted = means;
        std::nth_element(sorted.begin(), sorted.begin() + cols / 2, sorted.end());
        const double dark = kDarkFraction * sorted[cols / 2];
        for (int k = 0; k < cols; ++k) {
            if (means[k] < dark) shadowed[k] = true;
        }
    }
    // Drop runs (around the circle) too narrow to be a shadow.
    if (std::find(shadowed.begin(), shadowed.end(), false) == shadowed.end()) return shadowed;
    int start = 0;
    while (shadowed[start]) ++start;  // a clear column: runs are bounded from here on
    for (int i = 1; i <= cols; ++i) {
        const int k = (start + i) % cols;
        if (!shadowed[k]) continue;
        int length = 0;
        while (shadowed[(k + length) % cols]) ++length;
        if (length < kShortestRun) {
            for (int j = 0; j < length; ++j) shadowed[(k + j) % cols] = false;
        }
        i += length;
    }
    return shadowed;
}

std::vector<bool> WidenColumns(const std::vector<bool>& flags, int before, int after) {
    const int n = static_cast<int>(flags.size());
    std::vector<bool> widened(flags.size(), false);
    for (int k = 0; k < n; ++k) {
        if (!flags[k]) continue;
        for (int j = std::max(0, k - before); j <= std::min(n - 1, k + after); ++j) widened[j] = true;
    }
    return widened;
}

void FindLumenRadii(const cv::Mat& fused, std::int32_t* lumen, int catheterRadius, int threshold) {
    for (int k = 0; k < fused.cols; ++k) {
        lumen[k] = -1;
        for (int r = std::max(catheterRadius, 0); r < fused.rows; ++r) {
            if (fused.at<double>(r, k) >= threshold) {
                lumen[k] = r;
                break;
            }
        }
    }
}

void FindVesselRadii(const std::uint8_t* const* approximation, const std::int32_t* lumen, std::int32_t* vessel,
                     int angles, int radii, int ringOffset) {
    for (int k = 0; k < angles; ++k) {
        const int L = lumen[k];
        if (L < 0) {
            vessel[k] = -1;
            continue;
        }
        if (L + ringOffset + 2 < radii) {
            int bestRow = std::max(L + ringOffset + 1, 0);
            for (int r = bestRow + 1; r < radii; ++r) {
                if (approximation[r][k] > approximation[bestRow][k]) bestRow = r;
            }
            vessel[k] = bestRow - ringOffset;
        } else {
            vessel[k] = L + 1;
        }
    }
}

void EnforceOuterBeyondInner(std::int32_t* const* lumen, std::int32_t* const* vessel, int angles, int radii,
                             int frames) {
    for (int f = 0; f < frames; ++f) {
        for (int k = 0; k < angles; ++k) {
            const int L = lumen[f][k];
            if (L < 0) continue;
            if (vessel[f][k] < L) vessel[f][k] = (L + 1 >= radii) ? L : L + 1;
        }
    }
}

WallContour PolarRadiiToContour(std::span<const std::int32_t> radii, PixelPoint centre, int radiusLimit) {
    WallContour contour;
    const int angles = static_cast<int>(radii.size());
    contour.reserve(radii.size());
    for (int k = 0; k + 1 < angles; ++k) {
        const int r = radii[k];
        if (r < 0 || r >= radiusLimit) continue;
        const double a = Angle(k, angles);
        contour.push_back({centre.x + RoundHalfUp(r * std::cos(a)), centre.y + RoundHalfUp(r * std::sin(a))});
    }
    if (!contour.empty()) contour.push_back(contour.front());
    return contour;
}

DetectionResult DetectIvusBorders(const FrameLoader& loadFrame, int frameCount, cv::Size frameSize,
                                  PixelPoint centre, PixelPoint edge, const DetectionParameters& parameters,
                                  const DetectionProgress& progress) {
    DetectionResult result;
    if (centre == PixelPoint{0, 0} || edge == PixelPoint{0, 0}) {
        result.status = DetectionStatus::CalibrationMissing;
        result.message = kCalibrationMissingText;
        return result;
    }
    const int A = kDetectionAngles;
    const int R = DetectionRadiusLimit(frameSize, centre);
    const int rc = CatheterRadius(centre, edge);
    if (R < (1 << kWaveletLevels) || R < EnergyWindowSize(A, R) || R <= rc) {
        result.status = DetectionStatus::GeometryRefused;
        result.message = "The catheter centre lies too close to the image border for the automatic detection";
        return result;
    }
    const int N = std::max(frameCount, 0);
    // The window's spin editors keep the parameters in these ranges; hold to them here too.
    const int threshold = std::clamp(parameters.threshold, 1, 255);
    const int smoothness = std::clamp(parameters.smoothnessLevel, 1, 10);
    const int ringOffset = std::clamp(parameters.ringOffset, 0, 200);
    try {
        std::vector<ByteMatrix> approximations;
        approximations.reserve(N);
        IntMatrix lumen(A, N);
        IntMatrix vessel(A, N);
        cv::Mat polar, fused;
        std::vector<cv::Mat> energies;
        // Per frame: the directions whose vessel search an acoustic shadow reaches.
        std::vector<std::vector<bool>> vesselGaps(N);
        // How far an angular edge reaches into the neighbouring directions: the column
        // differences of the last level look 2^L columns ahead, the energy window h
        // columns either way, and the approximation averages 2^L - 1 columns back.
        const int h = (EnergyWindowSize(A, R) - 1) / 2;
        const int reach = 1 << kWaveletLevels;
        for (int f = 0; f < N; ++f) {
            cv::Mat image = loadFrame ? loadFrame(f) : cv::Mat();
            if (image.empty() || image.depth() != CV_8U) {
                result.status = DetectionStatus::Failed;
                result.message = "Frame " + std::to_string(f + 1) + " of the run cannot be loaded";
                return result;
            }
            PolarResample(image, polar, centre, A, R);
            image.release();
            MaskCatheterRing(polar, rc);
            approximations.emplace_back(A, R);
            if (!WaveletEnergyFeatures(polar, energies, approximations.back().get(), kWaveletLevels)) {
                result.status = DetectionStatus::GeometryRefused;
                result.message = "The polar image is too small for the automatic detection";
                return result;
            }
            const std::vector<bool> shadowed = FindShadowedDirections(polar, rc);
            const std::vector<bool> lumenGaps = WidenColumns(shadowed, reach + h, h);
            FuseFeatures(energies, fused, lumenGaps);
            FindLumenRadii(fused, lumen[f], rc, threshold);
            for (int k = 0; k < A; ++k) {
                if (lumenGaps[k]) lumen[f][k] = -1;
            }
            vesselGaps[f] = WidenColumns(shadowed, 0, reach - 1);
            if (progress) progress(f + 1, N);
        }

        const std::vector<bool> lumenFound =
            MultiscaleSmooth(lumen.get(), A, N, smoothness, true, SmoothRounding::RoundHalfUp);
        for (int f = 0; f < N; ++f) {
            FindVesselRadii(approximations[f].get(), lumen[f], vessel[f], A, R, ringOffset);
            for (int k = 0; k < A; ++k) {
                if (vesselGaps[f][k]) vessel[f][k] = -1;
            }
        }
        MultiscaleSmooth(vessel.get(), A, N, smoothness, true, SmoothRounding::RoundHalfUp);
        EnforceOuterBeyondInner(lumen.get(), vessel.get(), A, R, N);

        result.frames.resize(N);
        for (int f = 0; f < N; ++f) {
            FrameBorders& borders = result.frames[f];
            borders.found = lumenFound[f];
            if (!borders.found) {
                result.framesWithoutBorder.push_back(f);
                continue;
            }
            borders.innerRadii.assign(lumen[f], lumen[f] + A);
            borders.outerRadii.assign(vessel[f], vessel[f] + A);
            borders.inner = PolarRadiiToContour({lumen[f], static_cast<std::size_t>(A)}, centre, R);
            borders.outer = PolarRadiiToContour({vessel[f], static_cast<std::size_t>(A)}, centre, R);
        }
        result.status = DetectionStatus::Completed;
        return result;
    } catch (const std::exception& e) {
        result = DetectionResult{};
        result.status = DetectionStatus::Failed;
        result.message = std::string("The automatic detection failed: ") + e.what();
        return result;
    }
}

std::string NoBorderMessage(std::span<const int> framesWithoutBorder, int firstFrame) {
    if (framesWithoutBorder.empty()) return {};
    std::string text = "No border reached the threshold on frame";
    text += framesWithoutBorder.size() > 1 ? "s " : " ";
    for (std::size_t i = 0; i < framesWithoutBorder.size(); ++i) {
        if (i > 0) text += ", ";
        text += std::to_string(firstFrame + framesWithoutBorder[i] + 1);
    }
    text += "; their contours were left as they were.";
    return text;
}

}  // namespace kestrova::analysis
