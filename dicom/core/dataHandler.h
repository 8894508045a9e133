// The base of the typed handlers through which a tag's value is read and written
// (numbers, strings, dates).
#pragma once

#include "dicom/base/baseObject.h"
#include "dicom/base/memory.h"
#include "dicom/core/charsetsList.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace Halvoran::Varnix
{
class buffer;
}

namespace Halvoran::Varnix::handlers
{

// Base of the handler failures that are not the character sets'.
class dataHandlerException : public std::runtime_error
{
public:
    explicit dataHandlerException(const std::string& message) : std::runtime_error(message) {}
};

// A value of more than 4 GiB bytes was asked for.
class dataHandlerExceptionTooLarge : public dataHandlerException
{
public:
    explicit dataHandlerExceptionTooLarge(const std::string& message) : dataHandlerException(message) {}
};

// Typed view on the bytes of one tag value buffer: a sequence of elements
// with a current position. A handler obtained for writing hands its values
// back to its buffer when its last reference goes.
class dataHandler : public baseObject
{
public:
    dataHandler();
    ~dataHandler() override;

    // Writes the values back (writing handlers only); always true.
    bool preDelete() override;

    virtual void setPointer(std::uint32_t elementNumber) = 0;
    virtual void incPointer() = 0;
    virtual void skip(std::uint32_t skip);
    virtual bool pointerIsValid() = 0;
    virtual void setSize(std::uint32_t elementsNumber) = 0;
    virtual std::uint32_t getSize() = 0;
    virtual std::uint32_t getUnitSize() = 0;
    virtual void parseBuffer(const ptr<memory>& memoryBuffer) = 0;
    virtual void buildBuffer(const ptr<memory>& memoryBuffer) = 0;
    virtual void setCharsetInfo(const charsetsList::tCharsetsList* pCharsetsList);
    virtual void getCharsetList(charsetsList::tCharsetsList* pCharsetsList);
    virtual std::uint8_t getPaddingByte();

    virtual std::int32_t getSignedLong() = 0;
    virtual std::uint32_t getUnsignedLong() = 0;
    virtual double getDouble() = 0;
    virtual std::int32_t getSignedLongIncPointer();
    virtual std::uint32_t getUnsignedLongIncPointer();
    virtual double getDoubleIncPointer();
    virtual std::string getString() = 0;
    virtual std::wstring getUnicodeString() = 0;
    virtual void getDate(std::int32_t* pYear, std::int32_t* pMonth, std::int32_t* pDay, std::int32_t* pHour,
                         std::int32_t* pMinutes, std::int32_t* pSeconds, std::int32_t* pMicroseconds,
                         std::int32_t* pOffsetHours, std::int32_t* pOffsetMinutes);
    virtual void setDate(std::int32_t year, std::int32_t month, std::int32_t day, std::int32_t hour,
                         std::int32_t minutes, std::int32_t seconds, std::int32_t microseconds,
                         std::int32_t offsetHours, std::int32_t offsetMinutes);
    virtual void setSignedLong(std::int32_t value) = 0;
    virtual void setUnsignedLong(std::uint32_t value) = 0;
    virtual void setDouble(double value) = 0;
    virtual void setSignedLongIncPointer(std::int32_t value);
    virtual void setUnsignedLongIncPointer(std::uint32_t value);
    virtual void setDoubleIncPointer(double value);
    virtual void setString(const std::string& value) = 0;
    virtual void setUnicodeString(const std::wstring& value) = 0;
    virtual void copyFromInt32(const std::int32_t* pSource, std::uint32_t length);
    virtual void copyToInt32(std::int32_t* pDest, std::uint32_t length);

    // The two halves of the write-back; preDelete runs both under the
    // buffer's lock. A committed handler never writes back again.
    void copyBack();
    void commit();

    std::string getDataType() const { return m_bufferType; }
    bool isCommitted() const { return m_bCommitted; }

protected:
    friend class Halvoran::Varnix::buffer;

    bool m_bCommitted;
    ptr<buffer> m_buffer;
    std::string m_bufferType;
    charsetsList::tCharsetsList m_charsetsList;
};

} // namespace Halvoran::Varnix::handlers
