#include "dicom/core/data.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/lockObject.h"
#include "dicom/core/dataHandler.h"
#include "dicom/core/dataHandlerRaw.h"
#include "dicom/core/dataSet.h"

namespace Halvoran::Varnix
{

data::data(const ptr<baseObject>& externalLock) : baseObject(externalLock) {}

void data::setBuffer(std::uint32_t bufferId, const ptr<buffer>& newBuffer)
{
    HALVORAN_FUNCTION_START(L"data::setBuffer")

    lockObject lockAccess(this);
    m_buffers[bufferId] = newBuffer;

    HALVORAN_FUNCTION_END()
}

std::string data::getDataType()
{
    HALVORAN_FUNCTION_START(L"data::getDataType")

    lockObject lockAccess(this);
    const auto found = m_buffers.find(0);
    return found == m_buffers.end() || !found->second ? std::string() : found->second->getDataType();

    HALVORAN_FUNCTION_END()
}

bool data::bufferExists(std::uint32_t bufferId)
{
    HALVORAN_FUNCTION_START(L"data::bufferExists")

    lockObject lockAccess(this);
    const auto found = m_buffers.find(bufferId);
    return found != m_buffers.end() && found->second;

    HALVORAN_FUNCTION_END()
}

std::uint32_t data::getBufferSize(std::uint32_t bufferId)
{
    HALVORAN_FUNCTION_START(L"data::getBufferSize")

    lockObject lockAccess(this);
    const auto found = m_buffers.find(bufferId);
    return found == m_buffers.end() || !found->second ? 0 : found->second->getBufferSizeBytes();

    HALVORAN_FUNCTION_END()
}

std::uint32_t data::getBuffersCount()
{
    lockObject lockAccess(this);
    return static_cast<std::uint32_t>(m_buffers.size());
}

std::uint32_t data::getDataSetsCount()
{
    lockObject lockAccess(this);
    return static_cast<std::uint32_t>(m_embeddedDataSets.size());
}

ptr<buffer> data::bufferForHandler(std::uint32_t bufferId, bool bWrite, std::string defaultType)
{
    const auto found = m_buffers.find(bufferId);
    if (!m_buffers.empty() && m_buffers.begin()->second)
        defaultType = m_buffers.begin()->second->getDataType();
    if (found != m_buffers.end() && found->second)
        return found->second;
    if (!bWrite)
        return ptr<buffer>();
    ptr<buffer> newBuffer(new buffer(ptr<baseObject>(getExternalLock()), defaultType));
    newBuffer->setCharsetsList(&m_charsetsList);
    m_buffers[bufferId] = newBuffer;
    return newBuffer;
}

ptr<handlers::dataHandler> data::getDataHandler(std::uint32_t bufferId, bool bWrite, const std::string& defaultType)
{
    HALVORAN_FUNCTION_START(L"data::getDataHandler")

    lockObject lockAccess(this);
    ptr<buffer> valueBuffer = bufferForHandler(bufferId, bWrite, defaultType);
    if (!valueBuffer)
        return ptr<handlers::dataHandler>();
    return valueBuffer->getDataHandler(bWrite, 0);

    HALVORAN_FUNCTION_END()
}

ptr<handlers::dataHandlerRaw> data::getDataHandlerRaw(std::uint32_t bufferId, bool bWrite,
                                                      const std::string& defaultType)
{
    HALVORAN_FUNCTION_START(L"data::getDataHandlerRaw")

    lockObject lockAccess(this);
    ptr<buffer> valueBuffer = bufferForHandler(bufferId, bWrite, defaultType);
    if (!valueBuffer)
        return ptr<handlers::dataHandlerRaw>();
    return valueBuffer->getDataHandlerRaw(bWrite, 0);

    HALVORAN_FUNCTION_END()
}

ptr<streamReader> data::getStreamReader(std::uint32_t bufferId)
{
    HALVORAN_FUNCTION_START(L"data::getStreamReader")

    lockObject lockAccess(this);
    const auto found = m_buffers.find(bufferId);
    if (found == m_buffers.end() || !found->second)
        return ptr<streamReader>();
    return found->second->getStreamReader();

    HALVORAN_FUNCTION_END()
}

ptr<dataSet> data::getDataSet(std::uint32_t dataSetId)
{
    HALVORAN_FUNCTION_START(L"data::getDataSet")

    lockObject lockAccess(this);
    return dataSetId < m_embeddedDataSets.size() ? m_embeddedDataSets[dataSetId] : ptr<dataSet>();

    HALVORAN_FUNCTION_END()
}

void data::setDataSet(std::uint32_t dataSetId, const ptr<dataSet>& pDataSet)
{
    HALVORAN_FUNCTION_START(L"data::setDataSet")

    lockObject lockAccess(this);
    if (dataSetId >= m_embeddedDataSets.size())
        m_embeddedDataSets.resize(static_cast<std::size_t>(dataSetId) + 1);
    m_embeddedDataSets[dataSetId] = pDataSet;

    HALVORAN_FUNCTION_END()
}

void data::setCharsetsList(const charsetsList::tCharsetsList* pCharsetsList)
{
    HALVORAN_FUNCTION_START(L"data::setCharsetsList")

    lockObject lockAccess(this);
    m_charsetsList.clear();
    charsetsList::updateCharsets(pCharsetsList, &m_charsetsList);
    // Items left empty by a damaged file are passed over.
    for (ptr<dataSet>& item : m_embeddedDataSets)
    {
        if (item)
            item->setCharsetsList(pCharsetsList);
    }
    for (auto& entry : m_buffers)
    {
        if (entry.second)
            entry.second->setCharsetsList(pCharsetsList);
    }

    HALVORAN_FUNCTION_END()
}

void data::getCharsetsList(charsetsList::tCharsetsList* pCharsetsList)
{
    HALVORAN_FUNCTION_START(L"data::getCharsetsList")

    lockObject lockAccess(this);
    m_charsetsList.clear();
    for (ptr<dataSet>& item : m_embeddedDataSets)
    {
        if (!item)
            continue;
        charsetsList::tCharsetsList itemList;
        item->getCharsetsList(&itemList);
        charsetsList::updateCharsets(&itemList, &m_charsetsList);
    }
    for (auto& entry : m_buffers)
    {
        if (!entry.second)
            continue;
        charsetsList::tCharsetsList bufferList;
        entry.second->getCharsetsList(&bufferList);
        charsetsList::updateCharsets(&bufferList, &m_charsetsList);
    }
    charsetsList::copyCharsets(&m_charsetsList, pCharsetsList);

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix
