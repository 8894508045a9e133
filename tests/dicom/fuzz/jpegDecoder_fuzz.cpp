// libFuzzer target: the JPEG decoder alone on arbitrary bytes. The stream is
// decoded as a frame (signed and unsigned) and parsed as a bare JPEG file, and
// every decoded sample is read, so the sanitizers see each byte the decoder
// writes. Frames larger than 4 million samples are skipped, to bound memory.
// Where libjpeg(-turbo) also decodes the stream as whole and valid (8-bit DCT,
// one or three components, no warning) and no block reaches samples beyond
// its clamping range, every sample must agree with its decode within 1 (or,
// where libjpeg's transform strays, with the exact transform): a wrong pixel
// is a finding as a crash is.
#include "dicom/base/exceptionsManager.h"
#include "dicom/base/memoryStream.h"
#include "dicom/base/streamReader.h"
#include "dicom/core/dataSet.h"
#include "dicom/core/jpegCodec.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

using namespace Halvoran;
using namespace Halvoran::Varnix;

// Fresh allocations are filled (up to 1 MiB, not the first 4 KiB only), so that
// a read of memory never written shows as wrong samples.
extern "C" const char* __asan_default_options()
{
    return "max_malloc_fill_size=1048576";
}

namespace
{

// True when some frame header declares more samples than the cap.
bool tooLarge(const std::uint8_t* data, std::size_t size)
{
    for (std::size_t i = 0; i + 10 < size; ++i)
    {
        if (data[i] != 0xFF || data[i + 1] < 0xC0 || data[i + 1] > 0xCF || data[i + 1] == 0xC4 ||
            data[i + 1] == 0xC8 || data[i + 1] == 0xCC)
            continue;
        const std::uint64_t height = (data[i + 5] << 8) | data[i + 6];
        const std::uint64_t width = (data[i + 7] << 8) | data[i + 8];
        const std::uint64_t components = data[i + 9];
        if (width * height * (components == 0 ? 1 : components) * 16 > (1u << 26))
            return true;
    }
    return false;
}

ptr<streamReader> readerOf(const ptr<memory>& block)
{
    return ptr<streamReader>(new streamReader(ptr<baseStream>(new memoryStream(block))));
}

// libjpeg's errors end the decode (longjmp); its warnings (corrupt or short
// data, extraneous bytes, bad codes) are counted.
struct referenceErrors
{
    jpeg_error_mgr m_manager;
    std::jmp_buf m_jump;
};

void referenceErrorExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<referenceErrors*>(info->err)->m_jump, 1);
}

void referenceMessage(j_common_ptr info, int level)
{
    if (level < 0)
        ++info->err->num_warnings;
}

struct referenceDecode
{
    std::uint32_t m_width = 0;
    std::uint32_t m_height = 0;
    std::uint32_t m_channels = 0;
    bool m_rgb = false;
    // Interleaved samples in the stream's colour space (no conversion),
    // chroma upsampled by repetition.
    std::vector<std::uint8_t> m_values;
    // Per component: the exact inverse transform of its blocks (before
    // clamping), its width in samples and its sampling factors.
    std::vector<std::vector<double>> m_exact;
    std::vector<std::uint32_t> m_exactWidth;
    std::vector<int> m_samplingX;
    std::vector<int> m_samplingY;
    int m_maxSamplingX = 1;
    int m_maxSamplingY = 1;
};

// The exact inverse transform of a block (dequantised, natural order) before
// clamping, into an 8 x 8 area at pOut (row stride `stride`); false when a
// sample leaves -300..550, where both decoders clamp alike (libjpeg clamps
// exactly within -384..639 only).
bool exactBlock(const JCOEF* pBlock, const UINT16* pQuant, double* pOut, std::size_t stride)
{
    static const auto basis = [] {
        std::array<double, 64> b{};
        for (int x = 0; x < 8; ++x)
            for (int u = 0; u < 8; ++u)
                b[x * 8 + u] = (u == 0 ? std::sqrt(0.5) : 1.0) * std::cos((2 * x + 1) * u * M_PI / 16) / 2;
        return b;
    }();
    double rows[64];
    for (int v = 0; v < 8; ++v)
        for (int x = 0; x < 8; ++x)
        {
            double sum = 0;
            for (int u = 0; u < 8; ++u)
                sum += basis[x * 8 + u] * pBlock[v * 8 + u] * pQuant[v * 8 + u];
            rows[v * 8 + x] = sum;
        }
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
        {
            double sample = 128;
            for (int v = 0; v < 8; ++v)
                sample += basis[y * 8 + v] * rows[v * 8 + x];
            if (sample < -300 || sample > 550)
                return false;
            pOut[y * stride + x] = sample;
        }
    return true;
}

// A stream libjpeg decodes without error nor warning, whose blocks all stay
// where both decoders clamp alike. Local objects live outside the jumps (only
// plain data between setjmp and longjmp).
bool decodeWithLibjpeg(const std::uint8_t* data, std::size_t size, referenceDecode& result)
{
    jpeg_decompress_struct info;
    referenceErrors errors;
    info.err = jpeg_std_error(&errors.m_manager);
    errors.m_manager.error_exit = referenceErrorExit;
    errors.m_manager.emit_message = referenceMessage;
    jpeg_create_decompress(&info);
    JSAMPROW row = nullptr;
    if (setjmp(errors.m_jump) != 0)
    {
        jpeg_destroy_decompress(&info);
        return false;
    }

    // Pass 1: the coefficients and the quantisation tables each component used.
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (info.data_precision != 8 || info.progressive_mode || info.arith_code ||
        (info.num_components != 1 && info.num_components != 3) ||
        (info.num_components == 3 && info.jpeg_color_space != JCS_YCbCr && info.jpeg_color_space != JCS_RGB))
    {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&info);
    result.m_exact.resize(static_cast<std::size_t>(info.num_components));
    result.m_exactWidth.resize(static_cast<std::size_t>(info.num_components));
    result.m_samplingX.resize(static_cast<std::size_t>(info.num_components));
    result.m_samplingY.resize(static_cast<std::size_t>(info.num_components));
    result.m_maxSamplingX = info.max_h_samp_factor;
    result.m_maxSamplingY = info.max_v_samp_factor;
    for (int c = 0; c < info.num_components; ++c)
    {
        jpeg_component_info* component = &info.comp_info[c];
        const JQUANT_TBL* table = component->quant_table;
        if (table == nullptr)
        {
            jpeg_destroy_decompress(&info);
            return false;
        }
        const std::size_t stride = static_cast<std::size_t>(component->width_in_blocks) * 8;
        result.m_exactWidth[c] = static_cast<std::uint32_t>(stride);
        result.m_samplingX[c] = component->h_samp_factor;
        result.m_samplingY[c] = component->v_samp_factor;
        result.m_exact[c].assign(stride * component->height_in_blocks * 8, 0.0);
        for (JDIMENSION y = 0; y < component->height_in_blocks; ++y)
        {
            JBLOCKARRAY blocks = info.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&info), coefficients[c], y,
                                                              1, FALSE);
            for (JDIMENSION x = 0; x < component->width_in_blocks; ++x)
            {
                if (!exactBlock(blocks[0][x], table->quantval, result.m_exact[c].data() + y * 8 * stride + x * 8, stride))
                {
                    jpeg_destroy_decompress(&info);
                    return false;
                }
            }
        }
    }
    const bool warned = info.err->num_warnings != 0;
    jpeg_abort_decompress(&info);
    if (warned)
    {
        jpeg_destroy_decompress(&info);
        return false;
    }

    // Pass 2: the samples, without colour conversion and with plain
    // (repeating) upsampling, with the accurate integer transform.
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = info.jpeg_color_space;
    info.do_fancy_upsampling = FALSE;
    info.do_block_smoothing = FALSE;
    info.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&info);
    result.m_width = info.output_width;
    result.m_height = info.output_height;
    result.m_channels = static_cast<std::uint32_t>(info.output_components);
    result.m_rgb = info.jpeg_color_space == JCS_RGB;
    result.m_values.resize(static_cast<std::size_t>(result.m_width) * result.m_height * result.m_channels);
    while (info.output_scanline < info.output_height)
    {
        row = result.m_values.data() + static_cast<std::size_t>(info.output_scanline) * result.m_width * result.m_channels;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    const bool whole = info.err->num_warnings == 0;
    jpeg_destroy_decompress(&info);
    return whole;
}

// Our decode against libjpeg's, where both take the stream as whole and valid.
void compareWithLibjpeg(const std::uint8_t* data, std::size_t size, const codecs::jpegSamples& ours)
{
    if (ours.m_damaged || ours.m_precision != 8 || (ours.m_channels != 1 && ours.m_channels != 3))
        return;
    referenceDecode theirs;
    if (!decodeWithLibjpeg(data, size, theirs))
        return;
    if (theirs.m_width != ours.m_width || theirs.m_height != ours.m_height || theirs.m_channels != ours.m_channels ||
        (ours.m_channels == 3 && theirs.m_rgb != (ours.m_colorSpace == "RGB")) ||
        theirs.m_values.size() != ours.m_values.size())
    {
        std::fprintf(stderr, "libjpeg decodes a %ux%u frame of %u components (%s), ours %ux%u of %u (%s)\n",
                     theirs.m_width, theirs.m_height, theirs.m_channels, theirs.m_rgb ? "RGB" : "not RGB", ours.m_width,
                     ours.m_height, ours.m_channels, ours.m_colorSpace.c_str());
        std::abort();
    }
    // A difference of more than 1 is a finding unless ours is within 1 of the
    // exact transform (libjpeg's fixed-point transform strays further on some
    // crafted blocks).
    for (std::size_t i = 0; i < ours.m_values.size(); ++i)
    {
        const int difference = ours.m_values[i] - static_cast<int>(theirs.m_values[i]);
        if (difference <= 1 && difference >= -1)
            continue;
        const std::size_t pixel = i / ours.m_channels;
        const std::size_t c = i % ours.m_channels;
        const std::size_t x = pixel % ours.m_width * theirs.m_samplingX[c] / theirs.m_maxSamplingX;
        const std::size_t y = pixel / ours.m_width * theirs.m_samplingY[c] / theirs.m_maxSamplingY;
        const double exact = std::clamp(std::round(theirs.m_exact[c][y * theirs.m_exactWidth[c] + x]), 0.0, 255.0);
        if (std::abs(ours.m_values[i] - exact) <= 1)
            continue;
        std::fprintf(stderr, "sample (%zu, %zu) of component %zu: ours %d, libjpeg %d, exact transform %.0f\n",
                     pixel % ours.m_width, pixel / ours.m_width, c, ours.m_values[i], theirs.m_values[i], exact);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 1 << 20 || tooLarge(data, size))
        return 0;
    ptr<memory> block(new memory);
    block->assign(data, static_cast<std::uint32_t>(size));
    for (const bool b2Complement : {false, true})
    {
        try
        {
            ptr<streamReader> reader = readerOf(block);
            ptr<codecs::jpegCodec> codec(new codecs::jpegCodec);
            const codecs::jpegSamples samples = codec->decodeSamples(reader, b2Complement);
            if (!b2Complement)
                compareWithLibjpeg(data, size, samples);
            std::uint64_t sum = samples.m_damaged ? 1 : 0;
            for (const std::int32_t v : samples.m_values)
                sum += static_cast<std::uint32_t>(v);
            if (sum == 0xFFFFFFFFFFFFFFFFull)
                __builtin_trap(); // keeps the reads
        }
        catch (const std::runtime_error&)
        {
        }
        exceptionsManager::getTrailText();
    }
    try
    {
        ptr<dataSet> set(new dataSet(ptr<baseObject>(new baseObject)));
        ptr<codecs::jpegCodec> codec(new codecs::jpegCodec);
        codec->readStream(readerOf(block), set, 0xFFFFFFFFu);
    }
    catch (const std::runtime_error&)
    {
    }
    exceptionsManager::getTrailText();
    return 0;
}
