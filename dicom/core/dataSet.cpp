#include "dicom/core/dataSet.h"

#include "dicom/core/dataHandler.h"
#include "dicom/core/dataHandlerRaw.h"
#include "dicom/core/dicomDictionary.h"

namespace Halvoran::Varnix
{

dataSet::dataSet(const ptr<baseObject>& externalLock) : dataCollection<dataGroup>(externalLock), m_itemPosition(0) {}

void dataSet::refreshCharsetsList()
{
    charsetsList::tCharsetsList list;
    ptr<handlers::dataHandler> handler = getDataHandler(0x0008, 0, 0x0005, 0, false, "");
    if (handler)
    {
        handler->setPointer(0);
        while (handler->pointerIsValid())
        {
            list.push_back(handler->getUnicodeString());
            handler->incPointer();
        }
    }
    setCharsetsList(&list);
}

ptr<dataGroup> dataSet::getGroup(std::uint16_t groupId, std::uint16_t order, bool bCreate)
{
    HALVORAN_FUNCTION_START(L"dataSet::getGroup")

    lockObject lockAccess(this);
    ptr<dataGroup> group = getData(groupId, order);
    if (!group && bCreate)
    {
        group = new dataGroup(ptr<baseObject>(getExternalLock()));
        setGroup(groupId, order, group);
    }
    return group;

    HALVORAN_FUNCTION_END()
}

void dataSet::setGroup(std::uint16_t groupId, std::uint16_t order, const ptr<dataGroup>& pGroup)
{
    HALVORAN_FUNCTION_START(L"dataSet::setGroup")

    setData(groupId, order, pGroup);

    HALVORAN_FUNCTION_END()
}

ptr<data> dataSet::getTag(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId, bool bCreate)
{
    HALVORAN_FUNCTION_START(L"dataSet::getTag")

    lockObject lockAccess(this);
    ptr<dataGroup> group = getGroup(groupId, order, bCreate);
    if (!group)
        return ptr<data>();
    return group->getTag(tagId, bCreate);

    HALVORAN_FUNCTION_END()
}

ptr<dataSet> dataSet::getSequenceItem(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId,
                                      std::uint32_t itemId)
{
    HALVORAN_FUNCTION_START(L"dataSet::getSequenceItem")

    ptr<data> tag = getTag(groupId, order, tagId, false);
    if (!tag)
        return ptr<dataSet>();
    return tag->getDataSet(itemId);

    HALVORAN_FUNCTION_END()
}

std::string dataSet::getDataType(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId)
{
    HALVORAN_FUNCTION_START(L"dataSet::getDataType")

    ptr<data> tag = getTag(groupId, order, tagId, false);
    return tag ? tag->getDataType() : std::string();

    HALVORAN_FUNCTION_END()
}

std::string dataSet::getDefaultDataType(std::uint16_t groupId, std::uint16_t tagId)
{
    HALVORAN_FUNCTION_START(L"dataSet::getDefaultDataType")

    return dicomDictionary::instance()->getTagType(groupId, tagId);

    HALVORAN_FUNCTION_END()
}

ptr<handlers::dataHandler> dataSet::getDataHandler(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId,
                                                   std::uint32_t bufferId, bool bWrite, std::string defaultType)
{
    HALVORAN_FUNCTION_START(L"dataSet::getDataHandler")

    lockObject lockAccess(this);
    ptr<dataGroup> group = getGroup(groupId, order, bWrite);
    if (!group)
        return ptr<handlers::dataHandler>();
    if (defaultType.size() != 2)
        defaultType = getDefaultDataType(groupId, tagId);
    return group->getDataHandler(tagId, bufferId, bWrite, defaultType);

    HALVORAN_FUNCTION_END()
}

ptr<handlers::dataHandlerRaw> dataSet::getDataHandlerRaw(std::uint16_t groupId, std::uint16_t order,
                                                         std::uint16_t tagId, std::uint32_t bufferId, bool bWrite,
                                                         std::string defaultType)
{
    HALVORAN_FUNCTION_START(L"dataSet::getDataHandlerRaw")

    lockObject lockAccess(this);
    ptr<dataGroup> group = getGroup(groupId, order, bWrite);
    if (!group)
        return ptr<handlers::dataHandlerRaw>();
    if (defaultType.size() != 2)
        defaultType = getDefaultDataType(groupId, tagId);
    return group->getDataHandlerRaw(tagId, bufferId, bWrite, defaultType);

    HALVORAN_FUNCTION_END()
}

ptr<streamReader> dataSet::getStream(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId,
                                     std::uint32_t bufferId)
{
    HALVORAN_FUNCTION_START(L"dataSet::getStream")

    lockObject lockAccess(this);
    ptr<dataGroup> group = getGroup(groupId, order, false);
    if (!group)
        return ptr<streamReader>();
    return group->getStreamReader(tagId, bufferId);

    HALVORAN_FUNCTION_END()
}

ptr<handlers::dataHandler> dataSet::elementReader(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId,
                                                  std::uint32_t elementNumber)
{
    ptr<handlers::dataHandler> handler = getDataHandler(groupId, order, tagId, 0, false, "");
    if (!handler)
        return handler;
    handler->setPointer(elementNumber);
    if (!handler->pointerIsValid())
        return ptr<handlers::dataHandler>();
    return handler;
}

std::uint32_t dataSet::getUnsignedLong(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId,
                                       std::uint32_t elementNumber)
{
    HALVORAN_FUNCTION_START(L"dataSet::getUnignedLong")

    ptr<handlers::dataHandler> handler = elementReader(groupId, order, tagId, elementNumber);
    return handler ? handler->getUnsignedLong() : 0;

    HALVORAN_FUNCTION_END()
}

void dataSet::setUnsignedLong(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId,
                              std::uint32_t elementNumber, std::uint32_t newValue, const std::string& defaultType)
{
    HALVORAN_FUNCTION_START(L"dataSet::setUnsignedLong")

    ptr<handlers::dataHandler> handler = getDataHandler(groupId, order, tagId, 0, true, defaultType);
    if (handler->getSize() <= elementNumber)
        handler->setSize(elementNumber + 1);
    handler->setPointer(elementNumber);
    handler->setUnsignedLong(newValue);

    HALVORAN_FUNCTION_END()
}

double dataSet::getDouble(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId,
                          std::uint32_t elementNumber)
{
    HALVORAN_FUNCTION_START(L"dataSet::getDouble")

    ptr<handlers::dataHandler> handler = elementReader(groupId, order, tagId, elementNumber);
    return handler ? handler->getDouble() : 0.0;

    HALVORAN_FUNCTION_END()
}

std::string dataSet::getString(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId,
                               std::uint32_t elementNumber)
{
    HALVORAN_FUNCTION_START(L"dataSet::getString")

    ptr<handlers::dataHandler> handler = elementReader(groupId, order, tagId, elementNumber);
    return handler ? handler->getString() : std::string();

    HALVORAN_FUNCTION_END()
}

std::wstring dataSet::getUnicodeString(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId,
                                       std::uint32_t elementNumber)
{
    HALVORAN_FUNCTION_START(L"dataSet::getUnicodeString")

    ptr<handlers::dataHandler> handler = elementReader(groupId, order, tagId, elementNumber);
    return handler ? handler->getUnicodeString() : std::wstring();

    HALVORAN_FUNCTION_END()
}

void dataSet::setUnicodeString(std::uint16_t groupId, std::uint16_t order, std::uint16_t tagId,
                               std::uint32_t elementNumber, const std::wstring& newString,
                               const std::string& defaultType)
{
    HALVORAN_FUNCTION_START(L"dataSet::setUnicodeString")

    ptr<handlers::dataHandler> handler = getDataHandler(groupId, order, tagId, 0, true, defaultType);
    if (handler->getSize() <= elementNumber)
        handler->setSize(elementNumber + 1);
    handler->setPointer(elementNumber);
    handler->setUnicodeString(newString);

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix
