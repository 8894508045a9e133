#include "dicom/base/baseObject.h"
#include "dicom/base/lockObject.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace Halvoran;

namespace
{
std::atomic<int> probesDeleted{0};

class probe : public baseObject
{
public:
    probe() = default;
    explicit probe(const ptr<baseObject>& externalLock) : baseObject(externalLock) {}
    ~probe() override { ++probesDeleted; }

    // When false, the last release leaves the object alive (as the memory
    // pool does with the blocks it keeps).
    bool allowDelete = true;
    int preDeleteCalls = 0;
    ptr<probe> child;

    bool preDelete() override
    {
        ++preDeleteCalls;
        return allowDelete;
    }
};

class throwingPreDelete : public baseObject
{
public:
    ~throwingPreDelete() override { ++probesDeleted; }
    bool preDelete() override { throw std::runtime_error("write-back failed"); }
};
} // namespace

TEST(BaseObject, SmartPointerCountsReferences)
{
    const int deletedBefore = probesDeleted;
    probe* raw = new probe;
    {
        ptr<probe> first(raw);
        EXPECT_TRUE(raw->hasSingleReference());
        {
            ptr<probe> second(first);
            ptr<baseObject> upcast(first);
            EXPECT_FALSE(raw->hasSingleReference());
        }
        EXPECT_TRUE(raw->hasSingleReference());

        // Assigning the object already held changes nothing.
        first = first;
        first = raw;
        EXPECT_TRUE(raw->hasSingleReference());
        EXPECT_EQ(deletedBefore, probesDeleted);
    }
    EXPECT_EQ(deletedBefore + 1, probesDeleted);
}

TEST(BaseObject, EmptyPointerAndNullLockDoNothing)
{
    ptr<probe> empty;
    EXPECT_EQ(nullptr, empty.get());
    empty.release();
    empty.addRef();
    EXPECT_FALSE(empty);

    lockObject nullLock(nullptr);
    nullLock.unlock();
    nullLock.unlock();
}

TEST(BaseObject, VetoedDeleteKeepsObjectAliveAtZero)
{
    const int deletedBefore = probesDeleted;
    probe* raw = new probe;
    raw->allowDelete = false;
    {
        ptr<probe> holder(raw);
    }
    EXPECT_EQ(1, raw->preDeleteCalls);
    EXPECT_EQ(deletedBefore, probesDeleted);

    // Adopted again: the count becomes 1 and the hook is asked again.
    {
        ptr<probe> again(raw);
        EXPECT_TRUE(raw->hasSingleReference());
    }
    EXPECT_EQ(2, raw->preDeleteCalls);
    EXPECT_EQ(deletedBefore, probesDeleted);

    raw->allowDelete = true;
    {
        ptr<probe> last(raw);
    }
    EXPECT_EQ(deletedBefore + 1, probesDeleted);
}

TEST(BaseObject, AssignmentTakesNewReferenceBeforeReleasingOld)
{
    // The child is held only by its parent: p = p->child must not free the
    // child together with the parent (run under AddressSanitizer).
    const int deletedBefore = probesDeleted;
    ptr<probe> p(new probe);
    p->child = new probe;
    p->child->child = new probe;
    p = p->child;
    EXPECT_EQ(deletedBefore + 1, probesDeleted);
    ASSERT_TRUE(p->child);
    p = p->child;
    EXPECT_EQ(deletedBefore + 2, probesDeleted);
    EXPECT_TRUE(p->hasSingleReference());
    p.release();
    EXPECT_EQ(deletedBefore + 3, probesDeleted);
}

TEST(BaseObject, ThrowingPreDeleteDoesNotEscapeDestructor)
{
    const int deletedBefore = probesDeleted;
    {
        ptr<throwingPreDelete> holder(new throwingPreDelete);
    }
    EXPECT_EQ(deletedBefore + 1, probesDeleted);
}

TEST(BaseObject, ExternalLockKeepsRootAliveAndSharesLock)
{
    const int deletedBefore = probesDeleted;
    probe* rawRoot = new probe;
    ptr<probe> child;
    {
        ptr<baseObject> root(rawRoot);
        ptr<probe> middle(new probe(root));
        child = new probe(ptr<baseObject>(middle));
        EXPECT_EQ(rawRoot, child->getLockRoot());
        EXPECT_EQ(rawRoot, middle->getLockRoot());
        EXPECT_EQ(rawRoot, rawRoot->getLockRoot());
    }
    // The chain is still alive through the child.
    EXPECT_EQ(deletedBefore, probesDeleted);
    EXPECT_EQ(rawRoot, child->getLockRoot());
    child.release();
    EXPECT_EQ(deletedBefore + 3, probesDeleted);
}

TEST(BaseObject, ChainedObjectsBlockOtherThreadsButNotTheHolder)
{
    ptr<baseObject> root(new baseObject);
    ptr<probe> first(new probe(root));
    ptr<probe> second(new probe(root));

    lockObject holdFirst(first.get());
    {
        // Same thread: re-entering through another object of the chain works.
        lockObject holdSecond(second.get());
    }

    std::atomic<bool> acquired{false};
    std::thread other([&] {
        lockObject lock(second.get());
        acquired = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(acquired.load());
    holdFirst.unlock();
    other.join();
    EXPECT_TRUE(acquired.load());

    // An object outside the chain is not blocked.
    ptr<probe> outsider(new probe);
    lockObject holdRoot(root.get());
    std::thread free([&] { lockObject lock(outsider.get()); });
    free.join();
}

TEST(BaseObject, CountsStayExactAcrossThreads)
{
    const int deletedBefore = probesDeleted;
    ptr<probe> shared(new probe);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
    {
        threads.emplace_back([shared] {
            for (int i = 0; i < 10000; ++i)
            {
                ptr<probe> copy(shared);
                ptr<baseObject> other(copy);
                lockObject lock(other.get());
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_TRUE(shared->hasSingleReference());
    shared.release();
    EXPECT_EQ(deletedBefore + 1, probesDeleted);
}
