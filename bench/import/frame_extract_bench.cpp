// Extraction of a 300-frame 512 x 512 grey recording into JPEG frame files (on our
// thread pool), next to DCMTK's dcmj2pnm --all-frames +oj +Jq 83 (one thread, the same
// output quality as ours) on the same file: compare frames per second of the two as a
// ratio taken in one run. bench/jpeg_codec_ratios.sh takes medians of alternating runs,
// on all cores and on one, and checks the frames' pixels.
#include "import/core/frame_extractor.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int kFrames = 300;
constexpr int kSide = 512;

// The recording, written once per run with dump2dcm (native pixel data, explicit VR).
const fs::path& Workspace()
{
    static const fs::path dir = [] {
        const fs::path d = fs::temp_directory_path() / ("kestrova_extract_bench_" + std::to_string(::getpid()));
        fs::create_directories(d / "ours");
        fs::create_directories(d / "dcmtk");
        {
            std::ofstream raw(d / "pixels.raw", std::ios::binary);
            std::string frame(std::size_t(kSide) * kSide, '\0');
            for (int f = 0; f < kFrames; ++f) {
                for (int i = 0; i < kSide * kSide; ++i)
                    frame[i] = static_cast<char>(((i % kSide) / 2 + (i / kSide) / 3 + f * 5 + (i * 2654435761u >> 28)) & 0xFF);
                raw.write(frame.data(), std::streamsize(frame.size()));
            }
        }
        std::ofstream dump(d / "rec.dump");
        dump << "(0002,0010) UI =LittleEndianExplicit\n(0008,0016) UI =XRayAngiographicImageStorage\n"
                "(0008,0018) UI [1.2.3.4.5]\n(0028,0002) US 1\n(0028,0004) CS [MONOCHROME2]\n"
             << "(0028,0008) IS [" << kFrames << "]\n(0028,0010) US " << kSide << "\n(0028,0011) US " << kSide
             << "\n(0028,0100) US 8\n(0028,0101) US 8\n(0028,0102) US 7\n(0028,0103) US 0\n"
             << "(7fe0,0010) OB =" << (d / "pixels.raw").string() << "\n";
        dump.close();
        if (std::system(("dump2dcm +E -g " + (d / "rec.dump").string() + " " + (d / "rec.dcm").string()).c_str()) != 0)
            std::fprintf(stderr, "dump2dcm failed\n");
        fs::remove(d / "pixels.raw");
        std::atexit([] { std::error_code ec; fs::remove_all(Workspace(), ec); });
        return d;
    }();
    return dir;
}

void BM_ExtractFramesToJpeg(benchmark::State& state)
{
    const fs::path& d = Workspace();
    for (auto _ : state) {
        studyimport::FrameExtractor extractor(studyimport::OpenDicomFrameSource((d / "rec.dcm").string()),
                                              studyimport::NewBaselineJpegWriter(), (d / "ours").string() + "/",
                                              "IVUS");
        benchmark::DoNotOptimize(extractor.Run());
    }
    state.counters["frames/s"] = benchmark::Counter(double(kFrames) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExtractFramesToJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Dcmj2pnmAllFramesSameFile(benchmark::State& state)
{
    if (std::system("command -v dcmj2pnm >/dev/null 2>&1") != 0) {
        state.SkipWithError("dcmj2pnm is not installed");
        return;
    }
    const fs::path& d = Workspace();
    const std::string command =
        "dcmj2pnm --all-frames +oj +Jq 83 " + (d / "rec.dcm").string() + " " + (d / "dcmtk" / "f").string() + " > /dev/null 2>&1";
    for (auto _ : state)
        benchmark::DoNotOptimize(std::system(command.c_str()));
    state.counters["frames/s"] = benchmark::Counter(double(kFrames) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Dcmj2pnmAllFramesSameFile)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
