// The per-thread exception trail and the macros that throw and record through it, so a
// failure deep in the reader can be reported with the path it took.
#pragma once

#include "dicom/base/baseObject.h"
#include "dicom/base/exceptionInfo.h"

#include <exception>
#include <list>
#include <map>
#include <string>
#include <thread>
#include <typeinfo>

namespace Halvoran
{

// Keeps the exception trail of every thread. One instance per process.
class exceptionsManager : public baseObject
{
public:
    typedef std::list<exceptionInfo> tExceptionInfoList;

    // The one manager. It is made on first use and lives until the process ends.
    static ptr<exceptionsManager> instance();

    static void addEntry(const exceptionInfo& entry);
    static void takeEntries(tExceptionInfoList& out);
    // Returns the calling thread's trail, each entry followed by "\n\n", and
    // empties it.
    static std::wstring getTrailText();

    // Records the exception being handled (called from a catch block): its
    // dynamic type and what() text, or "unknown" and an empty message.
    static void recordCurrentException(const wchar_t* methodName, const char* fileName, int lineNumber);

    // The qualified, demangled class name of a type.
    static std::string typeName(const std::type_info& type);

private:
    exceptionsManager();
    friend class exceptionsManagerAccess;

    void addEntryImpl(const exceptionInfo& entry);
    void takeEntriesImpl(tExceptionInfoList& out);
    void dropThread(std::thread::id id);

    std::map<std::thread::id, tExceptionInfoList> m_information;
};

// Throws exceptionClass with the message after recording the throw in the
// calling thread's trail under the enclosing traced method's name.
#define HALVORAN_THROW(exceptionClass, message)                                                                       \
    do                                                                                                                 \
    {                                                                                                                  \
        exceptionClass halvoranException_(message);                                                                   \
        ::Halvoran::exceptionsManager::addEntry(::Halvoran::exceptionInfo(                                            \
            halvoranMethodName_, __FILE_NAME__, __LINE__,                                                              \
            ::Halvoran::exceptionsManager::typeName(typeid(halvoranException_)), halvoranException_.what()));          \
        throw halvoranException_;                                                                                      \
    } while (false)

// Brackets the body of a traced method: an exception that leaves the body is
// recorded with the method's name and thrown on unchanged.
#define HALVORAN_FUNCTION_START(name)                                                                                  \
    static constexpr const wchar_t* halvoranMethodName_ = name;                                                        \
    try                                                                                                                \
    {

#define HALVORAN_FUNCTION_END()                                                                                        \
    }                                                                                                                  \
    catch (...)                                                                                                        \
    {                                                                                                                  \
        ::Halvoran::exceptionsManager::recordCurrentException(halvoranMethodName_, __FILE_NAME__, __LINE__);           \
        throw;                                                                                                         \
    }

} // namespace Halvoran
