#include "dicom/base/memoryPool.h"

#include "dicom/base/memory.h"

#include <atomic>

namespace Halvoran
{

namespace
{
// Set when the process-wide pool is destroyed at exit: blocks released by
// other static objects after that are deleted instead of kept.
std::atomic<bool> poolClosed{false};

std::uint32_t nextCell(std::uint32_t cell)
{
    return (cell + 1) % memoryPool::slotsCount;
}

std::uint32_t previousCell(std::uint32_t cell)
{
    return (cell + memoryPool::slotsCount - 1) % memoryPool::slotsCount;
}

struct globalPool
{
    memoryPool pool;
    ~globalPool() { poolClosed.store(true); }
};
} // namespace

memoryPool::memoryPool() : m_sizes{}, m_memoryBlocks{}, m_firstUsedCell(0), m_firstFreeCell(0), m_actualSize(0) {}

memoryPool::~memoryPool()
{
    lockCriticalSection lock(&m_criticalSection);
    while (m_firstUsedCell != m_firstFreeCell)
        dropOldest();
}

memoryPool* memoryPool::instance()
{
    static globalPool global;
    return &global.pool;
}

bool memoryPool::keepReleased(memory* block)
{
    if (poolClosed.load())
        return false;
    return instance()->keep(block);
}

bool memoryPool::keep(memory* block)
{
    const std::uint32_t size = block->size();
    if (size < minBlockSize || size > maxBlockSize)
        return false;

    lockCriticalSection lock(&m_criticalSection);
    m_sizes[m_firstFreeCell] = size;
    m_memoryBlocks[m_firstFreeCell] = block;
    m_actualSize += size;
    m_firstFreeCell = nextCell(m_firstFreeCell);
    if (m_firstFreeCell == m_firstUsedCell)
        dropOldest();
    while (m_actualSize > maxTotalSize)
        dropOldest();
    return true;
}

memory* memoryPool::obtain(std::uint32_t size)
{
    if (memory* kept = takeKept(size))
        return kept;
    // A new block is made (and zero-filled) outside the pool's lock, so that
    // threads making large blocks do not wait for each other.
    memory* block = new memory;
    try
    {
        block->resize(size);
    }
    catch (...)
    {
        delete block;
        throw;
    }
    return block;
}

memory* memoryPool::takeKept(std::uint32_t size)
{
    lockCriticalSection lock(&m_criticalSection);
    if (size != 0)
    {
        for (std::uint32_t cell = m_firstUsedCell; cell != m_firstFreeCell; cell = nextCell(cell))
        {
            if (m_sizes[cell] != size)
                continue;
            memory* block = m_memoryBlocks[cell];
            m_actualSize -= m_sizes[cell];
            if (cell == m_firstUsedCell)
            {
                m_memoryBlocks[cell] = nullptr;
                m_firstUsedCell = nextCell(m_firstUsedCell);
            }
            else if (cell == previousCell(m_firstFreeCell))
            {
                m_memoryBlocks[cell] = nullptr;
                m_firstFreeCell = cell;
            }
            else
            {
                m_sizes[cell] = m_sizes[m_firstUsedCell];
                m_memoryBlocks[cell] = m_memoryBlocks[m_firstUsedCell];
                m_memoryBlocks[m_firstUsedCell] = nullptr;
                m_firstUsedCell = nextCell(m_firstUsedCell);
            }
            return block;
        }
    }
    return nullptr;
}

std::vector<std::uint32_t> memoryPool::keptSizes()
{
    lockCriticalSection lock(&m_criticalSection);
    std::vector<std::uint32_t> sizes;
    for (std::uint32_t cell = m_firstUsedCell; cell != m_firstFreeCell; cell = nextCell(cell))
        sizes.push_back(m_sizes[cell]);
    return sizes;
}

std::uint32_t memoryPool::totalSize()
{
    lockCriticalSection lock(&m_criticalSection);
    return m_actualSize;
}

void memoryPool::dropOldest()
{
    m_actualSize -= m_sizes[m_firstUsedCell];
    memory* block = m_memoryBlocks[m_firstUsedCell];
    m_memoryBlocks[m_firstUsedCell] = nullptr;
    m_firstUsedCell = nextCell(m_firstUsedCell);
    delete block;
}

} // namespace Halvoran
