#include "dicom/core/transform.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/lockObject.h"

#include <cstring>

namespace Halvoran::Varnix::transforms
{

transform::~transform()
{
    m_transformDataSet.release();
    m_outputImages.clear();
    m_inputImages.clear();
}

void transform::declareInputImage(std::int32_t imageId, const ptr<image>& pImage)
{
    HALVORAN_FUNCTION_START(L"transform::declareInputImage")
    lockObject lock(this);
    m_inputImages[imageId] = pImage;
    HALVORAN_FUNCTION_END()
}

void transform::declareOutputImage(std::int32_t imageId, const ptr<image>& pImage)
{
    HALVORAN_FUNCTION_START(L"transform::declareOutputImage")
    lockObject lock(this);
    m_outputImages[imageId] = pImage;
    HALVORAN_FUNCTION_END()
}

void transform::declareDataSet(const ptr<dataSet>& pDataSet)
{
    HALVORAN_FUNCTION_START(L"transform::declareDataSet")
    lockObject lock(this);
    m_transformDataSet = pDataSet;
    HALVORAN_FUNCTION_END()
}

bool transform::isEmpty()
{
    return false;
}

ptr<image> transform::getInputImage(std::int32_t imageId)
{
    HALVORAN_FUNCTION_START(L"transform::getInputImage")
    lockObject lock(this);
    const auto found = m_inputImages.find(imageId);
    return found == m_inputImages.end() ? ptr<image>() : found->second;
    HALVORAN_FUNCTION_END()
}

ptr<image> transform::getOutputImage(std::int32_t imageId)
{
    HALVORAN_FUNCTION_START(L"transform::getOutputImage")
    lockObject lock(this);
    const auto found = m_outputImages.find(imageId);
    return found == m_outputImages.end() ? ptr<image>() : found->second;
    HALVORAN_FUNCTION_END()
}

ptr<dataSet> transform::getDataSet()
{
    lockObject lock(this);
    return m_transformDataSet;
}

void transformBuffers::doTransform()
{
    HALVORAN_FUNCTION_START(L"transformBuffers::doTransform")

    for (std::int32_t imageId = 0;; ++imageId)
    {
        ptr<image> inputImage = getInputImage(imageId);
        ptr<image> outputImage = getOutputImage(imageId);
        if (!inputImage && !outputImage)
            return;
        if (!inputImage)
            inputImage = outputImage;

        std::uint32_t sizeX = 0, sizeY = 0;
        inputImage->getSize(&sizeX, &sizeY);
        double sizeMmX = 0, sizeMmY = 0;
        inputImage->getSizeMm(&sizeMmX, &sizeMmY);
        const std::uint8_t inputDepth = inputImage->getDepth();
        const std::uint32_t inputHighBit = inputImage->getHighBit();
        std::uint8_t outputDepth = inputDepth;
        std::uint32_t outputHighBit = inputHighBit;

        if (!outputImage)
        {
            outputImage = new image;
            declareOutputImage(imageId, outputImage);
        }
        else if (outputImage->getDepth() != 0)
        {
            outputDepth = outputImage->getDepth();
            outputHighBit = outputImage->getHighBit();
        }

        const std::wstring colorSpace = inputImage->getColorSpace();
        if (outputImage != inputImage)
        {
            outputImage->create(sizeX, sizeY, 0, colorSpace, 0);
            outputImage->setSizeMm(sizeMmX, sizeMmY);
        }

        processDataBuffers(inputImage, outputImage, sizeX, sizeY, colorSpace, inputDepth, inputHighBit,
                           outputDepth, outputHighBit);
        outputImage->setBitDepthAndHighBit(outputHighBit, outputDepth);
    }

    HALVORAN_FUNCTION_END()
}

void transformBuffersInPlace::processDataBuffers(const ptr<image>& inputImage, const ptr<image>& outputImage,
                                                 std::uint32_t sizeX, std::uint32_t sizeY,
                                                 std::wstring inputColorSpace, std::uint8_t inputDepth,
                                                 std::uint32_t inputHighBit, std::uint8_t& outputDepth,
                                                 std::uint32_t& outputHighBit)
{
    HALVORAN_FUNCTION_START(L"transformBuffersInPlace::processDataBuffers")

    std::uint32_t rowSize = 0, pixelSize = 0, channels = 0;
    ptr<handlers::imageHandler> outputHandler = outputImage->getDataHandler(true, &rowSize, &pixelSize, &channels);
    if (!outputHandler)
        return;
    // Never more values than the handler holds.
    std::uint64_t valuesNumber = static_cast<std::uint64_t>(sizeX) * sizeY * channels;
    if (valuesNumber > outputHandler->getSize())
        valuesNumber = outputHandler->getSize();

    if (inputImage != outputImage)
    {
        std::uint32_t inRowSize = 0, inPixelSize = 0, inChannels = 0;
        ptr<handlers::imageHandler> inputHandler =
            inputImage->getDataHandler(false, &inRowSize, &inPixelSize, &inChannels);
        if (inputHandler)
        {
            const std::uint64_t copied = std::min<std::uint64_t>(valuesNumber, inputHandler->getSize());
            if (copied != 0)
                std::memcpy(outputHandler->getMemoryBuffer(), inputHandler->getMemoryBuffer(),
                            static_cast<std::size_t>(copied) * sizeof(std::int32_t));
        }
    }

    doTransformBuffers(sizeX, sizeY, channels, inputColorSpace, inputDepth, inputHighBit,
                       reinterpret_cast<std::int32_t*>(outputHandler->getMemoryBuffer()),
                       static_cast<std::uint32_t>(valuesNumber), outputDepth, outputHighBit);

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix::transforms
