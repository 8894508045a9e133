// The Huffman tables of the JPEG codec: building optimal codes and reading and writing
// them bit by bit.
#pragma once

#include "dicom/base/baseObject.h"
#include "dicom/base/streamReader.h"
#include "dicom/base/streamWriter.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace Halvoran
{

class huffmanException : public std::runtime_error
{
public:
    explicit huffmanException(const std::string& message) : std::runtime_error(message) {}
};

// A bit pattern that is no code of the table.
class huffmanExceptionRead : public huffmanException
{
public:
    explicit huffmanExceptionRead(const std::string& message) : huffmanException(message) {}
};

// A value without a code was to be written.
class huffmanExceptionWrite : public huffmanException
{
public:
    explicit huffmanExceptionWrite(const std::string& message) : huffmanException(message) {}
};

// One Huffman code table of the JPEG codec: counts values, derives code
// lengths limited to a maximum, assigns canonical codes and reads and writes
// codes through the bit layer of the stream reader and writer.
class huffmanTable : public baseObject
{
public:
    static constexpr std::uint32_t maxLengths = 128;

    struct valueObject
    {
        std::uint32_t m_freq = 0;
        std::uint32_t m_codeLength = 0;
        std::int32_t m_nextCode = -1;
    };

    // Holds (1 << bits) + 1 values.
    explicit huffmanTable(unsigned char bits);

    void reset();
    void countValue(std::uint32_t value) { ++m_valuesFreq[value].m_freq; }
    void calcHuffmanCodesLength(std::uint32_t maxCodeLength);
    void removeLastCode();
    void calcHuffmanTables();

    // Decodes one value; false when a marker was met (value unchanged).
    bool readHuffmanCode(std::uint32_t& value, streamReader* pStream);
    void writeHuffmanCode(const std::uint32_t& value, streamWriter* pStream);

    std::uint32_t numValues() const { return m_numValues; }
    // Number of codes of lengths 1..maxLengths-1.
    std::uint32_t codesCount() const;

    std::uint32_t m_numValues;
    std::vector<valueObject> m_valuesFreq;
    std::vector<std::uint32_t> m_orderedValues;
    std::uint32_t m_valuesPerLength[maxLengths];
    std::uint32_t m_minValuePerLength[maxLengths];
    std::uint32_t m_maxValuePerLength[maxLengths];
    std::vector<std::uint32_t> m_valuesToHuffman;
    std::vector<std::uint32_t> m_valuesToHuffmanLength;
    // Longest code length in use (set by calcHuffmanTables).
    std::uint32_t m_longestLength = 0;
    // Codes of up to 8 bits by the byte they start: length (0 for none) and
    // value.
    std::uint8_t m_fastLength[256];
    std::uint16_t m_fastValue[256];

};

} // namespace Halvoran
