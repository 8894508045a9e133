// Reuse of released byte blocks, so that decoding frame after frame does not allocate
// the same large buffers again and again.
#pragma once

#include "dicom/base/criticalSection.h"

#include <cstdint>
#include <vector>

namespace Halvoran
{

class memory;

// Keeps up to 255 released memory blocks (1,024 to 20,000,000 bytes each,
// 20,000,000 bytes in all) and hands them out again for requests of exactly
// their size, oldest first.
class memoryPool
{
public:
    static constexpr std::uint32_t minBlockSize = 1024;
    static constexpr std::uint32_t maxBlockSize = 20000000;
    static constexpr std::uint32_t maxTotalSize = 20000000;
    static constexpr std::uint32_t slotsCount = 256;

    memoryPool();
    ~memoryPool();

    memoryPool(const memoryPool&) = delete;
    memoryPool& operator=(const memoryPool&) = delete;

    // The process-wide pool, made on first use.
    static memoryPool* instance();

    // Offers a released block (count 0) to the process-wide pool; false when
    // the pool does not take it (also once the pool has been closed at exit).
    static bool keepReleased(memory* block);

    // Whether this pool took the block.
    bool keep(memory* block);
    // A block of exactly size bytes with a count of 0; the caller puts it into
    // a smart pointer at once. A reused block keeps its former bytes.
    memory* obtain(std::uint32_t size);

    // Sizes of the kept blocks, oldest first, and their sum.
    std::vector<std::uint32_t> keptSizes();
    std::uint32_t totalSize();

private:
    void dropOldest();
    // A kept block of exactly size bytes, taken out of the pool; nullptr when none.
    memory* takeKept(std::uint32_t size);

    std::uint32_t m_sizes[slotsCount];
    memory* m_memoryBlocks[slotsCount];
    std::uint32_t m_firstUsedCell;
    std::uint32_t m_firstFreeCell;
    std::uint32_t m_actualSize;
    criticalSection m_criticalSection;
};

} // namespace Halvoran
