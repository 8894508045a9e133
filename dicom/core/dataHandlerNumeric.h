// Handlers of the binary VRs (US, SS, UL, SL, FL, FD, OB, OW, ...): the values as
// typed elements in memory, with safe conversions between types.
#pragma once

#include "dicom/base/exceptionsManager.h"
#include "dicom/core/dataHandler.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <locale>
#include <sstream>
#include <type_traits>

namespace Halvoran::Varnix::handlers
{

namespace numericConversion
{
// The value truncated toward zero to 64 bits; NaN and values outside the
// 64-bit range give the value with only the top bit set.
inline std::int64_t truncateTo64(double value)
{
    if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0))
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);
}

// A double stored into a float, rounded to nearest; values beyond the float
// range become infinite instead of undefined behaviour.
inline float toFloat(double value)
{
    if (std::isfinite(value) && std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max()))
        return value > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

template <class T>
T fromDouble(double value)
{
    if constexpr (std::is_same_v<T, float>)
        return toFloat(value);
    else if constexpr (std::is_same_v<T, double>)
        return value;
    else
        return static_cast<T>(static_cast<std::uint64_t>(truncateTo64(value)));
}

template <class T>
std::int32_t toSigned(T value)
{
    if constexpr (std::is_floating_point_v<T>)
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(truncateTo64(value))));
    else
        return static_cast<std::int32_t>(value);
}
} // namespace numericConversion

// Typed access, in place, to the binary values of a buffer: one element per
// value of type T, in the machine's byte order.
template <class T>
class dataHandlerNumeric : public dataHandler
{
public:
    typedef T value_type;

    dataHandlerNumeric() : m_pMemoryString(nullptr), m_pMemoryStringEnd(nullptr), m_position(0) {}

    // Address of element 0 (null when there is none).
    std::uint8_t* getMemoryBuffer() { return m_pMemoryString; }
    // The block the handler works on.
    ptr<memory> getMemory() const { return m_memory; }

    void setPointer(std::uint32_t elementNumber) override { m_position = elementNumber; }
    void incPointer() override { ++m_position; }
    void skip(std::uint32_t skip) override { m_position += skip; }
    bool pointerIsValid() override { return m_pMemoryString != nullptr && m_position < getSize(); }

    void setSize(std::uint32_t elementsNumber) override
    {
        HALVORAN_FUNCTION_START(L"dataHandlerNumeric::setSize")

        const std::uint64_t bytes = static_cast<std::uint64_t>(elementsNumber) * sizeof(T);
        if (bytes > 0xFFFFFFFFu)
            HALVORAN_THROW(dataHandlerExceptionTooLarge, "The requested data size is too large");
        if (!m_memory)
            m_memory = new memory;
        m_memory->resize(static_cast<std::uint32_t>(bytes));
        takeBounds();
        m_position = 0;

        HALVORAN_FUNCTION_END()
    }

    std::uint32_t getSize() override
    {
        return static_cast<std::uint32_t>((m_pMemoryStringEnd - m_pMemoryString) / sizeof(T));
    }

    std::uint32_t getUnitSize() override { return sizeof(T); }

    void parseBuffer(const ptr<memory>& memoryBuffer) override
    {
        HALVORAN_FUNCTION_START(L"dataHandlerNumeric::parseBuffer")

        m_memory = memoryBuffer;
        takeBounds();

        HALVORAN_FUNCTION_END()
    }

    void buildBuffer(const ptr<memory>& memoryBuffer) override
    {
        HALVORAN_FUNCTION_START(L"dataHandlerNumeric::buildBuffer")

        if (m_memory)
            memoryBuffer->transfer(m_memory);
        m_pMemoryString = m_pMemoryStringEnd = nullptr;

        HALVORAN_FUNCTION_END()
    }

    std::int32_t getSignedLong() override { return numericConversion::toSigned(element()); }
    std::uint32_t getUnsignedLong() override { return static_cast<std::uint32_t>(getSignedLong()); }
    double getDouble() override { return static_cast<double>(element()); }

    std::int32_t getSignedLongIncPointer() override
    {
        const std::int32_t value = getSignedLong();
        incPointer();
        return value;
    }
    std::uint32_t getUnsignedLongIncPointer() override
    {
        const std::uint32_t value = getUnsignedLong();
        incPointer();
        return value;
    }
    double getDoubleIncPointer() override
    {
        const double value = getDouble();
        incPointer();
        return value;
    }

    std::string getString() override
    {
        HALVORAN_FUNCTION_START(L"dataHandlerNumeric::getString")

        std::ostringstream text;
        text.imbue(std::locale::classic());
        text << std::fixed << getDouble();
        return text.str();

        HALVORAN_FUNCTION_END()
    }

    std::wstring getUnicodeString() override
    {
        HALVORAN_FUNCTION_START(L"dataHandlerNumeric::getUnicodeString")

        std::wostringstream text;
        text.imbue(std::locale::classic());
        text << std::fixed << getDouble();
        return text.str();

        HALVORAN_FUNCTION_END()
    }

    void setSignedLong(std::int32_t value) override
    {
        if constexpr (std::is_floating_point_v<T>)
            setElement(static_cast<T>(value));
        else
            setElement(static_cast<T>(static_cast<std::uint32_t>(value)));
    }
    void setUnsignedLong(std::uint32_t value) override { setElement(static_cast<T>(value)); }
    void setDouble(double value) override { setElement(numericConversion::fromDouble<T>(value)); }

    void setSignedLongIncPointer(std::int32_t value) override
    {
        setSignedLong(value);
        incPointer();
    }
    void setUnsignedLongIncPointer(std::uint32_t value) override
    {
        setUnsignedLong(value);
        incPointer();
    }
    void setDoubleIncPointer(double value) override
    {
        setDouble(value);
        incPointer();
    }

    // A text that does not start with a number stores 0.
    void setString(const std::string& value) override
    {
        HALVORAN_FUNCTION_START(L"dataHandlerNumeric::setString")

        std::istringstream text(value);
        text.imbue(std::locale::classic());
        double number = 0;
        if (!(text >> number))
            number = 0;
        setDouble(number);

        HALVORAN_FUNCTION_END()
    }

    void setUnicodeString(const std::wstring& value) override
    {
        HALVORAN_FUNCTION_START(L"dataHandlerNumeric::setUnicodeString")

        std::wistringstream text(value);
        text.imbue(std::locale::classic());
        double number = 0;
        if (!(text >> number))
            number = 0;
        setDouble(number);

        HALVORAN_FUNCTION_END()
    }

    void copyFromInt32(const std::int32_t* pSource, std::uint32_t length) override
    {
        HALVORAN_FUNCTION_START(L"dataHandlerNumeric::copyFromInt32")

        const std::uint32_t count = std::min(length, getSize());
        std::uint8_t* pDest = m_pMemoryString;
        for (std::uint32_t i = 0; i < count; ++i, pDest += sizeof(T))
            store(pDest, convertSigned(pSource[i]));

        HALVORAN_FUNCTION_END()
    }

    void copyToInt32(std::int32_t* pDest, std::uint32_t length) override
    {
        HALVORAN_FUNCTION_START(L"dataHandlerNumeric::copyToInt32")

        const std::uint32_t count = std::min(length, getSize());
        const std::uint8_t* pSource = m_pMemoryString;
        for (std::uint32_t i = 0; i < count; ++i, pSource += sizeof(T))
            pDest[i] = numericConversion::toSigned(load(pSource));

        HALVORAN_FUNCTION_END()
    }

    // Writes one channel of a rectangle of an interleaved array from plain
    // samples, each sample filling hf x vf pixels.
    void copyFromInt32Interleaved(const std::int32_t* pSource, std::uint32_t horizontalFactor,
                                  std::uint32_t verticalFactor, std::uint32_t startX, std::uint32_t startY,
                                  std::uint32_t endX, std::uint32_t endY, std::uint32_t channel,
                                  std::uint32_t width, std::uint32_t height, std::uint32_t channelsNumber)
    {
        if (startX >= width || startY >= height)
            return;
        const std::uint32_t sourceRowLength = (endX - startX) / horizontalFactor;
        if (height < endY)
            endY = height;
        if (endX > width)
            endX = width;

        std::uint8_t* pDestRow =
            m_pMemoryString + ((static_cast<std::size_t>(startY) * width + startX) * channelsNumber + channel) * sizeof(T);
        const std::int32_t* pSourceRow = pSource;
        const std::size_t destRowStep = static_cast<std::size_t>(width) * channelsNumber * sizeof(T);
        for (std::uint32_t row = 0, rowCount = 0; row < endY - startY; ++row)
        {
            std::uint8_t* pDest = pDestRow;
            const std::int32_t* pSourceSample = pSourceRow;
            for (std::uint32_t column = 0, columnCount = 0; column < endX - startX; ++column)
            {
                store(pDest, convertSigned(*pSourceSample));
                pDest += channelsNumber * sizeof(T);
                if (++columnCount == horizontalFactor)
                {
                    columnCount = 0;
                    ++pSourceSample;
                }
            }
            pDestRow += destRowStep;
            if (++rowCount == verticalFactor)
            {
                rowCount = 0;
                pSourceRow += sourceRowLength;
            }
        }
    }

    // Adds one channel of a rectangle into plain samples (which must hold 0),
    // hf x vf pixels per sample, and takes the mean for factors of 2.
    // Columns and rows past the image's edges repeat its last column and row.
    void copyToInt32Interleaved(std::int32_t* pDest, std::uint32_t horizontalFactor, std::uint32_t verticalFactor,
                                std::uint32_t startX, std::uint32_t startY, std::uint32_t endX, std::uint32_t endY,
                                std::uint32_t channel, std::uint32_t width, std::uint32_t height,
                                std::uint32_t channelsNumber)
    {
        if (startX >= width || startY >= height)
            return;
        const std::uint32_t destRowLength = (endX - startX) / horizontalFactor;
        const std::uint8_t* pSourceRow =
            m_pMemoryString + ((static_cast<std::size_t>(startY) * width + startX) * channelsNumber + channel) * sizeof(T);
        const std::size_t sourceRowStep = static_cast<std::size_t>(width) * channelsNumber * sizeof(T);
        std::int32_t* pDestRow = pDest;
        std::int32_t lastValue = numericConversion::toSigned(load(pSourceRow));
        for (std::uint32_t y = startY, rowCount = 0; y < endY; ++y)
        {
            const std::uint8_t* pSource = pSourceRow;
            std::int32_t* pDestSample = pDestRow;
            for (std::uint32_t x = startX, columnCount = 0; x < endX; ++x)
            {
                if (x < width)
                {
                    lastValue = numericConversion::toSigned(load(pSource));
                    pSource += channelsNumber * sizeof(T);
                }
                *pDestSample += lastValue;
                if (++columnCount == horizontalFactor)
                {
                    columnCount = 0;
                    ++pDestSample;
                }
            }
            if (y < height - 1)
                pSourceRow += sourceRowStep;
            if (++rowCount == verticalFactor)
            {
                rowCount = 0;
                pDestRow += destRowLength;
            }
        }

        const int shift = (horizontalFactor == 2 ? 1 : 0) + (verticalFactor == 2 ? 1 : 0);
        if (shift != 0)
        {
            for (std::int32_t* pSample = pDest; pSample < pDestRow; ++pSample)
                *pSample >>= shift;
        }
    }

protected:
    static T load(const std::uint8_t* pAddress)
    {
        T value;
        std::memcpy(&value, pAddress, sizeof(T));
        return value;
    }
    static void store(std::uint8_t* pAddress, T value) { std::memcpy(pAddress, &value, sizeof(T)); }

    static T convertSigned(std::int32_t value)
    {
        if constexpr (std::is_floating_point_v<T>)
            return static_cast<T>(value);
        else
            return static_cast<T>(static_cast<std::uint32_t>(value));
    }

    T element() const { return load(m_pMemoryString + m_position * sizeof(T)); }
    void setElement(T value) { store(m_pMemoryString + m_position * sizeof(T), value); }

    void takeBounds()
    {
        if (!m_memory || m_memory->empty())
        {
            m_pMemoryString = m_pMemoryStringEnd = nullptr;
            return;
        }
        m_pMemoryString = m_memory->data();
        m_pMemoryStringEnd = m_pMemoryString + m_memory->size();
    }

    std::uint8_t* m_pMemoryString;
    std::uint8_t* m_pMemoryStringEnd;
    std::size_t m_position;
    ptr<memory> m_memory;
};

typedef dataHandlerNumeric<std::uint8_t> dataHandlerUint8;
typedef dataHandlerNumeric<std::int8_t> dataHandlerInt8;
typedef dataHandlerNumeric<std::uint16_t> dataHandlerUint16;
typedef dataHandlerNumeric<std::int16_t> dataHandlerInt16;
typedef dataHandlerNumeric<std::uint32_t> dataHandlerUint32;
typedef dataHandlerNumeric<std::int32_t> dataHandlerInt32;
typedef dataHandlerNumeric<float> dataHandlerFloat;
typedef dataHandlerNumeric<double> dataHandlerDouble;
// The pixel handler of images.
typedef dataHandlerNumeric<std::int32_t> imageHandler;

} // namespace Halvoran::Varnix::handlers
