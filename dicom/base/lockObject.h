// Scope guard that holds a toolkit object's lock.
#pragma once

namespace Halvoran
{

class baseObject;

// Holds the lock of an object's lock root for the length of a scope. Keeps
// no reference to the object.
class lockObject
{
public:
    explicit lockObject(baseObject* pObject);
    virtual ~lockObject();

    lockObject(const lockObject&) = delete;
    lockObject& operator=(const lockObject&) = delete;

    // Gives the lock up before the scope ends; a second call does nothing.
    void unlock();

private:
    baseObject* m_pObject;
};

} // namespace Halvoran
