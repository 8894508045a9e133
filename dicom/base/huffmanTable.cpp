#include "dicom/base/huffmanTable.h"

#include "dicom/base/exceptionsManager.h"

#include <algorithm>
#include <iterator>
#include <map>

namespace Halvoran
{

namespace
{

// Lower frequency first; among equal frequencies the higher value first.
struct freqValue
{
    std::uint32_t m_freq;
    std::uint32_t m_value;
    bool operator<(const freqValue& other) const
    {
        if (m_freq != other.m_freq)
            return m_freq < other.m_freq;
        return m_value > other.m_value;
    }
};

// Shorter length first; among equal lengths the lower value first.
struct lengthValue
{
    std::uint32_t m_length;
    std::uint32_t m_value;
    bool operator<(const lengthValue& other) const
    {
        if (m_length != other.m_length)
            return m_length < other.m_length;
        return m_value < other.m_value;
    }
};

} // namespace

huffmanTable::huffmanTable(unsigned char bits) : m_numValues((1u << bits) + 1)
{
    reset();
}

void huffmanTable::reset()
{
    m_valuesFreq.assign(m_numValues, valueObject{});
    m_longestLength = 0;
    std::fill(std::begin(m_fastLength), std::end(m_fastLength), std::uint8_t(0));
    std::fill(std::begin(m_fastValue), std::end(m_fastValue), std::uint16_t(0));
    m_orderedValues.assign(m_numValues, 0);
    m_valuesToHuffman.assign(m_numValues, 0);
    m_valuesToHuffmanLength.assign(m_numValues, 0);
    for (std::uint32_t i = 0; i < maxLengths; ++i)
    {
        m_valuesPerLength[i] = 0;
        m_minValuePerLength[i] = 0xFFFFFFFFu;
        m_maxValuePerLength[i] = 0xFFFFFFFFu;
    }
}

std::uint32_t huffmanTable::codesCount() const
{
    std::uint32_t count = 0;
    for (std::uint32_t i = 1; i < maxLengths; ++i)
        count += m_valuesPerLength[i];
    return count;
}

void huffmanTable::calcHuffmanCodesLength(std::uint32_t maxCodeLength)
{
    HALVORAN_FUNCTION_START(L"huffmanTable::calcHuffmanCodesLength")

    std::map<freqValue, bool> byFrequency;
    for (std::uint32_t value = 0; value < m_numValues; ++value)
        if (m_valuesFreq[value].m_freq > 0)
            byFrequency[freqValue{m_valuesFreq[value].m_freq, value}] = true;

    while (byFrequency.size() > 1)
    {
        const std::uint32_t v1 = byFrequency.begin()->first.m_value;
        byFrequency.erase(byFrequency.begin());
        const std::uint32_t v2 = byFrequency.begin()->first.m_value;
        byFrequency.erase(byFrequency.begin());

        m_valuesFreq[v1].m_freq += m_valuesFreq[v2].m_freq;
        m_valuesFreq[v2].m_freq = 0;
        ++m_valuesFreq[v1].m_codeLength;
        byFrequency[freqValue{m_valuesFreq[v1].m_freq, v1}] = true;

        std::uint32_t chain = v1;
        while (m_valuesFreq[chain].m_nextCode >= 0)
        {
            chain = static_cast<std::uint32_t>(m_valuesFreq[chain].m_nextCode);
            ++m_valuesFreq[chain].m_codeLength;
        }
        m_valuesFreq[chain].m_nextCode = static_cast<std::int32_t>(v2);
        chain = v2;
        for (;;)
        {
            ++m_valuesFreq[chain].m_codeLength;
            if (m_valuesFreq[chain].m_nextCode < 0)
                break;
            chain = static_cast<std::uint32_t>(m_valuesFreq[chain].m_nextCode);
        }
    }

    for (std::uint32_t i = 0; i < maxLengths; ++i)
        m_valuesPerLength[i] = 0;
    std::map<lengthValue, bool> byLength;
    for (std::uint32_t value = 0; value < m_numValues; ++value)
    {
        const std::uint32_t length = m_valuesFreq[value].m_codeLength;
        if (length == 0)
            continue;
        // Lengths beyond the table's range cannot occur with at most 513 values.
        byLength[lengthValue{length, value}] = true;
        ++m_valuesPerLength[length < maxLengths ? length : maxLengths - 1];
    }
    std::uint32_t position = 0;
    for (const auto& entry : byLength)
        m_orderedValues[position++] = entry.first.m_value;

    // Fold codes longer than the maximum (T.81 Figure K.3).
    for (std::uint32_t i = maxLengths - 1; i > maxCodeLength && i >= 2; --i)
    {
        while (m_valuesPerLength[i] > 0)
        {
            std::int32_t j = static_cast<std::int32_t>(i) - 2;
            while (j >= 0 && m_valuesPerLength[j] == 0)
                --j;
            if (j < 0)
                break;
            m_valuesPerLength[i] -= 2;
            m_valuesPerLength[i - 1] += 1;
            m_valuesPerLength[j + 1] += 2;
            m_valuesPerLength[j] -= 1;
        }
    }

    HALVORAN_FUNCTION_END()
}

void huffmanTable::removeLastCode()
{
    for (std::int32_t length = maxLengths - 1; length > 0; --length)
    {
        if (m_valuesPerLength[length] > 0)
        {
            --m_valuesPerLength[length];
            return;
        }
    }
}

void huffmanTable::calcHuffmanTables()
{
    HALVORAN_FUNCTION_START(L"huffmanTable::calcHuffmanTables")

    for (std::uint32_t i = 0; i < maxLengths; ++i)
    {
        m_minValuePerLength[i] = 0xFFFFFFFFu;
        m_maxValuePerLength[i] = 0xFFFFFFFFu;
    }
    std::fill(m_valuesToHuffmanLength.begin(), m_valuesToHuffmanLength.end(), 0u);
    std::uint32_t code = 0;
    std::uint32_t index = 0;
    m_longestLength = 0;
    for (std::uint32_t length = 1; length < maxLengths; ++length)
    {
        if (m_valuesPerLength[length] != 0)
            m_longestLength = length;
        for (std::uint32_t n = 0; n < m_valuesPerLength[length] && index < m_numValues; ++n)
        {
            if (n == 0)
                m_minValuePerLength[length] = code;
            m_maxValuePerLength[length] = code;
            const std::uint32_t value = m_orderedValues[index];
            if (value < m_numValues)
            {
                m_valuesToHuffman[value] = code;
                m_valuesToHuffmanLength[value] = length;
            }
            ++index;
            ++code;
        }
        code <<= 1;
    }

    std::fill(std::begin(m_fastLength), std::end(m_fastLength), std::uint8_t(0));
    index = 0;
    for (std::uint32_t length = 1; length <= 8; ++length)
    {
        for (std::uint32_t n = 0; n < m_valuesPerLength[length] && index < m_numValues; ++n, ++index)
        {
            const std::uint32_t first = (m_minValuePerLength[length] + n) << (8 - length);
            const std::uint32_t count = 1u << (8 - length);
            for (std::uint32_t b = first; b < first + count && b < 256; ++b)
            {
                m_fastLength[b] = static_cast<std::uint8_t>(length);
                m_fastValue[b] = static_cast<std::uint16_t>(m_orderedValues[index]);
            }
        }
    }

    HALVORAN_FUNCTION_END()
}

bool huffmanTable::readHuffmanCode(std::uint32_t& value, streamReader* pStream)
{
    HALVORAN_FUNCTION_START(L"huffmanTable::readHuffmanCode")

    // A short code lying wholly in the bits left of the current byte.
    const std::uint32_t buffered = pStream->bufferedBitsCount();
    if (buffered != 0)
    {
        const std::uint32_t byte = pStream->bufferedBits();
        const std::uint32_t length = m_fastLength[byte];
        if (length != 0 && length <= buffered)
        {
            value = m_fastValue[byte];
            pStream->dropBufferedBits(length);
            return true;
        }
    }

    // One bit per length, up to the longest code; the bit reader's fast
    // path is inline.
    std::uint32_t code = 0;
    std::uint32_t index = 0;
    for (std::uint32_t length = 1; length <= m_longestLength; ++length)
    {
        if (!pStream->addBit(code))
            return false;
        const std::uint32_t count = m_valuesPerLength[length];
        if (count == 0)
            continue;
        if (code <= m_maxValuePerLength[length])
        {
            const std::uint32_t position = index + code - m_minValuePerLength[length];
            if (position >= m_numValues)
                break;
            value = m_orderedValues[position];
            return true;
        }
        index += count;
    }
    value = 0;
    HALVORAN_THROW(huffmanExceptionRead, "Invalid huffman code found while reading from a stream");

    HALVORAN_FUNCTION_END()
}

void huffmanTable::writeHuffmanCode(const std::uint32_t& value, streamWriter* pStream)
{
    HALVORAN_FUNCTION_START(L"huffmanTable::writeHuffmanCode")

    if (value >= m_numValues || m_valuesToHuffmanLength[value] == 0)
        HALVORAN_THROW(huffmanExceptionWrite, "Trying to write an invalid huffman code");
    pStream->writeBits(m_valuesToHuffman[value], static_cast<int>(m_valuesToHuffmanLength[value]));

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran
