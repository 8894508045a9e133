// Reading the header of a 300-frame 512 x 512 multi-frame file and locating
// every frame in it (the pixel data stays in the file), next to dcmdump
// reading the same file: compare the two times as a ratio.
#include "dicom/base/stream.h"
#include "dicom/base/streamReader.h"
#include "dicom/base/streamWriter.h"
#include "dicom/core/codecFactory.h"
#include "dicom/core/dataHandlerRaw.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace Halvoran;
using namespace Halvoran::Varnix;

namespace
{
constexpr std::uint32_t frames = 300;
constexpr std::uint32_t side = 512;

const std::string& benchFile()
{
    static const std::string path = [] {
        const std::string name = "/tmp/dicom_bench_frames_" + std::to_string(::getpid()) + ".dcm";
        ptr<dataSet> source(new dataSet(ptr<baseObject>(new baseObject)));
        source->setUnicodeString(0x0002, 0, 0x0010, 0, L"1.2.840.10008.1.2.1");
        source->setUnicodeString(0x0008, 0, 0x0016, 0, L"1.2.840.10008.5.1.4.1.1.12.1");
        source->setUnicodeString(0x0010, 0, 0x0010, 0, L"Bench^Frames");
        source->setUnicodeString(0x0028, 0, 0x0004, 0, L"MONOCHROME2");
        source->setUnicodeString(0x0028, 0, 0x0008, 0, std::to_wstring(frames));
        source->setUnsignedLong(0x0028, 0, 0x0002, 0, 1);
        source->setUnsignedLong(0x0028, 0, 0x0010, 0, side);
        source->setUnsignedLong(0x0028, 0, 0x0011, 0, side);
        source->setUnsignedLong(0x0028, 0, 0x0100, 0, 8);
        source->setUnsignedLong(0x0028, 0, 0x0101, 0, 8);
        source->setUnsignedLong(0x0028, 0, 0x0102, 0, 7);
        {
            ptr<handlers::dataHandlerRaw> pixels = source->getDataHandlerRaw(0x7FE0, 0, 0x0010, 0, true, "OB");
            pixels->setSize(frames * side * side);
            for (std::uint32_t i = 0; i < frames * side * side; ++i)
                pixels->getMemoryBuffer()[i] = static_cast<std::uint8_t>(i * 31 + i / 4099);
        }
        ptr<stream> out(new stream);
        out->openFile(name, std::ios_base::out | std::ios_base::trunc);
        ptr<streamWriter> writer(new streamWriter(out));
        codecs::codecFactory::getCodec(L"1.2.840.10008.1.2.1")->writeStream(writer, source);
        writer->flush();
        std::atexit([] { std::remove(benchFile().c_str()); });
        return name;
    }();
    return path;
}

void BM_ReadHeaderAndLocateFrames(benchmark::State& state)
{
    const std::string& path = benchFile();
    for (auto _ : state)
    {
        ptr<stream> file(new stream);
        file->openFile(path, std::ios_base::in);
        ptr<dataSet> loaded = codecs::codecFactory::getCodecFactory()->load(ptr<streamReader>(new streamReader(file)), 2048);
        const std::uint32_t count = loaded->getUnsignedLong(0x0028, 0, 0x0008, 0);
        const std::uint32_t frameSize =
            loaded->getUnsignedLong(0x0028, 0, 0x0010, 0) * loaded->getUnsignedLong(0x0028, 0, 0x0011, 0);
        ptr<streamReader> pixels = loaded->getStream(0x7FE0, 0, 0x0010, 0);
        std::uint8_t first = 0;
        for (std::uint32_t frame = 0; frame < count; ++frame)
        {
            pixels->seek(static_cast<std::int64_t>(frame) * frameSize);
            pixels->read(&first, 1);
        }
        benchmark::DoNotOptimize(first);
    }
}
BENCHMARK(BM_ReadHeaderAndLocateFrames)->Unit(benchmark::kMillisecond);

void BM_DcmdumpSameFile(benchmark::State& state)
{
    if (std::system("command -v dcmdump >/dev/null 2>&1") != 0)
    {
        state.SkipWithError("dcmdump is not installed");
        return;
    }
    const std::string command = "dcmdump -q -M '" + benchFile() + "' > /dev/null";
    for (auto _ : state)
        benchmark::DoNotOptimize(std::system(command.c_str()));
}
BENCHMARK(BM_DcmdumpSameFile)->Unit(benchmark::kMillisecond);
} // namespace
