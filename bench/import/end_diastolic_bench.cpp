// End-diastolic selection over a synthetic IVUS pull-back of 512 x 512 grey frames with
// the wizard's default parameters. The frames are written once per run into a temporary
// folder (that takes a while for 3,000 frames) and removed at exit.
#include "analysis/core/frame_matrix.h"
#include "import/core/end_diastolic.h"
#include "study/frame_files.h"
#include "tests/import/core/synthetic_ivus.h"

#include <benchmark/benchmark.h>

#include <opencv2/imgcodecs.hpp>

#include <filesystem>
#include <map>
#include <memory>

namespace {

using studyimport::testing::SyntheticIvus;

struct Recording {
    std::filesystem::path folder;
    std::string prefix;
    ~Recording()
    {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

// `brightNoise`: the ECG area is filled with noise up to 255 instead of dark noise, so
// most of its pixels pass the brightness test (the slow case of the trace marking).
const Recording& RecordingOf(int frames, bool brightNoise = false)
{
    static std::map<std::pair<int, bool>, std::unique_ptr<Recording>> cache;
    auto& slot = cache[{frames, brightNoise}];
    if (!slot) {
        slot = std::make_unique<Recording>();
        slot->folder = std::filesystem::temp_directory_path() /
                       ("kestrova-ed-bench-" + std::to_string(frames) + (brightNoise ? "b" : ""));
        std::filesystem::remove_all(slot->folder);
        std::filesystem::create_directories(slot->folder);
        slot->prefix = (slot->folder / "IVUS").string();
        SyntheticIvus ivus;
        ivus.width = 512;
        ivus.height = 512;
        ivus.ecgStartRow = 224;
        ivus.frames = frames;
        ivus.sweepSpeed = 4;
        if (brightNoise)
            ivus.ecgNoise = 255;
        for (int p = 5; p < frames; p += 9 + (p % 3))
            ivus.beats.push_back(p);
        ivus.Write(slot->prefix);
    }
    return *slot;
}

void BM_SelectEndDiastolicFrames(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    const Recording& rec = RecordingOf(frames, state.range(1) != 0);
    for (auto _ : state) {
        auto picked = studyimport::SelectEndDiastolicFrames(
            0, frames - 1, 224, 30.0, 60, 0.8, 30, rec.prefix);
        benchmark::DoNotOptimize(picked);
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(frames) * state.iterations(),
                           benchmark::Counter::kIsRate);
}

// The share of the time spent decoding the frame files.
void BM_DecodeFramesOnly(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    const Recording& rec = RecordingOf(frames);
    for (auto _ : state)
        for (int f = 0; f < frames; ++f) {
            cv::Mat m = kestrova::analysis::ReadFrameMatrix(FrameFileName(FramePrefix(rec.prefix), f),
                                                            FramePixelFormat::Grey);
            benchmark::DoNotOptimize(m.data);
        }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(frames) * state.iterations(),
                           benchmark::Counter::kIsRate);
}

BENCHMARK(BM_SelectEndDiastolicFrames)->Args({300, 0})->Args({3000, 0})->Args({300, 1})->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_DecodeFramesOnly)->Arg(300)->Arg(3000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
