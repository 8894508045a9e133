#include "dicom/base/exceptionsManager.h"

#include "dicom/base/lockObject.h"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>

namespace Halvoran
{

namespace
{
exceptionsManager* managerInstance();

// Removes the thread's trail when the thread ends, so that a later thread
// that gets the same identifier starts with an empty trail.
struct threadTrailCleaner
{
    ~threadTrailCleaner();
};

thread_local threadTrailCleaner tlsCleaner;
} // namespace

class exceptionsManagerAccess
{
public:
    static exceptionsManager* create() { return new exceptionsManager(); }
    static void dropThread(exceptionsManager* manager, std::thread::id id) { manager->dropThread(id); }
};

namespace
{
exceptionsManager* managerInstance()
{
    // Made once and never released: every toolkit object refers to it, also
    // objects in static storage that go away after main returns.
    static exceptionsManager* const manager = [] {
        exceptionsManager* created = exceptionsManagerAccess::create();
        created->addRef();
        return created;
    }();
    return manager;
}

threadTrailCleaner::~threadTrailCleaner()
{
    exceptionsManagerAccess::dropThread(managerInstance(), std::this_thread::get_id());
}
} // namespace

exceptionsManager::exceptionsManager() : baseObject(false) {}

ptr<exceptionsManager> exceptionsManager::instance()
{
    return ptr<exceptionsManager>(managerInstance());
}

void exceptionsManager::addEntry(const exceptionInfo& entry)
{
    // Touching the thread-local cleaner registers its destructor for this thread.
    (void)&tlsCleaner;
    managerInstance()->addEntryImpl(entry);
}

void exceptionsManager::takeEntries(tExceptionInfoList& out)
{
    managerInstance()->takeEntriesImpl(out);
}

std::wstring exceptionsManager::getTrailText()
{
    tExceptionInfoList entries;
    takeEntries(entries);
    std::wstring text;
    for (const exceptionInfo& entry : entries)
    {
        text += entry.format();
        text += L"\n\n";
    }
    return text;
}

void exceptionsManager::recordCurrentException(const wchar_t* methodName, const char* fileName, int lineNumber)
{
    std::string type("unknown");
    std::string message;
    try
    {
        throw;
    }
    catch (const std::exception& e)
    {
        type = typeName(typeid(e));
        message = e.what();
    }
    catch (...)
    {
    }
    try
    {
        addEntry(exceptionInfo(methodName, fileName, lineNumber, type, message));
    }
    catch (...)
    {
        // Out of memory while recording: the exception itself still travels on.
    }
}

std::string exceptionsManager::typeName(const std::type_info& type)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                     std::free);
    if (status == 0 && demangled)
        return demangled.get();
    return type.name();
}

void exceptionsManager::addEntryImpl(const exceptionInfo& entry)
{
    lockObject lock(this);
    m_information[std::this_thread::get_id()].push_back(entry);
}

void exceptionsManager::takeEntriesImpl(tExceptionInfoList& out)
{
    lockObject lock(this);
    auto found = m_information.find(std::this_thread::get_id());
    if (found == m_information.end())
        return;
    out.insert(out.end(), found->second.begin(), found->second.end());
    m_information.erase(found);
}

void exceptionsManager::dropThread(std::thread::id id)
{
    lockObject lock(this);
    m_information.erase(id);
}

} // namespace Halvoran
