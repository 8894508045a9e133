// Frames of the pixel data and lookup tables of a data set.
#include "dicom/base/exceptionsManager.h"
#include "dicom/base/lockObject.h"
#include "dicom/base/memoryPool.h"
#include "dicom/base/memoryStream.h"
#include "dicom/base/streamController.h"
#include "dicom/core/codecFactory.h"
#include "dicom/core/dataHandlerRaw.h"
#include "dicom/core/dataSet.h"

#include <cstring>

namespace Halvoran::Varnix
{

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

    ptr<streamReader> imageStream;
    bool bPositionsNeeded = true;

    if (imageTag->getBufferSize(1) != 0)
    {
        std::uint32_t firstBuffer = 0, endBuffer = 0, totalLength = 0;
        if (imageTag->getBufferSize(0) == 0)
        {
            // No offset table: one fragment per frame.
            if (frameNumber >= 0xFFFFFFFEu)
                HALVORAN_THROW(dataSetImageDoesntExist, "The requested image doesn't exist");
            firstBuffer = frameNumber + 1;
            endBuffer = frameNumber + 2;
            totalLength = imageTag->getBufferSize(firstBuffer);
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
        imageStream = getStream(0x7FE0, static_cast<std::uint16_t>(frameNumber), 0x0010, 0);
        if (imageStream)
            bPositionsNeeded = false;
    }

    if (!imageStream)
    {
        imageStream = imageTag->getStreamReader(0);
        if (!imageStream)
            HALVORAN_THROW(dataSetImageDoesntExist, "The requested image doesn't exist");

        std::uint32_t framesNumber = 1;
        if (!getDataType(0x0028, 0, 0x0008).empty())
            framesNumber = getUnsignedLong(0x0028, 0, 0x0008, 0);
        if (frameNumber >= framesNumber)
            HALVORAN_THROW(dataSetImageDoesntExist, "The requested image doesn't exist");
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
