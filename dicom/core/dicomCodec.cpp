#include "dicom/core/dicomCodec.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/streamException.h"
#include "dicom/core/dataHandlerRaw.h"
#include "dicom/core/dicomDictionary.h"

#include <cstring>
#include <limits>
#include <vector>

namespace Halvoran::Varnix::codecs
{

namespace
{
constexpr std::uint32_t undefinedLength = 0xFFFFFFFFu;
constexpr std::uint64_t noLimit = std::numeric_limits<std::uint64_t>::max();
const std::wstring implicitLittleEndian = L"1.2.840.10008.1.2";
const std::wstring explicitBigEndian = L"1.2.840.10008.1.2.2";

std::uint16_t readUint16(streamReader* pStream, std::uint32_t endianType)
{
    std::uint16_t value;
    pStream->read(reinterpret_cast<std::uint8_t*>(&value), 2);
    streamController::fixByteOrder(reinterpret_cast<std::uint8_t*>(&value), 2, endianType, 1);
    return value;
}

std::uint32_t readUint32(streamReader* pStream, std::uint32_t endianType)
{
    std::uint32_t value;
    pStream->read(reinterpret_cast<std::uint8_t*>(&value), 4);
    streamController::fixByteOrder(reinterpret_cast<std::uint8_t*>(&value), 4, endianType, 1);
    return value;
}

std::uint16_t uint16From(const std::uint8_t* bytes, std::uint32_t endianType)
{
    return endianType == streamController::lowByteEndian ? static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8))
                                                         : static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]);
}

void writeUint16(streamWriter* pStream, std::uint16_t value, std::uint32_t endianType)
{
    streamController::fixByteOrder(reinterpret_cast<std::uint8_t*>(&value), 2, endianType, 1);
    pStream->write(reinterpret_cast<const std::uint8_t*>(&value), 2);
}

void writeUint32(streamWriter* pStream, std::uint32_t value, std::uint32_t endianType)
{
    streamController::fixByteOrder(reinterpret_cast<std::uint8_t*>(&value), 4, endianType, 1);
    pStream->write(reinterpret_cast<const std::uint8_t*>(&value), 4);
}

// Bytes left in the reader's stream after its position.
std::uint64_t bytesLeft(streamReader* pStream)
{
    const std::uint64_t size = pStream->getControlledStream()->getSize();
    const std::uint64_t position = pStream->absolutePosition();
    return size > position ? size - position : 0;
}

std::uint32_t checkedLength(std::uint64_t length)
{
    if (length >= undefinedLength)
        throw codecExceptionValueTooLong("The data set is too large for 32-bit lengths");
    return static_cast<std::uint32_t>(length);
}
} // namespace

ptr<codec> dicomCodec::createCodec()
{
    return ptr<codec>(new dicomCodec);
}

bool dicomCodec::canHandleTransferSyntax(const std::wstring& transferSyntax)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::canHandleTransferSyntax")

    return transferSyntax.empty() || transferSyntax == implicitLittleEndian ||
           transferSyntax == L"1.2.840.10008.1.2.1" || transferSyntax == explicitBigEndian ||
           transferSyntax == L"1.2.840.10008.1.2.5";

    HALVORAN_FUNCTION_END()
}

bool dicomCodec::hasEncapsulatedPixelData(const std::wstring& transferSyntax)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::hasEncapsulatedPixelData")

    if (!canHandleTransferSyntax(transferSyntax))
        HALVORAN_THROW(codecExceptionWrongTransferSyntax, "Cannot handle the transfer syntax");
    return transferSyntax == L"1.2.840.10008.1.2.5";

    HALVORAN_FUNCTION_END()
}

void dicomCodec::readStream(const ptr<streamReader>& pSourceStream, const ptr<dataSet>& pDataSet,
                            std::uint32_t maxSizeBufferLoad)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::readStream")

    streamReader* pStream = pSourceStream.get();
    const std::uint32_t startPosition = pStream->position();

    std::uint8_t first[8];
    try
    {
        pStream->read(first, 8);
    }
    catch (const streamExceptionEOF&)
    {
        HALVORAN_THROW(codecExceptionWrongFormat, "detected a wrong format");
    }

    pStream->seek(120, true);
    std::uint8_t prefix[4];
    pStream->read(prefix, 4);

    bool bExplicitDataType = true;
    if (std::memcmp(prefix, "DICM", 4) != 0)
    {
        if (first[0] != 0x08 || first[1] != 0 || first[3] != 0 || first[6] != 0 || first[7] != 0)
            HALVORAN_THROW(codecExceptionWrongFormat, "detected a wrong format (checked old NEMA signature)");
        pStream->seek(startPosition);
        bExplicitDataType = false;
    }

    parseStream(pSourceStream, pDataSet, bExplicitDataType, streamController::lowByteEndian, maxSizeBufferLoad,
                noLimit, true, 0);

    HALVORAN_FUNCTION_END()
}

std::uint64_t dicomCodec::parseStream(const ptr<streamReader>& pSourceStream, const ptr<dataSet>& pDataSet,
                                      bool bExplicitDataType, std::uint32_t endianType,
                                      std::uint32_t maxSizeBufferLoad, std::uint64_t subItemLength, bool bOutermost,
                                      std::uint32_t depth)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::parseStream")

    if (depth > maxDepth)
        HALVORAN_THROW(dicomCodecExceptionDepthLimitReached, "Depth for embedded dataset reached");

    streamReader* pStream = pSourceStream.get();
    const dicomDictionary* dictionary = dicomDictionary::instance();
    std::uint16_t lastGroupId = 0;
    std::uint16_t lastTagId = 0;
    std::uint16_t order = 0;
    std::uint64_t counter = 0;
    bool bCheckByteOrder = bOutermost;
    bool bCheckTransferSyntax = bOutermost;

    while (!pStream->atEnd() && counter < subItemLength)
    {
        std::uint8_t groupBytes[2];
        pStream->read(groupBytes, 2);
        counter += 2;
        if (pStream->atEnd())
            break;
        std::uint16_t tagId = uint16From(groupBytes, endianType);

        if (bCheckByteOrder)
        {
            bCheckByteOrder = false;
            if (tagId == 0x0200)
            {
                endianType = streamController::highByteEndian;
                tagId = 0x0002;
            }
        }
        if (bCheckTransferSyntax && tagId != 0x0002)
        {
            bCheckTransferSyntax = false;
            const std::wstring transferSyntax = pDataSet->getUnicodeString(0x0002, 0, 0x0010, 0);
            if (transferSyntax == explicitBigEndian)
                endianType = streamController::highByteEndian;
            else if (transferSyntax == implicitLittleEndian)
                bExplicitDataType = false;
            tagId = uint16From(groupBytes, endianType);
        }

        const std::uint16_t tagSubId = readUint16(pStream, endianType);
        counter += 2;

        if (tagId == 0xFFFE && tagSubId == 0xE00D)
        {
            readUint32(pStream, endianType);
            counter += 4;
            break;
        }

        std::uint32_t wordSize = 1;
        std::string tagType;
        std::uint32_t tagLength = 0;
        if (bExplicitDataType && tagId != 0xFFFE)
        {
            std::uint8_t typeBytes[4];
            pStream->read(typeBytes, 4);
            counter += 4;
            const std::string readType(reinterpret_cast<const char*>(typeBytes), 2);
            if (dictionary->isDataTypeValid(readType))
            {
                tagType = readType;
                wordSize = dictionary->getWordSize(readType);
                tagLength = uint16From(typeBytes + 2, endianType);
                if (dictionary->getLongLength(readType))
                {
                    tagLength = readUint32(pStream, endianType);
                    counter += 4;
                }
                // A value that passed through a node that did not know its tag
                // arrives as UN; when the dictionary knows the tag, the value is
                // read as what it is (a Specific Character Set as text, sizes as
                // numbers).
                if (tagType == "UN" && tagLength != undefinedLength)
                {
                    const std::string knownType = pDataSet->getDefaultDataType(tagId, tagSubId);
                    if (knownType.size() == 2 && knownType != "SQ" && knownType != "UN")
                    {
                        tagType = knownType;
                        wordSize = dictionary->getWordSize(knownType);
                    }
                }
            }
            else
            {
                // Not a VR: the four bytes are the 32-bit length of an
                // implicit tag.
                tagLength = endianType == streamController::lowByteEndian
                                ? static_cast<std::uint32_t>(typeBytes[0]) | (typeBytes[1] << 8) |
                                      (typeBytes[2] << 16) | (static_cast<std::uint32_t>(typeBytes[3]) << 24)
                                : (static_cast<std::uint32_t>(typeBytes[0]) << 24) | (typeBytes[1] << 16) |
                                      (typeBytes[2] << 8) | typeBytes[3];
                tagType = readType.substr(0, readType.find('\0'));
            }
        }
        else
        {
            tagLength = readUint32(pStream, endianType);
            counter += 4;
            if (tagSubId == 0)
            {
                tagType = "UL";
                wordSize = dictionary->getWordSize(tagType);
            }
            else
            {
                const std::string defaultType = pDataSet->getDefaultDataType(tagId, tagSubId);
                if (defaultType.size() == 2)
                {
                    tagType = defaultType;
                    wordSize = dictionary->getWordSize(defaultType);
                }
            }
        }

        if (tagId == 0xFFFE && tagSubId == 0xE0DD)
            break;

        if (tagId <= lastGroupId && tagSubId <= lastTagId)
            ++order;
        else if (tagId > lastGroupId)
            order = 0;
        lastGroupId = tagId;
        lastTagId = tagSubId;

        if (tagLength != undefinedLength && tagType != "SQ")
        {
            counter += readTag(pSourceStream, pDataSet, tagLength, tagId, order, tagSubId, tagType, endianType,
                               wordSize, 0, maxSizeBufferLoad);
            continue;
        }

        // A sequence, or a value of undefined length: a list of items.
        const bool bUndefined = tagLength == undefinedLength;
        std::uint64_t remaining = tagLength;
        std::uint32_t itemNumber = 0;
        while (bUndefined || remaining != 0)
        {
            const std::uint32_t itemPosition = pStream->absolutePosition();
            const std::uint16_t itemGroup = readUint16(pStream, endianType);
            const std::uint16_t itemElement = readUint16(pStream, endianType);
            const std::uint32_t itemLength = readUint32(pStream, endianType);
            counter += 8;
            if (!bUndefined)
            {
                if (remaining < 8)
                    HALVORAN_THROW(codecExceptionCorruptedFile, "dicomCodec::readTag detected a corrupted tag");
                remaining -= 8;
            }
            if (itemGroup == 0xFFFE && itemElement == 0xE0DD)
                break;

            if (itemLength != undefinedLength && tagType != "SQ")
            {
                if (!bUndefined && itemLength > remaining)
                    HALVORAN_THROW(codecExceptionCorruptedFile, "dicomCodec::readTag detected a corrupted tag");
                counter += readTag(pSourceStream, pDataSet, itemLength, tagId, order, tagSubId, tagType, endianType,
                                   wordSize, itemNumber++, maxSizeBufferLoad);
                if (!bUndefined)
                    remaining -= itemLength;
                continue;
            }

            if (!bUndefined && itemLength != undefinedLength && itemLength > remaining)
                HALVORAN_THROW(codecExceptionCorruptedFile, "dicomCodec::readTag detected a corrupted tag");
            ptr<dataSet> item(new dataSet(ptr<baseObject>(new baseObject)));
            item->setItemPosition(itemPosition);
            const std::uint64_t itemLimit = itemLength == undefinedLength ? noLimit : itemLength;
            const std::uint64_t itemCount = parseStream(pSourceStream, item, bExplicitDataType, endianType,
                                                        maxSizeBufferLoad, itemLimit, false, depth + 1);
            if (itemLimit != noLimit && itemCount > itemLimit)
                HALVORAN_THROW(codecExceptionCorruptedFile, "dicomCodec::readTag detected a corrupted tag");
            counter += itemCount;
            if (!bUndefined)
            {
                if (itemCount > remaining)
                    HALVORAN_THROW(codecExceptionCorruptedFile, "dicomCodec::readTag detected a corrupted tag");
                remaining -= itemCount;
            }
            pDataSet->getTag(tagId, 0, tagSubId, true)->setDataSet(itemNumber++, item);
        }
    }
    return counter;

    HALVORAN_FUNCTION_END()
}

std::uint32_t dicomCodec::readTag(const ptr<streamReader>& pSourceStream, const ptr<dataSet>& pDataSet,
                                  std::uint32_t tagLengthDWord, std::uint16_t tagId, std::uint16_t order,
                                  std::uint16_t tagSubId, const std::string& tagType, std::uint32_t endianType,
                                  std::uint32_t wordSize, std::uint32_t bufferId, std::uint32_t maxSizeBufferLoad)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::readTag")

    streamReader* pStream = pSourceStream.get();

    // A length beyond the end of the stream is refused before anything is
    // allocated or skipped.
    if (tagLengthDWord > bytesLeft(pStream))
    {
        if (tagLengthDWord > maxSizeBufferLoad)
            HALVORAN_THROW(codecExceptionCorruptedFile, "dicomCodec::readTag detected a corrupted tag");
        HALVORAN_THROW(streamExceptionEOF, "Attempt to read past the end of the file");
    }

    if (tagLengthDWord > maxSizeBufferLoad)
    {
        const std::uint32_t position = pStream->position();
        const std::uint32_t absolutePosition = pStream->absolutePosition();
        pStream->seek(tagLengthDWord, true);
        if (static_cast<std::uint64_t>(pStream->position()) != static_cast<std::uint64_t>(position) + tagLengthDWord)
            HALVORAN_THROW(codecExceptionCorruptedFile, "dicomCodec::readTag detected a corrupted tag");

        ptr<data> tag = pDataSet->getGroup(tagId, order, true)->getTag(tagSubId, true);
        ptr<buffer> onDemand(new buffer(ptr<baseObject>(tag->getLockRoot()), tagType,
                                        pStream->getControlledStream(), absolutePosition, tagLengthDWord, wordSize,
                                        endianType));
        tag->setBuffer(bufferId, onDemand);
        return tagLengthDWord;
    }

    ptr<handlers::dataHandlerRaw> handler =
        pDataSet->getDataHandlerRaw(tagId, order, tagSubId, bufferId, true, tagType);
    if (tagLengthDWord == 0)
        return 0;
    handler->setSize(tagLengthDWord);
    pStream->read(handler->getMemoryBuffer(), tagLengthDWord);
    if (!(tagId == 0xFFFC && tagSubId == 0xFFFC) && wordSize != 0)
        streamController::fixByteOrder(handler->getMemoryBuffer(), wordSize, endianType, tagLengthDWord / wordSize);
    return tagLengthDWord;

    HALVORAN_FUNCTION_END()
}

std::string dicomCodec::writtenDataType(const ptr<data>& pData)
{
    std::string dataType = pData->getDataType();
    if (!dicomDictionary::instance()->isDataTypeValid(dataType))
        dataType = pData->getDataSet(0) ? "SQ" : "OB";
    return dataType;
}

std::uint32_t dicomCodec::getTagLength(const ptr<data>& pData, bool bExplicitDataType, std::uint32_t* pHeaderLength,
                                       bool* pbSequence)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::getTagLength")

    std::uint64_t length = 0;
    std::uint32_t items = 0;
    std::uint32_t bufferItems = 0;
    bool bSequence = false;
    for (std::uint32_t n = 0;; ++n)
    {
        ptr<dataSet> item = pData->getDataSet(n);
        const bool bBuffer = pData->bufferExists(n);
        if (!item && !bBuffer)
            break;
        if (bBuffer)
        {
            length += pData->getBufferSize(n);
            ++bufferItems;
            ++items;
        }
        if (item)
        {
            length += 8 + static_cast<std::uint64_t>(getDataSetLength(item, bExplicitDataType));
            bSequence = true;
            ++items;
        }
    }
    const std::string dataType = writtenDataType(pData);
    if (dataType == "SQ" || items > 1)
        bSequence = true;
    if (bSequence)
        length += 8ull * bufferItems + 8;

    *pHeaderLength = 8;
    if (bExplicitDataType && (bSequence || dicomDictionary::instance()->getLongLength(dataType)))
        *pHeaderLength = 12;
    if (bExplicitDataType && *pHeaderLength == 8 && length > 0xFFFF)
        HALVORAN_THROW(codecExceptionValueTooLong,
                       "A value is too long for the 16-bit length of its value representation");
    *pbSequence = bSequence;
    return checkedLength(length);

    HALVORAN_FUNCTION_END()
}

std::uint32_t dicomCodec::getGroupLength(const ptr<dataGroup>& pGroup, bool bExplicitDataType)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::getGroupLength")

    std::uint64_t length = 0;
    ptr<dataCollectionIterator<data>> tags = pGroup->getDataIterator();
    for (; tags->isValid(); tags->incIterator())
    {
        if (tags->getId() == 0)
            continue;
        std::uint32_t headerLength = 0;
        bool bSequence = false;
        length += getTagLength(tags->getData(), bExplicitDataType, &headerLength, &bSequence);
        length += headerLength;
    }
    return checkedLength(length);

    HALVORAN_FUNCTION_END()
}

std::uint32_t dicomCodec::getDataSetLength(const ptr<dataSet>& pDataSet, bool bExplicitDataType)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::getDataSetLength")

    std::uint64_t length = 0;
    ptr<dataCollectionIterator<dataGroup>> groups = pDataSet->getDataIterator();
    for (; groups->isValid(); groups->incIterator())
        length += 12 + static_cast<std::uint64_t>(getGroupLength(groups->getData(), bExplicitDataType));
    return checkedLength(length);

    HALVORAN_FUNCTION_END()
}

void dicomCodec::writeStream(const ptr<streamWriter>& pDestStream, const ptr<dataSet>& pDataSet)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::writeStream")

    const std::wstring transferSyntax = pDataSet->getUnicodeString(0x0002, 0, 0x0010, 0);
    const bool bExplicitDataType = transferSyntax != implicitLittleEndian;
    const std::uint32_t endianType =
        transferSyntax == explicitBigEndian ? streamController::highByteEndian : streamController::lowByteEndian;

    // Every length is computed (and every value checked) before the first
    // byte goes out.
    getDataSetLength(pDataSet, bExplicitDataType);
    if (ptr<dataGroup> metaGroup = pDataSet->getGroup(0x0002, 0, false))
        getGroupLength(metaGroup, true);

    const std::uint8_t preamble[128] = {};
    pDestStream->write(preamble, 128);
    pDestStream->write(reinterpret_cast<const std::uint8_t*>("DICM"), 4);
    buildStream(pDestStream, pDataSet, bExplicitDataType, endianType, true);
    pDestStream->flush();

    HALVORAN_FUNCTION_END()
}

void dicomCodec::buildStream(const ptr<streamWriter>& pDestStream, const ptr<dataSet>& pDataSet,
                             bool bExplicitDataType, std::uint32_t endianType, bool bOutermost)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::buildStream")

    ptr<dataCollectionIterator<dataGroup>> groups = pDataSet->getDataIterator();
    for (; groups->isValid(); groups->incIterator())
    {
        const std::uint16_t groupId = groups->getId();
        // The file-meta group is always explicit VR, low byte first.
        if (bOutermost && groupId == 0x0002)
            writeGroup(pDestStream, groups->getData(), groupId, true, streamController::lowByteEndian);
        else
            writeGroup(pDestStream, groups->getData(), groupId, bExplicitDataType, endianType);
    }

    HALVORAN_FUNCTION_END()
}

void dicomCodec::writeGroup(const ptr<streamWriter>& pDestStream, const ptr<dataGroup>& pGroup, std::uint16_t groupId,
                            bool bExplicitDataType, std::uint32_t endianType)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::writeGroup")

    streamWriter* pStream = pDestStream.get();
    const std::uint32_t groupLength = getGroupLength(pGroup, bExplicitDataType);
    writeUint16(pStream, groupId, endianType);
    writeUint16(pStream, 0, endianType);
    if (bExplicitDataType)
    {
        pStream->write(reinterpret_cast<const std::uint8_t*>("UL"), 2);
        writeUint16(pStream, 4, endianType);
    }
    else
        writeUint32(pStream, 4, endianType);
    writeUint32(pStream, groupLength, endianType);

    ptr<dataCollectionIterator<data>> tags = pGroup->getDataIterator();
    for (; tags->isValid(); tags->incIterator())
    {
        if (tags->getId() == 0)
            continue;
        writeUint16(pStream, groupId, endianType);
        writeTag(pDestStream, tags->getData(), tags->getId(), bExplicitDataType, endianType);
    }

    HALVORAN_FUNCTION_END()
}

void dicomCodec::writeTag(const ptr<streamWriter>& pDestStream, const ptr<data>& pData, std::uint16_t tagId,
                          bool bExplicitDataType, std::uint32_t endianType)
{
    HALVORAN_FUNCTION_START(L"dicomCodec::writeTag")

    streamWriter* pStream = pDestStream.get();
    std::uint32_t headerLength = 0;
    bool bSequence = false;
    const std::uint32_t tagLength = getTagLength(pData, bExplicitDataType, &headerLength, &bSequence);
    const std::string dataType = writtenDataType(pData);
    const std::uint32_t writtenLength = bSequence ? undefinedLength : tagLength;

    writeUint16(pStream, tagId, endianType);
    if (bExplicitDataType)
    {
        pStream->write(reinterpret_cast<const std::uint8_t*>(dataType.data()), 2);
        if (headerLength == 12)
        {
            writeUint16(pStream, 0, endianType);
            writeUint32(pStream, writtenLength, endianType);
        }
        else
            writeUint16(pStream, static_cast<std::uint16_t>(writtenLength), endianType);
    }
    else
        writeUint32(pStream, writtenLength, endianType);

    const std::uint32_t wordSize = dicomDictionary::instance()->getWordSize(dataType);
    std::vector<std::uint8_t> swapped;
    for (std::uint32_t n = 0;; ++n)
    {
        ptr<dataSet> item = pData->getDataSet(n);
        const bool bBuffer = pData->bufferExists(n);
        if (!item && !bBuffer)
            break;
        if (bBuffer)
        {
            ptr<handlers::dataHandlerRaw> raw = pData->getDataHandlerRaw(n, false, "");
            const std::uint32_t size = raw->getSize();
            if (bSequence)
            {
                writeUint16(pStream, 0xFFFE, endianType);
                writeUint16(pStream, 0xE000, endianType);
                writeUint32(pStream, size, endianType);
            }
            if (size != 0)
            {
                if (wordSize > 1)
                {
                    swapped.assign(raw->getMemoryBuffer(), raw->getMemoryBuffer() + size);
                    streamController::fixByteOrder(swapped.data(), wordSize, endianType, size / wordSize);
                    pStream->write(swapped.data(), size);
                }
                else
                    pStream->write(raw->getMemoryBuffer(), size);
            }
        }
        if (item)
        {
            item->setItemPosition(pStream->absolutePosition());
            writeUint16(pStream, 0xFFFE, endianType);
            writeUint16(pStream, 0xE000, endianType);
            writeUint32(pStream, getDataSetLength(item, bExplicitDataType), endianType);
            buildStream(pDestStream, item, bExplicitDataType, endianType, false);
        }
    }
    if (bSequence)
    {
        writeUint16(pStream, 0xFFFE, endianType);
        writeUint16(pStream, 0xE0DD, endianType);
        writeUint32(pStream, 0, endianType);
    }

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix::codecs
