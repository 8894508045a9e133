// Buffering and byte-order handling shared by the stream reader and writer.
#pragma once

#include "dicom/base/baseStream.h"

#include <cstdint>
#include <memory>

namespace Halvoran
{

// Common part of the stream reader and writer: a 4,096-byte buffer over a
// window (virtual start and length) of a controlled stream.
class streamController : public baseObject
{
public:
    // 1: low byte first; 2: high byte first.
    enum tByteOrder : std::uint32_t
    {
        lowByteEndian = 1,
        highByteEndian = 2
    };

    static constexpr std::uint32_t bufferSize = 4096;

    // virtualLength 0 means up to the end of the controlled stream.
    streamController(const ptr<baseStream>& pControlledStream, std::uint32_t virtualStart, std::uint32_t virtualLength);
    ~streamController() override;

    // Position relative to the virtual start.
    std::uint32_t position() const;
    // Position in the controlled stream.
    std::uint32_t absolutePosition() const;

    ptr<baseStream> getControlledStream() const;

    // Reverses the bytes of each of wordsCount words of 2, 4 or 8 bytes when
    // byteOrder is not the machine's; other word sizes are left unchanged.
    // 8-byte words (FD values) are reversed as well, so that big-endian
    // doubles reach memory in the machine's order.
    static void fixByteOrder(std::uint8_t* pBuffer, std::uint32_t wordSize, std::uint32_t byteOrder,
                             std::uint32_t wordsCount);

    // The machine's byte order.
    static tByteOrder getPlatformEndian();

    // JPEG mode: when set, 0xFF bytes are escaped and markers met while
    // reading are stored in the slot.
    std::uint8_t* m_pTagByte;

protected:
    ptr<baseStream> m_pControlledStream;
    std::unique_ptr<std::uint8_t[]> m_pDataBuffer;
    std::uint32_t m_virtualStart;
    std::uint32_t m_virtualLength;
    std::uint32_t m_dataBufferStreamPosition;
    std::uint8_t* m_pDataBufferCurrent;
    std::uint8_t* m_pDataBufferEnd;
    std::uint8_t* m_pDataBufferMaxEnd;
};

} // namespace Halvoran
