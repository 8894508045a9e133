// Decoding and encoding of 512 x 512 frames, grey and colour, at two
// qualities, by the toolkit's JPEG codec and, for the ratio, by libjpeg-turbo's
// API in the same binary (its SIMD is switched off by running with
// JSIMD_FORCENONE=1; bench/jpeg_codec_ratios.sh runs both). Arguments:
// channels, then the quality on libjpeg's scale (83: our quality value 100,
// the frame extraction's; 95: our 30). Frames per second are reported as items
// per second.
#include "dicom/base/memory.h"
#include "dicom/base/memoryStream.h"
#include "dicom/base/streamReader.h"
#include "dicom/base/streamWriter.h"
#include "dicom/core/jpegCodec.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <random>

#ifdef KESTROVA_HAVE_TURBOJPEG
#include <turbojpeg.h>
#endif

using namespace Halvoran;
using namespace Halvoran::Varnix::codecs;

namespace
{

constexpr std::uint32_t frameSize = 512;

// An ultrasound-like frame: a smooth base with speckle.
jpegSamples makeFrame(std::uint32_t channels)
{
    jpegSamples samples;
    samples.m_width = frameSize;
    samples.m_height = frameSize;
    samples.m_channels = channels;
    samples.m_colorSpace = channels == 1 ? "MONOCHROME2" : "RGB";
    std::mt19937 random(5);
    std::normal_distribution<double> noise(0.0, 10.0);
    for (std::uint32_t y = 0; y < frameSize; ++y)
        for (std::uint32_t x = 0; x < frameSize; ++x)
            for (std::uint32_t c = 0; c < channels; ++c)
            {
                const double base = 110 + 80 * std::sin(0.02 * x + c) * std::cos(0.015 * y);
                samples.m_values.push_back(std::clamp(static_cast<int>(base + noise(random)), 0, 255));
            }
    return samples;
}

// Our quality value for libjpeg's: its scale factor (200 - 2q) % of the
// standard tables is ours / 300.
int ourQuality(int libjpegQuality)
{
    return (200 - 2 * libjpegQuality) * 3;
}

std::string encodeOurs(const jpegSamples& frame, int libjpegQuality)
{
    ptr<memory> block(new memory);
    {
        ptr<streamWriter> writer(new streamWriter(ptr<baseStream>(new memoryStream(block))));
        ptr<jpegCodec> codec(new jpegCodec);
        codec->encodeSamples(writer, frame, L"1.2.840.10008.1.2.4.50", ourQuality(libjpegQuality), 8, false, false,
                             frame.m_channels > 1, false);
        writer->m_pTagByte = nullptr;
    }
    return std::string(reinterpret_cast<const char*>(block->data()), block->size());
}

void BM_OurEncode(benchmark::State& state)
{
    const jpegSamples frame = makeFrame(static_cast<std::uint32_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(encodeOurs(frame, static_cast<int>(state.range(1))));
    state.SetItemsProcessed(state.iterations());
}

void BM_OurDecode(benchmark::State& state)
{
    const std::string bytes =
        encodeOurs(makeFrame(static_cast<std::uint32_t>(state.range(0))), static_cast<int>(state.range(1)));
    ptr<memory> block(new memory);
    block->assign(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
    for (auto _ : state)
    {
        ptr<streamReader> reader(new streamReader(ptr<baseStream>(new memoryStream(block))));
        ptr<jpegCodec> codec(new jpegCodec);
        benchmark::DoNotOptimize(codec->decodeSamples(reader, false));
        reader->m_pTagByte = nullptr;
    }
    state.SetItemsProcessed(state.iterations());
}

#define KESTROVA_JPEG_CASES ArgsProduct({{1, 3}, {83, 95}})->Unit(benchmark::kMillisecond)
BENCHMARK(BM_OurEncode)->KESTROVA_JPEG_CASES;
BENCHMARK(BM_OurDecode)->KESTROVA_JPEG_CASES;

#ifdef KESTROVA_HAVE_TURBOJPEG

// The same frame and quality, no subsampling, Huffman tables optimised for
// the frame as ours always are.
void BM_TurboEncode(benchmark::State& state)
{
    setenv("TJ_OPTIMIZE", "1", 1);
    const int channels = static_cast<int>(state.range(0));
    const jpegSamples frame = makeFrame(static_cast<std::uint32_t>(channels));
    std::vector<unsigned char> pixels(frame.m_values.begin(), frame.m_values.end());
    tjhandle handle = tjInitCompress();
    for (auto _ : state)
    {
        unsigned char* out = nullptr;
        unsigned long size = 0;
        tjCompress2(handle, pixels.data(), frameSize, 0, frameSize, channels == 1 ? TJPF_GRAY : TJPF_RGB, &out, &size,
                    channels == 1 ? TJSAMP_GRAY : TJSAMP_444, static_cast<int>(state.range(1)), TJFLAG_ACCURATEDCT);
        benchmark::DoNotOptimize(out);
        tjFree(out);
    }
    tjDestroy(handle);
    state.SetItemsProcessed(state.iterations());
}

void BM_TurboDecode(benchmark::State& state)
{
    const int channels = static_cast<int>(state.range(0));
    const std::string bytes = encodeOurs(makeFrame(static_cast<std::uint32_t>(channels)), static_cast<int>(state.range(1)));
    std::vector<unsigned char> pixels(static_cast<std::size_t>(frameSize) * frameSize * channels);
    tjhandle handle = tjInitDecompress();
    for (auto _ : state)
    {
        tjDecompress2(handle, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), pixels.data(),
                      frameSize, 0, frameSize, channels == 1 ? TJPF_GRAY : TJPF_RGB, TJFLAG_ACCURATEDCT);
        benchmark::DoNotOptimize(pixels.data());
    }
    tjDestroy(handle);
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_TurboEncode)->KESTROVA_JPEG_CASES;
BENCHMARK(BM_TurboDecode)->KESTROVA_JPEG_CASES;

#endif

} // namespace
