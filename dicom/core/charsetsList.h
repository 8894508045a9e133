// Lists of the Specific Character Set terms a data set and its sequences declare, and
// how they are merged.
#pragma once

#include <list>
#include <stdexcept>
#include <string>

namespace Halvoran::Varnix::charsetsList
{

// Specific Character Set defined terms; the first one is the default set.
// An empty list means the default repertoire.
typedef std::list<std::wstring> tCharsetsList;

// Appends to destination the names of source it does not hold yet. Throws
// charsetListExceptionDiffDefault (and changes nothing) when both lists are
// non-empty and start with different names.
void updateCharsets(const tCharsetsList* pSource, tCharsetsList* pDestination);

// Appends every name of source to destination.
void copyCharsets(const tCharsetsList* pSource, tCharsetsList* pDestination);

class charsetsListException : public std::runtime_error
{
public:
    explicit charsetsListException(const std::string& message) : std::runtime_error(message) {}
};

class charsetListExceptionDiffDefault : public charsetsListException
{
public:
    explicit charsetListExceptionDiffDefault(const std::string& message) : charsetsListException(message) {}
};

} // namespace Halvoran::Varnix::charsetsList
