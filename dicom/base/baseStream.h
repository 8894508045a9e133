// The interface every byte source and sink of the toolkit implements (files, memory),
// read and written at absolute positions.
#pragma once

#include "dicom/base/baseObject.h"

#include <cstdint>

namespace Halvoran
{

// A positioned byte stream: reads or writes a run of bytes at an absolute
// position counted from the start of the stream.
class baseStream : public baseObject
{
public:
    baseStream() = default;

    virtual void write(std::uint32_t position, const std::uint8_t* pSource, std::uint32_t length) = 0;
    // Returns the number of bytes read: fewer than asked (or 0) at the end.
    virtual std::uint32_t read(std::uint32_t position, std::uint8_t* pDestination, std::uint32_t length) = 0;
    // The number of bytes the stream holds now (used to check lengths read
    // from the stream against what it can deliver).
    virtual std::uint64_t getSize() = 0;
};

} // namespace Halvoran
