#include "dicom/core/dataHandler.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/lockObject.h"
#include "dicom/core/buffer.h"

namespace Halvoran::Varnix::handlers
{

dataHandler::dataHandler() : m_bCommitted(false) {}

dataHandler::~dataHandler() = default;

bool dataHandler::preDelete()
{
    HALVORAN_FUNCTION_START(L"dataHandler::preDelete")

    if (m_bCommitted)
        return true;
    lockObject lockAccess(m_buffer.get());
    copyBack();
    commit();
    return true;

    HALVORAN_FUNCTION_END()
}

void dataHandler::copyBack()
{
    HALVORAN_FUNCTION_START(L"dataHandler::copyBack")

    if (m_buffer)
        m_buffer->copyBack(this);

    HALVORAN_FUNCTION_END()
}

void dataHandler::commit()
{
    HALVORAN_FUNCTION_START(L"dataHandler::copyBack")

    if (m_buffer)
    {
        m_buffer->commit();
        m_bCommitted = true;
    }

    HALVORAN_FUNCTION_END()
}

void dataHandler::skip(std::uint32_t skip)
{
    HALVORAN_FUNCTION_START(L"dataHandler::skip")

    for (; skip != 0; --skip)
        incPointer();

    HALVORAN_FUNCTION_END()
}

void dataHandler::setCharsetInfo(const charsetsList::tCharsetsList*) {}

void dataHandler::getCharsetList(charsetsList::tCharsetsList*) {}

std::uint8_t dataHandler::getPaddingByte()
{
    return 0;
}

std::int32_t dataHandler::getSignedLongIncPointer()
{
    HALVORAN_FUNCTION_START(L"dataHandler::getSignedLongIncPointer")

    const std::int32_t value = getSignedLong();
    incPointer();
    return value;

    HALVORAN_FUNCTION_END()
}

std::uint32_t dataHandler::getUnsignedLongIncPointer()
{
    HALVORAN_FUNCTION_START(L"dataHandler::getUnsignedLongIncPointer")

    const std::uint32_t value = getUnsignedLong();
    incPointer();
    return value;

    HALVORAN_FUNCTION_END()
}

double dataHandler::getDoubleIncPointer()
{
    HALVORAN_FUNCTION_START(L"dataHandler::getDoubleIncPointer")

    const double value = getDouble();
    incPointer();
    return value;

    HALVORAN_FUNCTION_END()
}

void dataHandler::getDate(std::int32_t* pYear, std::int32_t* pMonth, std::int32_t* pDay, std::int32_t* pHour,
                          std::int32_t* pMinutes, std::int32_t* pSeconds, std::int32_t* pMicroseconds,
                          std::int32_t* pOffsetHours, std::int32_t* pOffsetMinutes)
{
    *pYear = *pMonth = *pDay = *pHour = *pMinutes = *pSeconds = *pMicroseconds = *pOffsetHours = *pOffsetMinutes = 0;
}

void dataHandler::setDate(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                          std::int32_t, std::int32_t, std::int32_t)
{
}

void dataHandler::setSignedLongIncPointer(std::int32_t value)
{
    HALVORAN_FUNCTION_START(L"dataHandler::setSignedLongIncPointer")

    setSignedLong(value);
    incPointer();

    HALVORAN_FUNCTION_END()
}

void dataHandler::setUnsignedLongIncPointer(std::uint32_t value)
{
    HALVORAN_FUNCTION_START(L"dataHandler::setUnsignedLongIncPointer")

    setUnsignedLong(value);
    incPointer();

    HALVORAN_FUNCTION_END()
}

void dataHandler::setDoubleIncPointer(double value)
{
    HALVORAN_FUNCTION_START(L"dataHandler::setDoubleIncPointer")

    setDouble(value);
    incPointer();

    HALVORAN_FUNCTION_END()
}

void dataHandler::copyFromInt32(const std::int32_t* pSource, std::uint32_t length)
{
    HALVORAN_FUNCTION_START(L"dataHandler::copyFromInt32")

    setSize(length);
    if (length == 0)
        return;
    setPointer(0);
    for (std::uint32_t i = 0; i < length; ++i)
        setSignedLongIncPointer(pSource[i]);

    HALVORAN_FUNCTION_END()
}

void dataHandler::copyToInt32(std::int32_t* pDest, std::uint32_t length)
{
    HALVORAN_FUNCTION_START(L"dataHandler::copyToInt32")

    if (length == 0)
        return;
    setPointer(0);
    for (std::uint32_t i = 0; i < length; ++i)
        pDest[i] = getSignedLongIncPointer();

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix::handlers
