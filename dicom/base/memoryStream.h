// A byte stream over a memory block: DICOM data and JPEG streams read from or written
// to memory.
#pragma once

#include "dicom/base/baseStream.h"
#include "dicom/base/memory.h"

namespace Halvoran
{

// A stream over a memory block; the stream's length is the block's size.
class memoryStream : public baseStream
{
public:
    explicit memoryStream(const ptr<memory>& block);

    // Grows the block when the write goes past its end (a gap is filled with 0).
    void write(std::uint32_t position, const std::uint8_t* pSource, std::uint32_t length) override;
    std::uint32_t read(std::uint32_t position, std::uint8_t* pDestination, std::uint32_t length) override;
    std::uint64_t getSize() override;

protected:
    ptr<memory> m_memory;
};

} // namespace Halvoran
