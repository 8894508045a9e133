// Decoding side of the JPEG codec: the marker and MCU loop, the entropy
// decoding of DCT blocks and lossless differences, the inverse DCT and the
// output of the decoded components.
#include "dicom/core/jpegCodec.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/streamException.h"
#include "dicom/core/image.h"
#include "dicom/core/jpegDct.h"
#include "dicom/core/jpegTables.h"

#include <algorithm>
#include <cstring>

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

bool jpegCodec::readBlock(std::int32_t* pBlock, jpegChannel* pChannel)
{
    // Sequential scans only (progressive frames are refused): the DC
    // difference, then run/size AC symbols up to EOB; ZRL skips 16 zeros.
    bitReader& bits = m_bits;
    const huffmanDecoder& ac = m_acDecoders[pChannel->m_huffmanTableAC & 0x0F];
    const std::uint32_t dcSize = bits.decode(m_dcDecoders[pChannel->m_huffmanTableDC & 0x0F]) & 15;
    // The prediction is held to the 16-bit coefficient range, so that crafted
    // differences cannot overflow it.
    const std::int32_t dc = static_cast<std::int32_t>(std::clamp<std::int64_t>(
        static_cast<std::int64_t>(pChannel->m_lastDCValue) + bits.receiveExtend(dcSize), -32768, 32767));
    pChannel->m_lastDCValue = dc;
    pBlock[0] = dc;

    bool anyAc = false;
    for (std::uint32_t k = 1; k < 64;)
    {
        bits.fill();
        const std::int32_t fast = ac.m_fastAc[bits.peek(huffmanDecoder::lookupBits)];
        if (fast != 0)
        {
            // Code and value bits in one look-up.
            bits.skip(static_cast<std::uint32_t>(fast & 0xFF));
            k += static_cast<std::uint32_t>(fast >> 8) & 0xFF;
            if (k > 63)
            {
                m_coefficientPastBlock = true;
                break;
            }
            pBlock[zigZag[k++]] = fast >> 16;
            anyAc = true;
            continue;
        }
        const std::uint32_t symbol = bits.decode(ac);
        const std::uint32_t run = symbol >> 4;
        const std::uint32_t size = symbol & 15;
        if (size == 0)
        {
            if (run != 15)
                break; // EOB
            k += 16;
            continue;
        }
        k += run;
        const std::int32_t value = bits.receiveExtend(size);
        if (k > 63)
        {
            m_coefficientPastBlock = true;
            break;
        }
        pBlock[zigZag[k++]] = value;
        anyAc = true;
    }
    return anyAc;
}

void jpegCodec::prepareScanDecoding()
{
    bool preparedDC[16] = {};
    bool preparedAC[16] = {};
    for (std::uint32_t c = 0; m_channelsList[c] != nullptr; ++c)
    {
        const std::uint32_t dc = static_cast<std::uint32_t>(m_channelsList[c]->m_huffmanTableDC) & 0x0F;
        const std::uint32_t ac = static_cast<std::uint32_t>(m_channelsList[c]->m_huffmanTableAC) & 0x0F;
        if (!preparedDC[dc])
            m_dcDecoders[dc].build(*m_pHuffmanTableDC[dc]);
        if (!preparedAC[ac])
            m_acDecoders[ac].build(*m_pHuffmanTableAC[ac]);
        preparedDC[dc] = preparedAC[ac] = true;
    }
    m_bits.reset();
    // A block left half decoded by a scan that ended early must not leak
    // into the first block of this one.
    std::memset(m_coefficients, 0, sizeof(m_coefficients));
}

void jpegCodec::readDctMcu()
{
    HALVORAN_FUNCTION_START(L"jpegCodec::readBlock")

    for (std::uint32_t c = 0; m_channelsList[c] != nullptr; ++c)
    {
        jpegChannel* pChannel = m_channelsList[c];
        const std::uint32_t rowBlocks = pChannel->m_width / 8;
        const std::uint32_t columnBlocks = pChannel->m_height / 8;
        const bool plane = !pChannel->m_plane.empty();
        for (std::uint32_t y = 0; y < pChannel->m_blockMcuY; ++y)
        {
            const std::uint64_t blockRow = static_cast<std::uint64_t>(m_mcuProcessedY) * pChannel->m_blockMcuY + y;
            for (std::uint32_t x = 0; x < pChannel->m_blockMcuX; ++x)
            {
                const std::uint64_t blockColumn = static_cast<std::uint64_t>(m_mcuProcessedX) * pChannel->m_blockMcuX + x;
                // Blocks outside the component (odd sampling factors) are
                // decoded and dropped.
                const bool inside = blockColumn < rowBlocks && blockRow < columnBlocks;
                if (plane || !inside)
                {
                    const bool anyAc = readBlock(m_coefficients, pChannel);
                    if (inside)
                    {
                        std::uint8_t* pOut = pChannel->m_plane.data() + blockRow * 8 * pChannel->m_width + blockColumn * 8;
                        const std::int32_t* pQuant = m_decodingQuant[pChannel->m_quantTable & 0x0F];
                        if (anyAc)
                        {
                            inverseDct8(m_coefficients, pQuant, pOut, pChannel->m_width);
                        }
                        else
                        {
                            // Flat block: (DC / 8) + 128, as the transform gives it.
                            const std::int64_t level =
                                ((static_cast<std::int64_t>(m_coefficients[0]) * pQuant[0] + 4) >> 3) + 128;
                            const std::uint8_t sample = static_cast<std::uint8_t>(std::clamp<std::int64_t>(level, 0, 255));
                            for (std::uint32_t row = 0; row < 8; ++row)
                                std::memset(pOut + row * pChannel->m_width, sample, 8);
                        }
                    }
                    std::memset(m_coefficients, 0, sizeof(m_coefficients));
                    continue;
                }
                std::int32_t* pBlock = pChannel->m_pBuffer + (blockRow * rowBlocks + blockColumn) * 64;
                std::fill(pBlock, pBlock + 64, 0);
                readBlock(pBlock, pChannel);
                inverseDct(pBlock, m_decodingFactors[pChannel->m_quantTable & 0x0F]);
            }
        }
    }

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

    m_bits.start(pStream, &m_markerFound);
    m_endOfImage = false;
    while (!m_endOfImage)
    {
        // A marker that ended the data of an interval or scan is handled
        // once the MCUs before it are decoded.
        if (m_markerFound == 0 && m_bits.pendingMarker() != 0 &&
            (m_bits.overrun() || m_channelsList[0] == nullptr || m_mcuProcessed >= m_mcuNumberTotal ||
             (m_mcuPerRestartInterval != 0 && m_mcuProcessed >= m_mcuLastRestart + m_mcuPerRestartInterval)))
            m_markerFound = m_bits.pendingMarker();
        if (m_markerFound != 0)
        {
            pStream->resetInBitsBuffer();
            m_bits.reset();
            const std::uint8_t code = m_markerFound;
            const auto found = m_tagsMap.find(code);
            tag* pTag = found == m_tagsMap.end() ? m_tagsMap[0xFF].get() : found->second.get();
            const bool scanHeader = dynamic_cast<tagSOS*>(pTag) != nullptr;
            if (scanHeader)
                closeScan();
            pTag->readTag(pStream, this, code);
            m_markerFound = 0;
            if (scanHeader)
            {
                m_scanOpen = true;
                prepareScanDecoding();
            }
            // Progressive, hierarchical and arithmetic-coded frames are not
            // decoded: their scans would give a wrong image rather than an
            // error.
            if (dynamic_cast<tagSOF*>(pTag) != nullptr)
                if (const char* message = unsupportedProcessMessage(m_process))
                    HALVORAN_THROW(jpegCodecCannotHandleSyntax, message);
            continue;
        }
        if (m_bits.ended() || pStream->atEnd())
            break;

        std::uint32_t last = m_mcuNumberTotal;
        if (m_mcuPerRestartInterval != 0)
            last = std::min<std::uint32_t>(m_mcuLastRestart + m_mcuPerRestartInterval, m_mcuNumberTotal);
        if (m_mcuProcessed >= last || m_channelsList[0] == nullptr)
        {
            // Between scans or intervals: step to the next marker.
            pStream->resetInBitsBuffer();
            m_bits.reset();
            std::uint8_t byte = 0;
            pStream->readByte(&byte);
            continue;
        }

        try
        {
            if (m_bLossless)
            {
                while (m_markerFound == 0 && m_mcuProcessed < last && !pStream->atEnd())
                {
                    for (std::uint32_t c = 0; m_channelsList[c] != nullptr && m_markerFound == 0; ++c)
                        readLosslessMcu(pStream, m_channelsList[c]);
                    if (m_markerFound != 0)
                        break;
                    mcuDecoded();
                }
                continue;
            }
            while (m_mcuProcessed < last)
            {
                readDctMcu();
                // An MCU that ran past the data of its interval or scan is
                // not counted; the marker (if any) is handled next.
                if (m_bits.overrun())
                    break;
                mcuDecoded();
            }
            if (m_bits.overrun() && m_bits.pendingMarker() == 0)
                break; // the data ended inside the scan
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

void jpegCodec::mcuDecoded()
{
    m_anyScanData = true;
    ++m_mcuProcessed;
    if (++m_mcuProcessedX == m_mcuNumberX)
    {
        m_mcuProcessedX = 0;
        ++m_mcuProcessedY;
    }
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
    m_samplePlanes = true;
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
    result.m_damaged = m_dataLost || m_coefficientPastBlock;
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

void jpegCodec::copyPlaneToSamples(const jpegChannel& channel, std::uint32_t c, bool b2Complement,
                                   jpegSamples& result) const
{
    // Samples of 8-bit DCT streams, level shift and clamp done; signed
    // samples are taken back by the shift.
    const std::int32_t shift = b2Complement ? 128 : 0;
    const std::uint32_t e = std::max(1u, m_maxSamplingFactorX / channel.m_samplingFactorX);
    const std::uint32_t f = std::max(1u, m_maxSamplingFactorY / channel.m_samplingFactorY);
    const std::uint32_t stride = result.m_channels;
    for (std::uint32_t y = 0; y < m_imageSizeY; ++y)
    {
        const std::uint8_t* pRow =
            channel.m_plane.data() + static_cast<std::size_t>(std::min(y / f, channel.m_height - 1)) * channel.m_width;
        std::int32_t* pDest = result.m_values.data() + static_cast<std::size_t>(y) * m_imageSizeX * stride + c;
        if (e == 1)
        {
            for (std::uint32_t x = 0; x < m_imageSizeX; ++x)
                pDest[x * stride] = pRow[x] - shift;
            continue;
        }
        for (std::uint32_t x = 0; x < m_imageSizeX; ++x)
            pDest[x * stride] = pRow[std::min(x / e, channel.m_width - 1)] - shift;
    }
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
        if (!pChannel->m_plane.empty())
        {
            copyPlaneToSamples(*pChannel, c++, b2Complement, result);
            continue;
        }
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
