// Conversion of text between Unicode and the character sets a DICOM file may declare,
// including the ISO 2022 Japanese and Korean sets.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace Halvoran
{

// Base of the character-set conversion failures.
class charsetConversionException : public std::runtime_error
{
public:
    explicit charsetConversionException(const std::string& message) : std::runtime_error(message) {}
};

// The requested character set is not in the table.
class charsetConversionExceptionNoTable : public charsetConversionException
{
public:
    explicit charsetConversionExceptionNoTable(const std::string& message) : charsetConversionException(message) {}
};

// Converts text between wide characters (one Unicode code point per element)
// and the bytes of one character set of a fixed table, selected by its ISO
// name or its alias.
//
// The DICOM-specific sets hold bytes as DICOM stores them inside ISO 2022
// escapes: "ISO-IR 87" and "ISO-IR 159" are 7-bit JIS X 0208 / JIS X 0212
// code pairs, "ISO-IR 149" is KS X 1001 in G1 (8-bit, with ASCII in G0),
// "ISO-IR 13" is JIS X 0201 (Roman in 0x00-0x7F, katakana in 0xA1-0xDF).
// "ISO-IR 6" decodes bytes above 0x7F as ISO 8859-1, since files that name
// no character set often hold Latin-1 text; it encodes strictly 7-bit.
class charsetConversion
{
public:
    struct tableRow
    {
        const char* isoName;
        const char* alias;
        std::uint32_t codePage;
        bool noMappingCheck;
    };
    static constexpr int tableRowsCount = 18;
    static const tableRow* getTable();

    charsetConversion();
    charsetConversion(const charsetConversion& other);
    charsetConversion& operator=(const charsetConversion& other);
    virtual ~charsetConversion();

    // Row index of the first row whose alias or ISO name equals name
    // exactly, or -1.
    static int findTable(const std::string& name);

    // Selects the row of name; throws charsetConversionExceptionNoTable
    // (after clearing the selection) when there is none.
    void initialize(const std::string& name);
    void close();
    std::string currentTableName() const;

    // The bytes of text in the selected set; the empty string when some
    // character cannot be represented there.
    std::string fromUnicode(const std::wstring& text);
    // Invalid bytes become U+FFFD.
    std::wstring toUnicode(const std::string& text);

private:
    void closeCodecs();
    std::wstring iconvDecode(const std::string& bytes);
    bool iconvEncode(const std::wstring& text, std::string& result);

    std::string m_isoCharset;
    std::uint32_t m_codePage;
    bool m_bZeroFlag;
    int m_row;
    void* m_toUnicode;
    void* m_fromUnicode;
};

} // namespace Halvoran
