#include "dicom/base/lockObject.h"

#include "dicom/base/baseObject.h"

namespace Halvoran
{

lockObject::lockObject(baseObject* pObject) : m_pObject(pObject)
{
    if (m_pObject != nullptr)
        m_pObject->getLockRoot()->getCriticalSection()->lock();
}

lockObject::~lockObject()
{
    unlock();
}

void lockObject::unlock()
{
    if (m_pObject == nullptr)
        return;
    m_pObject->getLockRoot()->getCriticalSection()->unlock();
    m_pObject = nullptr;
}

} // namespace Halvoran
