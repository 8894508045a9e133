#include "dicom/base/streamController.h"

#include <algorithm>

namespace Halvoran
{

streamController::streamController(const ptr<baseStream>& pControlledStream, std::uint32_t virtualStart,
                                   std::uint32_t virtualLength)
    : m_pTagByte(nullptr), m_pControlledStream(pControlledStream), m_pDataBuffer(new std::uint8_t[bufferSize]),
      m_virtualStart(virtualStart), m_virtualLength(virtualLength), m_dataBufferStreamPosition(0)
{
    m_pDataBufferCurrent = m_pDataBuffer.get();
    m_pDataBufferEnd = m_pDataBuffer.get();
    m_pDataBufferMaxEnd = m_pDataBuffer.get() + bufferSize;
}

streamController::~streamController() = default;

std::uint32_t streamController::position() const
{
    return m_dataBufferStreamPosition + static_cast<std::uint32_t>(m_pDataBufferCurrent - m_pDataBuffer.get());
}

std::uint32_t streamController::absolutePosition() const
{
    return position() + m_virtualStart;
}

ptr<baseStream> streamController::getControlledStream() const
{
    return m_pControlledStream;
}

streamController::tByteOrder streamController::getPlatformEndian()
{
    // The first byte in memory of the 16-bit 0x00FF is 0xFF on a machine that
    // stores the low byte first.
    static const tByteOrder order = [] {
        const std::uint16_t probe = 0x00FF;
        return *reinterpret_cast<const std::uint8_t*>(&probe) == 0xFF ? lowByteEndian : highByteEndian;
    }();
    return order;
}

void streamController::fixByteOrder(std::uint8_t* pBuffer, std::uint32_t wordSize, std::uint32_t byteOrder,
                                    std::uint32_t wordsCount)
{
    if (byteOrder == static_cast<std::uint32_t>(getPlatformEndian()) || pBuffer == nullptr)
        return;
    switch (wordSize)
    {
    case 2:
        for (std::uint32_t i = 0; i < wordsCount; ++i, pBuffer += 2)
            std::swap(pBuffer[0], pBuffer[1]);
        break;
    case 4:
    case 8:
        for (std::uint32_t i = 0; i < wordsCount; ++i, pBuffer += wordSize)
            std::reverse(pBuffer, pBuffer + wordSize);
        break;
    default:
        break;
    }
}

} // namespace Halvoran
