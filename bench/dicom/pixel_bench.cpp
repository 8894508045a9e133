// Decoding every frame of a 300-frame 512 x 512 8-bit recording, native and
// RLE, next to DCMTK's dcm2pnm --all-frames on the same files (which also
// writes each frame as a PGM file): compare the times as ratios.
#include "dicom/base/stream.h"
#include "dicom/base/streamReader.h"
#include "dicom/base/streamWriter.h"
#include "dicom/core/codecFactory.h"
#include "dicom/core/dataHandlerRaw.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace Halvoran;
using namespace Halvoran::Varnix;

namespace
{
constexpr std::uint32_t frames = 300;
constexpr std::uint32_t side = 512;

const std::string& scratchFolder()
{
    static const std::string folder = [] {
        std::string name = "/tmp/dicom_bench_pixels_XXXXXX";
        if (::mkdtemp(name.data()) == nullptr)
            std::abort();
        std::atexit([] { std::system(("rm -rf " + scratchFolder()).c_str()); });
        return name;
    }();
    return folder;
}

// A native recording with the smooth areas and noise of an angiogram.
const std::string& nativeFile()
{
    static const std::string path = [] {
        const std::string name = scratchFolder() + "/native.dcm";
        ptr<dataSet> source(new dataSet(ptr<baseObject>(new baseObject)));
        source->setUnicodeString(0x0002, 0, 0x0010, 0, L"1.2.840.10008.1.2.1");
        source->setUnicodeString(0x0002, 0, 0x0002, 0, L"1.2.840.10008.5.1.4.1.1.12.1");
        source->setUnicodeString(0x0002, 0, 0x0003, 0, L"1.2.3.4.5");
        source->setUnicodeString(0x0008, 0, 0x0016, 0, L"1.2.840.10008.5.1.4.1.1.12.1");
        source->setUnicodeString(0x0008, 0, 0x0018, 0, L"1.2.3.4.5");
        source->setUnicodeString(0x0028, 0, 0x0004, 0, L"MONOCHROME2");
        source->setUnicodeString(0x0028, 0, 0x0008, 0, std::to_wstring(frames));
        source->setUnsignedLong(0x0028, 0, 0x0002, 0, 1);
        source->setUnsignedLong(0x0028, 0, 0x0010, 0, side);
        source->setUnsignedLong(0x0028, 0, 0x0011, 0, side);
        source->setUnsignedLong(0x0028, 0, 0x0100, 0, 8);
        source->setUnsignedLong(0x0028, 0, 0x0101, 0, 8);
        source->setUnsignedLong(0x0028, 0, 0x0102, 0, 7);
        source->setUnsignedLong(0x0028, 0, 0x0103, 0, 0);
        {
            ptr<handlers::dataHandlerRaw> pixels = source->getDataHandlerRaw(0x7FE0, 0, 0x0010, 0, true, "OB");
            pixels->setSize(frames * side * side);
            std::uint32_t noise = 1;
            std::uint8_t* p = pixels->getMemoryBuffer();
            for (std::uint32_t f = 0; f < frames; ++f)
                for (std::uint32_t y = 0; y < side; ++y)
                    for (std::uint32_t x = 0; x < side; ++x)
                    {
                        noise = noise * 1103515245u + 12345u;
                        const bool flat = (x / 64 + y / 64 + f / 8) % 3 == 0;
                        *p++ = static_cast<std::uint8_t>(flat ? 40 : (x + y + f) / 4 + ((noise >> 16) & 7));
                    }
        }
        ptr<stream> out(new stream);
        out->openFile(name, std::ios_base::out | std::ios_base::trunc);
        ptr<streamWriter> writer(new streamWriter(out));
        codecs::codecFactory::getCodec(L"1.2.840.10008.1.2.1")->writeStream(writer, source);
        writer->flush();
        return name;
    }();
    return path;
}

// The same recording compressed by DCMTK's RLE coder (empty without it).
const std::string& rleFile()
{
    static const std::string path = [] {
        const std::string name = scratchFolder() + "/rle.dcm";
        if (std::system(("dcmcrle -q " + nativeFile() + " " + name + " 2>/dev/null").c_str()) != 0)
            return std::string();
        return name;
    }();
    return path;
}

void decodeAll(benchmark::State& state, const std::string& path)
{
    if (path.empty())
    {
        state.SkipWithError("dcmcrle is not installed");
        return;
    }
    for (auto _ : state)
    {
        ptr<stream> file(new stream);
        file->openFile(path, std::ios_base::in);
        ptr<dataSet> loaded = codecs::codecFactory::getCodecFactory()->load(ptr<streamReader>(new streamReader(file)), 2048);
        for (std::uint32_t frame = 0; frame < frames; ++frame)
            benchmark::DoNotOptimize(loaded->getImage(frame));
    }
    state.SetItemsProcessed(state.iterations() * frames);
}

void dcm2pnmAll(benchmark::State& state, const std::string& path)
{
    if (path.empty() || std::system("command -v dcm2pnm >/dev/null 2>&1") != 0)
    {
        state.SkipWithError("DCMTK is not installed");
        return;
    }
    const std::string command = "dcm2pnm -q --all-frames " + path + " " + scratchFolder() + "/frame";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("dcm2pnm failed");
    state.SetItemsProcessed(state.iterations() * frames);
}

void BM_DecodeAllFramesNative(benchmark::State& state)
{
    decodeAll(state, nativeFile());
}
void BM_Dcm2pnmAllFramesNative(benchmark::State& state)
{
    dcm2pnmAll(state, nativeFile());
}
void BM_DecodeAllFramesRLE(benchmark::State& state)
{
    decodeAll(state, rleFile());
}
void BM_Dcm2pnmAllFramesRLE(benchmark::State& state)
{
    dcm2pnmAll(state, rleFile());
}
} // namespace

BENCHMARK(BM_DecodeAllFramesNative)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Dcm2pnmAllFramesNative)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeAllFramesRLE)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Dcm2pnmAllFramesRLE)->Unit(benchmark::kMillisecond)->UseRealTime();
