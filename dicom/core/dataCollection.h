// The keyed containers data sets and groups are built on, and their iterator.
#pragma once

#include "dicom/base/baseObject.h"
#include "dicom/base/exceptionsManager.h"
#include "dicom/base/lockObject.h"
#include "dicom/core/charsetsList.h"

#include <cstdint>
#include <map>

namespace Halvoran::Varnix
{

// Walks a snapshot of a collection's children in key order.
template <class T>
class dataCollectionIterator : public baseObject
{
public:
    typedef std::map<std::uint32_t, ptr<T>> tChildren;

    explicit dataCollectionIterator(tChildren children) : m_collection(std::move(children))
    {
        m_iterator = m_collection.begin();
    }

    void reset()
    {
        HALVORAN_FUNCTION_START(L"dataCollectionIterator::reset")
        m_iterator = m_collection.begin();
        HALVORAN_FUNCTION_END()
    }
    bool isValid()
    {
        HALVORAN_FUNCTION_START(L"dataCollectionIterator::isValid")
        return m_iterator != m_collection.end();
        HALVORAN_FUNCTION_END()
    }
    bool incIterator()
    {
        HALVORAN_FUNCTION_START(L"dataCollectionIterator::incIterator")
        if (m_iterator != m_collection.end())
            ++m_iterator;
        return isValid();
        HALVORAN_FUNCTION_END()
    }
    ptr<T> getData()
    {
        HALVORAN_FUNCTION_START(L"dataCollectionIterator::getData")
        return m_iterator == m_collection.end() ? ptr<T>() : m_iterator->second;
        HALVORAN_FUNCTION_END()
    }
    std::uint16_t getId()
    {
        HALVORAN_FUNCTION_START(L"dataCollectionIterator::getId")
        return m_iterator == m_collection.end() ? 0 : static_cast<std::uint16_t>(m_iterator->first >> 16);
        HALVORAN_FUNCTION_END()
    }
    // The order of the current child (the low half of its key).
    std::uint16_t getOrder()
    {
        return m_iterator == m_collection.end() ? 0 : static_cast<std::uint16_t>(m_iterator->first & 0xFFFF);
    }

private:
    tChildren m_collection;
    typename tChildren::iterator m_iterator;
};

// Children keyed by (id << 16) | order, and the character sets handed down
// to them.
template <class T>
class dataCollection : public baseObject
{
public:
    explicit dataCollection(const ptr<baseObject>& externalLock) : baseObject(externalLock) {}

    ptr<T> getData(std::uint16_t dataId, std::uint16_t order)
    {
        HALVORAN_FUNCTION_START(L"dataCollection::getData")

        lockObject lockAccess(this);
        const auto found = m_collection.find(key(dataId, order));
        return found == m_collection.end() ? ptr<T>() : found->second;

        HALVORAN_FUNCTION_END()
    }

    void setData(std::uint16_t dataId, std::uint16_t order, const ptr<T>& pData)
    {
        HALVORAN_FUNCTION_START(L"dataCollection::setData")

        lockObject lockAccess(this);
        m_collection[key(dataId, order)] = pData;
        pData->setCharsetsList(&m_charsetsList);

        HALVORAN_FUNCTION_END()
    }

    ptr<dataCollectionIterator<T>> getDataIterator()
    {
        HALVORAN_FUNCTION_START(L"dataCollection::getDataIterator")

        lockObject lockAccess(this);
        return ptr<dataCollectionIterator<T>>(new dataCollectionIterator<T>(m_collection));

        HALVORAN_FUNCTION_END()
    }

    virtual void setCharsetsList(const charsetsList::tCharsetsList* pCharsetsList)
    {
        m_charsetsList.clear();
        charsetsList::updateCharsets(pCharsetsList, &m_charsetsList);
        for (auto& child : m_collection)
            child.second->setCharsetsList(pCharsetsList);
    }

    virtual void getCharsetsList(charsetsList::tCharsetsList* pCharsetsList)
    {
        m_charsetsList.clear();
        for (auto& child : m_collection)
        {
            charsetsList::tCharsetsList childList;
            child.second->getCharsetsList(&childList);
            charsetsList::updateCharsets(&childList, &m_charsetsList);
        }
        charsetsList::copyCharsets(&m_charsetsList, pCharsetsList);
    }

    static std::uint32_t key(std::uint16_t dataId, std::uint16_t order)
    {
        return (static_cast<std::uint32_t>(dataId) << 16) | order;
    }

protected:
    std::map<std::uint32_t, ptr<T>> m_collection;
    charsetsList::tCharsetsList m_charsetsList;
};

} // namespace Halvoran::Varnix
