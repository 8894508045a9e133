#include "dicom/core/jpegEntropy.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/streamException.h"

#include <algorithm>
#include <cstring>

namespace Halvoran::Varnix::codecs::jpeg
{

void huffmanDecoder::build(const huffmanTable& table)
{
    std::memset(m_lookup, 0, sizeof(m_lookup));
    std::memset(m_fastAc, 0, sizeof(m_fastAc));
    std::memset(m_values, 0, sizeof(m_values));
    std::uint32_t code = 0;
    std::uint32_t index = 0;
    for (std::uint32_t length = 1; length <= 16; ++length)
    {
        const std::uint32_t count = std::min<std::uint32_t>(table.m_valuesPerLength[length], 256 - index);
        m_valueOffset[length] = static_cast<std::int32_t>(index) - static_cast<std::int32_t>(code);
        std::uint32_t fitting = 0;
        for (std::uint32_t n = 0; n < count; ++n, ++code, ++index)
        {
            if (code >= (1u << length))
                break; // an over-full table: the rest has no code
            const std::uint8_t value = static_cast<std::uint8_t>(table.m_orderedValues[index]);
            m_values[index] = value;
            ++fitting;
            if (length > lookupBits)
                continue;
            const std::uint32_t first = code << (lookupBits - length);
            for (std::uint32_t b = 0; b < (1u << (lookupBits - length)); ++b)
            {
                const std::uint32_t lookup = first | b;
                m_lookup[lookup] = static_cast<std::uint16_t>((length << 8) | value);
                const std::uint32_t run = value >> 4;
                const std::uint32_t size = value & 15;
                if (size == 0 || length + size > lookupBits)
                    continue;
                // The value bits follow the code inside the index.
                const std::int32_t bits =
                    static_cast<std::int32_t>((lookup >> (lookupBits - length - size)) & ((1u << size) - 1));
                const std::int32_t coefficient = bits < (1 << (size - 1)) ? bits - (1 << size) + 1 : bits;
                m_fastAc[lookup] = static_cast<std::int32_t>(static_cast<std::uint32_t>(coefficient) << 16) |
                                   static_cast<std::int32_t>(run << 8) | static_cast<std::int32_t>(length + size);
            }
        }
        // Largest code of this length plus one, left-aligned.
        m_maxCode[length] = fitting == 0 ? 0 : static_cast<std::uint64_t>(code) << (32 - length);
        code = std::min(code, 1u << length) << 1;
        index = std::min<std::uint32_t>(index, 256);
    }
}

void bitReader::refill()
{
    HALVORAN_FUNCTION_START(L"jpegCodec::readBlock")

    while (m_count <= 56)
    {
        std::uint8_t byte = 0;
        bool plain = false;
        if (m_pendingMarker == 0 && !m_ended)
        {
            try
            {
                plain = m_pStream->readByteInline(&byte);
            }
            catch (const streamExceptionEOF&)
            {
                m_ended = true;
            }
            if (!plain && !m_ended)
            {
                m_pendingMarker = *m_pMarkerSlot;
                *m_pMarkerSlot = 0;
            }
        }
        if (plain)
        {
            m_buffer |= static_cast<std::uint64_t>(byte) << (56 - m_count);
        }
        else
        {
            // Stand-in zero bits; bounded, so that a decoder running on
            // and on still stops.
            if (m_padding > (1 << 20))
                HALVORAN_THROW(streamExceptionEOF, "stream::read past the end of the scan");
            m_padding += 8;
        }
        m_count += 8;
    }

    HALVORAN_FUNCTION_END()
}

std::uint32_t bitReader::decodeLong(const huffmanDecoder& table)
{
    HALVORAN_FUNCTION_START(L"huffmanTable::readHuffmanCode")

    // Codes longer than the look-up: the first length whose largest code is
    // not below the next bits.
    const std::uint32_t bits = static_cast<std::uint32_t>(m_buffer >> 32);
    for (std::uint32_t length = huffmanDecoder::lookupBits + 1; length <= 16; ++length)
    {
        const std::uint32_t code = bits >> (32 - length);
        if (bits < table.m_maxCode[length])
        {
            const std::int32_t index = table.m_valueOffset[length] + static_cast<std::int32_t>(code);
            if (index < 0 || index > 255)
                break;
            skip(length);
            return table.m_values[index];
        }
    }
    if (m_count - 16 < m_padding)
    {
        // The stand-in bits after the scan's data: no code, and no error
        // either; the caller sees the overrun.
        skip(16);
        return 0;
    }
    HALVORAN_THROW(huffmanExceptionRead, "Invalid huffman code found while reading from a stream");

    HALVORAN_FUNCTION_END()
}

void bitWriter::finish()
{
    reserveBlock();
    if (m_count % 8 != 0)
    {
        const std::uint32_t fill = 8 - m_count % 8;
        m_buffer <<= fill;
        m_count += fill;
    }
    while (m_count >= 8)
    {
        m_count -= 8;
        const std::uint8_t byte = static_cast<std::uint8_t>(m_buffer >> m_count);
        m_bytes[m_size++] = byte;
        if (byte == 0xFF)
            m_bytes[m_size++] = 0;
    }
    m_buffer = 0;
    m_count = 0;
}

} // namespace Halvoran::Varnix::codecs::jpeg
