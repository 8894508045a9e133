// The base of the image transforms (colour conversions, the modality LUT) applied to
// decoded frames.
#pragma once

#include "dicom/base/baseObject.h"
#include "dicom/core/dataSet.h"
#include "dicom/core/image.h"

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>

namespace Halvoran::Varnix::transforms
{

class transformException : public std::runtime_error
{
public:
    explicit transformException(const std::string& message) : std::runtime_error(message) {}
};

// Turns the input images, kept by id, into the output images of the same id,
// with parameters from a data set.
class transform : public baseObject
{
public:
    ~transform() override;

    virtual void declareInputImage(std::int32_t imageId, const ptr<image>& pImage);
    virtual void declareOutputImage(std::int32_t imageId, const ptr<image>& pImage);
    virtual void declareDataSet(const ptr<dataSet>& pDataSet);
    virtual void doTransform() = 0;
    // Answers false for every transform of the toolkit.
    virtual bool isEmpty();

    // Empty for an id never declared.
    ptr<image> getInputImage(std::int32_t imageId);
    ptr<image> getOutputImage(std::int32_t imageId);
    ptr<dataSet> getDataSet();

protected:
    std::map<std::int32_t, ptr<image>> m_inputImages;
    std::map<std::int32_t, ptr<image>> m_outputImages;
    ptr<dataSet> m_transformDataSet;
};

// Walks the ids 0, 1, 2, ... until neither an input nor an output is
// declared, makes each output like its input and hands both to
// processDataBuffers.
class transformBuffers : public transform
{
public:
    void doTransform() override;

    virtual void processDataBuffers(const ptr<image>& inputImage, const ptr<image>& outputImage,
                                    std::uint32_t sizeX, std::uint32_t sizeY, std::wstring inputColorSpace,
                                    std::uint8_t inputDepth, std::uint32_t inputHighBit,
                                    std::uint8_t& outputDepth, std::uint32_t& outputHighBit) = 0;
};

// Copies the input's values into the output and lets the concrete transform
// rewrite them there.
class transformBuffersInPlace : public transformBuffers
{
public:
    void processDataBuffers(const ptr<image>& inputImage, const ptr<image>& outputImage, std::uint32_t sizeX,
                            std::uint32_t sizeY, std::wstring inputColorSpace, std::uint8_t inputDepth,
                            std::uint32_t inputHighBit, std::uint8_t& outputDepth,
                            std::uint32_t& outputHighBit) override;

    virtual void doTransformBuffers(std::uint32_t sizeX, std::uint32_t sizeY, std::uint32_t channelsNumber,
                                    std::wstring inputColorSpace, std::uint8_t inputDepth,
                                    std::uint32_t inputHighBit, std::int32_t* pValues, std::uint32_t valuesNumber,
                                    std::uint8_t& outputDepth, std::uint32_t& outputHighBit) = 0;
};

} // namespace Halvoran::Varnix::transforms
