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
// pad .. pad+cols-1. Resizing to the same shape keeps the storage as it is: every
// value read is written first (the data, then the mirrored edges).
class Padded {
public:
    void Resize(int rows, int cols, int pad) {
        if (rows == rows_ && cols == cols_ && pad == pad_) return;
        rows_ = rows;
        cols_ = cols;
        pad_ = pad;
        stride_ = cols + 2 * pad;
        values_.assign(static_cast<std::size_t>(rows + 2 * pad) * stride_, 0.0f);
    }

    // Row i in data coordinates (-pad <= i < rows + pad), indexed by data column
    // (-pad <= j < cols + pad).
    float* row(int i) { return values_.data() + static_cast<std::size_t>(i + pad_) * stride_ + pad_; }
    const float* row(int i) const { return values_.data() + static_cast<std::size_t>(i + pad_) * stride_ + pad_; }

    // Mirror about the edges, the edge sample repeated (column -1-j takes column j,
    // column cols+j takes column cols-1-j); rows only within the data columns.
    void Mirror() {
        for (int i = 0; i < rows_; ++i) {
            float* r = row(i);
            for (int j = 0; j < pad_; ++j) {
                r[-1 - j] = r[j];
                r[cols_ + j] = r[cols_ - 1 - j];
            }
        }
        for (int i = 0; i < pad_; ++i) {
            std::copy_n(row(i), cols_, row(-1 - i));
            std::copy_n(row(rows_ - 1 - i), cols_, row(rows_ + i));
        }
    }

private:
    int rows_ = 0, cols_ = 0, pad_ = 0, stride_ = 0;
    std::vector<float> values_;
};

// Scratch rows of the window sums.
struct WindowBuffers {
    std::vector<double> columnSums;  // the window's column sums at the current row
    cv::Mat rowMeans;                // the window means along the current row (1 x cols, CV_64F)
};

// The buffers of the energy computation, kept from frame to frame of a run.
struct EnergyWorkspace {
    Padded a, b, c;
    cv::Mat detail;  // CV_32F, one detail at a time
    WindowBuffers window;
};

// Adds to `out` (CV_64F, the size of `detail`) the local root-mean-square of `detail`
// at the interior positions (see WindowRms). The column sums of w rows are carried
// down row by row, so the image is read in memory order; each column's running sum
// takes the same additions in the same order as a walk down that column would. The
// square roots of a row are taken together (vectorised, correctly rounded like
// std::sqrt).
void AddWindowRms(const cv::Mat& detail, int window, cv::Mat& out, WindowBuffers& buffers) {
    const int rows = detail.rows, cols = detail.cols;
    const int h = (window - 1) / 2;
    const int lastRow = rows - 1 - h, lastCol = cols - 1 - h;
    const int interior = lastCol - h + 1;
    const double area = double(window) * window;
    buffers.columnSums.assign(static_cast<std::size_t>(cols), 0.0);
    buffers.rowMeans.create(1, interior, CV_64F);
    double* cs = buffers.columnSums.data();
    double* means = buffers.rowMeans.ptr<double>();
    for (int r = 0; r < window; ++r) {
        const float* d = detail.ptr<float>(r);
        for (int k = 0; k < cols; ++k) cs[k] += double(d[k]) * double(d[k]);
    }
    for (int r = h; r <= lastRow; ++r) {
        if (r > h) {
            const float* entering = detail.ptr<float>(r + h);
            const float* leaving = detail.ptr<float>(r - h - 1);
            for (int k = 0; k < cols; ++k)
                cs[k] += double(entering[k]) * double(entering[k]) - double(leaving[k]) * double(leaving[k]);
        }
        double sum = 0.0;
        for (int k = 0; k < window; ++k) sum += cs[k];
        means[0] = sum / area;
        for (int k = h + 1; k <= lastCol; ++k) {
            sum += cs[k + h] - cs[k - h - 1];
            means[k - h] = sum / area;
        }
        cv::sqrt(buffers.rowMeans, buffers.rowMeans);
        double* o = out.ptr<double>(r) + h;
        for (int k = 0; k < interior; ++k) o[k] += means[k];
    }
}

// Every position of `m` outside the interior of a w x w window takes the value of the
// nearest interior position.
void CopyInteriorOutward(cv::Mat& m, int window) {
    const int h = (window - 1) / 2;
    const int lastRow = m.rows - 1 - h, lastCol = m.cols - 1 - h;
    for (int r = h; r <= lastRow; ++r) {
        double* o = m.ptr<double>(r);
        std::fill(o, o + h, o[h]);
        std::fill(o + lastCol + 1, o + m.cols, o[lastCol]);
    }
    for (int r = 0; r < h; ++r) m.row(h).copyTo(m.row(r));
    for (int r = lastRow + 1; r < m.rows; ++r) m.row(lastRow).copyTo(m.row(r));
}

// The a-trous decomposition (see WaveletDecompose), handing each detail d for which
// wanted(d) holds to use(d, detail) as soon as it is computed; the detail matrix is
// reused for the next one.
template <typename Wanted, typename Use>
void DecomposeLevels(const cv::Mat& polar, int levels, std::uint8_t* const* approximation, EnergyWorkspace& w,
                     Wanted wanted, Use use) {
    const int rows = polar.rows, cols = polar.cols;
    const int pad = 1 << levels;
    w.a.Resize(rows, cols, pad);
    w.b.Resize(rows, cols, pad);
    w.c.Resize(rows, cols, pad);
    w.detail.create(rows, cols, CV_32F);
    const int channels = polar.channels();
    for (int i = 0; i < rows; ++i) {
        const std::uint8_t* src = polar.ptr<std::uint8_t>(i);
        float* a = w.a.row(i);
        for (int j = 0; j < cols; ++j) a[j] = src[static_cast<std::size_t>(j) * channels];
    }
    // detail[i][j] = (m[i + s][j] - m[i + 2s][j]) / 2
    const auto rowDifference = [&](const Padded& m, int s) {
        for (int i = 0; i < rows; ++i) {
            const float* near = m.row(i + s);
            const float* far = m.row(i + 2 * s);
            float* d = w.detail.ptr<float>(i);
            for (int j = 0; j < cols; ++j) d[j] = (near[j] - far[j]) / 2.0f;
        }
    };
    for (int l = 1; l <= levels; ++l) {
        const int s = 1 << (l - 1);
        const int first = 3 * (l - 1);
        w.a.Mirror();
        for (int i = 0; i < rows; ++i) {
            const float* a = w.a.row(i);
            float* c = w.c.row(i);
            float* b = w.b.row(i);
            for (int j = 0; j < cols; ++j) {
                c[j] = (a[j + s] - a[j + 2 * s]) / 2.0f;
                b[j] = (a[j] + a[j - s]) / 2.0f;
            }
        }
        w.c.Mirror();
        w.b.Mirror();
        if (wanted(first)) {
            rowDifference(w.c, s);
            use(first, w.detail);
        }
        if (wanted(first + 1)) {
            for (int i = 0; i < rows; ++i) {
                const float* c = w.c.row(i);
                const float* back = w.c.row(i - s);
                float* d = w.detail.ptr<float>(i);
                for (int j = 0; j < cols; ++j) d[j] = (c[j] + back[j]) / 2.0f;
            }
            use(first + 1, w.detail);
        }
        if (wanted(first + 2)) {
            rowDifference(w.b, s);
            use(first + 2, w.detail);
        }
        for (int i = 0; i < rows; ++i) {
            const float* b = w.b.row(i);
            const float* back = w.b.row(i - s);
            float* a = w.a.row(i);
            for (int j = 0; j < cols; ++j) a[j] = (b[j] + back[j]) / 2.0f;
        }
    }
    if (approximation != nullptr) {
        for (int i = 0; i < rows; ++i) {
            const float* a = w.a.row(i);
            for (int j = 0; j < cols; ++j) approximation[i][j] = static_cast<std::uint8_t>(a[j]);
        }
    }
}

// The fused energy leaves out the row difference of the column average of each level.
bool FusedDetail(int d) { return d % 3 != 2; }

bool FitsEnergyWindow(const cv::Mat& polar, int levels, int window) {
    const int rows = polar.rows, cols = polar.cols;
    return levels >= 1 && rows >= (1 << levels) && cols >= (1 << levels) && rows >= window && cols >= window;
}

// fused = RoundHalfUp(255 * fused / largest), the largest over the columns not flagged
// in `ignoredColumns` (all of them when it does not fit or flags every column).
void ScaleToLargest(cv::Mat& fused, const std::vector<bool>& ignoredColumns) {
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

// WaveletEnergyFeatures and FuseFeatures in one pass, without keeping the energies:
// each fused detail's window RMS is added to `fused` as soon as the detail exists.
// The sum runs over the details in the same order as FuseFeatures', so the result is
// the same to the last bit. Returns false when the polar image is too small.
bool FusedWaveletEnergy(const cv::Mat& polar, std::uint8_t* const* approximation, EnergyWorkspace& w,
                        const std::vector<bool>& ignoredColumns, cv::Mat& fused) {
    const int window = EnergyWindowSize(polar.cols, polar.rows);
    if (!FitsEnergyWindow(polar, kWaveletLevels, window)) return false;
    fused.create(polar.rows, polar.cols, CV_64F);
    fused.setTo(0.0);
    DecomposeLevels(polar, kWaveletLevels, approximation, w, FusedDetail,
                    [&](int, const cv::Mat& detail) { AddWindowRms(detail, window, fused, w.window); });
    CopyInteriorOutward(fused, window);
    ScaleToLargest(fused, ignoredColumns);
    return true;
}

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
    if (window < 1 || detail.rows < window || detail.cols < window) return false;
    rms.create(detail.rows, detail.cols, CV_64F);
    rms.setTo(0.0);
    WindowBuffers buffers;
    AddWindowRms(detail, window, rms, buffers);
    CopyInteriorOutward(rms, window);
    return true;
}

void WaveletDecompose(const cv::Mat& polar, int levels, std::vector<cv::Mat>& details,
                      std::uint8_t* const* approximation) {
    details.assign(static_cast<std::size_t>(3 * levels), cv::Mat());
    EnergyWorkspace w;
    DecomposeLevels(
        polar, levels, approximation, w, [](int) { return true; },
        [&](int d, const cv::Mat& detail) { detail.copyTo(details[d]); });
}

bool WaveletEnergyFeatures(const cv::Mat& polar, std::vector<cv::Mat>& energies,
                           std::uint8_t* const* approximation, int levels) {
    const int window = EnergyWindowSize(polar.cols, polar.rows);
    if (!FitsEnergyWindow(polar, levels, window)) return false;
    std::vector<cv::Mat> details;
    WaveletDecompose(polar, levels, details, approximation);
    energies.assign(details.size(), cv::Mat());
    for (std::size_t d = 0; d < details.size(); ++d) WindowRms(details[d], window, energies[d]);
    return true;
}

void FuseFeatures(const std::vector<cv::Mat>& energies, cv::Mat& fused, const std::vector<bool>& ignoredColumns) {
    if (energies.empty()) {
        fused.release();
        return;
    }
    fused = cv::Mat::zeros(energies[0].size(), CV_64F);
    for (std::size_t d = 0; d < energies.size(); ++d) {
        if (FusedDetail(static_cast<int>(d))) fused += energies[d];
    }
    ScaleToLargest(fused, ignoredColumns);
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
    // Row by row outward, in memory order; a column is done once it has its radius.
    std::fill(lumen, lumen + fused.cols, -1);
    int open = fused.cols;
    for (int r = std::max(catheterRadius, 0); r < fused.rows && open > 0; ++r) {
        const double* f = fused.ptr<double>(r);
        for (int k = 0; k < fused.cols; ++k) {
            if (lumen[k] < 0 && f[k] >= threshold) {
                lumen[k] = r;
                --open;
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
        EnergyWorkspace workspace;
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
            const std::vector<bool> shadowed = FindShadowedDirections(polar, rc);
            const std::vector<bool> lumenGaps = WidenColumns(shadowed, reach + h, h);
            approximations.emplace_back(A, R);
            if (!FusedWaveletEnergy(polar, approximations.back().get(), workspace, lumenGaps, fused)) {
                result.status = DetectionStatus::GeometryRefused;
                result.message = "The polar image is too small for the automatic detection";
                return result;
            }
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
