// Buffered writing into a stream, byte- and bit-level (with JPEG byte stuffing).
#pragma once

#include "dicom/base/streamController.h"

namespace Halvoran
{

// Buffered sequential writing into a controlled stream. Takes no lock.
class streamWriter : public streamController
{
public:
    streamWriter(const ptr<baseStream>& pControlledStream, std::uint32_t virtualStart = 0,
                 std::uint32_t virtualLength = 0);

    // Flushes what is still buffered. A failure here cannot reach the
    // caller: it is recorded in the thread's exception trail under
    // "streamWriter::~streamWriter". Writers whose output matters call
    // flush() themselves and see the exception.
    ~streamWriter() override;

    void write(const std::uint8_t* pBuffer, std::uint32_t bufferLength);

    // Writes the buffered bytes to the controlled stream; throws on failure.
    void flush();

    // Writes out the partly filled bit buffer byte (its unused low bits 0),
    // followed by 0x00 when it is 0xFF in JPEG mode, then flushes. Does
    // nothing when no bit is buffered.
    void resetOutBitsBuffer();

    // Appends the low count bits of bits, most significant first; in JPEG
    // mode a completed 0xFF byte is followed by 0x00.
    void writeBits(const std::uint32_t& bits, int count);
    std::uint8_t m_outBitsBuffer;
    std::uint32_t m_outBitsNum;
};

} // namespace Halvoran
