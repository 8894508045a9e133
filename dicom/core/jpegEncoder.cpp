// Encoding side of the JPEG codec: samples into components, the forward DCT
// and quantisation, the two-pass Huffman coding and the stream layout.
#include "dicom/core/jpegCodec.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/lockObject.h"
#include "dicom/core/data.h"
#include "dicom/core/dataHandlerRaw.h"
#include "dicom/core/image.h"
#include "dicom/core/jpegDct.h"
#include "dicom/core/jpegTables.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace Halvoran::Varnix::codecs
{

using namespace jpeg;

namespace
{

bool isLosslessSyntax(const std::wstring& transferSyntax)
{
    return transferSyntax == L"1.2.840.10008.1.2.4.57" || transferSyntax == L"1.2.840.10008.1.2.4.70";
}

// Number of significant bits of a magnitude, counting only bits 0..fromBit.
inline std::uint32_t bitsOf(std::uint32_t magnitude, std::uint32_t fromBit)
{
    const std::uint32_t masked = fromBit >= 31 ? magnitude : (magnitude & ((2u << fromBit) - 1u));
    return masked == 0 ? 0 : 32u - static_cast<std::uint32_t>(__builtin_clz(masked));
}

} // namespace

void jpegCodec::forwardDct(std::int32_t* pBlock, const float* pFactors)
{
    alignas(32) std::int32_t quantised[64];
    forwardDctQuantise(pBlock, pFactors, quantised);
    std::copy(quantised, quantised + 64, pBlock);
}

void jpegCodec::copySamplesToJpegChannels(const jpegSamples& source, bool b2Complement, std::uint8_t allocatedBits,
                                          bool subSampledX, bool subSampledY)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::copyImageToJpegChannels")

    if (source.m_channels == 0 || source.m_channels > 255 || source.m_width == 0 || source.m_height == 0 ||
        source.m_width > 0xFFFF || source.m_height > 0xFFFF ||
        source.m_values.size() < static_cast<std::size_t>(source.m_width) * source.m_height * source.m_channels)
        HALVORAN_THROW(codecExceptionCorruptedFile, "The image to compress is not valid");
    // DCT coding is defined for 8 and 12 bits (T.81); differences of wider
    // samples would not fit the coefficient sizes.
    if (allocatedBits < 2 || allocatedBits > 16 || (!m_bLossless && allocatedBits > 12))
        HALVORAN_THROW(jpegCodecCannotHandleSyntax, "Jpeg SOF not supported");

    m_imageSizeX = source.m_width;
    m_imageSizeY = source.m_height;
    m_precision = allocatedBits;
    const bool chroma = source.m_colorSpace == "YBR_FULL" || source.m_colorSpace == "YBR_PARTIAL";
    for (std::uint32_t i = 0; i < source.m_channels; ++i)
    {
        ptr<jpegChannel> pChannel(new jpegChannel);
        if (i == 0)
        {
            pChannel->m_samplingFactorX = subSampledX ? 2 : 1;
            pChannel->m_samplingFactorY = subSampledY ? 2 : 1;
        }
        else if (chroma)
        {
            pChannel->m_quantTable = 1;
            pChannel->m_huffmanTableDC = 1;
            pChannel->m_huffmanTableAC = 1;
        }
        pChannel->m_pActiveHuffmanTableDC = m_pHuffmanTableDC[pChannel->m_huffmanTableDC];
        pChannel->m_pActiveHuffmanTableAC = m_pHuffmanTableAC[pChannel->m_huffmanTableAC];
        m_channelsMap[static_cast<std::uint8_t>(i)] = pChannel;
        m_channelsOrder.push_back(static_cast<std::uint8_t>(i));
    }
    m_coefficientBlocks = !m_bLossless;
    allocChannels();
    if (!m_bLossless)
    {
        transformSamples(source, b2Complement);
        return;
    }

    std::int32_t low = 0;
    std::int32_t high = (1 << m_precision) - 1;
    if (b2Complement)
    {
        low = -(1 << (m_precision - 1));
        high = (1 << (m_precision - 1)) - 1;
    }
    const std::int32_t signBit = 1 << (m_precision - 1);
    const std::int32_t upperBits = ~((1 << m_precision) - 1);
    const std::uint32_t channels = source.m_channels;

    std::uint32_t c = 0;
    for (const auto& entry : m_channelsMap)
    {
        jpegChannel* pChannel = entry.second.get();
        const std::uint32_t e = m_maxSamplingFactorX / pChannel->m_samplingFactorX;
        const std::uint32_t f = m_maxSamplingFactorY / pChannel->m_samplingFactorY;
        const std::uint32_t shift = (e == 2 ? 1 : 0) + (f == 2 ? 1 : 0);
        const std::uint32_t rowBlocks = pChannel->m_width / 8;
        for (std::uint32_t cy = 0; cy < pChannel->m_height; ++cy)
        {
            const std::uint32_t firstY = cy * f;
            for (std::uint32_t cx = 0; cx < pChannel->m_width; ++cx)
            {
                const std::uint32_t firstX = cx * e;
                std::size_t index = static_cast<std::size_t>(cy) * pChannel->m_width + cx;
                if (!m_bLossless)
                {
                    index = (static_cast<std::size_t>(cy / 8) * rowBlocks + cx / 8) * 64 + (cy % 8) * 8 + cx % 8;
                    // A block whose area starts beyond the image stays 0.
                    const std::uint32_t blockX = (cx / 8) * 8 * e;
                    const std::uint32_t blockY = (cy / 8) * 8 * f;
                    if (blockX >= m_imageSizeX || blockY >= m_imageSizeY)
                    {
                        pChannel->m_pBuffer[index] = 0;
                        continue;
                    }
                }
                std::int64_t sum = 0;
                for (std::uint32_t dy = 0; dy < f; ++dy)
                {
                    const std::uint32_t y = std::min(firstY + dy, m_imageSizeY - 1);
                    for (std::uint32_t dx = 0; dx < e; ++dx)
                    {
                        const std::uint32_t x = std::min(firstX + dx, m_imageSizeX - 1);
                        sum += source.m_values[(static_cast<std::size_t>(y) * m_imageSizeX + x) * channels + c];
                    }
                }
                std::int64_t value = sum >> shift;
                std::int32_t v = static_cast<std::int32_t>(std::clamp<std::int64_t>(value, low, high));
                if (!m_bLossless && !b2Complement)
                    v -= signBit;
                if ((v & signBit) != 0)
                    v |= upperBits;
                pChannel->m_pBuffer[index] = v;
            }
        }
        ++c;
    }

    HALVORAN_FUNCTION_END()
}

void jpegCodec::transformSamples(const jpegSamples& source, bool b2Complement)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::copyImageToJpegChannels")

    // Samples are clamped to the precision and level-shifted (unsigned ones)
    // as they are gathered into blocks; a component sampled at half
    // resolution takes the mean of 2 or 4 samples, rounded down.
    const std::int32_t top = (1 << m_precision) - 1;
    const std::int32_t low = b2Complement ? -(1 << (m_precision - 1)) : 0;
    const std::int32_t high = b2Complement ? (1 << (m_precision - 1)) - 1 : top;
    const std::int32_t levelShift = b2Complement ? 0 : 1 << (m_precision - 1);
    const std::uint32_t channels = source.m_channels;
    const std::int32_t* pSource = source.m_values.data();
    const std::uint32_t width = m_imageSizeX;
    const std::uint32_t height = m_imageSizeY;

    std::uint32_t c = 0;
    for (const auto& entry : m_channelsMap)
    {
        jpegChannel* pChannel = entry.second.get();
        const std::uint32_t e = m_maxSamplingFactorX / pChannel->m_samplingFactorX;
        const std::uint32_t f = m_maxSamplingFactorY / pChannel->m_samplingFactorY;
        const std::uint32_t shift = (e == 2 ? 1 : 0) + (f == 2 ? 1 : 0);
        const std::uint32_t rowBlocks = pChannel->m_width / 8;
        const std::uint32_t columnBlocks = pChannel->m_height / 8;
        const float* pFactors = m_encodingFactors[pChannel->m_quantTable & 0x0F];
        pChannel->m_zigZagCoefficients.assign(static_cast<std::size_t>(rowBlocks) * columnBlocks * 64, 0);
        pChannel->m_nonZeroMasks.assign(static_cast<std::size_t>(rowBlocks) * columnBlocks, 0);
        alignas(32) std::int32_t block[64];
        for (std::uint32_t blockRow = 0; blockRow < columnBlocks; ++blockRow)
        {
            for (std::uint32_t blockColumn = 0; blockColumn < rowBlocks; ++blockColumn)
            {
                const std::uint32_t firstX = blockColumn * 8 * e;
                const std::uint32_t firstY = blockRow * 8 * f;
                // A block whose area starts beyond the image stays 0.
                if (firstX >= width || firstY >= height)
                    continue;
                if (e == 1 && f == 1 && firstX + 8 <= width && firstY + 8 <= height)
                {
                    for (std::uint32_t y = 0; y < 8; ++y)
                    {
                        const std::int32_t* pRow = pSource + ((static_cast<std::size_t>(firstY + y) * width + firstX) * channels + c);
                        for (std::uint32_t x = 0; x < 8; ++x)
                            block[y * 8 + x] = std::clamp(pRow[x * channels], low, high) - levelShift;
                    }
                }
                else
                {
                    // Edge blocks repeat the last column and row.
                    for (std::uint32_t y = 0; y < 8; ++y)
                    {
                        for (std::uint32_t x = 0; x < 8; ++x)
                        {
                            std::int64_t sum = 0;
                            for (std::uint32_t dy = 0; dy < f; ++dy)
                            {
                                const std::uint32_t sy = std::min(firstY + y * f + dy, height - 1);
                                for (std::uint32_t dx = 0; dx < e; ++dx)
                                {
                                    const std::uint32_t sx = std::min(firstX + x * e + dx, width - 1);
                                    sum += pSource[(static_cast<std::size_t>(sy) * width + sx) * channels + c];
                                }
                            }
                            block[y * 8 + x] =
                                static_cast<std::int32_t>(std::clamp<std::int64_t>(sum >> shift, low, high)) - levelShift;
                        }
                    }
                }
                forwardDct(block, pFactors);
                const std::size_t index = static_cast<std::size_t>(blockRow) * rowBlocks + blockColumn;
                std::int16_t* pOut = pChannel->m_zigZagCoefficients.data() + index * 64;
                std::uint64_t mask = 0;
                for (std::uint32_t k = 0; k < 64; ++k)
                {
                    const std::int32_t value = std::clamp(block[zigZag[k]], -32767, 32767);
                    pOut[k] = static_cast<std::int16_t>(value);
                    mask |= static_cast<std::uint64_t>(value != 0) << k;
                }
                pChannel->m_nonZeroMasks[index] = mask;
            }
        }
        ++c;
    }

    HALVORAN_FUNCTION_END()
}

template <bool counting>
void jpegCodec::writeBlock(const std::int16_t* pCoefficients, std::uint64_t nonZero, jpegChannel* pChannel)
{
    huffmanTable* pDC = pChannel->m_pActiveHuffmanTableDC.get();
    huffmanTable* pAC = pChannel->m_pActiveHuffmanTableAC.get();
    bitWriter& out = m_bitWriter;
    if constexpr (!counting)
        out.reserveBlock();
    // One symbol and its value bits.
    auto code = [&](huffmanTable* pTable, std::uint32_t symbol, std::uint32_t bits, std::uint32_t size) {
        if constexpr (counting)
        {
            pTable->countValue(symbol);
        }
        else
        {
            const std::uint32_t length = pTable->m_valuesToHuffmanLength[symbol];
            if (length == 0)
                pTable->writeHuffmanCode(symbol, nullptr); // throws: no code
            out.put((pTable->m_valuesToHuffman[symbol] << size) | (bits & ((1u << size) - 1)), length + size);
        }
    };
    auto sizeAndBits = [](std::int32_t value, std::uint32_t& bits) {
        const std::uint32_t size = bitsOf(static_cast<std::uint32_t>(std::abs(value)), 14);
        bits = value > 0 ? static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value + (1 << size) - 1);
        return size;
    };

    // DC: the difference from the previous block of the component.
    const std::int32_t dc = pCoefficients[0];
    const std::int32_t difference = std::clamp(dc - pChannel->m_lastDCValue, -32767, 32767);
    pChannel->m_lastDCValue = dc;
    std::uint32_t bits = 0;
    std::uint32_t size = difference == 0 ? 0 : sizeAndBits(difference, bits);
    code(pDC, size, bits, size);

    // AC: only the non-zero coefficients are visited; the zeros between them
    // are runs.
    std::uint64_t remaining = nonZero & ~std::uint64_t(1);
    std::uint32_t previous = 0;
    while (remaining != 0)
    {
        const std::uint32_t k = static_cast<std::uint32_t>(__builtin_ctzll(remaining));
        remaining &= remaining - 1;
        std::uint32_t run = k - previous - 1;
        while (run >= 16)
        {
            code(pAC, 0xF0, 0, 0);
            run -= 16;
        }
        size = sizeAndBits(pCoefficients[k], bits);
        code(pAC, (run << 4) | size, bits, size);
        previous = k;
    }
    if (previous < 63)
        code(pAC, 0x00, 0, 0);
}

void jpegCodec::writeLosslessSample(streamWriter* pStream, jpegChannel* pChannel, bool bCalcHuffman)
{
    const std::uint32_t x = pChannel->m_losslessPositionX;
    const std::uint32_t y = pChannel->m_losslessPositionY;
    if (y >= pChannel->m_height)
        return;
    const std::int32_t* pSample = pChannel->m_pBuffer + static_cast<std::size_t>(y) * pChannel->m_width + x;
    const std::int32_t v = *pSample;
    std::int32_t prediction = pChannel->m_lastDCValue;
    if (x == 0 && y > 0)
        prediction = *(pSample - pChannel->m_width);
    const std::int32_t range = 1 << m_precision;
    std::int32_t d = v - prediction;
    if (std::abs(v + range - prediction) < std::abs(d))
        d = v + range - prediction;
    if (std::abs(v - range - prediction) < std::abs(d))
        d = v - range - prediction;
    std::uint32_t size = 0;
    std::uint32_t bits = 0;
    if (d != 0)
    {
        size = bitsOf(static_cast<std::uint32_t>(std::abs(d)), 31);
        bits = d > 0 ? static_cast<std::uint32_t>(d) : static_cast<std::uint32_t>(d + (1 << size) - 1);
    }
    pChannel->m_lastDCValue = v;
    if (++pChannel->m_losslessPositionX == pChannel->m_width)
    {
        pChannel->m_losslessPositionX = 0;
        ++pChannel->m_losslessPositionY;
    }
    huffmanTable* pTable = pChannel->m_pActiveHuffmanTableDC.get();
    if (bCalcHuffman)
    {
        pTable->countValue(size);
        return;
    }
    pTable->writeHuffmanCode(size, pStream);
    // A difference of 32768 (size 16) carries no additional bits.
    if (size > 0 && size < 16)
        pStream->writeBits(bits, static_cast<int>(size));
}

void jpegCodec::writeScan(streamWriter* pStream, bool bCalcHuffman)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::writeScan")

    findMcuSize();
    if (!bCalcHuffman)
    {
        if (m_bLossless)
        {
            // Predictor 1; Se, Ah and Al are 0 in lossless scans.
            m_spectralIndexStart = 1;
            m_spectralIndexEnd = 0;
        }
        writeTag(pStream, jpegMarker::SOS);
        m_bitWriter.clear();
    }

    for (m_mcuProcessed = 0; m_mcuProcessed < m_mcuNumberTotal; ++m_mcuProcessed)
    {
        for (std::uint32_t c = 0; m_channelsList[c] != nullptr && m_markerFound == 0; ++c)
        {
            jpegChannel* pChannel = m_channelsList[c];
            if (m_bLossless)
            {
                for (std::uint32_t i = 0; i < pChannel->m_blockMcuXY; ++i)
                    writeLosslessSample(pStream, pChannel, bCalcHuffman);
                continue;
            }
            const std::uint32_t rowBlocks = pChannel->m_width / 8;
            for (std::uint32_t y = 0; y < pChannel->m_blockMcuY; ++y)
            {
                for (std::uint32_t x = 0; x < pChannel->m_blockMcuX; ++x)
                {
                    const std::size_t blockRow = static_cast<std::size_t>(m_mcuProcessedY) * pChannel->m_blockMcuY + y;
                    const std::size_t blockColumn = static_cast<std::size_t>(m_mcuProcessedX) * pChannel->m_blockMcuX + x;
                    const std::size_t index = blockRow * rowBlocks + blockColumn;
                    if (bCalcHuffman)
                        writeBlock<true>(pChannel->m_zigZagCoefficients.data() + index * 64,
                                         pChannel->m_nonZeroMasks[index], pChannel);
                    else
                        writeBlock<false>(pChannel->m_zigZagCoefficients.data() + index * 64,
                                          pChannel->m_nonZeroMasks[index], pChannel);
                }
            }
        }
        if (++m_mcuProcessedX == m_mcuNumberX)
        {
            m_mcuProcessedX = 0;
            ++m_mcuProcessedY;
        }
    }

    if (!bCalcHuffman && !m_bLossless)
    {
        // The last byte of the scan is completed with 0 bits.
        m_bitWriter.finish();
        if (m_bitWriter.size() != 0)
            pStream->write(m_bitWriter.data(), static_cast<std::uint32_t>(m_bitWriter.size()));
        pStream->flush();
    }
    else if (!bCalcHuffman)
    {
        pStream->resetOutBitsBuffer();
    }

    HALVORAN_FUNCTION_END()
}

void jpegCodec::encodeSamples(const ptr<streamWriter>& pDestStream, const jpegSamples& source,
                              const std::wstring& transferSyntax, int quality, std::uint8_t allocatedBits,
                              bool subSampledX, bool subSampledY, bool interleaved, bool b2Complement)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::setImage")

    streamWriter* pStream = pDestStream.get();
    pStream->m_pTagByte = &m_markerFound;
    resetInternal(true, quality);
    m_bLossless = isLosslessSyntax(transferSyntax);
    copySamplesToJpegChannels(source, b2Complement, allocatedBits, subSampledX, subSampledY);

    const std::uint8_t soi[2] = {0xFF, jpegMarker::SOI};
    pStream->write(soi, 2);
    // RGB components must be labelled, or decoders take them for YCbCr.
    if (source.m_colorSpace == "RGB" && source.m_channels == 3)
    {
        m_adobeTransform = 0;
        writeTag(pStream, jpegMarker::APP14);
    }
    writeTag(pStream, m_bLossless ? 0xC3 : (m_precision > 8 ? 0xC1 : 0xC0));
    writeTag(pStream, jpegMarker::DQT);

    for (int pass = 0; pass < 2; ++pass)
    {
        if (pass == 1)
            writeTag(pStream, jpegMarker::DHT);
        if (interleaved)
        {
            std::uint32_t c = 0;
            for (const auto& entry : m_channelsMap)
                m_channelsList[c++] = entry.second.get();
            m_channelsList[c] = nullptr;
            writeScan(pStream, pass == 0);
            continue;
        }
        for (const auto& entry : m_channelsMap)
        {
            m_channelsList[0] = entry.second.get();
            m_channelsList[1] = nullptr;
            writeScan(pStream, pass == 0);
        }
    }
    writeTag(pStream, jpegMarker::EOI);
    pStream->flush();

    HALVORAN_FUNCTION_END()
}

void jpegCodec::setImage(const ptr<streamWriter>& pDestStream, const ptr<image>& pImage, std::wstring transferSyntax,
                         int imageQuality, std::string, int allocatedBits, bool bSubSampledX, bool bSubSampledY,
                         bool bInterleaved, bool b2Complement)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::setImage")

    jpegSamples source;
    std::uint32_t rowSize = 0;
    std::uint32_t pixelSize = 0;
    std::uint32_t channels = 0;
    ptr<handlers::imageHandler> handler = pImage->getDataHandler(false, &rowSize, &pixelSize, &channels);
    pImage->getSize(&source.m_width, &source.m_height);
    if (!handler || channels == 0)
        HALVORAN_THROW(codecExceptionCorruptedFile, "The image to compress is not valid");
    source.m_channels = channels;
    const std::wstring colorSpace = pImage->getColorSpace();
    source.m_colorSpace.assign(colorSpace.begin(), colorSpace.end());
    source.m_precision = static_cast<std::uint32_t>(allocatedBits);
    source.m_b2Complement = b2Complement;
    const std::size_t count = static_cast<std::size_t>(source.m_width) * source.m_height * channels;
    source.m_values.assign(count, 0);
    handler->copyToInt32(source.m_values.data(), static_cast<std::uint32_t>(std::min<std::size_t>(count, handler->getSize())));
    handler.release();

    encodeSamples(pDestStream, source, transferSyntax, imageQuality,
                  static_cast<std::uint8_t>(std::clamp(allocatedBits, 0, 255)), bSubSampledX, bSubSampledY,
                  bInterleaved, b2Complement);

    HALVORAN_FUNCTION_END()
}

void jpegCodec::writeStream(const ptr<streamWriter>& pDestStream, const ptr<dataSet>& pDataSet)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::writeStream")

    lockObject lockAccess(pDataSet.get());
    const std::wstring transferSyntax = pDataSet->getUnicodeString(0x0002, 0, 0x0010, 0);
    if (canHandleTransferSyntax(transferSyntax))
    {
        // Already JPEG: the stored stream is copied unchanged.
        ptr<data> imageTag = pDataSet->getTag(0x7FE0, 0, 0x0010, false);
        if (!imageTag || !imageTag->bufferExists(0))
            HALVORAN_THROW(dataSetImageDoesntExist, "The requested image doesn't exist");
        std::uint32_t first = 0;
        std::uint32_t end = 1;
        if (imageTag->bufferExists(1))
            pDataSet->getFrameBufferIds(0, &first, &end);
        for (std::uint32_t bufferId = first; bufferId < end; ++bufferId)
        {
            ptr<handlers::dataHandlerRaw> raw = imageTag->getDataHandlerRaw(bufferId, false, "");
            if (raw && raw->getSize() != 0)
                pDestStream->write(raw->getMemoryBuffer(), raw->getSize());
        }
        pDestStream->flush();
        return;
    }
    ptr<image> pImage = pDataSet->getImage(0);
    setImage(pDestStream, pImage, L"1.2.840.10008.1.2.4.50", 100, "OB", 8, true, true, false, false);

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix::codecs
