#include "dicom/base/baseObject.h"

#include "dicom/base/exceptionsManager.h"

namespace Halvoran
{

baseObject::baseObject() : baseObject(true) {}

baseObject::baseObject(const basePtr& externalLock) : baseObject(true)
{
    m_externalLock = externalLock;
}

baseObject::baseObject(bool takeManager) : m_lockCounter(0), m_bValid(true)
{
    if (takeManager)
        m_exceptionsManager = exceptionsManager::instance();
}

baseObject::~baseObject()
{
    m_bValid = false;
    // Members go in reverse order: the manager reference, the critical
    // section, and last the external lock.
}

void baseObject::addRef() noexcept
{
    m_lockCounter.fetch_add(1, std::memory_order_relaxed);
}

void baseObject::release() noexcept
{
    if (m_lockCounter.fetch_sub(1, std::memory_order_acq_rel) != 1)
        return;

    bool bDelete = true;
    try
    {
        bDelete = preDelete();
    }
    catch (...)
    {
        // A failing hook (a data handler that cannot write back) must not
        // escape a smart pointer's destructor: the hook's own trace entries
        // already record the failure, and the object is deleted.
        exceptionsManager::recordCurrentException(L"baseObject::release", __FILE_NAME__, __LINE__);
        bDelete = true;
    }
    if (bDelete)
        delete this;
}

bool baseObject::preDelete()
{
    return true;
}

baseObject* baseObject::getLockRoot()
{
    baseObject* root = this;
    while (root->m_externalLock.object != nullptr)
        root = root->m_externalLock.object;
    return root;
}

bool baseObject::hasSingleReference() const
{
    return m_lockCounter.load(std::memory_order_acquire) == 1;
}

} // namespace Halvoran
