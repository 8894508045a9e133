#pragma once
// Automatic choice of the end-diastolic frames of an IVUS recording from the ECG trace
// burnt into the bottom rows of its frames.
//
// For every frame the ECG area (rows R .. H-1, padded with w zero columns on each side)
// is searched for trace pixels: brighter than the luminance threshold and with a 3 x 3
// standard deviation above the specificity. The change of the trace from one frame to the
// next is measured in vertical strips w columns wide; the largest strip change, divided by
// the number of trace pixels, forms the change signal, whose peaks against their recent
// history are the picked frames.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace studyimport {

class ProgressReporter;

// Thrown when the selection cannot run: a frame file that cannot be read, a frame of
// another size than the first, parameters out of range.
class EndDiastolicError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parameters of the selection with the defaults of the wizard's editors, and the bounds
// the editors keep them in.
struct EcgParameters {
    static constexpr int kDefaultStartRow = 224;
    static constexpr double kDefaultSpecificity = 30.0;
    static constexpr int kDefaultLuminance = 60;
    static constexpr double kDefaultSensitivity = 0.8;
    static constexpr int kDefaultWindow = 30;

    static constexpr int kMinStartRow = 0;
    static constexpr int kMaxStartRow = 8192;
    static constexpr int kMinWindow = 1;
    static constexpr int kMaxWindow = 1024;
};

// Picked frames: the numbers v (each at least 1; v selects frame file first + v - 1),
// followed by zeros up to the signal's length. No list when the recording is too short.
using PickedFrameList = std::optional<std::vector<std::int32_t>>;

struct EcgSelectionHooks {
    ProgressReporter* progress = nullptr;
    // Diagnostic lines ("Starting processing of image #n", "Results:"); none when null.
    std::ostream* log = nullptr;
};

// The change signal of frames first .. last (files prefix + "." + n + ".jpg"): entry i
// belongs to the change from frame first + i to frame first + i + 1. Progress text
// "Automatic selection of end diastolic frames", one step per frame.
std::vector<double> ComputeEcgChangeSignal(std::int32_t first, std::int32_t last,
                                           std::int32_t ecgStartRow, double specificity,
                                           std::int32_t luminance, std::int32_t window,
                                           const std::string& prefix,
                                           const EcgSelectionHooks& hooks = {});

// The change signal's peaks: entry i (from history + 1 on) is a candidate when it exceeds
// the mean of the history + 1 entries ending at it by factor standard deviations; a run of
// consecutive candidates is thinned in one pass (a, a+1, a+2, a+3 keeps a and a+2).
// Uses the first last - first entries of `signal`; no list when there are at most
// `history` of them.
PickedFrameList PickSignalPeaks(std::span<const double> signal, std::int32_t first,
                                std::int32_t last, std::int32_t history, double factor);

// The whole selection: the change signal, then its peaks with a history of 10 and the
// factor 0.6. `sensitivity` is carried for the caller's editors; the peak test does not
// use it.
PickedFrameList SelectEndDiastolicFrames(std::int32_t first, std::int32_t last,
                                         std::int32_t ecgStartRow, double specificity,
                                         std::int32_t luminance, double sensitivity,
                                         std::int32_t window, const std::string& prefix,
                                         const EcgSelectionHooks& hooks = {});

} // namespace studyimport
