// A DICOM object (a file or a sequence item): typed access to its tags by group and
// element, its sequences, and its frames as images.
#pragma once

#include "dicom/core/dataCollection.h"
#include "dicom/core/dataGroup.h"
#include "dicom/core/image.h"
#include "dicom/core/LUT.h"

#include <stdexcept>

#include <string>
#include <vector>

namespace Halvoran::Varnix
{

class dataSetException : public std::runtime_error
{
public:
    explicit dataSetException(const std::string& message) : std::runtime_error(message) {}
};

class dataSetExceptionUnknownTransferSyntax : public dataSetException
{
public:
    explicit dataSetExceptionUnknownTransferSyntax(const std::string& message) : dataSetException(message) {}
};

class dataSetCorruptedOffsetTable : public dataSetException
{
public:
    explicit dataSetCorruptedOffsetTable(const std::string& message) : dataSetException(message) {}
};

class dataSetImageDoesntExist : public dataSetException
{
public:
    explicit dataSetImageDoesntExist(const std::string& message) : dataSetException(message) {}
};

// One DICOM object (a file's content or a sequence item): groups keyed by
// group number and order, read and written as typed values. The getters
// never fail for something missing: they give 0, 0.0 or an empty text.
class dataSet : public dataCollection<dataGroup>
{
public:
    explicit dataSet(const ptr<baseObject>& externalLock);

    void setItemPosition(std::uint32_t position) { m_itemPosition = position; }
    std::uint32_t getItemPosition() const { return m_itemPosition; }

    // Sets the data set's character sets from (0008,0005).
    void refreshCharsetsList();

    ptr<dataGroup> getGroup(std::uint16_t groupId, std::uint16_t order, bool bCreate);
    void setGroup(std::uint16_t groupId, std::uint16_t order, const ptr<dataGroup>& pGroup);
    ptr<data> getTag(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId, bool bCreate);
    ptr<dataSet> getSequenceItem(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId,
                                 std::uint32_t itemId);
    std::string getDataType(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId);
    std::string getDefaultDataType(std::uint16_t groupId, std::uint16_t tagId);

    ptr<handlers::dataHandler> getDataHandler(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId,
                                              std::uint32_t bufferId, bool bWrite, std::string defaultType);
    ptr<handlers::dataHandlerRaw> getDataHandlerRaw(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId,
                                                    std::uint32_t bufferId, bool bWrite, std::string defaultType);
    ptr<streamReader> getStream(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId,
                                std::uint32_t bufferId);

    std::uint32_t getUnsignedLong(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId,
                                  std::uint32_t elementNumber);
    void setUnsignedLong(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId, std::uint32_t elementNumber,
                         std::uint32_t newValue, const std::string& defaultType = "");
    double getDouble(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId, std::uint32_t elementNumber);
    std::string getString(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId,
                          std::uint32_t elementNumber);
    std::wstring getUnicodeString(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId,
                                  std::uint32_t elementNumber);
    void setUnicodeString(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId,
                          std::uint32_t elementNumber, const std::wstring& newString,
                          const std::string& defaultType = "");

    // Frame frameNumber (from 0) of the pixel data, decoded by the codec of
    // the transfer syntax, with its size in millimetres.
    ptr<image> getImage(std::uint32_t frameNumber);
    // The fragments of a frame of encapsulated pixel data (first id, and one
    // past the last); returns their length in bytes.
    std::uint32_t getFrameBufferIds(std::uint32_t frameId, std::uint32_t* pFirstBuffer, std::uint32_t* pEndBuffer);
    // The fragment at an offset of the basic offset table (0xFFFFFFFF: the
    // first fragment id that does not exist).
    std::uint32_t getFrameBufferId(std::uint32_t offset);
    // The number of frames the pixel data hold, whatever (0028,0008) states:
    // native data, the whole frames that fit in the value (the size tags and
    // the bits allocated give a frame's length; 0 when they are missing), or
    // the number of pixel data groups when each frame has its own;
    // encapsulated data, the entries of the basic offset table, else the
    // frames found in the fragments. 0 without pixel data.
    std::uint32_t getPixelDataFrames();
    // The lookup table of an item of a LUT sequence; empty without the item.
    ptr<lut> getLut(std::uint16_t groupId, std::uint16_t tagId, std::uint32_t lutId);

protected:
    // Entry frameNumber of the basic offset table, 0xFFFFFFFF when missing.
    std::uint32_t readOffsetTableEntry(std::uint32_t frameNumber);

    // A reading handler on buffer 0 standing on the element, or nothing.
    ptr<handlers::dataHandler> elementReader(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId,
                                             std::uint32_t elementNumber);

    // Encapsulated data without an offset table: the first fragment of each
    // frame, then one past the last fragment (found once, see
    // frameStartFragments).
    const std::vector<std::uint32_t>& frameStartFragments(const ptr<data>& imageTag);
    // The bytes of one native frame in the pixel data (bits for frames of
    // 1-bit samples, which are not padded to a byte), 0 when the size tags
    // or the bits allocated are missing.
    std::uint64_t nativeFrameLength(const std::string& imageDataType, bool* pBits);

    std::vector<std::uint32_t> m_imagesPositions;
    std::vector<std::uint32_t> m_frameStarts;
    std::uint32_t m_itemPosition;
};

} // namespace Halvoran::Varnix
