// The toolkit's counted byte blocks, recycled through the memory pool.
#pragma once

#include "dicom/base/baseObject.h"

#include <cstdint>
#include <vector>

namespace Halvoran
{

typedef std::vector<std::uint8_t> stringUint8;

// A counted block of bytes. Released blocks of a useful size go to the
// memory pool and are handed out again for requests of the same size.
class memory : public baseObject
{
public:
    memory();

    std::uint32_t size() const;
    std::uint8_t* data();
    const std::uint8_t* data() const;
    bool empty() const;
    // Bytes the block can hold without reallocating.
    std::uint32_t capacity() const;

    // New bytes at the end are 0.
    void resize(std::uint32_t newSize);
    void reserve(std::uint32_t reservedSize);
    void assign(const std::uint8_t* source, std::uint32_t length);
    void copyFrom(const ptr<memory>& source);
    // Takes the source's bytes without copying; the source is left empty.
    void transfer(const ptr<memory>& source);

    // Offers the block to the pool; false when the pool keeps it.
    bool preDelete() override;

private:
    stringUint8 m_content;
};

} // namespace Halvoran
