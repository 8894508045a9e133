// The modality transform of a data set: stored pixel values to modality values
// (through its LUT or its rescale slope and intercept).
#pragma once

#include "dicom/core/transform.h"

namespace Halvoran::Varnix::transforms
{

class transformExceptionDataSetNotDefined : public transformException
{
public:
    explicit transformExceptionDataSetNotDefined(const std::string& message) : transformException(message) {}
};

// Stored pixel values to modality values: through the modality LUT of the
// data set when it has a usable one, otherwise through the rescale slope and
// intercept.
class modalityVOILUT : public transformBuffersInPlace
{
public:
    void doTransformBuffers(std::uint32_t sizeX, std::uint32_t sizeY, std::uint32_t channelsNumber,
                            std::wstring inputColorSpace, std::uint8_t inputDepth, std::uint32_t inputHighBit,
                            std::int32_t* pValues, std::uint32_t valuesNumber, std::uint8_t& outputDepth,
                            std::uint32_t& outputHighBit) override;
};

} // namespace Halvoran::Varnix::transforms
