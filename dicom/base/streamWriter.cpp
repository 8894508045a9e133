#include "dicom/base/streamWriter.h"

#include "dicom/base/exceptionsManager.h"

#include <algorithm>
#include <cstring>

namespace Halvoran
{

streamWriter::streamWriter(const ptr<baseStream>& pControlledStream, std::uint32_t virtualStart,
                           std::uint32_t virtualLength)
    : streamController(pControlledStream, virtualStart, virtualLength), m_outBitsBuffer(0), m_outBitsNum(0)
{
}

streamWriter::~streamWriter()
{
    try
    {
        flush();
    }
    catch (...)
    {
        exceptionsManager::recordCurrentException(L"streamWriter::~streamWriter", __FILE_NAME__, __LINE__);
    }
}

void streamWriter::write(const std::uint8_t* pBuffer, std::uint32_t bufferLength)
{
    while (bufferLength != 0)
    {
        if (m_pDataBufferCurrent == m_pDataBufferMaxEnd)
            flush();
        const std::uint32_t room = static_cast<std::uint32_t>(m_pDataBufferMaxEnd - m_pDataBufferCurrent);
        const std::uint32_t count = std::min(room, bufferLength);
        std::memcpy(m_pDataBufferCurrent, pBuffer, count);
        m_pDataBufferCurrent += count;
        m_pDataBufferEnd = m_pDataBufferCurrent;
        pBuffer += count;
        bufferLength -= count;
    }
}

void streamWriter::resetOutBitsBuffer()
{
    HALVORAN_FUNCTION_START(L"streamWriter::resetOutBitsBuffer")

    if (m_outBitsNum == 0)
        return;
    const std::uint8_t bits = m_outBitsBuffer;
    write(&bits, 1);
    if (m_pTagByte != nullptr && bits == 0xFF)
    {
        const std::uint8_t stuffing = 0;
        write(&stuffing, 1);
    }
    flush();
    m_outBitsBuffer = 0;
    m_outBitsNum = 0;

    HALVORAN_FUNCTION_END()
}

void streamWriter::flush()
{
    HALVORAN_FUNCTION_START(L"streamWriter::flush")

    if (m_pDataBufferCurrent == m_pDataBuffer.get())
        return;
    const std::uint32_t count = static_cast<std::uint32_t>(m_pDataBufferCurrent - m_pDataBuffer.get());
    // Emptied first: a failed write is not repeated by a later flush.
    m_pDataBufferCurrent = m_pDataBufferEnd = m_pDataBuffer.get();
    m_pControlledStream->write(m_dataBufferStreamPosition + m_virtualStart, m_pDataBuffer.get(), count);
    m_dataBufferStreamPosition += count;

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran
