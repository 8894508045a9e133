#pragma once

#include "dicom/core/codec.h"

namespace Halvoran::Varnix::codecs
{

class dicomCodecException : public codecException
{
public:
    explicit dicomCodecException(const std::string& message) : codecException(message) {}
};

// Sequences nested deeper than the reader accepts.
class dicomCodecExceptionDepthLimitReached : public dicomCodecException
{
public:
    explicit dicomCodecExceptionDepthLimitReached(const std::string& message) : dicomCodecException(message) {}
};

// Reads and writes DICOM files (with the 128-byte preamble and "DICM", or
// old NEMA files starting with a group 0008 tag): explicit or implicit VR,
// either byte order, nested sequences, encapsulated pixel data as fragments.
class dicomCodec : public codec
{
public:
    static constexpr std::uint32_t maxDepth = 16;

    ptr<codec> createCodec() override;
    bool canHandleTransferSyntax(const std::wstring& transferSyntax) override;
    bool hasEncapsulatedPixelData(const std::wstring& transferSyntax) override;
    void readStream(const ptr<streamReader>& pSourceStream, const ptr<dataSet>& pDataSet,
                    std::uint32_t maxSizeBufferLoad) override;
    // Writes the file; the file-meta group (0002) is always written in
    // explicit VR, low byte first, the rest as (0002,0010) says.
    void writeStream(const ptr<streamWriter>& pDestStream, const ptr<dataSet>& pDataSet) override;

protected:
    // Parses one data set; returns the bytes it took.
    std::uint64_t parseStream(const ptr<streamReader>& pStream, const ptr<dataSet>& pDataSet, bool bExplicitDataType,
                              std::uint32_t endianType, std::uint32_t maxSizeBufferLoad,
                              std::uint64_t subItemLength, bool bOutermost, std::uint32_t depth);
    std::uint32_t readTag(const ptr<streamReader>& pStream, const ptr<dataSet>& pDataSet, std::uint32_t tagLengthDWord,
                          std::uint16_t tagId, std::uint16_t order, std::uint16_t tagSubId,
                          const std::string& tagType, std::uint32_t endianType, std::uint32_t wordSize,
                          std::uint32_t bufferId, std::uint32_t maxSizeBufferLoad);

    void buildStream(const ptr<streamWriter>& pDestStream, const ptr<dataSet>& pDataSet, bool bExplicitDataType,
                     std::uint32_t endianType, bool bOutermost);
    void writeGroup(const ptr<streamWriter>& pDestStream, const ptr<dataGroup>& pGroup, std::uint16_t groupId,
                    bool bExplicitDataType, std::uint32_t endianType);
    void writeTag(const ptr<streamWriter>& pDestStream, const ptr<data>& pData, std::uint16_t tagId,
                  bool bExplicitDataType, std::uint32_t endianType);
    std::uint32_t getTagLength(const ptr<data>& pData, bool bExplicitDataType, std::uint32_t* pHeaderLength,
                               bool* pbSequence);
    std::uint32_t getGroupLength(const ptr<dataGroup>& pGroup, bool bExplicitDataType);
    std::uint32_t getDataSetLength(const ptr<dataSet>& pDataSet, bool bExplicitDataType);
    // The VR written for a tag.
    static std::string writtenDataType(const ptr<data>& pData);
};

} // namespace Halvoran::Varnix::codecs
