#include "dicom/base/streamReader.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/streamException.h"

#include <algorithm>
#include <cstring>

namespace Halvoran
{

namespace
{
[[noreturn]] void throwEOF()
{
    // Not traced here: the traced callers record the entries.
    throw streamExceptionEOF("Attempt to read past the end of the file");
}
} // namespace

streamReader::streamReader(const ptr<baseStream>& pControlledStream, std::uint32_t virtualStart,
                           std::uint32_t virtualLength)
    : streamController(pControlledStream, virtualStart, virtualLength), m_inBitsBuffer(0), m_inBitsNum(0)
{
}

std::uint32_t streamReader::fillDataBuffer()
{
    HALVORAN_FUNCTION_START(L"streamReader::fillDataBuffer")

    const std::uint32_t readPosition = position();
    std::uint32_t room = bufferSize;
    if (m_virtualLength != 0)
    {
        if (readPosition >= m_virtualLength)
        {
            m_dataBufferStreamPosition = m_virtualLength;
            m_pDataBufferCurrent = m_pDataBufferEnd = m_pDataBuffer.get();
            return 0;
        }
        room = std::min(room, m_virtualLength - readPosition);
    }
    const std::uint64_t absolute = static_cast<std::uint64_t>(readPosition) + m_virtualStart;
    std::uint32_t count = 0;
    if (absolute <= 0xFFFFFFFFu)
        count = m_pControlledStream->read(static_cast<std::uint32_t>(absolute), m_pDataBuffer.get(), room);
    m_dataBufferStreamPosition = readPosition;
    m_pDataBufferCurrent = m_pDataBuffer.get();
    m_pDataBufferEnd = m_pDataBuffer.get() + count;
    return count;

    HALVORAN_FUNCTION_END()
}

bool streamReader::atEnd()
{
    return m_pDataBufferCurrent == m_pDataBufferEnd && fillDataBuffer() == 0;
}

void streamReader::read(std::uint8_t* pBuffer, std::uint32_t bufferLength)
{
    while (bufferLength != 0)
    {
        if (m_pDataBufferCurrent == m_pDataBufferEnd && fillDataBuffer() == 0)
            throwEOF();
        const std::uint32_t available = static_cast<std::uint32_t>(m_pDataBufferEnd - m_pDataBufferCurrent);
        const std::uint32_t count = std::min(available, bufferLength);
        std::memcpy(pBuffer, m_pDataBufferCurrent, count);
        pBuffer += count;
        m_pDataBufferCurrent += count;
        bufferLength -= count;
    }
}

void streamReader::seek(std::int64_t newPosition, bool bCurrent)
{
    if (bCurrent)
        newPosition += position();
    if (newPosition < 0)
        newPosition = 0;
    std::uint64_t target = static_cast<std::uint64_t>(newPosition);
    if (m_virtualLength != 0 && target > m_virtualLength)
        target = m_virtualLength;
    if (target > 0xFFFFFFFFu)
        target = 0xFFFFFFFFu;

    const std::uint64_t validBytes = static_cast<std::uint64_t>(m_pDataBufferEnd - m_pDataBuffer.get());
    if (target >= m_dataBufferStreamPosition && target < m_dataBufferStreamPosition + validBytes)
    {
        m_pDataBufferCurrent = m_pDataBuffer.get() + (target - m_dataBufferStreamPosition);
        return;
    }
    m_pDataBufferCurrent = m_pDataBufferEnd = m_pDataBuffer.get();
    m_dataBufferStreamPosition = static_cast<std::uint32_t>(target);
    fillDataBuffer();
}

bool streamReader::readByte(std::uint8_t* pBuffer)
{
    if (m_pDataBufferCurrent == m_pDataBufferEnd && fillDataBuffer() == 0)
        throwEOF();
    *pBuffer = *m_pDataBufferCurrent++;
    if (*pBuffer != 0xFF || m_pTagByte == nullptr)
        return true;

    for (;;)
    {
        if (m_pDataBufferCurrent == m_pDataBufferEnd && fillDataBuffer() == 0)
            throwEOF();
        const std::uint8_t next = *m_pDataBufferCurrent++;
        if (next == 0x00)
        {
            *pBuffer = 0xFF;
            return true;
        }
        if (next == 0xFF)
            continue;
        *m_pTagByte = next;
        *pBuffer = next;
        return false;
    }
}

bool streamReader::readBit(std::uint32_t* pBuffer)
{
    HALVORAN_FUNCTION_START(L"streamReader::readBit")

    *pBuffer = 0;
    if (m_inBitsNum == 0)
    {
        if (!readByte(&m_inBitsBuffer))
            return false;
        m_inBitsNum = 8;
    }
    *pBuffer = (m_inBitsBuffer & 0x80) ? 1u : 0u;
    m_inBitsBuffer = static_cast<std::uint8_t>(m_inBitsBuffer << 1);
    --m_inBitsNum;
    return true;

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran
