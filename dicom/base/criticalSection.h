// The recursive lock of the toolkit and its scope guard.
#pragma once

#include <mutex>

namespace Halvoran
{

// A lock that the thread holding it may take again (recursive).
class criticalSection
{
public:
    criticalSection() = default;
    virtual ~criticalSection() = default;

    criticalSection(const criticalSection&) = delete;
    criticalSection& operator=(const criticalSection&) = delete;

    void lock() { m_mutex.lock(); }
    void unlock() { m_mutex.unlock(); }

private:
    std::recursive_mutex m_mutex;
};

// Holds a criticalSection for the length of a scope.
class lockCriticalSection
{
public:
    explicit lockCriticalSection(criticalSection* section) : m_section(section) { m_section->lock(); }
    ~lockCriticalSection() { m_section->unlock(); }

    lockCriticalSection(const lockCriticalSection&) = delete;
    lockCriticalSection& operator=(const lockCriticalSection&) = delete;

private:
    criticalSection* m_section;
};

} // namespace Halvoran
