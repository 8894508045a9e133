#pragma once

// Entropy coding of the JPEG codec's DCT scans: a bit reader with a 64-bit
// buffer and Huffman look-up tables that resolve most codes, and for AC
// coefficients their value bits too, in one step; and a bit writer with a
// 64-bit buffer that stuffs 0x00 after each 0xFF byte.

#include "dicom/base/huffmanTable.h"
#include "dicom/base/streamReader.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace Halvoran::Varnix::codecs::jpeg
{

// A Huffman table prepared for decoding. Codes of up to lookupBits bits are
// found by one look-up of the next lookupBits bits; longer ones by comparing
// with the largest code of each length.
class huffmanDecoder
{
public:
    static constexpr std::uint32_t lookupBits = 9;

    // From the code counts per length (1..16) and the values in code order
    // of a table; codes that do not fit their length (an over-full table)
    // are left out.
    void build(const huffmanTable& table);

    // Per look-up index: code length (0: longer code) in bits 8..15, value in
    // bits 0..7.
    std::uint16_t m_lookup[1u << lookupBits];
    // Per look-up index, for AC tables: the coefficient decoded in one step
    // when the code and its value bits both lie in the index (0: not so):
    // value in bits 16..31 (signed, never 0), run of zeros before it in bits
    // 8..15, bits used in bits 0..7.
    std::int32_t m_fastAc[1u << lookupBits];
    // Largest code of each length plus one, left-aligned in 32 bits (0: no
    // code of that length); index into m_values of the length's first code
    // minus that code.
    std::uint64_t m_maxCode[17];
    std::int32_t m_valueOffset[17];
    std::uint8_t m_values[256];
};

// Reads the bits of one scan. Bytes are taken from the stream reader a few at
// a time; a marker (or the end of the data) stops the filling, and zero bits
// stand in for what follows. A decoder that used any of those stand-in bits
// has run past the data of its scan: overrun() tells so.
class bitReader
{
public:
    // markerSlot is the reader's marker slot, which receives the code of a
    // marker met while filling; it is moved into pendingMarker().
    void start(streamReader* pStream, std::uint8_t* pMarkerSlot)
    {
        m_pStream = pStream;
        m_pMarkerSlot = pMarkerSlot;
        reset();
    }
    // Drops the buffered bits (restart, end of scan).
    void reset()
    {
        m_buffer = 0;
        m_count = 0;
        m_padding = 0;
        m_pendingMarker = 0;
        m_ended = false;
    }

    // At least 25 bits in the buffer.
    void fill()
    {
        if (m_count < 25)
            refill();
    }
    std::uint32_t peek(std::uint32_t count) const
    {
        return static_cast<std::uint32_t>(m_buffer >> (64 - count));
    }
    void skip(std::uint32_t count)
    {
        m_buffer <<= count;
        m_count -= static_cast<std::int32_t>(count);
    }
    // count (1..16) bits, most significant first.
    std::uint32_t get(std::uint32_t count)
    {
        fill();
        const std::uint32_t bits = peek(count);
        skip(count);
        return bits;
    }
    // count bits as the signed value of a coefficient of that size (T.81
    // F.2.2.1): values with a leading 0 bit are negative.
    std::int32_t receiveExtend(std::uint32_t count)
    {
        if (count == 0)
            return 0;
        const std::int32_t bits = static_cast<std::int32_t>(get(count));
        return bits < (1 << (count - 1)) ? bits - (1 << count) + 1 : bits;
    }
    std::uint32_t decode(const huffmanDecoder& table)
    {
        fill();
        const std::uint32_t entry = table.m_lookup[peek(huffmanDecoder::lookupBits)];
        if (entry >> 8 != 0)
        {
            skip(entry >> 8);
            return entry & 0xFF;
        }
        return decodeLong(table);
    }

    // True once bits beyond the scan's data were used.
    bool overrun() const { return m_count < m_padding; }
    // The marker that ended the data (0: none met yet, or the data ended).
    std::uint8_t pendingMarker() const { return m_pendingMarker; }
    bool ended() const { return m_ended; }

    std::uint64_t m_buffer = 0;
    // Bits in the buffer, of which the last m_padding are stand-in zeros.
    std::int32_t m_count = 0;
    std::int32_t m_padding = 0;

private:
    void refill();
    std::uint32_t decodeLong(const huffmanDecoder& table);

    streamReader* m_pStream = nullptr;
    std::uint8_t* m_pMarkerSlot = nullptr;
    std::uint8_t m_pendingMarker = 0;
    bool m_ended = false;
};

// Writes the entropy-coded bytes of one scan into memory, 0x00 after each
// 0xFF byte.
class bitWriter
{
public:
    void clear()
    {
        m_size = 0;
        m_buffer = 0;
        m_count = 0;
    }
    // Room for the bytes of one more block (at most 64 codes of 31 bits,
    // each byte possibly stuffed).
    void reserveBlock()
    {
        if (m_size + 600 > m_bytes.size())
            m_bytes.resize(std::max<std::size_t>(2 * m_bytes.size(), m_size + 65536));
    }
    // The low count (up to 32) bits of bits; reserveBlock() must have made
    // room.
    void put(std::uint32_t bits, std::uint32_t count)
    {
        m_buffer = (m_buffer << count) | (bits & ((std::uint64_t(1) << count) - 1));
        m_count += count;
        if (m_count < 32)
            return;
        m_count -= 32;
        const std::uint32_t word = static_cast<std::uint32_t>(m_buffer >> m_count);
        std::uint8_t* pOut = m_bytes.data() + m_size;
        // A byte 0xFF in the word needs its stuffing byte.
        const std::uint32_t inverted = ~word;
        if (((inverted - 0x01010101u) & ~inverted & 0x80808080u) == 0)
        {
            pOut[0] = static_cast<std::uint8_t>(word >> 24);
            pOut[1] = static_cast<std::uint8_t>(word >> 16);
            pOut[2] = static_cast<std::uint8_t>(word >> 8);
            pOut[3] = static_cast<std::uint8_t>(word);
            m_size += 4;
            return;
        }
        for (int shift = 24; shift >= 0; shift -= 8)
        {
            const std::uint8_t byte = static_cast<std::uint8_t>(word >> shift);
            m_bytes[m_size++] = byte;
            if (byte == 0xFF)
                m_bytes[m_size++] = 0;
        }
    }
    // Completes the last byte with 0 bits.
    void finish();

    const std::uint8_t* data() const { return m_bytes.data(); }
    std::size_t size() const { return m_size; }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_size = 0;
    std::uint64_t m_buffer = 0;
    std::uint32_t m_count = 0;
};

} // namespace Halvoran::Varnix::codecs::jpeg
