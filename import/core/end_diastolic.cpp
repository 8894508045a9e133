#include "import/core/end_diastolic.h"

#include "analysis/core/frame_matrix.h"
#include "import/core/progress_reporter.h"
#include "study/frame_files.h"

#include <opencv2/core.hpp>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <memory>
#include <ostream>

namespace studyimport {

namespace {

constexpr std::int32_t kPeakHistory = 10;
constexpr double kPeakFactor = 0.6;

std::string FramePath(const std::string& prefix, long long frame)
{
    return FrameFileName(FramePrefix(prefix), frame);
}

// The 3 x 3 neighbourhood test: sqrt(sum of squared differences from the mean / 8) >
// specificity, computed in floating point as written. The exact value comes cheaply
// from integer sums (9 * sum of squared differences = 9 * sum of squares - sum^2); only
// when it lies within rounding distance of the threshold is the floating-point formula
// evaluated, so the answer is always the formula's own.
inline double LiteralDeviation(const std::uint8_t* above, const std::uint8_t* row,
                               const std::uint8_t* below)
{
    const std::uint8_t* r[3] = {above, row, below};
    double sum = 0.0;
    for (int dy = 0; dy < 3; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            sum += r[dy][dx];
    const double mean = sum / 9.0;
    double squares = 0.0;
    for (int dy = 0; dy < 3; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const double d = r[dy][dx] - mean;
            squares += d * d;
        }
    return std::sqrt(squares / 8.0);
}

inline bool IsBusy(const std::uint8_t* above, const std::uint8_t* row, const std::uint8_t* below,
                   double specificity)
{
    if (std::isnan(specificity))
        return false;
    if (specificity < 0.0)
        return true; // the deviation is never negative
    int sum = 0, squares = 0;
    for (const std::uint8_t* r : {above, row, below})
        for (int dx = -1; dx <= 1; ++dx) {
            const int v = r[dx];
            sum += v;
            squares += v * v;
        }
    // Exact variance with divisor 8: (9 * squares - sum^2) / 72.
    const double variance = static_cast<double>(9 * squares - sum * sum) / 72.0;
    const double limit = specificity * specificity;
    if (variance > limit * (1.0 + 1e-9))
        return true;
    if (variance < limit * (1.0 - 1e-9))
        return false;
    return LiteralDeviation(above, row, below) > specificity;
}

// Working data of one selection, sized from the first frame and reused for every frame.
class TraceChangeMeter {
public:
    TraceChangeMeter(int width, int height, int startRow, int window)
        : width_(width), startRow_(startRow), window_(window),
          rows_(height - startRow), cols_(width + 2 * window),
          ecg_(rows_, cols_, CV_8UC1, cv::Scalar(0)),
          strips_((cols_ + window - 1) / window),
          current_(strips_, 0), previous_(strips_, 0)
    {
    }

    // Marks the trace pixels of `frame` (a grey frame of the first frame's size) and
    // sums them per strip.
    void Mark(const cv::Mat& frame, double specificity, int luminance)
    {
        for (int y = 0; y < rows_; ++y)
            std::memcpy(ecg_.ptr<std::uint8_t>(y) + window_, frame.ptr<std::uint8_t>(y + startRow_),
                        static_cast<std::size_t>(width_));

        std::fill(current_.begin(), current_.end(), 0);
        count_ = 0;
        for (int y = 1; y + 1 < rows_; ++y) {
            const std::uint8_t* above = ecg_.ptr<std::uint8_t>(y - 1);
            const std::uint8_t* row = ecg_.ptr<std::uint8_t>(y);
            const std::uint8_t* below = ecg_.ptr<std::uint8_t>(y + 1);
            for (int x = 1; x + 1 < cols_; ++x) {
                const int v = row[x];
                // The brightness test is the cheaper of the two; both must hold.
                if (!(v > luminance))
                    continue;
                if (IsBusy(above + x, row + x, below + x, specificity)) {
                    current_[static_cast<std::size_t>(x / window_)] += v;
                    ++count_;
                }
            }
        }
    }

    // Largest strip change from the previous frame's trace to this one, per trace pixel
    // of this frame; never below the smallest positive double.
    double Change() const
    {
        const double count = count_ == 0 ? 1.0 : static_cast<double>(count_);
        double peak = DBL_MIN;
        for (std::size_t s = 0; s < current_.size(); ++s) {
            // Trace values are whole numbers, so the strip sums are exact and their
            // difference equals the sum of the per-pixel differences.
            const double value = static_cast<double>(current_[s] - previous_[s]) / count;
            if (value > peak)
                peak = value;
        }
        return peak;
    }

    void Advance() { previous_.swap(current_); }

private:
    int width_;
    int startRow_;
    int window_;
    int rows_;
    int cols_;
    cv::Mat ecg_;
    std::size_t strips_;
    std::vector<long long> current_;
    std::vector<long long> previous_;
    long long count_ = 0;
};

cv::Mat LoadGreyFrame(const std::string& path)
{
    try {
        return kestrova::analysis::ReadFrameMatrix(path, FramePixelFormat::Grey);
    } catch (const FrameFileError&) {
        throw EndDiastolicError("Cannot read frame file " + path);
    }
}

} // namespace

std::vector<double> ComputeEcgChangeSignal(std::int32_t first, std::int32_t last,
                                           std::int32_t ecgStartRow, double specificity,
                                           std::int32_t luminance, std::int32_t window,
                                           const std::string& prefix,
                                           const EcgSelectionHooks& hooks)
{
    if (ecgStartRow < EcgParameters::kMinStartRow || ecgStartRow > EcgParameters::kMaxStartRow)
        throw EndDiastolicError("ECG start row " + std::to_string(ecgStartRow) +
                                " is outside 0 .. " +
                                std::to_string(EcgParameters::kMaxStartRow));
    if (window < EcgParameters::kMinWindow || window > EcgParameters::kMaxWindow)
        throw EndDiastolicError("Window " + std::to_string(window) + " is outside " +
                                std::to_string(EcgParameters::kMinWindow) + " .. " +
                                std::to_string(EcgParameters::kMaxWindow));

    std::vector<double> signal;
    if (last < first)
        return signal;
    const long long steps = static_cast<long long>(last) - first;

    ProgressGuard progress(hooks.progress, "Automatic selection of end diastolic frames",
                           static_cast<int>(steps));
    std::unique_ptr<TraceChangeMeter> meter;
    int width = 0, height = 0;
    for (long long f = first; f <= last; ++f) {
        if (hooks.log)
            *hooks.log << "Starting processing of image #" << f << "\n";
        const std::string path = FramePath(prefix, f);
        const cv::Mat frame = LoadGreyFrame(path);
        if (ecgStartRow > frame.rows) {
            if (hooks.log)
                *hooks.log << "ECG position cannot exceed image dimensions!\n";
            throw EndDiastolicError("ECG position cannot exceed image dimensions!");
        }
        if (!meter) {
            width = frame.cols;
            height = frame.rows;
            meter = std::make_unique<TraceChangeMeter>(width, height, ecgStartRow, window);
            signal.reserve(static_cast<std::size_t>(steps));
        } else if (frame.cols != width || frame.rows != height) {
            throw EndDiastolicError("Frame file " + path + " is " + std::to_string(frame.cols) +
                                    " x " + std::to_string(frame.rows) + ", the first frame " +
                                    std::to_string(width) + " x " + std::to_string(height));
        }
        meter->Mark(frame, specificity, luminance);
        if (f > first)
            signal.push_back(meter->Change());
        meter->Advance();
        progress.Step();
    }
    return signal;
}

PickedFrameList PickSignalPeaks(std::span<const double> signal, std::int32_t first,
                                std::int32_t last, std::int32_t history, double factor)
{
    const long long n = static_cast<long long>(last) - first;
    if (history < 1)
        throw std::invalid_argument("PickSignalPeaks: the history must be at least 1");
    if (n <= history)
        return std::nullopt;
    if (static_cast<long long>(signal.size()) < n)
        throw std::invalid_argument("PickSignalPeaks: the signal is shorter than the frame range");

    std::vector<std::int32_t> list(static_cast<std::size_t>(n), 0);
    std::size_t j = 0;
    for (long long i = history + 1; i < n; ++i) {
        double sum = 0.0;
        for (long long t = i - history; t <= i; ++t)
            sum += signal[static_cast<std::size_t>(t)];
        const double mean = sum / (history + 1);
        double squares = 0.0;
        for (long long t = i - history; t <= i; ++t) {
            const double d = signal[static_cast<std::size_t>(t)] - mean;
            squares += d * d;
        }
        const double s = std::sqrt(squares / history);
        if (signal[static_cast<std::size_t>(i)] > mean + factor * s)
            list[j++] = static_cast<std::int32_t>(i + 1);
    }

    // One thinning pass: the successor of a kept number is dropped; the number after a
    // dropped one is not compared with the kept one again.
    for (std::size_t p = 0; p + 1 < j; ++p) {
        if (list[p + 1] == list[p] + 1) {
            for (std::size_t q = p + 1; q + 1 < j; ++q)
                list[q] = list[q + 1];
            list[j - 1] = 0;
        }
    }
    return list;
}

PickedFrameList SelectEndDiastolicFrames(std::int32_t first, std::int32_t last,
                                         std::int32_t ecgStartRow, double specificity,
                                         std::int32_t luminance, double /*sensitivity*/,
                                         std::int32_t window, const std::string& prefix,
                                         const EcgSelectionHooks& hooks)
{
    const std::vector<double> signal = ComputeEcgChangeSignal(
        first, last, ecgStartRow, specificity, luminance, window, prefix, hooks);
    if (hooks.log)
        *hooks.log << "Results:\n";
    return PickSignalPeaks(signal, first, last, kPeakHistory, kPeakFactor);
}

} // namespace studyimport
