// The failures of the toolkit's streams (open, close, read, write, unexpected end).
#pragma once

#include <stdexcept>
#include <string>

namespace Halvoran
{

// Base of the stream failures.
class streamException : public std::runtime_error
{
public:
    explicit streamException(const std::string& message) : std::runtime_error(message) {}
};

// The file cannot be opened, or the open mode is not supported.
class streamExceptionOpen : public streamException
{
public:
    explicit streamExceptionOpen(const std::string& message) : streamException(message) {}
};

// Closing the previously open file failed.
class streamExceptionClose : public streamException
{
public:
    explicit streamExceptionClose(const std::string& message) : streamException(message) {}
};

// The file reported an error while reading.
class streamExceptionRead : public streamException
{
public:
    explicit streamExceptionRead(const std::string& message) : streamException(message) {}
};

// The file reported an error while seeking for a write, or wrote less than asked.
class streamExceptionWrite : public streamException
{
public:
    explicit streamExceptionWrite(const std::string& message) : streamException(message) {}
};

// A reader's data ran out.
class streamExceptionEOF : public streamException
{
public:
    explicit streamExceptionEOF(const std::string& message) : streamException(message) {}
};

} // namespace Halvoran
