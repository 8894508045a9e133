// The interface of the toolkit's codecs (DICOM stream, JPEG): reading a data set from a
// stream, writing it back, and decoding and encoding its frames.
#pragma once

#include "dicom/base/baseObject.h"
#include "dicom/base/memory.h"
#include "dicom/base/streamReader.h"
#include "dicom/base/streamWriter.h"
#include "dicom/core/dataSet.h"
#include "dicom/core/image.h"

#include <stdexcept>
#include <string>

namespace Halvoran::Varnix::codecs
{

class codecException : public std::runtime_error
{
public:
    explicit codecException(const std::string& message) : std::runtime_error(message) {}
};

// The stream is not in the codec's format.
class codecExceptionWrongFormat : public codecException
{
public:
    explicit codecExceptionWrongFormat(const std::string& message) : codecException(message) {}
};

// The stream is in the codec's format but damaged.
class codecExceptionCorruptedFile : public codecException
{
public:
    explicit codecExceptionCorruptedFile(const std::string& message) : codecException(message) {}
};

// The codec was asked about a transfer syntax it does not handle.
class codecExceptionWrongTransferSyntax : public codecException
{
public:
    explicit codecExceptionWrongTransferSyntax(const std::string& message) : codecException(message) {}
};

// A value cannot be written in the form the stream asks for.
class codecExceptionValueTooLong : public codecException
{
public:
    explicit codecExceptionValueTooLong(const std::string& message) : codecException(message) {}
};

// Reads streams into data sets and writes data sets into streams, for one
// family of transfer syntaxes.
class codec : public baseObject
{
public:
    // Reads one data set from the reader's position; the load limit is the
    // largest value, in bytes, loaded while reading (longer ones are loaded
    // when first used). A stream in another format leaves the reader where
    // it was and throws codecExceptionWrongFormat.
    ptr<dataSet> read(const ptr<streamReader>& pSourceStream, std::uint32_t maxSizeBufferLoad = 0xFFFFFFFFu);

    // Decodes one frame from the reader's position; dataType is the VR of
    // the pixel data tag.
    virtual ptr<image> getImage(const ptr<dataSet>& pSourceDataSet, const ptr<streamReader>& pSourceStream,
                                std::string dataType) = 0;
    // Encodes one image into the writer.
    virtual void setImage(const ptr<streamWriter>& pDestStream, const ptr<image>& pImage,
                          std::wstring transferSyntax, int imageQuality, std::string dataType,
                          int allocatedBits, bool bSubSampledX, bool bSubSampledY, bool bInterleaved,
                          bool b2Complement) = 0;
    virtual ptr<codec> createCodec() = 0;
    virtual bool canHandleTransferSyntax(const std::wstring& transferSyntax) = 0;
    virtual bool hasEncapsulatedPixelData(const std::wstring& transferSyntax) = 0;
    // The highest high bit the codec writes in a transfer syntax.
    virtual std::uint32_t getMaxHighBit(std::string transferSyntax) = 0;
    // The bits allocated per sample the codec would use for a high bit.
    virtual std::uint32_t suggestAllocatedBits(std::wstring transferSyntax, std::uint32_t highBit) = 0;
    virtual void readStream(const ptr<streamReader>& pSourceStream, const ptr<dataSet>& pDataSet,
                            std::uint32_t maxSizeBufferLoad) = 0;
    virtual void writeStream(const ptr<streamWriter>& pDestStream, const ptr<dataSet>& pDataSet) = 0;
};

// One colour component of an image being decoded or encoded.
class channel : public baseObject
{
public:
    void allocate(std::uint32_t width, std::uint32_t height);

    std::uint32_t m_samplingFactorX = 1;
    std::uint32_t m_samplingFactorY = 1;
    std::uint32_t m_width = 0;
    std::uint32_t m_height = 0;
    std::int32_t* m_pBuffer = nullptr;
    std::uint32_t m_bufferSize = 0;
    ptr<memory> m_memory;
};

} // namespace Halvoran::Varnix::codecs
