#include "dicom/base/memory.h"
#include "dicom/base/memoryPool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

using namespace Halvoran;

namespace
{
// A block with count 0, as the pool holds them.
memory* block(std::uint32_t size, std::uint8_t fill = 0)
{
    memory* m = new memory;
    m->resize(size);
    if (size != 0)
        std::memset(m->data(), fill, size);
    return m;
}

typedef std::vector<std::uint32_t> sizes;
} // namespace

TEST(Memory, ContentOperations)
{
    ptr<memory> m(new memory);
    EXPECT_TRUE(m->empty());
    EXPECT_EQ(nullptr, m->data());
    EXPECT_EQ(0u, m->size());

    const std::uint8_t bytes[] = {1, 2, 3, 4, 5};
    m->assign(bytes, 5);
    m->resize(7);
    EXPECT_EQ(7u, m->size());
    EXPECT_EQ(0, m->data()[5]);
    EXPECT_EQ(0, m->data()[6]);
    m->resize(3);
    EXPECT_EQ(3u, m->size());
    EXPECT_EQ(3, m->data()[2]);
    m->reserve(100);
    EXPECT_EQ(3u, m->size());

    ptr<memory> copy(new memory);
    copy->copyFrom(m);
    EXPECT_EQ(3u, copy->size());
    EXPECT_EQ(0, std::memcmp(bytes, copy->data(), 3));

    ptr<memory> taker(new memory);
    taker->assign(bytes, 1);
    taker->transfer(m);
    EXPECT_EQ(3u, taker->size());
    EXPECT_TRUE(m->empty());
}

TEST(MemoryPool, KeepsOnlyBlocksWithinTheSizeLimits)
{
    struct row
    {
        std::uint32_t size;
        bool kept;
    };
    const row rows[] = {{0, false}, {1023, false}, {1024, true}, {20000000, true}, {20000001, false}};
    for (const row& r : rows)
    {
        memoryPool pool;
        memory* m = new memory;
        m->resize(r.size);
        const bool kept = pool.keep(m);
        EXPECT_EQ(r.kept, kept) << r.size;
        if (!kept)
            delete m;
        EXPECT_EQ(r.kept ? sizes{r.size} : sizes{}, pool.keptSizes());
    }
}

TEST(MemoryPool, RingHoldsAtMost255Blocks)
{
    memoryPool pool;
    for (std::uint32_t i = 0; i < 255; ++i)
        ASSERT_TRUE(pool.keep(block(1024 + i)));
    EXPECT_EQ(255u, pool.keptSizes().size());
    EXPECT_EQ(1024u, pool.keptSizes().front());

    ASSERT_TRUE(pool.keep(block(5000)));
    const sizes kept = pool.keptSizes();
    EXPECT_EQ(255u, kept.size());
    EXPECT_EQ(1025u, kept.front());
    EXPECT_EQ(5000u, kept.back());
}

TEST(MemoryPool, TotalLimitDropsOldestButNeverTheNewBlock)
{
    memoryPool pool;
    ASSERT_TRUE(pool.keep(block(8000000)));
    ASSERT_TRUE(pool.keep(block(8000000)));
    ASSERT_TRUE(pool.keep(block(2000)));
    ASSERT_TRUE(pool.keep(block(10000000)));
    EXPECT_EQ((sizes{8000000, 2000, 10000000}), pool.keptSizes());
    EXPECT_EQ(18002000u, pool.totalSize());

    ASSERT_TRUE(pool.keep(block(20000000)));
    EXPECT_EQ((sizes{20000000}), pool.keptSizes());
}

TEST(MemoryPool, ObtainReturnsOldestMatchAndClosesTheGap)
{
    memoryPool pool;
    memory* older = block(2048, 0xAA);
    memory* newer = block(2048, 0xBB);
    pool.keep(block(1024));
    pool.keep(older);
    pool.keep(block(4096));
    pool.keep(newer);
    pool.keep(block(8192));

    // A size nobody has: a new zero-filled block; the pool is unchanged.
    ptr<memory> fresh(pool.obtain(3000));
    EXPECT_EQ(3000u, fresh->size());
    EXPECT_EQ(0, fresh->data()[0]);
    EXPECT_EQ((sizes{1024, 2048, 4096, 2048, 8192}), pool.keptSizes());

    // Middle: the older of the two, bytes as its last user left them.
    memory* got = pool.obtain(2048);
    EXPECT_EQ(older, got);
    EXPECT_EQ(0xAA, got->data()[0]);
    delete got;
    // The oldest (1024) moved into the hole left by the older 2048.
    EXPECT_EQ((sizes{1024, 4096, 2048, 8192}), pool.keptSizes());

    // Oldest and newest.
    delete pool.obtain(8192);
    delete pool.obtain(1024);
    EXPECT_EQ((sizes{4096, 2048}), pool.keptSizes());
    memory* second = pool.obtain(2048);
    EXPECT_EQ(newer, second);
    delete second;
    delete pool.obtain(4096);
    EXPECT_EQ(sizes{}, pool.keptSizes());
    EXPECT_EQ(0u, pool.totalSize());

    ptr<memory> none(pool.obtain(0));
    EXPECT_TRUE(none->empty());
}

TEST(MemoryPool, ObtainMiddleMovesOldestIntoTheHole)
{
    memoryPool pool;
    pool.keep(block(1024));
    pool.keep(block(2048));
    pool.keep(block(3072));
    pool.keep(block(4096));
    delete pool.obtain(3072);
    // Every remaining block can still be obtained.
    for (std::uint32_t size : {1024u, 2048u, 4096u})
    {
        memory* m = pool.obtain(size);
        EXPECT_EQ(size, m->size());
        delete m;
    }
    EXPECT_EQ(sizes{}, pool.keptSizes());
}

TEST(MemoryPool, ReleasedBlockGoesToTheProcessPoolAndComesBack)
{
    // A size no other test uses.
    const std::uint32_t size = 123457;
    memory* raw = nullptr;
    {
        ptr<memory> m(memoryPool::instance()->obtain(size));
        raw = m.get();
        m->data()[0] = 0x5A;
    }
    ptr<memory> again(memoryPool::instance()->obtain(size));
    EXPECT_EQ(raw, again.get());
    EXPECT_EQ(0x5A, again->data()[0]);
}

TEST(MemoryPool, ThreadsKeepAndObtainConcurrently)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
    {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i)
            {
                ptr<memory> m(memoryPool::instance()->obtain(static_cast<std::uint32_t>(2000 + (i + t) % 7)));
                m->data()[0] = static_cast<std::uint8_t>(i);
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_LE(memoryPool::instance()->totalSize(), memoryPool::maxTotalSize);
}
