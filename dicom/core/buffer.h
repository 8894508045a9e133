// Storage of one tag value, read lazily from the file, and the factory of the typed
// handlers through which the value is read and written.
#pragma once

#include "dicom/base/baseStream.h"
#include "dicom/base/memory.h"
#include "dicom/base/memoryStream.h"
#include "dicom/base/streamReader.h"
#include "dicom/core/charsetsList.h"

#include <stdexcept>
#include <string>

namespace Halvoran::Varnix
{

namespace handlers
{
class dataHandler;
class dataHandlerRaw;
} // namespace handlers

class bufferException : public std::runtime_error
{
public:
    explicit bufferException(const std::string& message) : std::runtime_error(message) {}
};

// No handler exists for the VR.
class bufferExceptionUnknownType : public bufferException
{
public:
    explicit bufferExceptionUnknownType(const std::string& message) : bufferException(message) {}
};

// The bytes of one tag value and its VR. Values are reached only through
// data handlers. A buffer made "on demand" records where its value lies in a
// stream and reads it from there each time a handler is asked for, until a
// written value is committed.
class buffer : public baseObject
{
public:
    // A buffer filled at once; a data type that is not two characters long
    // gives the VR "OB".
    buffer(const ptr<baseObject>& externalLock, const std::string& dataType);
    // A value of length bytes at an absolute position of a stream, with words
    // of wordSize bytes in the given byte order (1 low byte first, 2 high
    // byte first).
    buffer(const ptr<baseObject>& externalLock, const std::string& dataType, const ptr<baseStream>& originalStream,
           std::uint32_t bufferPosition, std::uint32_t bufferLength, std::uint32_t wordLength,
           std::uint32_t endianType);

    std::string getDataType() const;

    ptr<handlers::dataHandler> getDataHandler(bool bWrite, bool bRaw, std::uint32_t size);
    ptr<handlers::dataHandler> getDataHandler(bool bWrite, std::uint32_t size);
    ptr<handlers::dataHandlerRaw> getDataHandlerRaw(bool bWrite, std::uint32_t size);

    ptr<streamReader> getStreamReader();

    std::uint32_t getBufferSizeBytes();

    // The two halves of a handler's write-back.
    void copyBack(handlers::dataHandler* pDisconnectHandler);
    void commit();

    virtual void setCharsetsList(const charsetsList::tCharsetsList* pCharsetsList);
    virtual void getCharsetsList(charsetsList::tCharsetsList* pCharsetsList) const;

protected:
    // The value of an on-demand buffer, read from its stream.
    ptr<memory> loadFromStream();

    ptr<memory> m_memory;
    ptr<memory> m_temporaryMemory;
    charsetsList::tCharsetsList m_temporaryCharsets;
    std::string m_temporaryBufferType;
    std::string m_bufferType;
    ptr<baseStream> m_originalStream;
    std::uint32_t m_originalBufferPosition;
    std::uint32_t m_originalBufferLength;
    std::uint32_t m_originalWordLength;
    std::uint32_t m_originalEndianType;
    charsetsList::tCharsetsList m_charsetsList;
};

// A stream over the block of a raw handler, which it keeps alive.
class bufferStream : public memoryStream
{
public:
    explicit bufferStream(const ptr<handlers::dataHandlerRaw>& pDataHandler);
    ~bufferStream() override;

protected:
    ptr<handlers::dataHandlerRaw> m_dataHandler;
};

} // namespace Halvoran::Varnix
