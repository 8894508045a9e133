#include "dicom/core/buffer.h"

#include "dicom/base/memoryStream.h"
#include "dicom/base/streamController.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/lockObject.h"
#include "dicom/base/memoryPool.h"
#include "dicom/base/streamException.h"
#include "dicom/core/dataHandlerDate.h"
#include "dicom/core/dataHandlerDateTime.h"
#include "dicom/core/dataHandlerNumeric.h"
#include "dicom/core/dataHandlerRaw.h"
#include "dicom/core/dataHandlerStringAE.h"
#include "dicom/core/dataHandlerStringAS.h"
#include "dicom/core/dataHandlerStringCS.h"
#include "dicom/core/dataHandlerStringDS.h"
#include "dicom/core/dataHandlerStringIS.h"
#include "dicom/core/dataHandlerStringLO.h"
#include "dicom/core/dataHandlerStringLT.h"
#include "dicom/core/dataHandlerStringPN.h"
#include "dicom/core/dataHandlerStringSH.h"
#include "dicom/core/dataHandlerStringST.h"
#include "dicom/core/dataHandlerStringUI.h"
#include "dicom/core/dataHandlerStringUT.h"
#include "dicom/core/dataHandlerTime.h"
#include "dicom/core/transaction.h"

#include <cstring>

namespace Halvoran::Varnix
{

namespace
{
// The handler class of a VR, or null.
handlers::dataHandler* createHandler(const std::string& vr)
{
    using namespace handlers;
    if (vr.size() != 2)
        return nullptr;
    switch ((vr[0] << 8) | vr[1])
    {
    case ('A' << 8) | 'E': return new dataHandlerStringAE;
    case ('A' << 8) | 'S': return new dataHandlerStringAS;
    case ('C' << 8) | 'S': return new dataHandlerStringCS;
    case ('D' << 8) | 'S': return new dataHandlerStringDS;
    case ('I' << 8) | 'S': return new dataHandlerStringIS;
    case ('L' << 8) | 'O': return new dataHandlerStringLO;
    case ('L' << 8) | 'T': return new dataHandlerStringLT;
    case ('P' << 8) | 'N': return new dataHandlerStringPN;
    case ('S' << 8) | 'H': return new dataHandlerStringSH;
    case ('S' << 8) | 'T': return new dataHandlerStringST;
    case ('U' << 8) | 'I': return new dataHandlerStringUI;
    case ('U' << 8) | 'T': return new dataHandlerStringUT;
    case ('O' << 8) | 'B':
    case ('U' << 8) | 'N': return new dataHandlerUint8;
    case ('S' << 8) | 'B': return new dataHandlerInt8;
    case ('O' << 8) | 'W':
    case ('A' << 8) | 'T':
    case ('U' << 8) | 'S': return new dataHandlerUint16;
    case ('S' << 8) | 'S': return new dataHandlerInt16;
    case ('U' << 8) | 'L': return new dataHandlerUint32;
    case ('S' << 8) | 'L': return new dataHandlerInt32;
    case ('F' << 8) | 'L': return new dataHandlerFloat;
    case ('F' << 8) | 'D': return new dataHandlerDouble;
    case ('D' << 8) | 'A': return new dataHandlerDate;
    case ('D' << 8) | 'T': return new dataHandlerDateTime;
    case ('T' << 8) | 'M': return new dataHandlerTime;
    default: return nullptr;
    }
}
} // namespace

buffer::buffer(const ptr<baseObject>& externalLock, const std::string& dataType)
    : baseObject(externalLock), m_bufferType(dataType.size() == 2 ? dataType : std::string("OB")),
      m_originalBufferPosition(0), m_originalBufferLength(0), m_originalWordLength(1), m_originalEndianType(1)
{
}

buffer::buffer(const ptr<baseObject>& externalLock, const std::string& dataType,
               const ptr<baseStream>& originalStream, std::uint32_t bufferPosition, std::uint32_t bufferLength,
               std::uint32_t wordLength, std::uint32_t endianType)
    : baseObject(externalLock), m_bufferType(dataType.size() == 2 ? dataType : std::string("OB")),
      m_originalStream(originalStream), m_originalBufferPosition(bufferPosition),
      m_originalBufferLength(bufferLength), m_originalWordLength(wordLength), m_originalEndianType(endianType)
{
}

std::string buffer::getDataType() const
{
    return m_bufferType;
}

ptr<memory> buffer::loadFromStream()
{
    HALVORAN_FUNCTION_START(L"buffer::getDataHandler")

    // A length read from a damaged file must not allocate more than the
    // stream can deliver.
    const std::uint64_t end = static_cast<std::uint64_t>(m_originalBufferPosition) + m_originalBufferLength;
    if (end > m_originalStream->getSize())
        HALVORAN_THROW(streamExceptionEOF, "Attempt to read past the end of the file");

    ptr<memory> loaded(memoryPool::instance()->obtain(m_originalBufferLength));
    if (m_originalBufferLength != 0)
    {
        ptr<streamReader> reader(new streamReader(m_originalStream, m_originalBufferPosition, m_originalBufferLength));
        reader->read(loaded->data(), m_originalBufferLength);

        // Floating-point values are reordered by their own size, whatever
        // word size the creator passed.
        std::uint32_t wordLength = m_originalWordLength;
        if (m_bufferType == "FL")
            wordLength = 4;
        else if (m_bufferType == "FD")
            wordLength = 8;
        if (wordLength != 0)
            streamController::fixByteOrder(loaded->data(), wordLength, m_originalEndianType,
                                           m_originalBufferLength / wordLength);
    }
    return loaded;

    HALVORAN_FUNCTION_END()
}

ptr<handlers::dataHandler> buffer::getDataHandler(bool bWrite, bool bRaw, std::uint32_t size)
{
    HALVORAN_FUNCTION_START(L"buffer::getDataHandler")

    lockObject lockAccess(this);

    ptr<memory> working(m_memory);
    if (m_originalStream && (!working || working->empty()))
        working = loadFromStream();

    ptr<handlers::dataHandler> handler(bRaw ? new handlers::dataHandlerRaw : createHandler(m_bufferType));
    if (!handler)
        HALVORAN_THROW(bufferExceptionUnknownType, "Unknown data type requested");

    if (!working)
        working = new memory;

    ptr<memory> handlerMemory(working);
    if (bWrite)
    {
        const std::uint32_t currentSize = working->size();
        std::uint64_t newSize = currentSize;
        if (currentSize == 0)
            newSize = static_cast<std::uint64_t>(handler->getUnitSize()) * size;
        if (newSize > 0xFFFFFFFFu)
            HALVORAN_THROW(handlers::dataHandlerExceptionTooLarge, "The requested data size is too large");
        handlerMemory = memoryPool::instance()->obtain(static_cast<std::uint32_t>(newSize));
        if (currentSize != 0)
            handlerMemory->copyFrom(working);
        else if (!handlerMemory->empty())
            std::memset(handlerMemory->data(), 0, handlerMemory->size());
    }

    handler->m_bufferType = m_bufferType;
    handler->setCharsetInfo(&m_charsetsList);
    handler->parseBuffer(handlerMemory);
    if (handler->getSize() != 0)
        handler->setPointer(0);

    // Connected last: a handler whose preparation failed never writes back.
    if (bWrite)
    {
        handler->m_buffer = this;
        transactionsManager::addHandlerToTransaction(handler);
    }
    return handler;

    HALVORAN_FUNCTION_END()
}

ptr<handlers::dataHandler> buffer::getDataHandler(bool bWrite, std::uint32_t size)
{
    HALVORAN_FUNCTION_START(L"buffer::getDataHandler")

    return getDataHandler(bWrite, false, size);

    HALVORAN_FUNCTION_END()
}

ptr<handlers::dataHandlerRaw> buffer::getDataHandlerRaw(bool bWrite, std::uint32_t size)
{
    HALVORAN_FUNCTION_START(L"buffer::getDataHandlerRaw")

    ptr<handlers::dataHandler> handler = getDataHandler(bWrite, true, size);
    return ptr<handlers::dataHandlerRaw>(static_cast<handlers::dataHandlerRaw*>(handler.get()));

    HALVORAN_FUNCTION_END()
}

ptr<streamReader> buffer::getStreamReader()
{
    HALVORAN_FUNCTION_START(L"buffer::getStreamReader")

    lockObject lockAccess(this);
    if (m_originalStream && (!m_memory || m_memory->empty()))
    {
        // Words stored in the other byte order are read through a reordered
        // copy, so that a reader always sees the machine's order, whether or
        // not the value was loaded.
        if (m_originalWordLength > 1 && m_originalEndianType != streamController::getPlatformEndian())
            return ptr<streamReader>(new streamReader(ptr<baseStream>(new memoryStream(loadFromStream())), 0, 0));
        return ptr<streamReader>(new streamReader(m_originalStream, m_originalBufferPosition, m_originalBufferLength));
    }

    ptr<handlers::dataHandlerRaw> raw = getDataHandlerRaw(false, 0);
    if (!raw)
        return ptr<streamReader>();
    return ptr<streamReader>(new streamReader(ptr<baseStream>(new bufferStream(raw)), 0, 0));

    HALVORAN_FUNCTION_END()
}

std::uint32_t buffer::getBufferSizeBytes()
{
    HALVORAN_FUNCTION_START(L"buffer::getBufferSizeBytes")

    lockObject lockAccess(this);
    if (m_originalStream && (!m_memory || m_memory->empty()))
        return m_originalBufferLength;
    if (!m_memory)
        return 0;
    return m_memory->size();

    HALVORAN_FUNCTION_END()
}

void buffer::copyBack(handlers::dataHandler* pDisconnectHandler)
{
    HALVORAN_FUNCTION_START(L"buffer::copyBack")

    lockObject lockAccess(this);
    m_temporaryMemory = new memory;
    pDisconnectHandler->buildBuffer(m_temporaryMemory);

    m_temporaryCharsets.clear();
    charsetsList::copyCharsets(&m_charsetsList, &m_temporaryCharsets);
    charsetsList::tCharsetsList handlerCharsets;
    pDisconnectHandler->getCharsetList(&handlerCharsets);
    charsetsList::updateCharsets(&handlerCharsets, &m_temporaryCharsets);

    const std::uint32_t size = m_temporaryMemory->size();
    if ((size & 1) != 0)
    {
        m_temporaryMemory->resize(size + 1);
        m_temporaryMemory->data()[size] = pDisconnectHandler->getPaddingByte();
    }
    m_temporaryBufferType = pDisconnectHandler->m_bufferType;

    HALVORAN_FUNCTION_END()
}

void buffer::commit()
{
    HALVORAN_FUNCTION_START(L"buffer::commit")

    lockObject lockAccess(this);
    m_memory = m_temporaryMemory;
    m_temporaryMemory.release();
    if (m_temporaryBufferType.size() == 2)
        m_bufferType = m_temporaryBufferType;
    m_temporaryBufferType.clear();
    m_charsetsList = m_temporaryCharsets;
    m_temporaryCharsets.clear();
    m_originalStream.release();

    HALVORAN_FUNCTION_END()
}

void buffer::setCharsetsList(const charsetsList::tCharsetsList* pCharsetsList)
{
    HALVORAN_FUNCTION_START(L"buffer::setCharsetsList")

    lockObject lockAccess(this);
    m_charsetsList.clear();
    charsetsList::updateCharsets(pCharsetsList, &m_charsetsList);

    HALVORAN_FUNCTION_END()
}

void buffer::getCharsetsList(charsetsList::tCharsetsList* pCharsetsList) const
{
    HALVORAN_FUNCTION_START(L"buffer::getCharsetsList")

    charsetsList::copyCharsets(&m_charsetsList, pCharsetsList);

    HALVORAN_FUNCTION_END()
}

bufferStream::bufferStream(const ptr<handlers::dataHandlerRaw>& pDataHandler)
    : memoryStream(pDataHandler->getMemory()), m_dataHandler(pDataHandler)
{
}

bufferStream::~bufferStream()
{
    m_dataHandler.release();
}

} // namespace Halvoran::Varnix
