#include "dicom/core/dataHandlerStringIS.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/core/dataHandlerNumeric.h"

namespace Halvoran::Varnix::handlers
{

double dataHandlerStringIS::getDouble()
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringIS::getDouble")

    return static_cast<double>(getSignedLong());

    HALVORAN_FUNCTION_END()
}

void dataHandlerStringIS::setDouble(double value)
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringIS::setDouble")

    setSignedLong(static_cast<std::int32_t>(numericConversion::truncateTo64(value)));

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix::handlers
