// A decoded frame: its size, colour space, bit depth and pixel values.
#pragma once

#include "dicom/base/baseObject.h"
#include "dicom/core/buffer.h"
#include "dicom/core/dataHandlerNumeric.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace Halvoran::Varnix
{

class imageException : public std::runtime_error
{
public:
    explicit imageException(const std::string& message) : std::runtime_error(message) {}
};

class imageExceptionInvalidSize : public imageException
{
public:
    explicit imageExceptionInvalidSize(const std::string& message) : imageException(message) {}
};

class imageExceptionUnknownColorSpace : public imageException
{
public:
    explicit imageExceptionUnknownColorSpace(const std::string& message) : imageException(message) {}
};

class imageExceptionUnknownDepth : public imageException
{
public:
    explicit imageExceptionUnknownDepth(const std::string& message) : imageException(message) {}
};

// One decoded frame: signed 32-bit values, the channels of a pixel next to
// each other, pixels left to right, rows top to bottom. The image has a lock
// of its own, shared with its pixel buffer.
class image : public baseObject
{
public:
    // Depth codes.
    enum bitDepth : std::uint8_t
    {
        depthUnknown = 0,
        depthU8 = 1,
        depthS8 = 2,
        depthU16 = 3,
        depthS16 = 4
    };

    image();

    // Prepares the pixels and returns a handler for writing them; releasing
    // the handler stores the values.
    ptr<handlers::imageHandler> create(std::uint32_t sizeX, std::uint32_t sizeY, std::uint8_t depth,
                                       std::wstring colorSpace, std::uint8_t highBit);
    // Sets the depth and the high bit (arguments of 0 keep the present
    // values); a depth still unknown is found from the pixel values.
    void setBitDepthAndHighBit(std::uint32_t highBit, std::uint8_t depth);
    // Empty (and the out-values untouched) while the image has no pixels.
    ptr<handlers::imageHandler> getDataHandler(bool bWrite, std::uint32_t* pRowSize, std::uint32_t* pChannelPixelSize,
                                               std::uint32_t* pChannelsNumber);

    std::uint8_t getDepth();
    std::uint32_t getHighBit();
    std::wstring getColorSpace();
    std::uint32_t getChannelsNumber();
    void getSize(std::uint32_t* pSizeX, std::uint32_t* pSizeY);
    void getSizeMm(double* pSizeMmX, double* pSizeMmY);
    // A size of 0 leaves that dimension unchanged.
    void setSizeMm(double sizeMmX, double sizeMmY);

    // The default high bit of a depth code (0 for codes above 4).
    static std::uint32_t defaultHighBit(std::uint8_t depth);

    // True when the pixels were decoded from a damaged stream (cut off, or
    // with lost data): what could be decoded is there, the rest is filler.
    bool isDamaged() const { return m_damaged; }
    void setDamaged(bool damaged) { m_damaged = damaged; }

protected:
    ptr<buffer> m_buffer;
    std::uint32_t m_rowLength = 0;
    std::uint32_t m_channelPixelSize = 0;
    std::uint32_t m_channelsNumber = 0;
    std::wstring m_colorSpace;
    std::uint8_t m_imageDepth = 0;
    std::uint32_t m_highBit = 0;
    std::uint32_t m_sizeX = 0;
    std::uint32_t m_sizeY = 0;
    double m_sizeMmX = 0.0;
    double m_sizeMmY = 0.0;
    bool m_damaged = false;
};

} // namespace Halvoran::Varnix
