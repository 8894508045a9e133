// Pixel data of the DICOM stream codec: native and RLE frames.
#include "dicom/base/exceptionsManager.h"
#include "dicom/base/streamException.h"
#include "dicom/core/colorTransformsFactory.h"
#include "dicom/core/dicomCodec.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace Halvoran::Varnix::codecs
{

using transforms::colorTransforms::colorTransformsFactory;

namespace
{
const wchar_t* const rleTransferSyntax = L"1.2.840.10008.1.2.5";

// Segment offsets an RLE header has room for.
constexpr std::uint32_t rleMaxSegments = 15;
constexpr std::uint32_t rleHeaderSize = 64;

std::uint32_t readLittleEndian32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void writeLittleEndian32(std::uint8_t* p, std::uint32_t value)
{
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value >> 16);
    p[3] = static_cast<std::uint8_t>(value >> 24);
}

// PackBits coding of one row: runs of at least 4 equal bytes (at most 128)
// become a control byte and the value, the bytes between them literal
// blocks of at most 128. Appends to pDest (when given) and returns the
// number of bytes produced.
std::uint32_t packRow(const std::uint8_t* pRow, std::uint32_t length, std::vector<std::uint8_t>* pDest)
{
    std::uint32_t produced = 0;
    const auto emitLiteral = [&](std::uint32_t start, std::uint32_t end) {
        while (start < end)
        {
            const std::uint32_t block = std::min<std::uint32_t>(end - start, 128);
            if (pDest != nullptr)
            {
                pDest->push_back(static_cast<std::uint8_t>(block - 1));
                pDest->insert(pDest->end(), pRow + start, pRow + start + block);
            }
            produced += block + 1;
            start += block;
        }
    };

    std::uint32_t literalStart = 0;
    std::uint32_t position = 0;
    while (position < length)
    {
        std::uint32_t runLength = 1;
        while (position + runLength < length && runLength < 128 && pRow[position + runLength] == pRow[position])
            ++runLength;
        if (runLength >= 4)
        {
            emitLiteral(literalStart, position);
            if (pDest != nullptr)
            {
                pDest->push_back(static_cast<std::uint8_t>(257 - runLength));
                pDest->push_back(pRow[position]);
            }
            produced += 2;
            position += runLength;
            literalStart = position;
        }
        else
            ++position;
    }
    emitLiteral(literalStart, length);
    return produced;
}
} // namespace

std::uint32_t dicomCodec::getMaxHighBit(std::string /* transferSyntax */)
{
    return 15;
}

std::uint32_t dicomCodec::suggestAllocatedBits(std::wstring transferSyntax, std::uint32_t highBit)
{
    if (transferSyntax == rleTransferSyntax)
        return (highBit + 8) & ~7u;
    return highBit + 1;
}

ptr<image> dicomCodec::getImage(const ptr<dataSet>& pData, const ptr<streamReader>& pSourceStream,
                                std::string dataType)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::getImage")

    const std::wstring transferSyntax = pData->getUnicodeString(0x0002, 0, 0x0010, 0);
    const bool bRleCompressed = transferSyntax == rleTransferSyntax;

    std::wstring colorSpace = pData->getUnicodeString(0x0028, 0, 0x0004, 0);
    std::uint8_t channelsNumber = static_cast<std::uint8_t>(pData->getUnsignedLong(0x0028, 0, 0x0002, 0));
    if (colorSpace.empty())
    {
        if (channelsNumber == 0 || channelsNumber == 1)
        {
            colorSpace = L"MONOCHROME2";
            channelsNumber = 1;
        }
        else if (channelsNumber == 3)
            colorSpace = L"RGB";
    }

    const std::uint32_t imageSizeX = pData->getUnsignedLong(0x0028, 0, 0x0011, 0);
    const std::uint32_t imageSizeY = pData->getUnsignedLong(0x0028, 0, 0x0010, 0);
    const bool bInterleaved = channelsNumber <= 1 || pData->getUnsignedLong(0x0028, 0, 0x0006, 0) == 0;
    const bool b2Complement = pData->getUnsignedLong(0x0028, 0, 0x0103, 0) != 0;
    const std::uint8_t allocatedBits = static_cast<std::uint8_t>(pData->getUnsignedLong(0x0028, 0, 0x0100, 0));
    const std::uint8_t storedBits = static_cast<std::uint8_t>(pData->getUnsignedLong(0x0028, 0, 0x0101, 0));
    std::uint8_t highBit = static_cast<std::uint8_t>(pData->getUnsignedLong(0x0028, 0, 0x0102, 0));
    if (storedBits != 0 && highBit < storedBits - 1)
        highBit = static_cast<std::uint8_t>(storedBits - 1);

    if (imageSizeX == 0 || imageSizeY == 0)
        HALVORAN_THROW(codecExceptionCorruptedFile, "The size tags are not available");
    // Without bits the packer would never advance; above 31 the masks and
    // the sign extension do not fit the 32-bit samples.
    if (allocatedBits == 0 || allocatedBits > 32 || storedBits == 0 || highBit >= 31)
        HALVORAN_THROW(codecExceptionCorruptedFile, "The bits allocated, stored or the high bit are not valid");

    const bool bSubSampledX = channelsNumber > 1 && colorTransformsFactory::isSubsampledX(colorSpace);
    const bool bSubSampledY = channelsNumber > 1 && colorTransformsFactory::isSubsampledY(colorSpace);

    std::uint8_t depth = 0;
    if (b2Complement)
        depth = highBit < 8 ? image::depthS8 : image::depthS16;
    else
        depth = highBit < 8 ? image::depthU8 : image::depthU16;

    ptr<image> pImage(new image);
    ptr<handlers::imageHandler> handler;
    if (channelsNumber != 0)
        handler = pImage->create(imageSizeX, imageSizeY, depth, colorSpace, highBit);
    if (!handler || pImage->getChannelsNumber() != channelsNumber)
        HALVORAN_THROW(codecExceptionCorruptedFile, "Cannot allocate the image's buffer");

    // Native frames must be in the stream before their samples are
    // allocated: a damaged size does not make a huge block for nothing.
    if (!bRleCompressed)
    {
        const std::uint64_t evenX = bSubSampledX ? (static_cast<std::uint64_t>(imageSizeX) + 1) & ~1ull : imageSizeX;
        const std::uint64_t evenY = bSubSampledY ? (static_cast<std::uint64_t>(imageSizeY) + 1) & ~1ull : imageSizeY;
        std::uint64_t samples = evenX * evenY;
        if (channelsNumber > 1)
            samples += (channelsNumber - 1) * (evenX >> (bSubSampledX ? 1 : 0)) * (evenY >> (bSubSampledY ? 1 : 0));
        const std::uint64_t frameBytes = (samples * allocatedBits + 7) / 8;
        const ptr<baseStream> controlled = pSourceStream->getControlledStream();
        if (controlled && frameBytes > controlled->getSize())
            HALVORAN_THROW(streamExceptionEOF, "Attempt to read past the end of the file");
    }

    allocChannels(channelsNumber, imageSizeX, imageSizeY, bSubSampledX, bSubSampledY);

    const std::uint32_t mask = static_cast<std::uint32_t>((std::uint64_t{1} << (highBit + 1)) -
                                                          (std::uint64_t{1} << (highBit + 1 - storedBits)));

    if (bRleCompressed)
    {
        if (bSubSampledX || bSubSampledY)
            HALVORAN_THROW(codecExceptionCorruptedFile, "Cannot read subsampled RLE images");
        readRLECompressed(imageSizeX, imageSizeY, channelsNumber, pSourceStream.get(), allocatedBits, mask,
                          bInterleaved);
    }
    else
    {
        const std::uint8_t wordSize = dataType == "OW" ? 2 : 1;
        if (bInterleaved)
            readUncompressedInterleaved(channelsNumber, bSubSampledX, bSubSampledY, pSourceStream.get(), wordSize,
                                        allocatedBits, mask);
        else
            readUncompressedNotInterleaved(channelsNumber, pSourceStream.get(), wordSize, allocatedBits, mask);
    }

    if (b2Complement)
    {
        const std::uint32_t signBit = std::uint32_t{1} << highBit;
        const std::uint32_t extension = ~((signBit << 1) - 1);
        for (const ptr<channel>& pChannel : m_channels)
        {
            std::int32_t* pSample = pChannel->m_pBuffer;
            for (std::uint32_t i = 0; i < pChannel->m_bufferSize; ++i, ++pSample)
                if (static_cast<std::uint32_t>(*pSample) & signBit)
                    *pSample = static_cast<std::int32_t>(static_cast<std::uint32_t>(*pSample) | extension);
        }
    }

    const std::uint32_t factorX = bSubSampledX ? 2 : 1;
    const std::uint32_t factorY = bSubSampledY ? 2 : 1;
    for (std::uint32_t channelNumber = 0; channelNumber < channelsNumber; ++channelNumber)
    {
        const ptr<channel>& pChannel = m_channels[channelNumber];
        handler->copyFromInt32Interleaved(
            pChannel->m_pBuffer, factorX / pChannel->m_samplingFactorX, factorY / pChannel->m_samplingFactorY, 0, 0,
            pChannel->m_width * factorX / pChannel->m_samplingFactorX,
            pChannel->m_height * factorY / pChannel->m_samplingFactorY, channelNumber, imageSizeX, imageSizeY,
            channelsNumber);
    }
    handler.release();
    return pImage;

    HALVORAN_FUNCTION_END()
}

void dicomCodec::setImage(const ptr<streamWriter>& pDestStream, const ptr<image>& pImage,
                          std::wstring transferSyntax, int /* imageQuality */, std::string dataType,
                          int allocatedBits, bool bSubSampledX, bool bSubSampledY, bool bInterleaved,
                          bool /* b2Complement */)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::setImage")

    std::uint32_t imageSizeX = 0, imageSizeY = 0;
    pImage->getSize(&imageSizeX, &imageSizeY);
    const std::uint32_t highBit = pImage->getHighBit();
    std::uint32_t rowSize = 0, pixelSize = 0, channelsNumber = 0;
    ptr<handlers::imageHandler> handler = pImage->getDataHandler(false, &rowSize, &pixelSize, &channelsNumber);
    if (!handler || imageSizeX == 0 || imageSizeY == 0)
        HALVORAN_THROW(codecExceptionCorruptedFile, "The image has no pixels");
    if (allocatedBits <= 0 || allocatedBits > 32 || highBit >= 31)
        HALVORAN_THROW(codecExceptionCorruptedFile, "The bits allocated, stored or the high bit are not valid");
    if (channelsNumber <= 1)
        bSubSampledX = bSubSampledY = false;

    const bool bRle = transferSyntax == rleTransferSyntax;
    // The RLE segments hold every channel at full size, and native layouts
    // only halve the chroma horizontally.
    if ((bRle && (bSubSampledX || bSubSampledY)) || bSubSampledY)
        HALVORAN_THROW(codecExceptionCorruptedFile, "Cannot write images subsampled this way");

    allocChannels(channelsNumber, imageSizeX, imageSizeY, bSubSampledX, bSubSampledY);
    const std::uint32_t factorX = bSubSampledX ? 2 : 1;
    const std::uint32_t factorY = bSubSampledY ? 2 : 1;
    for (std::uint32_t channelNumber = 0; channelNumber < channelsNumber; ++channelNumber)
    {
        const ptr<channel>& pChannel = m_channels[channelNumber];
        handler->copyToInt32Interleaved(
            pChannel->m_pBuffer, factorX / pChannel->m_samplingFactorX, factorY / pChannel->m_samplingFactorY, 0, 0,
            pChannel->m_width * factorX / pChannel->m_samplingFactorX,
            pChannel->m_height * factorY / pChannel->m_samplingFactorY, channelNumber, imageSizeX, imageSizeY,
            channelsNumber);
    }
    handler.release();

    const std::uint32_t mask = static_cast<std::uint32_t>((std::uint64_t{1} << (highBit + 1)) - 1);
    const std::uint8_t bits = static_cast<std::uint8_t>(allocatedBits);
    if (bRle)
    {
        writeRLECompressed(imageSizeX, imageSizeY, channelsNumber, pDestStream.get(), bits, mask);
        return;
    }
    const std::uint8_t wordSize = (dataType == "OW" || dataType == "SS" || dataType == "US") ? 2 : 1;
    if (bInterleaved || channelsNumber == 1)
        writeUncompressedInterleaved(channelsNumber, bSubSampledX, bSubSampledY, pDestStream.get(), wordSize, bits,
                                     mask);
    else
        writeUncompressedNotInterleaved(channelsNumber, pDestStream.get(), wordSize, bits, mask);

    HALVORAN_FUNCTION_END()
}

void dicomCodec::allocChannels(std::uint32_t channelsNumber, std::uint32_t sizeX, std::uint32_t sizeY,
                               bool bSubSampledX, bool bSubSampledY)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::allocChannels")

    if (bSubSampledX && (sizeX & 1) != 0)
        ++sizeX;
    if (bSubSampledY && (sizeY & 1) != 0)
        ++sizeY;
    m_channels.resize(channelsNumber);
    for (std::uint32_t channelNumber = 0; channelNumber < channelsNumber; ++channelNumber)
    {
        ptr<channel> pChannel(new channel);
        if (channelNumber == 0)
        {
            pChannel->m_samplingFactorX = bSubSampledX ? 2 : 1;
            pChannel->m_samplingFactorY = bSubSampledY ? 2 : 1;
            pChannel->allocate(sizeX, sizeY);
        }
        else
            pChannel->allocate(bSubSampledX ? sizeX / 2 : sizeX, bSubSampledY ? sizeY / 2 : sizeY);
        m_channels[channelNumber] = pChannel;
    }

    HALVORAN_FUNCTION_END()
}

void dicomCodec::readUncompressedInterleaved(std::uint32_t channelsNumber, bool bSubSampledX, bool bSubSampledY,
                                             streamReader* pSourceStream, std::uint8_t wordSizeBytes,
                                             std::uint8_t allocatedBits, std::uint32_t mask)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::readUncompressedInterleaved")

    if (bSubSampledY)
        HALVORAN_THROW(codecExceptionCorruptedFile, "Cannot read native images subsampled vertically");

    std::uint8_t bitPointer = 0;
    const channel& luminance = *m_channels[0];
    if (channelsNumber == 1)
    {
        readPixel(pSourceStream, luminance.m_pBuffer, luminance.m_bufferSize, &bitPointer, wordSizeBytes,
                  allocatedBits, mask);
        return;
    }

    // Groups of samples: one per pixel, or two luminance samples and one of
    // every other channel per pair of pixels.
    const std::uint32_t groups = bSubSampledX ? (luminance.m_width / 2) * luminance.m_height : luminance.m_bufferSize;
    const std::uint32_t groupSize = bSubSampledX ? channelsNumber + 1 : channelsNumber;
    std::vector<std::int32_t> samples(static_cast<std::size_t>(groups) * groupSize);
    readPixel(pSourceStream, samples.data(), static_cast<std::uint32_t>(samples.size()), &bitPointer,
              wordSizeBytes, allocatedBits, mask);

    const std::int32_t* pSample = samples.data();
    std::int32_t* pLuminance = luminance.m_pBuffer;
    for (std::uint32_t group = 0; group < groups; ++group)
    {
        *pLuminance++ = *pSample++;
        if (bSubSampledX)
            *pLuminance++ = *pSample++;
        for (std::uint32_t channelNumber = 1; channelNumber < channelsNumber; ++channelNumber)
            m_channels[channelNumber]->m_pBuffer[group] = *pSample++;
    }

    HALVORAN_FUNCTION_END()
}

void dicomCodec::writeUncompressedInterleaved(std::uint32_t channelsNumber, bool bSubSampledX, bool bSubSampledY,
                                              streamWriter* pDestStream, std::uint8_t wordSizeBytes,
                                              std::uint8_t allocatedBits, std::uint32_t mask)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::writeUncompressedInterleaved")

    if (bSubSampledY)
        HALVORAN_THROW(codecExceptionCorruptedFile, "Cannot write images subsampled this way");

    std::uint8_t bitPointer = 0;
    const channel& luminance = *m_channels[0];
    const std::uint32_t groups = bSubSampledX ? (luminance.m_width / 2) * luminance.m_height : luminance.m_bufferSize;
    const std::int32_t* pLuminance = luminance.m_pBuffer;
    for (std::uint32_t group = 0; group < groups; ++group)
    {
        writePixel(pDestStream, *pLuminance++, &bitPointer, wordSizeBytes, allocatedBits, mask);
        if (bSubSampledX)
            writePixel(pDestStream, *pLuminance++, &bitPointer, wordSizeBytes, allocatedBits, mask);
        for (std::uint32_t channelNumber = 1; channelNumber < channelsNumber; ++channelNumber)
            writePixel(pDestStream, m_channels[channelNumber]->m_pBuffer[group], &bitPointer, wordSizeBytes,
                       allocatedBits, mask);
    }
    flushUnwrittenPixels(pDestStream, &bitPointer, wordSizeBytes);

    HALVORAN_FUNCTION_END()
}

void dicomCodec::readUncompressedNotInterleaved(std::uint32_t channelsNumber, streamReader* pSourceStream,
                                                std::uint8_t wordSizeBytes, std::uint8_t allocatedBits,
                                                std::uint32_t mask)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::readUncompressedNotInterleaved")

    std::uint8_t bitPointer = 0;
    for (std::uint32_t channelNumber = 0; channelNumber < channelsNumber; ++channelNumber)
    {
        const channel& plane = *m_channels[channelNumber];
        readPixel(pSourceStream, plane.m_pBuffer, plane.m_bufferSize, &bitPointer, wordSizeBytes, allocatedBits,
                  mask);
    }

    HALVORAN_FUNCTION_END()
}

void dicomCodec::writeUncompressedNotInterleaved(std::uint32_t channelsNumber, streamWriter* pDestStream,
                                                 std::uint8_t wordSizeBytes, std::uint8_t allocatedBits,
                                                 std::uint32_t mask)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::writeUncompressedNotInterleaved")

    std::uint8_t bitPointer = 0;
    for (std::uint32_t channelNumber = 0; channelNumber < channelsNumber; ++channelNumber)
    {
        const channel& plane = *m_channels[channelNumber];
        for (std::uint32_t i = 0; i < plane.m_bufferSize; ++i)
            writePixel(pDestStream, plane.m_pBuffer[i], &bitPointer, wordSizeBytes, allocatedBits, mask);
    }
    flushUnwrittenPixels(pDestStream, &bitPointer, wordSizeBytes);

    HALVORAN_FUNCTION_END()
}

void dicomCodec::readRLECompressed(std::uint32_t imageWidth, std::uint32_t imageHeight, std::uint32_t channelsNumber,
                                   streamReader* pSourceStream, std::uint8_t allocatedBits, std::uint32_t mask,
                                   bool /* bInterleaved */)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::readRLECompressed")

    const std::uint32_t headerPosition = pSourceStream->position();
    std::uint8_t header[rleHeaderSize];
    pSourceStream->read(header, rleHeaderSize);
    std::uint32_t values[16];
    for (std::uint32_t i = 0; i < 16; ++i)
        values[i] = readLittleEndian32(header + 4 * i);

    const std::uint32_t planes = (allocatedBits + 7u) / 8u;
    const std::uint64_t neededSegments = static_cast<std::uint64_t>(planes) * channelsNumber;
    // Every plane needs its own segment, each after the header.
    if (neededSegments > rleMaxSegments || values[0] < neededSegments || values[0] > rleMaxSegments)
        HALVORAN_THROW(codecExceptionCorruptedFile, "The RLE header does not describe the image's segments");
    for (std::uint32_t segment = 1; segment <= neededSegments; ++segment)
        if (values[segment] < rleHeaderSize)
            HALVORAN_THROW(codecExceptionCorruptedFile, "The RLE header does not describe the image's segments");

    const std::uint32_t samplesNumber = imageWidth * imageHeight;
    std::vector<std::uint8_t> decoded(samplesNumber);
    std::uint32_t segment = 1;
    for (std::uint32_t channelNumber = 0; channelNumber < channelsNumber; ++channelNumber)
    {
        std::int32_t* pSamples = m_channels[channelNumber]->m_pBuffer;
        for (std::int32_t shift = static_cast<std::int32_t>(8 * (planes - 1)); shift >= 0; shift -= 8)
        {
            pSourceStream->seek(static_cast<std::int64_t>(headerPosition) + values[segment++], false);
            std::uint32_t produced = 0;
            while (produced < samplesNumber)
            {
                std::uint8_t control = 0;
                pSourceStream->readByte(&control);
                if (control < 128)
                {
                    const std::uint32_t count = std::min<std::uint32_t>(control + 1u, samplesNumber - produced);
                    pSourceStream->read(decoded.data() + produced, count);
                    produced += count;
                    // Literal bytes past the plane's end are not used.
                    if (count < control + 1u && produced == samplesNumber)
                        break;
                }
                else if (control > 128)
                {
                    std::uint8_t value = 0;
                    pSourceStream->readByte(&value);
                    const std::uint32_t count = std::min<std::uint32_t>(257u - control, samplesNumber - produced);
                    std::memset(decoded.data() + produced, value, count);
                    produced += count;
                }
            }
            const std::uint32_t planeMask = mask;
            for (std::uint32_t i = 0; i < samplesNumber; ++i)
                pSamples[i] |= static_cast<std::int32_t>((static_cast<std::uint32_t>(decoded[i]) << shift) & planeMask);
        }
    }

    HALVORAN_FUNCTION_END()
}

void dicomCodec::writeRLECompressed(std::uint32_t imageWidth, std::uint32_t imageHeight, std::uint32_t channelsNumber,
                                    streamWriter* pDestStream, std::uint8_t allocatedBits, std::uint32_t mask)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::writeRLECompressed")

    const std::uint32_t planes = (allocatedBits + 7u) / 8u;
    const std::uint32_t segmentsNumber = planes * channelsNumber;
    if (segmentsNumber > rleMaxSegments)
        HALVORAN_THROW(codecExceptionCorruptedFile, "The image needs more RLE segments than the header holds");

    std::vector<std::uint8_t> row(imageWidth);
    std::vector<std::uint8_t> segments;
    std::uint8_t header[rleHeaderSize] = {};
    writeLittleEndian32(header, segmentsNumber);
    std::uint32_t segment = 0;
    for (std::uint32_t channelNumber = 0; channelNumber < channelsNumber; ++channelNumber)
    {
        const std::int32_t* pSamples = m_channels[channelNumber]->m_pBuffer;
        for (std::int32_t shift = static_cast<std::int32_t>(8 * (planes - 1)); shift >= 0; shift -= 8)
        {
            writeLittleEndian32(header + 4 * (++segment), static_cast<std::uint32_t>(rleHeaderSize + segments.size()));
            for (std::uint32_t y = 0; y < imageHeight; ++y)
            {
                const std::int32_t* pRow = pSamples + static_cast<std::size_t>(y) * imageWidth;
                for (std::uint32_t x = 0; x < imageWidth; ++x)
                    row[x] = static_cast<std::uint8_t>((static_cast<std::uint32_t>(pRow[x]) & mask) >> shift);
                packRow(row.data(), imageWidth, &segments);
            }
            if ((segments.size() & 1) != 0)
                segments.push_back(0x80);
        }
    }
    pDestStream->write(header, rleHeaderSize);
    if (!segments.empty())
        pDestStream->write(segments.data(), static_cast<std::uint32_t>(segments.size()));

    HALVORAN_FUNCTION_END()
}

void dicomCodec::readPixel(streamReader* pSourceStream, std::int32_t* pDestBuffer, std::uint32_t numPixels,
                           std::uint8_t* pBitPointer, std::uint8_t wordSizeBytes, std::uint8_t allocatedBits,
                           std::uint32_t mask)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::readPixel")

    if (allocatedBits == 8)
    {
        std::vector<std::uint8_t> bytes(numPixels);
        pSourceStream->read(bytes.data(), numPixels);
        for (std::uint32_t i = 0; i < numPixels; ++i)
            pDestBuffer[i] = static_cast<std::int32_t>(bytes[i] & mask);
        return;
    }
    if (allocatedBits == 16)
    {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(numPixels) * 2);
        pSourceStream->read(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
        const std::uint8_t* p = bytes.data();
        for (std::uint32_t i = 0; i < numPixels; ++i, p += 2)
        {
            std::uint16_t value = 0;
            if (wordSizeBytes == 2)
                std::memcpy(&value, p, 2);
            else
                value = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
            pDestBuffer[i] = static_cast<std::int32_t>(value & mask);
        }
        return;
    }

    // Packed samples, least significant bits first; the scratch value keeps
    // its unused bits at the bottom.
    const std::uint8_t unitBits = wordSizeBytes == 2 ? 16 : 8;
    for (std::uint32_t i = 0; i < numPixels; ++i)
    {
        std::uint64_t value = 0;
        std::uint32_t taken = 0;
        while (taken < allocatedBits)
        {
            if (*pBitPointer == 0)
            {
                if (wordSizeBytes == 2)
                    pSourceStream->read(reinterpret_cast<std::uint8_t*>(&m_ioWord), 2);
                else
                {
                    pSourceStream->read(&m_ioByte, 1);
                    m_ioWord = m_ioByte;
                }
                *pBitPointer = unitBits;
            }
            const std::uint32_t bits = std::min<std::uint32_t>(allocatedBits - taken, *pBitPointer);
            value |= static_cast<std::uint64_t>(m_ioWord & ((1u << bits) - 1)) << taken;
            m_ioWord = static_cast<std::uint16_t>(bits >= 16 ? 0 : m_ioWord >> bits);
            *pBitPointer = static_cast<std::uint8_t>(*pBitPointer - bits);
            taken += bits;
        }
        pDestBuffer[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(value) & mask);
    }

    HALVORAN_FUNCTION_END()
}

void dicomCodec::writePixel(streamWriter* pDestStream, std::int32_t pixelValue, std::uint8_t* pBitPointer,
                            std::uint8_t wordSizeBytes, std::uint8_t allocatedBits, std::uint32_t mask)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::writePixel")

    std::uint32_t value = static_cast<std::uint32_t>(pixelValue) & mask;
    if (allocatedBits == 8)
    {
        const std::uint8_t byte = static_cast<std::uint8_t>(value);
        pDestStream->write(&byte, 1);
        return;
    }
    if (allocatedBits == 16)
    {
        std::uint8_t bytes[2];
        const std::uint16_t word = static_cast<std::uint16_t>(value);
        if (wordSizeBytes == 2)
            std::memcpy(bytes, &word, 2);
        else
        {
            bytes[0] = static_cast<std::uint8_t>(word);
            bytes[1] = static_cast<std::uint8_t>(word >> 8);
        }
        pDestStream->write(bytes, 2);
        return;
    }

    const std::uint8_t unitBits = wordSizeBytes == 2 ? 16 : 8;
    std::uint32_t remaining = allocatedBits;
    while (remaining != 0)
    {
        const std::uint32_t bits = std::min<std::uint32_t>(remaining, unitBits - *pBitPointer);
        m_ioWord = static_cast<std::uint16_t>(m_ioWord | ((value & ((1u << bits) - 1)) << *pBitPointer));
        value = bits >= 32 ? 0 : value >> bits;
        remaining -= bits;
        *pBitPointer = static_cast<std::uint8_t>(*pBitPointer + bits);
        if (*pBitPointer == unitBits)
        {
            flushUnwrittenPixels(pDestStream, pBitPointer, wordSizeBytes);
        }
    }

    HALVORAN_FUNCTION_END()
}

void dicomCodec::flushUnwrittenPixels(streamWriter* pDestStream, std::uint8_t* pBitPointer,
                                      std::uint8_t wordSizeBytes)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::flushUnwrittenPixels")

    if (*pBitPointer == 0)
        return;
    if (wordSizeBytes == 2)
        pDestStream->write(reinterpret_cast<const std::uint8_t*>(&m_ioWord), 2);
    else
    {
        m_ioByte = static_cast<std::uint8_t>(m_ioWord);
        pDestStream->write(&m_ioByte, 1);
    }
    m_ioWord = 0;
    m_ioByte = 0;
    *pBitPointer = 0;

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix::codecs
