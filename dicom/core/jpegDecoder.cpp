// Decoding side of the JPEG codec: the marker and MCU loop, the entropy
// decoding of DCT blocks and lossless differences, the inverse DCT and the
// output of the decoded components.
#include "dicom/core/jpegCodec.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/streamException.h"
#include "dicom/core/image.h"
#include "dicom/core/jpegTables.h"

#include <algorithm>

namespace Halvoran::Varnix::codecs
{

using namespace jpeg;

namespace
{

inline std::int32_t extend(std::uint32_t value, std::uint32_t size)
{
    if (size == 0)
        return 0;
    if (value >= (1u << (size - 1)))
        return static_cast<std::int32_t>(value);
    return static_cast<std::int32_t>(value) - static_cast<std::int32_t>(1u << size) + 1;
}

constexpr std::int64_t idctF1 = 23170; // 1.4142135
constexpr std::int64_t idctF2 = 30274; // 1.847759
constexpr std::int64_t idctF3 = 17734; // 1.0823922
constexpr std::int64_t idctF4 = 42813; // 2.613126

inline std::int64_t idctMul(std::int64_t x, std::int64_t f)
{
    return (x * f + 8192) >> 14;
}

// A dequantised coefficient, held to 32 bits of magnitude: far more than any
// stream of up to 16-bit samples produces, and small enough that no sum or
// product of the transform overflows on crafted coefficients or tables.
inline std::int64_t dequantise(std::int32_t coefficient, std::int64_t factor)
{
    constexpr std::int64_t limit = std::int64_t(1) << 32;
    return std::clamp<std::int64_t>(static_cast<std::int64_t>(coefficient) * factor, -limit, limit);
}

// One 8-point AAN inverse transform: in[0..7] at stride inStride.
template <typename Store>
inline void idct8(std::int64_t z0, std::int64_t z1, std::int64_t z2, std::int64_t z3, std::int64_t z4, std::int64_t z5,
                  std::int64_t z6, std::int64_t z7, Store store)
{
    const std::int64_t t10 = z0 + z4;
    const std::int64_t t11 = z0 - z4;
    const std::int64_t t13 = z2 + z6;
    const std::int64_t t12 = idctMul(z2 - z6, idctF1) - t13;
    const std::int64_t t0 = t10 + t13;
    const std::int64_t t3 = t10 - t13;
    const std::int64_t t1 = t11 + t12;
    const std::int64_t t2 = t11 - t12;

    const std::int64_t z13 = z5 + z3;
    const std::int64_t z10 = z5 - z3;
    const std::int64_t z11 = z1 + z7;
    const std::int64_t z12 = z1 - z7;
    const std::int64_t t7 = z11 + z13;
    const std::int64_t u11 = idctMul(z11 - z13, idctF1);
    const std::int64_t z5b = idctMul(z10 + z12, idctF2);
    const std::int64_t u10 = idctMul(z12, idctF3) - z5b;
    const std::int64_t u12 = z5b - idctMul(z10, idctF4);
    const std::int64_t t6 = u12 - t7;
    const std::int64_t t5 = u11 - t6;
    const std::int64_t t4 = u10 + t5;

    store(0, t0 + t7);
    store(1, t1 + t6);
    store(2, t2 + t5);
    store(3, t3 - t4);
    store(4, t3 + t4);
    store(5, t2 - t5);
    store(6, t1 - t6);
    store(7, t0 - t7);
}

} // namespace

void jpegCodec::inverseDct(std::int32_t* pBlock, const std::int64_t* pFactors)
{
    std::int64_t* pTemp = m_idctTempTable;
    for (std::uint32_t row = 0; row < 8; ++row)
    {
        const std::int32_t* pIn = pBlock + row * 8;
        const std::int64_t* pF = pFactors + row * 8;
        std::int64_t* pOut = pTemp + row * 8;
        if ((pIn[1] | pIn[2] | pIn[3] | pIn[4] | pIn[5] | pIn[6] | pIn[7]) == 0)
        {
            const std::int64_t dc = dequantise(pIn[0], pF[0]);
            for (std::uint32_t i = 0; i < 8; ++i)
                pOut[i] = dc;
            continue;
        }
        idct8(dequantise(pIn[0], pF[0]), dequantise(pIn[1], pF[1]), dequantise(pIn[2], pF[2]),
              dequantise(pIn[3], pF[3]), dequantise(pIn[4], pF[4]), dequantise(pIn[5], pF[5]),
              dequantise(pIn[6], pF[6]), dequantise(pIn[7], pF[7]),
              [pOut](std::uint32_t i, std::int64_t v) { pOut[i] = v; });
    }
    for (std::uint32_t column = 0; column < 8; ++column)
    {
        const std::int64_t* pIn = pTemp + column;
        std::int32_t* pOut = pBlock + column;
        idct8(pIn[0], pIn[8], pIn[16], pIn[24], pIn[32], pIn[40], pIn[48], pIn[56],
              [pOut](std::uint32_t i, std::int64_t v) { pOut[i * 8] = static_cast<std::int32_t>((v + 65536) >> 17); });
    }
}

void jpegCodec::readBlock(streamReader* pStream, std::int32_t* pBlock, jpegChannel* pChannel)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::readBlock")

    if (m_markerFound != 0)
        return;
    const std::uint32_t ss = m_spectralIndexStart;
    const std::uint32_t se = std::min<std::uint32_t>(m_spectralIndexEnd, 63);
    const std::uint32_t ah = m_bitHigh;
    const std::uint32_t al = m_bitLow;
    const std::int32_t p1 = static_cast<std::int32_t>(1u << al);
    const std::int32_t m1 = -p1;
    huffmanTable* pDC = pChannel->m_pActiveHuffmanTableDC.get();
    huffmanTable* pAC = pChannel->m_pActiveHuffmanTableAC.get();

    // Adds the next correction bit to a non-zero coefficient.
    auto refine = [&](std::int32_t& coefficient) -> bool {
        std::uint32_t bit = 0;
        if (!pStream->readBit(&bit))
            return false;
        if (bit != 0 && (coefficient & p1) == 0)
            coefficient += coefficient >= 0 ? p1 : m1;
        return true;
    };

    std::uint32_t k = (m_eobRun != 0 && ss == 0) ? 1 : ss;
    while (k <= se)
    {
        if (m_eobRun != 0 && k > 0 && ah != 0)
        {
            std::int32_t& coefficient = pBlock[zigZag[k]];
            if (coefficient != 0 && !refine(coefficient))
                return;
            ++k;
            continue;
        }
        if (m_eobRun != 0 || m_markerFound != 0)
        {
            ++k;
            continue;
        }

        if (k == 0 && ah != 0)
        {
            // DC refinement: one bit.
            std::uint32_t bit = 0;
            if (!pStream->readBit(&bit))
                return;
            if (bit != 0)
                pBlock[0] |= p1;
            ++k;
            continue;
        }

        std::uint32_t symbol = 0;
        if (!(k == 0 ? pDC : pAC)->readHuffmanCode(symbol, pStream))
            return;
        if (symbol == 0 && k > 0)
        {
            ++m_eobRun;
            continue;
        }
        std::uint32_t run = symbol >> 4;
        const std::uint32_t size = symbol & 15;
        if (k == 0 || size != 0 || run == 15)
        {
            std::int32_t value = 0;
            if (size != 0)
            {
                std::uint32_t bits = 0;
                if (!pStream->readBits(bits, static_cast<int>(size)))
                    return;
                value = extend(bits, size);
            }
            if (ah != 0 && k > 0)
            {
                while (k <= se)
                {
                    std::int32_t& coefficient = pBlock[zigZag[k]];
                    if (coefficient != 0)
                    {
                        if (!refine(coefficient))
                            return;
                    }
                    else
                    {
                        if (run == 0)
                            break;
                        --run;
                    }
                    ++k;
                }
            }
            else
            {
                k += run;
            }
            if (k <= se)
            {
                std::int32_t v = static_cast<std::int32_t>(static_cast<std::uint32_t>(value) << al);
                if (ah != 0)
                    v |= pBlock[zigZag[k]];
                if (k == 0)
                {
                    // Held to the 16-bit coefficient range, so that crafted
                    // differences cannot overflow the prediction.
                    v = static_cast<std::int32_t>(std::clamp<std::int64_t>(
                        static_cast<std::int64_t>(v) + pChannel->m_lastDCValue, -32768, 32767));
                    pChannel->m_lastDCValue = v;
                }
                pBlock[zigZag[k]] = v;
            }
        }
        else
        {
            std::uint32_t bits = 0;
            if (!pStream->readBits(bits, static_cast<int>(run)))
                return;
            m_eobRun += (1u << run) + bits;
            continue;
        }
        ++k;
    }
    if (m_eobRun != 0)
        --m_eobRun;

    HALVORAN_FUNCTION_END()
}

void jpegCodec::readLosslessMcu(streamReader* pStream, jpegChannel* pChannel)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::readBlock")

    huffmanTable* pTable = pChannel->m_pActiveHuffmanTableDC.get();
    for (std::uint32_t i = 0; i < pChannel->m_blockMcuXY; ++i)
    {
        std::uint32_t size = 0;
        if (!pTable->readHuffmanCode(size, pStream))
            return;
        std::int32_t difference = 0;
        if (size == 16)
        {
            difference = 32768; // no additional bits follow (T.81 H.1.2.2)
        }
        else if (size != 0)
        {
            if (size > 16)
                HALVORAN_THROW(codecExceptionCorruptedFile, "Invalid lossless difference size");
            std::uint32_t bits = 0;
            if (!pStream->readBits(bits, static_cast<int>(size)))
                return;
            difference = extend(bits, size);
        }
        const bool first = (m_mcuLastRestart == m_mcuProcessed && i == 0);
        const std::int32_t selection = static_cast<std::int32_t>(m_spectralIndexStart);
        if (first || pChannel->m_unprocessedAmplitudesPredictor != selection ||
            pChannel->m_unprocessedAmplitudesCount == 1024)
        {
            pChannel->processUnprocessedAmplitudes();
            if (first)
            {
                pChannel->m_unprocessedAmplitudesPredictor = 0;
                difference += pChannel->m_defaultDCValue;
            }
            else
            {
                pChannel->m_unprocessedAmplitudesPredictor = selection;
            }
            pChannel->m_unprocessedAmplitudesBuffer[0] = difference;
            pChannel->m_unprocessedAmplitudesCount = 1;
        }
        else
        {
            pChannel->m_unprocessedAmplitudesBuffer[pChannel->m_unprocessedAmplitudesCount++] = difference;
        }
    }

    HALVORAN_FUNCTION_END()
}

void jpegCodec::decodeStreamInternal(streamReader* pStream)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::getImage")

    std::int32_t scratchBlock[64];
    m_endOfImage = false;
    while (!m_endOfImage && !pStream->atEnd())
    {
        if (m_markerFound != 0)
        {
            pStream->resetInBitsBuffer();
            const std::uint8_t code = m_markerFound;
            const auto found = m_tagsMap.find(code);
            tag* pTag = found == m_tagsMap.end() ? m_tagsMap[0xFF].get() : found->second.get();
            const bool scanHeader = dynamic_cast<tagSOS*>(pTag) != nullptr;
            if (scanHeader)
                closeScan();
            pTag->readTag(pStream, this, code);
            m_markerFound = 0;
            m_scanOpen = m_scanOpen || scanHeader;
            // Progressive, hierarchical and arithmetic-coded frames are not
            // decoded: their scans would give a wrong image rather than an
            // error.
            if (dynamic_cast<tagSOF*>(pTag) != nullptr)
                if (const char* message = unsupportedProcessMessage(m_process))
                    HALVORAN_THROW(jpegCodecCannotHandleSyntax, message);
            continue;
        }

        std::uint32_t last = m_mcuNumberTotal;
        if (m_mcuPerRestartInterval != 0)
            last = std::min<std::uint32_t>(m_mcuLastRestart + m_mcuPerRestartInterval, m_mcuNumberTotal);
        if (m_mcuProcessed >= last || m_channelsList[0] == nullptr)
        {
            // Between scans or intervals: step to the next marker.
            pStream->resetInBitsBuffer();
            std::uint8_t byte = 0;
            pStream->readByte(&byte);
            continue;
        }

        try
        {
            while (m_markerFound == 0 && m_mcuProcessed < last && !pStream->atEnd())
            {
                for (std::uint32_t c = 0; m_channelsList[c] != nullptr && m_markerFound == 0; ++c)
                {
                    jpegChannel* pChannel = m_channelsList[c];
                    if (m_bLossless)
                    {
                        readLosslessMcu(pStream, pChannel);
                        continue;
                    }
                    const std::uint32_t rowBlocks = pChannel->m_width / 8;
                    const bool transform = m_spectralIndexEnd >= 63 && m_bitLow == 0;
                    for (std::uint32_t y = 0; y < pChannel->m_blockMcuY; ++y)
                    {
                        for (std::uint32_t x = 0; x < pChannel->m_blockMcuX; ++x)
                        {
                            const std::uint64_t blockRow =
                                static_cast<std::uint64_t>(m_mcuProcessedY) * pChannel->m_blockMcuY + y;
                            const std::uint64_t blockColumn =
                                static_cast<std::uint64_t>(m_mcuProcessedX) * pChannel->m_blockMcuX + x;
                            const std::uint64_t offset = (blockRow * rowBlocks + blockColumn) * 64;
                            std::int32_t* pBlock = scratchBlock;
                            // Blocks outside the component (odd sampling
                            // factors) are decoded and dropped.
                            if (blockColumn < rowBlocks && offset + 64 <= pChannel->m_bufferSize)
                                pBlock = pChannel->m_pBuffer + offset;
                            else
                                std::fill(scratchBlock, scratchBlock + 64, 0);
                            readBlock(pStream, pBlock, pChannel);
                            if (transform)
                                inverseDct(pBlock, m_decodingFactors[pChannel->m_quantTable & 0x0F]);
                        }
                    }
                }
                if (m_markerFound != 0)
                    break;
                m_anyScanData = true;
                ++m_mcuProcessed;
                if (++m_mcuProcessedX == m_mcuNumberX)
                {
                    m_mcuProcessedX = 0;
                    ++m_mcuProcessedY;
                }
            }
        }
        catch (const streamExceptionEOF&)
        {
            // Entropy-coded data cut short: keep what was decoded.
            exceptionsManager::getTrailText();
            break;
        }
    }
    closeScan();
    for (const auto& entry : m_channelsMap)
        entry.second->processUnprocessedAmplitudes();

    HALVORAN_FUNCTION_END()
}

void jpegCodec::closeScan()
{
    if (!m_scanOpen)
        return;
    m_scanOpen = false;
    const bool complete = m_mcuProcessed >= m_mcuNumberTotal;
    for (std::uint32_t c = 0; m_channelsList[c] != nullptr; ++c)
        m_channelsList[c]->m_scanComplete = m_channelsList[c]->m_scanComplete || complete;
    m_dataLost = m_dataLost || !complete;
}

jpegSamples jpegCodec::decodeSamples(const ptr<streamReader>& pSourceStream, bool b2Complement)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::getImage")

    streamReader* pStream = pSourceStream.get();
    resetInternal(false, 300);
    // The reader reports markers into this codec while it decodes; its slot
    // is given back afterwards, so that it never refers to a codec that is
    // gone.
    struct slotGuard
    {
        streamReader* m_pReader;
        std::uint8_t* m_pSaved;
        ~slotGuard() { m_pReader->m_pTagByte = m_pSaved; }
    } guard{pStream, pStream->m_pTagByte};
    pStream->m_pTagByte = &m_markerFound;

    std::uint8_t signature[2] = {0, 0};
    try
    {
        pStream->read(signature, 2);
    }
    catch (const streamExceptionEOF&)
    {
        HALVORAN_THROW(codecExceptionWrongFormat, "Jpeg signature not present");
    }
    if (signature[0] != 0xFF || signature[1] != jpegMarker::SOI)
        HALVORAN_THROW(codecExceptionWrongFormat, "Jpeg signature not valid");

    decodeStreamInternal(pStream);
    if (m_channelsMap.empty())
        HALVORAN_THROW(codecExceptionCorruptedFile, "Corrupted SOF tag found");
    if (!m_anyScanData)
        HALVORAN_THROW(codecExceptionCorruptedFile, "The JPEG stream holds no scan data");
    jpegSamples result = copyJpegChannelsToSamples(b2Complement);
    result.m_damaged = m_dataLost;
    for (const auto& entry : m_channelsMap)
        result.m_damaged = result.m_damaged || !entry.second->m_scanComplete;
    return result;

    HALVORAN_FUNCTION_END()
}

ptr<image> jpegCodec::getImage(const ptr<dataSet>& pSourceDataSet, const ptr<streamReader>& pSourceStream,
                               std::string)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::getImage")

    const bool b2Complement = pSourceDataSet->getUnsignedLong(0x0028, 0, 0x0103, 0) != 0;
    jpegSamples decoded = decodeSamples(pSourceStream, b2Complement);

    std::wstring colorSpace = pSourceDataSet->getUnicodeString(0x0028, 0, 0x0004, 0);
    const std::wstring transferSyntax = pSourceDataSet->getUnicodeString(0x0002, 0, 0x0010, 0);
    if (colorSpace == L"RGB" &&
        (transferSyntax == L"1.2.840.10008.1.2.4.50" || transferSyntax == L"1.2.840.10008.1.2.4.51") &&
        !streamSignalsRgb())
        colorSpace = L"YBR_FULL";

    std::uint8_t depth = 0;
    if (b2Complement)
        depth = m_precision == 8 ? image::depthS8 : image::depthS16;
    else
        depth = m_precision == 8 ? image::depthU8 : image::depthU16;
    ptr<image> pImage(new image);
    pImage->setDamaged(decoded.m_damaged);
    ptr<handlers::imageHandler> handler = pImage->create(decoded.m_width, decoded.m_height, depth, colorSpace,
                                                         static_cast<std::uint8_t>(m_precision - 1));
    if (!handler)
        return pImage;
    // Only as many components as the image's colour space has places for.
    if (pImage->getChannelsNumber() != decoded.m_channels)
        HALVORAN_THROW(codecExceptionCorruptedFile, "The stream's components do not match the image");
    handler->copyFromInt32(decoded.m_values.data(), static_cast<std::uint32_t>(decoded.m_values.size()));
    return pImage;

    HALVORAN_FUNCTION_END()
}

jpegSamples jpegCodec::copyJpegChannelsToSamples(bool b2Complement)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::copyJpegChannelsToImage")

    jpegSamples result;
    result.m_width = m_imageSizeX;
    result.m_height = m_imageSizeY;
    result.m_channels = static_cast<std::uint32_t>(m_channelsMap.size());
    result.m_precision = static_cast<std::uint32_t>(m_precision);
    result.m_b2Complement = b2Complement;
    result.m_colorSpace = result.m_channels == 1 ? "MONOCHROME2" : (streamSignalsRgb() ? "RGB" : "YBR_FULL");
    result.m_values.assign(static_cast<std::size_t>(m_imageSizeX) * m_imageSizeY * result.m_channels, 0);

    const std::int32_t offset = 1 << (m_precision - 1);
    const std::int32_t low = b2Complement ? -offset : 0;
    const std::int32_t high = b2Complement ? offset - 1 : (offset << 1) - 1;
    const std::int32_t signBit = offset;
    const std::int32_t upperBits = ~((offset << 1) - 1);

    std::uint32_t c = 0;
    for (const std::uint8_t id : m_channelsOrder)
    {
        jpegChannel* pChannel = m_channelsMap[id].get();
        std::int32_t* pBuffer = pChannel->m_pBuffer;
        const std::uint32_t width = pChannel->m_width;
        const std::uint32_t height = pChannel->m_height;
        if (pBuffer == nullptr || width == 0 || height == 0)
        {
            ++c;
            continue;
        }
        for (std::uint32_t i = 0; i < pChannel->m_bufferSize; ++i)
        {
            std::int32_t v = pBuffer[i];
            if (!m_bLossless && !b2Complement)
                v += offset;
            else if (m_bLossless && b2Complement && (v & signBit) != 0)
                v |= upperBits;
            pBuffer[i] = std::clamp(v, low, high);
        }
        const std::uint32_t e = std::max(1u, m_maxSamplingFactorX / pChannel->m_samplingFactorX);
        const std::uint32_t f = std::max(1u, m_maxSamplingFactorY / pChannel->m_samplingFactorY);
        const std::uint32_t rowBlocks = width / 8;
        if (!m_bLossless && e == 1 && f == 1)
        {
            // Full-resolution component: block by block.
            const std::uint32_t stride = result.m_channels;
            for (std::uint32_t blockRow = 0; blockRow * 8 < m_imageSizeY; ++blockRow)
            {
                const std::uint32_t rows = std::min(8u, m_imageSizeY - blockRow * 8);
                for (std::uint32_t blockColumn = 0; blockColumn * 8 < m_imageSizeX; ++blockColumn)
                {
                    const std::uint32_t columns = std::min(8u, m_imageSizeX - blockColumn * 8);
                    const std::int32_t* pBlock =
                        pBuffer + (static_cast<std::size_t>(blockRow) * rowBlocks + blockColumn) * 64;
                    for (std::uint32_t y = 0; y < rows; ++y)
                    {
                        std::int32_t* pDest = result.m_values.data() +
                                              (static_cast<std::size_t>(blockRow * 8 + y) * m_imageSizeX +
                                               blockColumn * 8) * stride + c;
                        for (std::uint32_t x = 0; x < columns; ++x)
                            pDest[x * stride] = pBlock[y * 8 + x];
                    }
                }
            }
            ++c;
            continue;
        }
        std::int32_t* pDest = result.m_values.data() + c;
        for (std::uint32_t y = 0; y < m_imageSizeY; ++y)
        {
            const std::uint32_t cy = std::min(y / f, height - 1);
            for (std::uint32_t x = 0; x < m_imageSizeX; ++x, pDest += result.m_channels)
            {
                const std::uint32_t cx = std::min(x / e, width - 1);
                const std::size_t index = m_bLossless
                                              ? static_cast<std::size_t>(cy) * width + cx
                                              : ((static_cast<std::size_t>(cy / 8) * rowBlocks + cx / 8) * 64 +
                                                 (cy % 8) * 8 + cx % 8);
                *pDest = pBuffer[index];
            }
        }
        ++c;
    }
    return result;

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix::codecs
