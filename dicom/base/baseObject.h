// Reference counting and locking shared by every object of the DICOM toolkit: the
// counted base class and the smart pointer that keeps its objects alive.
#pragma once

#include "dicom/base/criticalSection.h"

#include <atomic>
#include <cstdint>
#include <cstddef>
#include <type_traits>
#include <utility>

namespace Halvoran
{

class baseObject;

// The untyped part of every smart pointer: holds one counted reference.
class basePtr
{
public:
    basePtr() noexcept : object(nullptr) {}
    explicit basePtr(baseObject* pObject);
    basePtr(const basePtr& other);
    basePtr(basePtr&& other) noexcept : object(other.object) { other.object = nullptr; }
    virtual ~basePtr();

    basePtr& operator=(const basePtr& other)
    {
        assign(other.object);
        return *this;
    }
    basePtr& operator=(basePtr&& other) noexcept;

    // Drops the held reference (if any) and leaves the pointer empty.
    void release();
    // Adds one reference to the held object (if any).
    void addRef();

    bool operator==(const basePtr& other) const { return object == other.object; }
    bool operator==(const baseObject* other) const { return object == other; }

protected:
    friend class baseObject;

    // Takes a reference to the new object before releasing the old one, so
    // that "p = p->child" keeps the child alive while its parent goes.
    void assign(baseObject* pObject);

    baseObject* object;
};

// Base of every counted object of the toolkit. Created with new and handed at
// once to a smart pointer; never on the stack nor as a member.
class baseObject
{
public:
    // A lock root.
    baseObject();
    // Uses the lock of externalLock (walked at lock time).
    explicit baseObject(const basePtr& externalLock);
    // A lock root that takes a reference to the exceptions manager only when
    // takeManager is true (the manager builds itself with false).
    explicit baseObject(bool takeManager);

    virtual ~baseObject();

    baseObject(const baseObject&) = delete;
    baseObject& operator=(const baseObject&) = delete;

    void addRef() noexcept;
    void release() noexcept;

    // Called when the last reference goes; returning false keeps the object
    // alive at count 0 (another owner has taken it).
    virtual bool preDelete();

    baseObject* getLockRoot();
    // The object whose lock this one uses (null for a lock root).
    baseObject* getExternalLock() const { return m_externalLock.object; }
    bool hasSingleReference() const;

    // The lock of this object itself (the lock of the chain when this is the root).
    criticalSection* getCriticalSection() { return &m_criticalSection; }

    bool isValid() const { return m_bValid; }

private:
    basePtr m_externalLock;
    std::atomic<std::int32_t> m_lockCounter;
    bool m_bValid;
    criticalSection m_criticalSection;
    basePtr m_exceptionsManager;
};

// Typed smart pointer.
template <class T>
class ptr : public basePtr
{
public:
    ptr() noexcept = default;
    ptr(std::nullptr_t) noexcept {}
    ptr(T* pObject) : basePtr(pObject) {}
    ptr(const ptr& other) : basePtr(other) {}
    ptr(ptr&& other) noexcept : basePtr(std::move(other)) {}
    template <class U>
    ptr(const ptr<U>& other) : basePtr(static_cast<T*>(other.get()))
    {
    }
    template <class U>
    ptr(ptr<U>&& other) noexcept : basePtr(std::move(other))
    {
        static_assert(std::is_convertible_v<U*, T*>);
    }
    ~ptr() override = default;

    ptr& operator=(const ptr& other)
    {
        assign(other.object);
        return *this;
    }
    ptr& operator=(ptr&& other) noexcept
    {
        basePtr::operator=(std::move(other));
        return *this;
    }
    template <class U>
    ptr& operator=(const ptr<U>& other)
    {
        assign(static_cast<T*>(other.get()));
        return *this;
    }
    ptr& operator=(T* pObject)
    {
        assign(pObject);
        return *this;
    }

    T* get() const noexcept { return static_cast<T*>(object); }
    T* operator->() const noexcept { return get(); }
    T& operator*() const noexcept { return *get(); }
    explicit operator bool() const noexcept { return object != nullptr; }
};

inline basePtr::basePtr(baseObject* pObject) : object(pObject)
{
    if (object != nullptr)
        object->addRef();
}

inline basePtr::basePtr(const basePtr& other) : basePtr(other.object) {}

inline basePtr::~basePtr()
{
    release();
}

inline basePtr& basePtr::operator=(basePtr&& other) noexcept
{
    if (this != &other)
    {
        baseObject* old = object;
        object = other.object;
        other.object = nullptr;
        if (old != nullptr)
            old->release();
    }
    return *this;
}

inline void basePtr::release()
{
    if (object != nullptr)
    {
        baseObject* old = object;
        object = nullptr;
        old->release();
    }
}

inline void basePtr::addRef()
{
    if (object != nullptr)
        object->addRef();
}

inline void basePtr::assign(baseObject* pObject)
{
    if (pObject == object)
        return;
    if (pObject != nullptr)
        pObject->addRef();
    baseObject* old = object;
    object = pObject;
    if (old != nullptr)
        old->release();
}

} // namespace Halvoran
