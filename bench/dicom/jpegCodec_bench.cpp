// Decoding and encoding of 512 x 512 frames, grey and colour, at two
// qualities, by the toolkit's JPEG codec and, for the ratio, by libjpeg-turbo
// in the same binary (its SIMD is switched off by running with
// JSIMD_FORCENONE=1; bench/jpeg_codec_ratios.sh runs both). Arguments:
// channels, then the quality on libjpeg's scale (83: our quality value 102,
// about the frame extraction's 100; 95: our 30); both encoders then use the
// same quantisation tables.
// Like for like: both encoders write the same format (grey, or R, G, B
// components with one table set, labelled by an Adobe segment, as the frame
// extraction writes colour), with Huffman tables optimised for the frame, no
// subsampling and the accurate integer transform. Each case reports what its
// output is worth: "bytes" and "psnr" (decoded by the other library, against
// the source) for the encoders, "maxdiff" (largest difference from the other
// decoder on the same stream) for the decoders.
#include "dicom/base/memory.h"
#include "dicom/base/memoryStream.h"
#include "dicom/base/streamReader.h"
#include "dicom/base/streamWriter.h"
#include "dicom/core/jpegCodec.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#ifdef KESTROVA_HAVE_TURBOJPEG
#include <jpeglib.h>
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
// standard tables is ours / 300 (both round to the nearest step).
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

double psnr(const jpegSamples& source, const std::vector<std::int32_t>& decoded)
{
    double squares = 0;
    const std::size_t count = std::min(source.m_values.size(), decoded.size());
    for (std::size_t i = 0; i < count; ++i)
    {
        const double d = source.m_values[i] - decoded[i];
        squares += d * d;
    }
    if (count != source.m_values.size() || count == 0)
        return 0;
    return squares == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 * static_cast<double>(count) / squares);
}

jpegSamples decodeOurs(const std::string& bytes)
{
    ptr<memory> block(new memory);
    block->assign(reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
    ptr<streamReader> reader(new streamReader(ptr<baseStream>(new memoryStream(block))));
    ptr<jpegCodec> codec(new jpegCodec);
    jpegSamples result = codec->decodeSamples(reader, false);
    reader->m_pTagByte = nullptr;
    return result;
}

#ifdef KESTROVA_HAVE_TURBOJPEG

// libjpeg-turbo's decode of a stream (accurate integer transform, no colour
// conversion for R, G, B streams); empty when it fails.
std::vector<std::int32_t> decodeTurbo(const std::string& bytes, int channels)
{
    std::vector<unsigned char> pixels(static_cast<std::size_t>(frameSize) * frameSize * channels);
    tjhandle handle = tjInitDecompress();
    const int status = tjDecompress2(handle, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                     pixels.data(), frameSize, 0, frameSize, channels == 1 ? TJPF_GRAY : TJPF_RGB,
                                     TJFLAG_ACCURATEDCT);
    tjDestroy(handle);
    if (status != 0)
        return {};
    return std::vector<std::int32_t>(pixels.begin(), pixels.end());
}

// libjpeg-turbo's encode in our format: grey, or R, G, B components (no
// conversion to YCbCr) sharing the luminance table, as ours.
std::string encodeTurbo(const std::vector<unsigned char>& pixels, int channels, int quality)
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = frameSize;
    info.image_height = frameSize;
    info.input_components = channels;
    info.in_color_space = channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, channels == 1 ? JCS_GRAYSCALE : JCS_RGB);
    jpeg_set_quality(&info, quality, TRUE);
    info.optimize_coding = TRUE;
    info.dct_method = JDCT_ISLOW;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height)
    {
        JSAMPROW row = const_cast<unsigned char*>(pixels.data()) +
                       static_cast<std::size_t>(info.next_scanline) * frameSize * channels;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(out), size);
    std::free(out);
    return bytes;
}

#endif

void BM_OurEncode(benchmark::State& state)
{
    const jpegSamples frame = makeFrame(static_cast<std::uint32_t>(state.range(0)));
    std::string bytes;
    for (auto _ : state)
    {
        bytes = encodeOurs(frame, static_cast<int>(state.range(1)));
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["bytes"] = static_cast<double>(bytes.size());
#ifdef KESTROVA_HAVE_TURBOJPEG
    state.counters["psnr"] = psnr(frame, decodeTurbo(bytes, static_cast<int>(state.range(0))));
#endif
}

void BM_OurDecode(benchmark::State& state)
{
    const int channels = static_cast<int>(state.range(0));
    const std::string bytes = encodeOurs(makeFrame(static_cast<std::uint32_t>(channels)), static_cast<int>(state.range(1)));
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
#ifdef KESTROVA_HAVE_TURBOJPEG
    const jpegSamples ours = decodeOurs(bytes);
    const std::vector<std::int32_t> theirs = decodeTurbo(bytes, channels);
    int largest = theirs.size() == ours.m_values.size() ? 0 : 255;
    for (std::size_t i = 0; i < std::min(theirs.size(), ours.m_values.size()); ++i)
        largest = std::max(largest, std::abs(ours.m_values[i] - theirs[i]));
    state.counters["maxdiff"] = largest;
#endif
}

#define KESTROVA_JPEG_CASES ArgsProduct({{1, 3}, {83, 95}})->Unit(benchmark::kMillisecond)
BENCHMARK(BM_OurEncode)->KESTROVA_JPEG_CASES;
BENCHMARK(BM_OurDecode)->KESTROVA_JPEG_CASES;

#ifdef KESTROVA_HAVE_TURBOJPEG

void BM_TurboEncode(benchmark::State& state)
{
    const int channels = static_cast<int>(state.range(0));
    const jpegSamples frame = makeFrame(static_cast<std::uint32_t>(channels));
    const std::vector<unsigned char> pixels(frame.m_values.begin(), frame.m_values.end());
    std::string bytes;
    for (auto _ : state)
    {
        bytes = encodeTurbo(pixels, channels, static_cast<int>(state.range(1)));
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["bytes"] = static_cast<double>(bytes.size());
    state.counters["psnr"] = psnr(frame, decodeOurs(bytes).m_values);
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
    const jpegSamples ours = decodeOurs(bytes);
    int largest = ours.m_values.size() == pixels.size() ? 0 : 255;
    for (std::size_t i = 0; i < std::min(pixels.size(), ours.m_values.size()); ++i)
        largest = std::max(largest, std::abs(ours.m_values[i] - static_cast<int>(pixels[i])));
    state.counters["maxdiff"] = largest;
}

BENCHMARK(BM_TurboEncode)->KESTROVA_JPEG_CASES;
BENCHMARK(BM_TurboDecode)->KESTROVA_JPEG_CASES;

#endif

} // namespace
