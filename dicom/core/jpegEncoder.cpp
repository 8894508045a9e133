// Encoding side of the JPEG codec: samples into components, the forward DCT
// and quantisation, the two-pass Huffman coding and the stream layout.
#include "dicom/core/jpegCodec.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/lockObject.h"
#include "dicom/core/data.h"
#include "dicom/core/dataHandlerRaw.h"
#include "dicom/core/image.h"
#include "dicom/core/jpegTables.h"

#include <algorithm>
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

// One 8-point AAN forward transform in single precision.
inline void fdct8(float* pData, std::uint32_t stride, float t0, float t1, float t2, float t3, float t4, float t5,
                  float t6, float t7)
{
    const float u10 = t0 + t3;
    const float u13 = t0 - t3;
    const float u11 = t1 + t2;
    const float u12 = t1 - t2;
    pData[0] = u10 + u11;
    pData[4 * stride] = u10 - u11;
    const float z1 = (u12 + u13) * 0.70710677f;
    pData[2 * stride] = u13 + z1;
    pData[6 * stride] = u13 - z1;

    const float o10 = t4 + t5;
    const float o11 = t5 + t6;
    const float o12 = t6 + t7;
    const float z5 = (o10 - o12) * 0.38268343f;
    const float z2 = 0.5411961f * o10 + z5;
    const float z4 = 1.306563f * o12 + z5;
    const float z3 = o11 * 0.70710677f;
    const float z11 = t7 + z3;
    const float z13 = t7 - z3;
    pData[5 * stride] = z13 + z2;
    pData[3 * stride] = z13 - z2;
    pData[1 * stride] = z11 + z4;
    pData[7 * stride] = z11 - z4;
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
    float* pTemp = m_fdctTempTable;
    for (std::uint32_t row = 0; row < 8; ++row)
    {
        const std::int32_t* d = pBlock + row * 8;
        fdct8(pTemp + row * 8, 1, static_cast<float>(d[0] + d[7]), static_cast<float>(d[1] + d[6]),
              static_cast<float>(d[2] + d[5]), static_cast<float>(d[3] + d[4]), static_cast<float>(d[3] - d[4]),
              static_cast<float>(d[2] - d[5]), static_cast<float>(d[1] - d[6]), static_cast<float>(d[0] - d[7]));
    }
    for (std::uint32_t column = 0; column < 8; ++column)
    {
        float* d = pTemp + column;
        const float c0 = d[0], c1 = d[8], c2 = d[16], c3 = d[24], c4 = d[32], c5 = d[40], c6 = d[48], c7 = d[56];
        fdct8(d, 8, c0 + c7, c1 + c6, c2 + c5, c3 + c4, c3 - c4, c2 - c5, c1 - c6, c0 - c7);
    }
    for (std::uint32_t k = 0; k < 64; ++k)
    {
        // Rounded to the nearest step, halves away from zero, for either sign
        // (adding 0.5 alone would pull negative coefficients toward zero).
        const float product = pTemp[k] * pFactors[k];
        const float scaled = product >= 0.0f ? product + 0.5f : product - 0.5f;
        pBlock[k] = static_cast<std::int32_t>(std::clamp(scaled, -2147483648.0f, 2147483520.0f));
    }
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
    allocChannels();

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

void jpegCodec::writeBlock(streamWriter* pStream, std::int32_t* pBlock, jpegChannel* pChannel, bool bCalcHuffman)
{
    HALVORAN_FUNCTION_START(L"jpegCodec::writeBlock")

    if (bCalcHuffman)
        forwardDct(pBlock, m_encodingFactors[pChannel->m_quantTable & 0x0F]);
    huffmanTable* pDC = pChannel->m_pActiveHuffmanTableDC.get();
    huffmanTable* pAC = pChannel->m_pActiveHuffmanTableAC.get();
    auto code = [&](huffmanTable* pTable, std::uint32_t symbol) {
        if (bCalcHuffman)
            pTable->countValue(symbol);
        else
            pTable->writeHuffmanCode(symbol, pStream);
    };

    std::uint32_t run = 0;
    for (std::uint32_t k = m_spectralIndexStart; k <= m_spectralIndexEnd && k < 64; ++k)
    {
        std::int32_t c = std::clamp(pBlock[zigZag[k]], -32767, 32767);
        huffmanTable* pTable = pAC;
        if (k == 0)
        {
            c -= pChannel->m_lastDCValue;
            pChannel->m_lastDCValue += c;
            pTable = pDC;
            c = std::clamp(c, -32767, 32767);
        }
        else if (c == 0)
        {
            ++run;
            continue;
        }
        while (run >= 16)
        {
            run -= 16;
            code(pAC, 0xF0);
        }
        std::uint32_t size = 0;
        std::uint32_t bits = 0;
        if (c != 0)
        {
            size = bitsOf(static_cast<std::uint32_t>(std::abs(c)), 14);
            bits = c > 0 ? static_cast<std::uint32_t>(c) : static_cast<std::uint32_t>(c + (1 << size) - 1);
        }
        code(pTable, (run << 4) | size);
        if (!bCalcHuffman && size > 0)
            pStream->writeBits(bits, static_cast<int>(size));
        run = 0;
    }
    if (run > 0)
        code(pAC, 0x00);

    HALVORAN_FUNCTION_END()
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
                    writeBlock(pStream, pChannel->m_pBuffer + (blockRow * rowBlocks + blockColumn) * 64, pChannel,
                               bCalcHuffman);
                }
            }
        }
        if (++m_mcuProcessedX == m_mcuNumberX)
        {
            m_mcuProcessedX = 0;
            ++m_mcuProcessedY;
        }
    }

    if (!bCalcHuffman)
        pStream->resetOutBitsBuffer();

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
