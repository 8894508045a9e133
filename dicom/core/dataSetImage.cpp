// Frames of the pixel data and lookup tables of a data set.
#include "dicom/base/exceptionsManager.h"
#include "dicom/base/lockObject.h"
#include "dicom/base/memoryPool.h"
#include "dicom/base/memoryStream.h"
#include "dicom/base/streamController.h"
#include "dicom/base/streamException.h"
#include "dicom/core/codec.h"
#include "dicom/core/codecFactory.h"
#include "dicom/core/colorTransformsFactory.h"
#include "dicom/core/dataHandlerRaw.h"
#include "dicom/core/dataSet.h"
#include "dicom/core/buffer.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace Halvoran::Varnix
{

namespace
{
// A reader over a buffer of the pixel data. A value left in a big-endian
// stream is read through a reordered copy, so that the codec always finds
// 16-bit words in the machine's order, loaded or not.
ptr<streamReader> pixelReader(const ptr<data>& imageTag, std::uint32_t bufferId, bool bReorderWords)
{
    if (!bReorderWords)
        return imageTag->getStreamReader(bufferId);
    ptr<handlers::dataHandlerRaw> raw = imageTag->getDataHandlerRaw(bufferId, false, "");
    if (!raw)
        return ptr<streamReader>();
    return ptr<streamReader>(new streamReader(ptr<baseStream>(new bufferStream(raw)), 0, 0));
}

// Bits of one native frame of 1-bit samples (rows x columns x samples), 0 for frames of
// any other bits allocated, which start on a byte.
std::uint64_t oneBitFrameBits(dataSet& frames)
{
    if (frames.getUnsignedLong(0x0028, 0, 0x0100, 0) != 1)
        return 0;
    std::uint64_t samplesPerPixel = frames.getUnsignedLong(0x0028, 0, 0x0002, 0);
    if (samplesPerPixel == 0)
        samplesPerPixel = 1;
    return static_cast<std::uint64_t>(frames.getUnsignedLong(0x0028, 0, 0x0010, 0)) *
           frames.getUnsignedLong(0x0028, 0, 0x0011, 0) * samplesPerPixel;
}

// Native frames of 1-bit samples follow each other without padding, so frame n starts at bit n x frameBits, which need not be the first bit of a
// byte. Reads the frame's bits from the pixel data and gives a reader over them moved
// to start on a byte (samples are packed least significant bit first).
ptr<streamReader> bitAlignedFrame(const ptr<streamReader>& pixels, std::uint32_t frameNumber,
                                  std::uint64_t frameBits)
{
    HALVORAN_FUNCTION_START(L"dataSet::bitAlignedFrame")

    const std::uint64_t firstBit = frameBits * frameNumber;
    const std::uint64_t firstByte = firstBit / 8;
    const std::uint32_t shift = static_cast<std::uint32_t>(firstBit % 8);
    const std::uint64_t frameBytes = (frameBits + 7) / 8;
    const std::uint64_t spanBytes = (shift + frameBits + 7) / 8;
    if (firstByte > 0xFFFFFFFFu || spanBytes > 0xFFFFFFFFu)
        HALVORAN_THROW(dataSetImageDoesntExist, "The requested image doesn't exist");
    const ptr<baseStream> controlled = pixels->getControlledStream();
    if (controlled && firstByte + spanBytes > controlled->getSize())
        HALVORAN_THROW(streamExceptionEOF, "Attempt to read past the end of the file");

    std::vector<std::uint8_t> span(static_cast<std::size_t>(spanBytes) + 1, 0);
    pixels->seek(static_cast<std::uint32_t>(firstByte), false);
    pixels->read(span.data(), static_cast<std::uint32_t>(spanBytes));
    ptr<memory> aligned(memoryPool::instance()->obtain(static_cast<std::uint32_t>(frameBytes)));
    std::uint8_t* out = aligned->data();
    for (std::uint64_t i = 0; i < frameBytes; ++i)
        out[i] = shift == 0 ? span[i]
                            : static_cast<std::uint8_t>((span[i] >> shift) | (span[i + 1] << (8 - shift)));
    return ptr<streamReader>(new streamReader(ptr<baseStream>(new memoryStream(aligned)), 0, 0));

    HALVORAN_FUNCTION_END()
}
} // namespace

ptr<image> dataSet::getImage(std::uint32_t frameNumber)
{
    HALVORAN_FUNCTION_START(L"dataSet::getImage")

    lockObject lockAccess(this);

    const std::wstring transferSyntax = getUnicodeString(0x0002, 0, 0x0010, 0);
    ptr<codecs::codec> pCodec = codecs::codecFactory::getCodec(transferSyntax);
    if (!pCodec)
        HALVORAN_THROW(dataSetExceptionUnknownTransferSyntax,
                       "None of the codecs support the specified transfer syntax");

    ptr<data> imageTag = getTag(0x7FE0, 0, 0x0010, false);
    if (!imageTag)
        HALVORAN_THROW(dataSetImageDoesntExist, "The requested image doesn't exist");
    const std::string imageDataType = imageTag->getDataType();
    const bool bReorderWords = transferSyntax == L"1.2.840.10008.1.2.2" && imageDataType == "OW" &&
                               streamController::getPlatformEndian() != streamController::highByteEndian;

    ptr<streamReader> imageStream;
    bool bPositionsNeeded = true;

    if (imageTag->getBufferSize(1) != 0)
    {
        std::uint32_t firstBuffer = 0, endBuffer = 0, totalLength = 0;
        if (imageTag->getBufferSize(0) == 0)
        {
            // No offset table: the frames are found in the fragments.
            const std::vector<std::uint32_t>& starts = frameStartFragments(imageTag);
            if (starts.size() < 2 || frameNumber >= starts.size() - 1)
                HALVORAN_THROW(dataSetImageDoesntExist, "The requested image doesn't exist");
            firstBuffer = starts[frameNumber];
            endBuffer = starts[frameNumber + 1];
            std::uint64_t frameLength = 0;
            for (std::uint32_t bufferId = firstBuffer; bufferId < endBuffer; ++bufferId)
                frameLength += imageTag->getBufferSize(bufferId);
            // A frame of more than 4 GB cannot be joined in one block.
            if (frameLength > 0xFFFFFFFFu)
                HALVORAN_THROW(dataSetImageDoesntExist, "The requested image doesn't exist");
            totalLength = static_cast<std::uint32_t>(frameLength);
        }
        else
            totalLength = getFrameBufferIds(frameNumber, &firstBuffer, &endBuffer);

        if (endBuffer - firstBuffer <= 1)
        {
            imageStream = imageTag->getStreamReader(firstBuffer);
            if (!imageStream)
                HALVORAN_THROW(dataSetImageDoesntExist, "The requested image doesn't exist");
        }
        else
        {
            ptr<memory> joined(memoryPool::instance()->obtain(totalLength));
            std::uint32_t offset = 0;
            for (std::uint32_t bufferId = firstBuffer; bufferId < endBuffer; ++bufferId)
            {
                ptr<handlers::dataHandlerRaw> fragment = imageTag->getDataHandlerRaw(bufferId, false, "");
                if (!fragment)
                    continue;
                const std::uint32_t fragmentSize = fragment->getSize();
                // Never past the block, whatever the fragments say now.
                if (fragmentSize > totalLength - offset)
                    HALVORAN_THROW(dataSetCorruptedOffsetTable, "The basic offset table is corrupted");
                if (fragmentSize != 0)
                    std::memcpy(joined->data() + offset, fragment->getMemoryBuffer(), fragmentSize);
                offset += fragmentSize;
            }
            imageStream = new streamReader(ptr<baseStream>(new memoryStream(joined)), 0, 0);
        }
        bPositionsNeeded = false;
    }

    if (!imageStream && frameNumber <= 0xFFFFu)
    {
        ptr<data> frameTag = getTag(0x7FE0, static_cast<std::uint16_t>(frameNumber), 0x0010, false);
        if (frameTag)
            imageStream = pixelReader(frameTag, 0, bReorderWords);
        if (imageStream)
            bPositionsNeeded = false;
    }

    if (!imageStream)
    {
        imageStream = pixelReader(imageTag, 0, bReorderWords);
        if (!imageStream)
            HALVORAN_THROW(dataSetImageDoesntExist, "The requested image doesn't exist");

        // The frames the pixel data hold bound everything the stated count
        // would size: a count of 2^31 frames over a few bytes sizes nothing.
        bool bBits = false;
        const std::uint64_t frameLength = nativeFrameLength(imageDataType, &bBits);
        if (frameLength == 0)
        {
            // Without the size tags no frame can be found; the codec says
            // what is missing.
            pCodec->getImage(ptr<dataSet>(this), imageStream, imageDataType);
            HALVORAN_THROW(codecs::codecExceptionCorruptedFile, "The size tags are not available");
        }
        const std::uint64_t pixelDataLength = imageTag->getBufferSize(0);
        const std::uint64_t heldFrames =
            std::min<std::uint64_t>(bBits ? pixelDataLength * 8 / frameLength : pixelDataLength / frameLength,
                                    0xFFFFFFFFu);

        std::uint32_t framesNumber = 1;
        if (!getDataType(0x0028, 0, 0x0008).empty())
        {
            framesNumber = getUnsignedLong(0x0028, 0, 0x0008, 0);
            // An empty (or zero) count: the frames the pixel data hold.
            if (framesNumber == 0)
                framesNumber = static_cast<std::uint32_t>(heldFrames);
        }
        if (frameNumber >= framesNumber)
            HALVORAN_THROW(dataSetImageDoesntExist, "The requested image doesn't exist");
        if (frameNumber >= heldFrames)
            HALVORAN_THROW(streamExceptionEOF,
                           "The pixel data of " + std::to_string(pixelDataLength) + " bytes hold " +
                               std::to_string(heldFrames) + (heldFrames == 1 ? " frame" : " frames") + " of " +
                               std::to_string(frameLength) + (bBits ? " bits" : " bytes") +
                               ", not the " + std::to_string(framesNumber) +
                               " frames that the number of frames (0028,0008) states");
        framesNumber = static_cast<std::uint32_t>(std::min<std::uint64_t>(framesNumber, heldFrames));

        // 1-bit frames that do not end on a byte are found by their first bit, not by
        // the reader positions where the frames before them ended.
        const std::uint64_t frameBits = oneBitFrameBits(*this);
        if (frameBits % 8 != 0)
        {
            imageStream = bitAlignedFrame(imageStream, frameNumber, frameBits);
            bPositionsNeeded = false;
        }
        else
        {
            if (m_imagesPositions.size() != framesNumber)
            {
                m_imagesPositions.clear();
                m_imagesPositions.resize(framesNumber, 0);
            }
            for (std::uint32_t scanFrame = 0; scanFrame < frameNumber; ++scanFrame)
            {
                if (m_imagesPositions[scanFrame] == 0)
                {
                    pCodec->getImage(ptr<dataSet>(this), imageStream, imageDataType);
                    m_imagesPositions[scanFrame] = imageStream->position();
                }
                else if (m_imagesPositions[scanFrame + 1] == 0 || scanFrame == frameNumber - 1)
                    imageStream->seek(m_imagesPositions[scanFrame], false);
            }
        }
    }

    const double spacingY = getDouble(0x0028, 0, 0x0030, 0);
    const double spacingX = getDouble(0x0028, 0, 0x0030, 1);

    if (!bPositionsNeeded)
        lockAccess.unlock();

    ptr<image> pImage = pCodec->getImage(ptr<dataSet>(this), imageStream, imageDataType);

    if (bPositionsNeeded && frameNumber < m_imagesPositions.size())
        m_imagesPositions[frameNumber] = imageStream->position();

    if (pImage)
    {
        std::uint32_t sizeX = 0, sizeY = 0;
        pImage->getSize(&sizeX, &sizeY);
        pImage->setSizeMm(sizeX * spacingX, sizeY * spacingY);
    }
    return pImage;

    HALVORAN_FUNCTION_END()
}

std::uint32_t dataSet::getFrameBufferIds(std::uint32_t frameId, std::uint32_t* pFirstBuffer,
                                         std::uint32_t* pEndBuffer)
{
    HALVORAN_FUNCTION_START(L"dataSet::getFrameBufferIds")

    const std::uint32_t startOffset = readOffsetTableEntry(frameId);
    const std::uint32_t endOffset = frameId == 0xFFFFFFFFu ? 0xFFFFFFFFu : readOffsetTableEntry(frameId + 1);
    if (startOffset == 0xFFFFFFFFu)
        HALVORAN_THROW(dataSetImageDoesntExist, "Image not in the table offset");

    *pFirstBuffer = getFrameBufferId(startOffset);
    *pEndBuffer = getFrameBufferId(endOffset);

    ptr<data> imageTag = getTag(0x7FE0, 0, 0x0010, false);
    if (!imageTag)
        return 0;
    std::uint64_t totalSize = 0;
    for (std::uint32_t bufferId = *pFirstBuffer; bufferId < *pEndBuffer; ++bufferId)
        totalSize += imageTag->getBufferSize(bufferId);
    // A frame of more than 4 GB cannot be joined in one block.
    if (totalSize > 0xFFFFFFFFu)
        HALVORAN_THROW(dataSetCorruptedOffsetTable, "The basic offset table is corrupted");
    return static_cast<std::uint32_t>(totalSize);

    HALVORAN_FUNCTION_END()
}

std::uint32_t dataSet::getFrameBufferId(std::uint32_t offset)
{
    HALVORAN_FUNCTION_START(L"dataSet::getFrameBufferId")

    ptr<data> imageTag = getTag(0x7FE0, 0, 0x0010, false);
    if (!imageTag)
        return 0;

    if (offset == 0xFFFFFFFFu)
    {
        std::uint32_t bufferId = 1;
        while (imageTag->bufferExists(bufferId))
            ++bufferId;
        return bufferId;
    }

    std::uint32_t bufferId = 1;
    while (offset != 0)
    {
        if (!imageTag->bufferExists(bufferId))
            break;
        const std::uint64_t fragmentLength = static_cast<std::uint64_t>(imageTag->getBufferSize(bufferId)) + 8;
        if (offset < fragmentLength)
            HALVORAN_THROW(dataSetImageDoesntExist, "Image not in the offset table");
        offset -= static_cast<std::uint32_t>(fragmentLength);
        ++bufferId;
    }
    if (offset != 0)
        HALVORAN_THROW(dataSetCorruptedOffsetTable, "The basic offset table is corrupted");
    return bufferId;

    HALVORAN_FUNCTION_END()
}

const std::vector<std::uint32_t>& dataSet::frameStartFragments(const ptr<data>& imageTag)
{
    // Found once per set of fragments: kept while the fragment before the end
    // exists and the end does not.
    if (m_frameStarts.size() >= 2 && imageTag->bufferExists(m_frameStarts.back() - 1) &&
        !imageTag->bufferExists(m_frameStarts.back()))
        return m_frameStarts;

    // A fragment that starts with a JPEG start-of-image marker starts a frame;
    // the fragments up to the next such one continue it. Other pixel data
    // (RLE) have one fragment per frame.
    const auto startsJpegImage = [&](std::uint32_t bufferId) {
        if (imageTag->getBufferSize(bufferId) < 2)
            return false;
        ptr<streamReader> reader = imageTag->getStreamReader(bufferId);
        if (!reader)
            return false;
        std::uint8_t marker[2] = {0, 0};
        reader->read(marker, 2);
        return marker[0] == 0xFF && marker[1] == 0xD8;
    };
    m_frameStarts.clear();
    const bool bJpeg = imageTag->bufferExists(1) && startsJpegImage(1);
    std::uint32_t bufferId = 1;
    for (; imageTag->bufferExists(bufferId) && bufferId != 0xFFFFFFFFu; ++bufferId)
        if (!bJpeg || bufferId == 1 || startsJpegImage(bufferId))
            m_frameStarts.push_back(bufferId);
    m_frameStarts.push_back(bufferId);
    return m_frameStarts;
}

std::uint64_t dataSet::nativeFrameLength(const std::string& imageDataType, bool* pBits)
{
    *pBits = false;
    const std::wstring colorSpace = getUnicodeString(0x0028, 0, 0x0004, 0);
    std::uint64_t channels = getUnsignedLong(0x0028, 0, 0x0002, 0);
    if (channels == 0)
        channels = 1;
    const std::uint64_t width = getUnsignedLong(0x0028, 0, 0x0011, 0);
    const std::uint64_t height = getUnsignedLong(0x0028, 0, 0x0010, 0);
    const std::uint64_t allocatedBits = getUnsignedLong(0x0028, 0, 0x0100, 0);
    if (width == 0 || height == 0 || allocatedBits == 0 || width > 0xFFFFFFFFu || height > 0xFFFFFFFFu ||
        channels > 0xFFu || allocatedBits > 0xFFu)
        return 0;
    // The samples as the codec reads them: chroma of half the width (and
    // height) when sub-sampled, the luminance of an even width (height).
    const bool bSubSampledX = channels > 1 && transforms::colorTransforms::colorTransformsFactory::isSubsampledX(colorSpace);
    const bool bSubSampledY = channels > 1 && transforms::colorTransforms::colorTransformsFactory::isSubsampledY(colorSpace);
    const std::uint64_t evenX = bSubSampledX ? (width + 1) & ~1ull : width;
    const std::uint64_t evenY = bSubSampledY ? (height + 1) & ~1ull : height;
    const std::uint64_t samples =
        evenX * evenY + (channels - 1) * (evenX >> (bSubSampledX ? 1 : 0)) * (evenY >> (bSubSampledY ? 1 : 0));
    const std::uint64_t bits = samples * allocatedBits;
    if (allocatedBits == 1)
    {
        // 1-bit frames follow each other without padding.
        *pBits = true;
        return bits;
    }
    // Other frames start on a byte, or on a word for packed samples in words.
    const bool bWords = imageDataType == "OW" && allocatedBits != 8 && allocatedBits != 16;
    return bWords ? (bits + 15) / 16 * 2 : (bits + 7) / 8;
}

std::uint32_t dataSet::getPixelDataFrames()
{
    HALVORAN_FUNCTION_START(L"dataSet::getPixelDataFrames")

    lockObject lockAccess(this);
    ptr<data> imageTag = getTag(0x7FE0, 0, 0x0010, false);
    if (!imageTag)
        return 0;
    if (imageTag->getBufferSize(1) != 0)
    {
        const std::uint32_t tableLength = imageTag->getBufferSize(0);
        if (tableLength != 0)
            return tableLength / 4;
        return static_cast<std::uint32_t>(frameStartFragments(imageTag).size() - 1);
    }
    if (getTag(0x7FE0, 1, 0x0010, false))
    {
        // One pixel data group per frame.
        std::uint32_t groups = 1;
        while (groups <= 0xFFFFu && getTag(0x7FE0, static_cast<std::uint16_t>(groups), 0x0010, false))
            ++groups;
        return groups;
    }
    bool bBits = false;
    const std::uint64_t frameLength = nativeFrameLength(imageTag->getDataType(), &bBits);
    if (frameLength == 0)
        return 0;
    const std::uint64_t pixelDataLength = imageTag->getBufferSize(0);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(
        bBits ? pixelDataLength * 8 / frameLength : pixelDataLength / frameLength, 0xFFFFFFFFu));

    HALVORAN_FUNCTION_END()
}

std::uint32_t dataSet::readOffsetTableEntry(std::uint32_t frameNumber)
{
    ptr<handlers::dataHandlerRaw> tableHandler = getDataHandlerRaw(0x7FE0, 0, 0x0010, 0, false, "");
    if (!tableHandler)
        return 0xFFFFFFFFu;
    const std::uint32_t entries = tableHandler->getSize() / 4;
    if (frameNumber >= entries && frameNumber != 0)
        return 0xFFFFFFFFu;
    if (frameNumber >= entries)
        return 0;
    std::uint8_t entry[4];
    std::memcpy(entry, tableHandler->getMemoryBuffer() + static_cast<std::size_t>(frameNumber) * 4, 4);
    streamController::fixByteOrder(entry, 4, streamController::lowByteEndian, 1);
    std::uint32_t value = 0;
    std::memcpy(&value, entry, 4);
    return value;
}

ptr<lut> dataSet::getLut(std::uint16_t groupId, std::uint16_t tagId, std::uint32_t lutId)
{
    HALVORAN_FUNCTION_START(L"dataSet::getLut")

    lockObject lockAccess(this);
    ptr<dataSet> item = getSequenceItem(groupId, 0, tagId, lutId);
    if (!item)
        return ptr<lut>();
    ptr<lut> table(new lut);
    ptr<handlers::dataHandler> descriptor = item->getDataHandler(0x0028, 0, 0x3002, 0, false, "");
    ptr<handlers::dataHandler> lutData = item->getDataHandler(0x0028, 0, 0x3006, 0, false, "");
    const std::wstring description = item->getUnicodeString(0x0028, 0, 0x3003, 0);
    table->setLut(descriptor, lutData, description);
    return table;

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix
