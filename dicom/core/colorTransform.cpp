#include "dicom/core/colorTransform.h"

#include "dicom/base/exceptionsManager.h"

namespace Halvoran::Varnix::transforms::colorTransforms
{

void registerStandardColorTransforms(colorTransformsFactory* pFactory)
{
    pFactory->registerTransform(ptr<colorTransform>(new YBRPARTIALToRGB));
}

void colorTransform::doTransform()
{
    HALVORAN_FUNCTION_START(L"colorTransform::doTransform")

    for (std::int32_t imageId = 0;; ++imageId)
    {
        ptr<image> inputImage = getInputImage(imageId);
        if (!inputImage)
            return;
        if (inputImage->getColorSpace() != getInputColorSpace())
            HALVORAN_THROW(colorTransformExceptionWrongColorSpace,
                           "the image's color space cannot be handled by the transform");

        ptr<image> outputImage = getOutputImage(imageId);
        if (!outputImage)
        {
            outputImage = new image;
            declareOutputImage(imageId, outputImage);
        }

        std::uint32_t sizeX = 0, sizeY = 0;
        inputImage->getSize(&sizeX, &sizeY);
        double sizeMmX = 0, sizeMmY = 0;
        inputImage->getSizeMm(&sizeMmX, &sizeMmY);
        outputImage->setSizeMm(sizeMmX, sizeMmY);

        const std::uint8_t inputDepth = inputImage->getDepth();
        const std::uint32_t highBit = inputImage->getHighBit();
        std::uint8_t outputDepth = inputDepth;
        // High bits above 30 would overflow the ranges' arithmetic.
        const std::uint32_t rangeBit = highBit > 30 ? 30 : highBit;
        std::int32_t inputMin = 0;
        std::int32_t inputMax = static_cast<std::int32_t>((std::int64_t{1} << (rangeBit + 1)) - 1);
        std::int32_t outputMin = inputMin;
        std::int32_t outputMax = inputMax;
        if (inputDepth == image::depthS8 || inputDepth == image::depthS16)
        {
            inputMin = static_cast<std::int32_t>(-(std::int64_t{1} << rangeBit));
            inputMax = static_cast<std::int32_t>((std::int64_t{1} << rangeBit) - 1);
            const std::wstring outputColorSpace = getOutputColorSpace();
            if (outputColorSpace == L"MONOCHROME2" || outputColorSpace == L"MONOCHROME1")
            {
                outputMin = inputMin;
                outputMax = inputMax;
            }
            else
                outputDepth = inputDepth == image::depthS8 ? image::depthU8 : image::depthU16;
        }

        std::uint32_t rowSize = 0, pixelSize = 0, inputChannels = 0;
        ptr<handlers::imageHandler> inputHandler =
            inputImage->getDataHandler(false, &rowSize, &pixelSize, &inputChannels);
        const std::uint64_t pixels = static_cast<std::uint64_t>(sizeX) * sizeY;
        if (!inputHandler || inputHandler->getSize() < pixels * inputChannels)
            HALVORAN_THROW(colorTransformExceptionWrongColorSpace,
                           "the input image's size doesn't match the requested size");

        ptr<handlers::imageHandler> outputHandler = outputImage->create(
            sizeX, sizeY, outputDepth, getOutputColorSpace(), static_cast<std::uint8_t>(highBit));
        if (!outputHandler || outputHandler->getSize() < pixels * outputImage->getChannelsNumber())
            HALVORAN_THROW(colorTransformExceptionWrongColorSpace,
                           "the output image's size doesn't match the requested size");

        convertPixels(reinterpret_cast<const std::int32_t*>(inputHandler->getMemoryBuffer()),
                      reinterpret_cast<std::int32_t*>(outputHandler->getMemoryBuffer()),
                      static_cast<std::uint32_t>(pixels), inputMin, inputMax, outputMin, outputMax);
    }

    HALVORAN_FUNCTION_END()
}

ptr<colorTransform> YBRPARTIALToRGB::createInstance()
{
    return ptr<colorTransform>(new YBRPARTIALToRGB);
}

void YBRPARTIALToRGB::convertPixels(const std::int32_t* pSourceMem, std::int32_t* pDestMem,
                                    std::uint32_t pixelsNumber, std::int32_t inputMinValue,
                                    std::int32_t inputMaxValue, std::int32_t outputMinValue,
                                    std::int32_t outputMaxValue)
{
    // 64-bit intermediates: 16-bit inputs times the 12-bit factors do not
    // fit 32 bits.
    const std::int64_t middle = (static_cast<std::int64_t>(inputMaxValue) - inputMinValue + 1) >> 1;
    const std::int64_t offsetY = middle >> 3;
    const auto clip = [outputMinValue, outputMaxValue](std::int64_t value) {
        if (value < outputMinValue)
            value = outputMinValue;
        if (value > outputMaxValue)
            value = outputMaxValue;
        return static_cast<std::int32_t>(value);
    };
    for (std::uint32_t pixel = 0; pixel < pixelsNumber; ++pixel, pSourceMem += 3, pDestMem += 3)
    {
        const std::int64_t y = pSourceMem[0] - offsetY;
        const std::int64_t cb = pSourceMem[1] - middle;
        const std::int64_t cr = pSourceMem[2] - middle;
        const std::int64_t h = 4768 * y;
        pDestMem[0] = clip((h + 6537 * cr) >> 12);
        pDestMem[1] = clip((h - 1602 * cb - 3330 * cr) >> 12);
        pDestMem[2] = clip((h + 8266 * cb) >> 12);
    }
}

} // namespace Halvoran::Varnix::transforms::colorTransforms
