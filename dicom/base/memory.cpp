#include "dicom/base/memory.h"

#include "dicom/base/memoryPool.h"

#include <cstring>

namespace Halvoran
{

memory::memory() = default;

std::uint32_t memory::size() const
{
    return static_cast<std::uint32_t>(m_content.size());
}

std::uint8_t* memory::data()
{
    return m_content.empty() ? nullptr : m_content.data();
}

const std::uint8_t* memory::data() const
{
    return m_content.empty() ? nullptr : m_content.data();
}

std::uint32_t memory::capacity() const
{
    return static_cast<std::uint32_t>(m_content.capacity());
}

bool memory::empty() const
{
    return m_content.empty();
}

void memory::resize(std::uint32_t newSize)
{
    m_content.resize(newSize, 0);
}

void memory::reserve(std::uint32_t reservedSize)
{
    m_content.reserve(reservedSize);
}

void memory::assign(const std::uint8_t* source, std::uint32_t length)
{
    if (length == 0)
    {
        m_content.clear();
        return;
    }
    m_content.assign(source, source + length);
}

void memory::copyFrom(const ptr<memory>& source)
{
    if (source.get() == this)
        return;
    if (!source)
    {
        m_content.clear();
        return;
    }
    m_content = source->m_content;
}

void memory::transfer(const ptr<memory>& source)
{
    if (!source || source.get() == this)
        return;
    m_content = std::move(source->m_content);
    source->m_content = stringUint8();
}

bool memory::preDelete()
{
    return !memoryPool::keepReleased(this);
}

} // namespace Halvoran
