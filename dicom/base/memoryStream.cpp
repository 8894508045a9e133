#include "dicom/base/memoryStream.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/lockObject.h"
#include "dicom/base/streamException.h"

#include <algorithm>
#include <cstring>

namespace Halvoran
{

memoryStream::memoryStream(const ptr<memory>& block) : m_memory(block)
{
    if (!m_memory)
        m_memory = new memory;
}

void memoryStream::write(std::uint32_t position, const std::uint8_t* pSource, std::uint32_t length)
{
    HALVORAN_FUNCTION_START(L"memoryStream::write")

    lockObject lock(this);
    if (length == 0)
        return;
    const std::uint64_t end = static_cast<std::uint64_t>(position) + length;
    if (end > 0xFFFFFFFFu)
        HALVORAN_THROW(streamExceptionWrite, "stream::write failure");
    if (end > m_memory->size())
    {
        // Room grows geometrically, so that a stream written piece by piece
        // is copied a bounded number of times, not once per piece.
        if (end > m_memory->capacity())
        {
            const std::uint64_t doubled = std::max<std::uint64_t>(2ull * m_memory->capacity(), 4096u);
            m_memory->reserve(static_cast<std::uint32_t>(std::min<std::uint64_t>(std::max(end, doubled), 0xFFFFFFFFu)));
        }
        m_memory->resize(static_cast<std::uint32_t>(end));
    }
    std::memcpy(m_memory->data() + position, pSource, length);

    HALVORAN_FUNCTION_END()
}

std::uint32_t memoryStream::read(std::uint32_t position, std::uint8_t* pDestination, std::uint32_t length)
{
    HALVORAN_FUNCTION_START(L"memoryStream::read")

    lockObject lock(this);
    if (length == 0)
        return 0;
    const std::uint32_t size = m_memory->size();
    if (position >= size)
        return 0;
    const std::uint32_t count = std::min(length, size - position);
    std::memcpy(pDestination, m_memory->data() + position, count);
    return count;

    HALVORAN_FUNCTION_END()
}

std::uint64_t memoryStream::getSize()
{
    lockObject lock(this);
    return m_memory->size();
}

} // namespace Halvoran
