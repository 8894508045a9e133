#include "dicom/core/modalityVOILUT.h"

#include "dicom/base/exceptionsManager.h"

namespace Halvoran::Varnix::transforms
{

void modalityVOILUT::doTransformBuffers(std::uint32_t /* sizeX */, std::uint32_t /* sizeY */,
                                        std::uint32_t /* channelsNumber */, std::wstring /* inputColorSpace */,
                                        std::uint8_t /* inputDepth */, std::uint32_t /* inputHighBit */,
                                        std::int32_t* pValues, std::uint32_t valuesNumber,
                                        std::uint8_t& outputDepth, std::uint32_t& outputHighBit)
{
    HALVORAN_FUNCTION_START(L"modalityVOILUT::doTransformBuffers")

    ptr<dataSet> pDataSet = getDataSet();
    if (!pDataSet)
        HALVORAN_THROW(transformExceptionDataSetNotDefined, "VOI dataset missed");

    ptr<lut> modalityLut = pDataSet->getLut(0x0028, 0x3000, 0);
    if (modalityLut && modalityLut->getSize() != 0 && modalityLut->checkValidDataRange())
    {
        outputDepth = modalityLut->getBits() > 8 ? image::depthU16 : image::depthU8;
        outputHighBit = modalityLut->getBits() - 1u;
        for (std::uint32_t i = 0; i < valuesNumber; ++i)
            pValues[i] = modalityLut->mappedValue(pValues[i]);
        return;
    }

    const double intercept = pDataSet->getDouble(0x0028, 0, 0x1052, 0);
    double slope = pDataSet->getDouble(0x0028, 0, 0x1053, 0);
    if (slope == 0.0)
        slope = 1.0;
    if (slope == 1.0 && intercept == 0.0)
        return;

    outputDepth = 0;
    outputHighBit = 0;
    for (std::uint32_t i = 0; i < valuesNumber; ++i)
    {
        const double value = static_cast<double>(pValues[i]) * slope + intercept + 0.5;
        // Results beyond the 32-bit range are clamped to it.
        if (!(value > -2147483648.0))
            pValues[i] = std::numeric_limits<std::int32_t>::min();
        else if (!(value < 2147483647.0))
            pValues[i] = std::numeric_limits<std::int32_t>::max();
        else
            pValues[i] = static_cast<std::int32_t>(value);
    }

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix::transforms
