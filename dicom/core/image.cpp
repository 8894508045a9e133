#include "dicom/core/image.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/lockObject.h"
#include "dicom/core/colorTransformsFactory.h"

#include <algorithm>

namespace Halvoran::Varnix
{

using transforms::colorTransforms::colorTransformsFactory;

image::image() : baseObject(ptr<baseObject>(new baseObject)) {}

std::uint32_t image::defaultHighBit(std::uint8_t depth)
{
    switch (depth)
    {
    case depthU8:
    case depthS8:
        return 7;
    case depthU16:
    case depthS16:
        return 15;
    default:
        return 0;
    }
}

ptr<handlers::imageHandler> image::create(std::uint32_t sizeX, std::uint32_t sizeY, std::uint8_t depth,
                                          std::wstring colorSpace, std::uint8_t highBit)
{
    HALVORAN_FUNCTION_START(L"image::create")

    lockObject lock(this);

    if (sizeX == 0 || sizeY == 0)
        HALVORAN_THROW(imageExceptionInvalidSize, "An invalid image's size has been specified");

    m_colorSpace = colorTransformsFactory::normalizeColorSpace(colorSpace);
    m_channelsNumber = colorTransformsFactory::getNumberOfChannels(colorSpace);
    if (m_channelsNumber == 0)
        HALVORAN_THROW(imageExceptionUnknownColorSpace, "Cannot recognize the specified color space");

    m_channelPixelSize = 0;
    if (depth > depthS16)
        HALVORAN_THROW(imageExceptionUnknownDepth, "Unknown depth");

    // The values must fit the buffer's 32-bit size in bytes.
    const std::uint64_t valuesNumber = static_cast<std::uint64_t>(sizeX) * sizeY * m_channelsNumber;
    if (valuesNumber * sizeof(std::int32_t) > 0xFFFFFFFFu)
        HALVORAN_THROW(imageExceptionInvalidSize, "An invalid image's size has been specified");

    const std::uint32_t defaultHigh = defaultHighBit(depth);
    m_highBit = (highBit != 0 && highBit <= defaultHigh) ? highBit : defaultHigh;

    if (!m_buffer || !m_buffer->hasSingleReference())
        m_buffer = new buffer(ptr<baseObject>(getExternalLock()), "SL");

    m_sizeX = m_sizeY = 0;

    ptr<handlers::imageHandler> handler(static_cast<handlers::imageHandler*>(
        m_buffer->getDataHandler(true, static_cast<std::uint32_t>(valuesNumber)).get()));
    if (handler)
    {
        m_rowLength = sizeX * m_channelsNumber;
        handler->setSize(m_rowLength * sizeY);
        m_channelPixelSize = handler->getUnitSize();
        m_imageDepth = depth;
        m_sizeX = sizeX;
        m_sizeY = sizeY;
    }
    return handler;

    HALVORAN_FUNCTION_END()
}

void image::setBitDepthAndHighBit(std::uint32_t highBit, std::uint8_t depth)
{
    HALVORAN_FUNCTION_START(L"image::setBitDepthAndHighBit")

    lockObject lock(this);
    if (highBit != 0)
        m_highBit = highBit;
    if (depth != 0)
        m_imageDepth = depth;
    if (m_imageDepth != 0)
        return;

    std::uint32_t rowSize = 0, pixelSize = 0, channels = 0;
    ptr<handlers::imageHandler> handler = getDataHandler(false, &rowSize, &pixelSize, &channels);
    // An image without pixels keeps its unknown depth.
    if (!handler)
        return;
    const std::uint32_t count = std::min(handler->getSize(), m_sizeX * m_sizeY * m_channelsNumber);
    if (count == 0)
        return;
    const std::int32_t* pValues = reinterpret_cast<const std::int32_t*>(handler->getMemoryBuffer());
    const auto [pMin, pMax] = std::minmax_element(pValues, pValues + count);
    const std::int32_t minValue = *pMin;
    const std::int32_t maxValue = *pMax;

    std::uint8_t candidateDepth = depthU8;
    std::uint32_t candidateHighBit = 7;
    if (minValue < 0)
    {
        candidateDepth = depthS8;
        if (minValue < -128 || maxValue >= 128)
        {
            candidateDepth = depthS16;
            candidateHighBit = 15;
        }
    }
    else if (maxValue >= 256)
    {
        candidateDepth = depthU16;
        candidateHighBit = 15;
    }
    if (m_highBit > 7)
    {
        if (candidateDepth == depthU8)
            candidateDepth = depthU16;
        else if (candidateDepth == depthS8)
            candidateDepth = depthS16;
    }
    m_imageDepth = candidateDepth;
    if (m_highBit == 0)
        m_highBit = candidateHighBit;

    HALVORAN_FUNCTION_END()
}

ptr<handlers::imageHandler> image::getDataHandler(bool bWrite, std::uint32_t* pRowSize,
                                                  std::uint32_t* pChannelPixelSize, std::uint32_t* pChannelsNumber)
{
    HALVORAN_FUNCTION_START(L"image::getDataHandler")

    lockObject lock(this);
    if (!m_buffer)
        return ptr<handlers::imageHandler>();
    if (pRowSize != nullptr)
        *pRowSize = m_rowLength;
    if (pChannelPixelSize != nullptr)
        *pChannelPixelSize = m_channelPixelSize;
    if (pChannelsNumber != nullptr)
        *pChannelsNumber = m_channelsNumber;
    return ptr<handlers::imageHandler>(static_cast<handlers::imageHandler*>(
        m_buffer->getDataHandler(bWrite, m_sizeX * m_sizeY * m_channelsNumber).get()));

    HALVORAN_FUNCTION_END()
}

std::uint8_t image::getDepth()
{
    HALVORAN_FUNCTION_START(L"image::getDepth")
    lockObject lock(this);
    return m_imageDepth;
    HALVORAN_FUNCTION_END()
}

std::uint32_t image::getHighBit()
{
    HALVORAN_FUNCTION_START(L"image::getHighBit")
    lockObject lock(this);
    return m_highBit;
    HALVORAN_FUNCTION_END()
}

std::wstring image::getColorSpace()
{
    HALVORAN_FUNCTION_START(L"image::getColorSpace")
    lockObject lock(this);
    return m_colorSpace;
    HALVORAN_FUNCTION_END()
}

std::uint32_t image::getChannelsNumber()
{
    HALVORAN_FUNCTION_START(L"image::getChannelsNumber")
    lockObject lock(this);
    return m_channelsNumber;
    HALVORAN_FUNCTION_END()
}

void image::getSize(std::uint32_t* pSizeX, std::uint32_t* pSizeY)
{
    HALVORAN_FUNCTION_START(L"image::getSize")
    lockObject lock(this);
    if (pSizeX != nullptr)
        *pSizeX = m_sizeX;
    if (pSizeY != nullptr)
        *pSizeY = m_sizeY;
    HALVORAN_FUNCTION_END()
}

void image::getSizeMm(double* pSizeMmX, double* pSizeMmY)
{
    HALVORAN_FUNCTION_START(L"image::getSizeMm")
    lockObject lock(this);
    if (pSizeMmX != nullptr)
        *pSizeMmX = m_sizeMmX;
    if (pSizeMmY != nullptr)
        *pSizeMmY = m_sizeMmY;
    HALVORAN_FUNCTION_END()
}

void image::setSizeMm(double sizeMmX, double sizeMmY)
{
    HALVORAN_FUNCTION_START(L"image::setSizeMm")
    lockObject lock(this);
    if (sizeMmX != 0)
        m_sizeMmX = sizeMmX;
    if (sizeMmY != 0)
        m_sizeMmY = sizeMmY;
    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix
