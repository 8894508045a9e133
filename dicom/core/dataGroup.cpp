#include "dicom/core/dataGroup.h"

#include "dicom/core/dataHandler.h"
#include "dicom/core/dataHandlerRaw.h"

namespace Halvoran::Varnix
{

dataGroup::dataGroup(const ptr<baseObject>& externalLock) : dataCollection<data>(externalLock) {}

ptr<data> dataGroup::getTag(std::uint16_t tagId, bool bCreate)
{
    HALVORAN_FUNCTION_START(L"dataGroup::getTag")

    ptr<data> tag = getData(tagId, 0);
    if (!tag && bCreate)
    {
        tag = new data(ptr<baseObject>(getExternalLock()));
        setData(tagId, 0, tag);
    }
    return tag;

    HALVORAN_FUNCTION_END()
}

ptr<handlers::dataHandler> dataGroup::getDataHandler(std::uint16_t tagId, std::uint32_t bufferId, bool bWrite,
                                                     const std::string& defaultType)
{
    HALVORAN_FUNCTION_START(L"dataGroup::getDataHandler")

    lockObject lockAccess(this);
    ptr<data> tag = getTag(tagId, bWrite);
    if (!tag)
        return ptr<handlers::dataHandler>();
    return tag->getDataHandler(bufferId, bWrite, defaultType);

    HALVORAN_FUNCTION_END()
}

ptr<handlers::dataHandlerRaw> dataGroup::getDataHandlerRaw(std::uint16_t tagId, std::uint32_t bufferId, bool bWrite,
                                                           const std::string& defaultType)
{
    HALVORAN_FUNCTION_START(L"dataGroup::getDataHandlerRaw")

    lockObject lockAccess(this);
    ptr<data> tag = getTag(tagId, bWrite);
    if (!tag)
        return ptr<handlers::dataHandlerRaw>();
    return tag->getDataHandlerRaw(bufferId, bWrite, defaultType);

    HALVORAN_FUNCTION_END()
}

ptr<streamReader> dataGroup::getStreamReader(std::uint16_t tagId, std::uint32_t bufferId)
{
    HALVORAN_FUNCTION_START(L"dataGroup::getStreamReader")

    lockObject lockAccess(this);
    ptr<data> tag = getTag(tagId, false);
    if (!tag)
        return ptr<streamReader>();
    return tag->getStreamReader(bufferId);

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix
