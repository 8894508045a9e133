// Colour-space conversions of decoded frames (YBR_PARTIAL to RGB).
#pragma once

#include "dicom/core/colorTransformsFactory.h"
#include "dicom/core/transform.h"

namespace Halvoran::Varnix::transforms::colorTransforms
{

class colorTransformException : public transformException
{
public:
    explicit colorTransformException(const std::string& message) : transformException(message) {}
};

class colorTransformExceptionWrongColorSpace : public colorTransformException
{
public:
    explicit colorTransformExceptionWrongColorSpace(const std::string& message) : colorTransformException(message) {}
};

// Converts every declared input image from one colour space into another.
class colorTransform : public transform
{
public:
    void doTransform() override;

    virtual std::wstring getInputColorSpace() = 0;
    virtual std::wstring getOutputColorSpace() = 0;
    virtual ptr<colorTransform> createInstance() = 0;
    virtual void convertPixels(const std::int32_t* pSourceMem, std::int32_t* pDestMem, std::uint32_t pixelsNumber,
                               std::int32_t inputMinValue, std::int32_t inputMaxValue,
                               std::int32_t outputMinValue, std::int32_t outputMaxValue) = 0;
};

// YBR_PARTIAL (studio-range luminance and chroma) to RGB, in 12-bit fixed
// point.
class YBRPARTIALToRGB : public colorTransform
{
public:
    std::wstring getInputColorSpace() override { return L"YBR_PARTIAL"; }
    std::wstring getOutputColorSpace() override { return L"RGB"; }
    ptr<colorTransform> createInstance() override;
    void convertPixels(const std::int32_t* pSourceMem, std::int32_t* pDestMem, std::uint32_t pixelsNumber,
                       std::int32_t inputMinValue, std::int32_t inputMaxValue, std::int32_t outputMinValue,
                       std::int32_t outputMaxValue) override;
};

} // namespace Halvoran::Varnix::transforms::colorTransforms
