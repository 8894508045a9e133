// Buffered reading of a stream: bytes, words in either byte order, and the bit-level
// reading with JPEG marker detection that the JPEG decoder needs.
#pragma once

#include "dicom/base/streamController.h"

namespace Halvoran
{

// Buffered sequential reading of a controlled stream. Takes no lock: each
// reader is used by one thread at a time.
class streamReader : public streamController
{
public:
    streamReader(const ptr<baseStream>& pControlledStream, std::uint32_t virtualStart = 0,
                 std::uint32_t virtualLength = 0);

    // Refills the buffer at the current position; returns the bytes now in it.
    std::uint32_t fillDataBuffer();

    bool atEnd();

    // Throws streamExceptionEOF when the data run out (the bytes copied so
    // far stay in pBuffer and are consumed).
    void read(std::uint8_t* pBuffer, std::uint32_t bufferLength);

    void seek(std::int64_t newPosition, bool bCurrent = false);

    // Reads one byte; in JPEG mode returns false when a marker was met (its
    // code is stored in the marker slot and in value).
    bool readByte(std::uint8_t* pBuffer);

    // readByte with its common case, a plain byte already buffered, inline.
    bool readByteInline(std::uint8_t* pBuffer)
    {
        if (m_pDataBufferCurrent != m_pDataBufferEnd && *m_pDataBufferCurrent != 0xFF)
        {
            *pBuffer = *m_pDataBufferCurrent++;
            return true;
        }
        return readByte(pBuffer);
    }

    // Reads the next bit, most significant first; false at a marker.
    bool readBit(std::uint32_t* pBuffer);

    // Reads count (up to 32) bits, most significant first; false at a
    // marker (bits then holds what was read before it).
    bool readBits(std::uint32_t& bits, int count);
    // Appends the next bit to code; false at a marker.
    bool addBit(std::uint32_t& code)
    {
        if (m_inBitsNum == 0)
            return addBitSlow(code);
        code = (code << 1) | (static_cast<std::uint32_t>(m_inBitsBuffer) >> 7);
        m_inBitsBuffer = static_cast<std::uint8_t>(m_inBitsBuffer << 1);
        --m_inBitsNum;
        return true;
    }
    // The bits left of the byte being read bit by bit, at the top of a byte
    // (lower bits 0), their count, and dropping some of them.
    std::uint32_t bufferedBits() const { return m_inBitsBuffer; }
    std::uint32_t bufferedBitsCount() const { return m_inBitsNum; }
    void dropBufferedBits(std::uint32_t count)
    {
        m_inBitsBuffer = static_cast<std::uint8_t>(m_inBitsBuffer << count);
        m_inBitsNum -= count;
    }
    // Drops the bits left of the byte being read bit by bit.
    void resetInBitsBuffer() { m_inBitsNum = 0; }

protected:
    bool addBitSlow(std::uint32_t& code);

    std::uint8_t m_inBitsBuffer;
    std::uint32_t m_inBitsNum;
};

} // namespace Halvoran
