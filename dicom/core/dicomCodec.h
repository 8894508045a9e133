// Reading and writing the DICOM file format itself, and the native and RLE encodings
// of its pixel data.
#pragma once

#include "dicom/core/codec.h"

#include <vector>

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

    ptr<image> getImage(const ptr<dataSet>& pSourceDataSet, const ptr<streamReader>& pSourceStream,
                        std::string dataType) override;
    void setImage(const ptr<streamWriter>& pDestStream, const ptr<image>& pImage, std::wstring transferSyntax,
                  int imageQuality, std::string dataType, int allocatedBits, bool bSubSampledX, bool bSubSampledY,
                  bool bInterleaved, bool b2Complement) override;
    ptr<codec> createCodec() override;
    bool canHandleTransferSyntax(const std::wstring& transferSyntax) override;
    bool hasEncapsulatedPixelData(const std::wstring& transferSyntax) override;
    std::uint32_t getMaxHighBit(std::string transferSyntax) override;
    std::uint32_t suggestAllocatedBits(std::wstring transferSyntax, std::uint32_t highBit) override;
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

    // Pixel data.
    void allocChannels(std::uint32_t channelsNumber, std::uint32_t sizeX, std::uint32_t sizeY, bool bSubSampledX,
                       bool bSubSampledY);
    void readUncompressedInterleaved(std::uint32_t channelsNumber, bool bSubSampledX, bool bSubSampledY,
                                     streamReader* pSourceStream, std::uint8_t wordSizeBytes,
                                     std::uint8_t allocatedBits, std::uint32_t mask);
    void writeUncompressedInterleaved(std::uint32_t channelsNumber, bool bSubSampledX, bool bSubSampledY,
                                      streamWriter* pDestStream, std::uint8_t wordSizeBytes,
                                      std::uint8_t allocatedBits, std::uint32_t mask);
    void readUncompressedNotInterleaved(std::uint32_t channelsNumber, streamReader* pSourceStream,
                                        std::uint8_t wordSizeBytes, std::uint8_t allocatedBits, std::uint32_t mask);
    void writeUncompressedNotInterleaved(std::uint32_t channelsNumber, streamWriter* pDestStream,
                                         std::uint8_t wordSizeBytes, std::uint8_t allocatedBits, std::uint32_t mask);
    void readRLECompressed(std::uint32_t imageWidth, std::uint32_t imageHeight, std::uint32_t channelsNumber,
                           streamReader* pSourceStream, std::uint8_t allocatedBits, std::uint32_t mask,
                           bool bInterleaved);
    void writeRLECompressed(std::uint32_t imageWidth, std::uint32_t imageHeight, std::uint32_t channelsNumber,
                            streamWriter* pDestStream, std::uint8_t allocatedBits, std::uint32_t mask);
    void readPixel(streamReader* pSourceStream, std::int32_t* pDestBuffer, std::uint32_t numPixels,
                   std::uint8_t* pBitPointer, std::uint8_t wordSizeBytes, std::uint8_t allocatedBits,
                   std::uint32_t mask);
    void writePixel(streamWriter* pDestStream, std::int32_t pixelValue, std::uint8_t* pBitPointer,
                    std::uint8_t wordSizeBytes, std::uint8_t allocatedBits, std::uint32_t mask);
    void flushUnwrittenPixels(streamWriter* pDestStream, std::uint8_t* pBitPointer, std::uint8_t wordSizeBytes);

    std::vector<ptr<channel>> m_channels;
    std::uint16_t m_ioWord = 0;
    std::uint8_t m_ioByte = 0;
};

} // namespace Halvoran::Varnix::codecs
