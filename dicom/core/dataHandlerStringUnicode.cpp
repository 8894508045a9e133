#include "dicom/core/dataHandlerStringUnicode.h"

#include "dicom/base/exceptionsManager.h"

#include <algorithm>
#include <cstring>

namespace Halvoran::Varnix::handlers
{

namespace
{
// The row "ISO 2022 IR 13" with ESC ( J designates JIS X 0201 Roman into
// G0: Japanese values return to it after a JIS X 0208 run. It follows the
// row with ESC ) I, so that the name still finds that one first.
const dicomCharsetInformation charsetTable[] = {
    {L"ISO 2022 IR 6", "\x1b\x28\x42", "ISO-IR 6"},
    {L"ISO_IR 6", "", "ISO-IR 6"},
    {L"ISO_IR 100", "", "ISO-8859-1"},
    {L"ISO_IR 101", "", "ISO-8859-2"},
    {L"ISO_IR 109", "", "ISO-8859-3"},
    {L"ISO_IR 110", "", "ISO-8859-4"},
    {L"ISO_IR 144", "", "ISO-8859-5"},
    {L"ISO_IR 127", "", "ISO-8859-6"},
    {L"ISO_IR 126", "", "ISO-8859-7"},
    {L"ISO_IR 138", "", "ISO-8859-8"},
    {L"ISO_IR 148", "", "ISO-8859-9"},
    {L"ISO_IR 13", "", "ISO-IR 13"},
    {L"ISO_IR 166", "", "ISO-IR 166"},
    {L"", "\x1b\x28\x42", "ISO-IR 6"},
    {L"ISO 2022 IR 100", "\x1b\x2d\x41", "ISO-8859-1"},
    {L"ISO 2022 IR 101", "\x1b\x2d\x42", "ISO-8859-2"},
    {L"ISO 2022 IR 109", "\x1b\x2d\x43", "ISO-8859-3"},
    {L"ISO 2022 IR 110", "\x1b\x2d\x44", "ISO-8859-4"},
    {L"ISO 2022 IR 144", "\x1b\x2d\x4c", "ISO-8859-5"},
    {L"ISO 2022 IR 127", "\x1b\x2d\x47", "ISO-8859-6"},
    {L"ISO 2022 IR 126", "\x1b\x2d\x46", "ISO-8859-7"},
    {L"ISO 2022 IR 138", "\x1b\x2d\x48", "ISO-8859-8"},
    {L"ISO 2022 IR 148", "\x1b\x2d\x4d", "ISO-8859-9"},
    {L"ISO 2022 IR 13", "\x1b\x29\x49", "ISO-IR 13"},
    {L"ISO 2022 IR 13", "\x1b\x28\x4a", "ISO-IR 13"},
    {L"ISO 2022 IR 166", "\x1b\x2d\x54", "ISO-IR 166"},
    {L"ISO 2022 IR 87", "\x1b\x24\x42", "ISO-IR 87"},
    {L"ISO 2022 IR 159", "\x1b\x24\x28\x44", "ISO-IR 159"},
    {L"ISO 2022 IR 149", "\x1b\x24\x29\x43", "ISO-IR 149"},
    {L"ISO_IR 192", "", "ISO-IR 192"},
    {L"GB18030", "", "GB18030"},
    {nullptr, "", ""},
};

// Escapes that put a multi-byte set into G0 (JIS X 0208, JIS X 0212):
// ASCII delimiters cannot follow them without switching G0 back.
bool designatesMultiByteG0(const char* escape)
{
    return escape[0] == '\x1b' && escape[1] == '$' && (escape[2] == 'B' || escape[2] == '(');
}

// Characters before which the value's default character sets must be
// active again: the person-name delimiters, the value separator and the
// line and page controls. Decoders reset their designations there, so any
// switch made before them has to be repeated after them.
bool isResetDelimiter(wchar_t c)
{
    return c == L'^' || c == L'=' || c == L'\\' || c == L'\r' || c == L'\n' || c == L'\t' || c == L'\f';
}

// Length of the character at index: one code point and the combining
// diacritical marks (U+0300 to U+036F) that follow it.
std::size_t characterLength(const std::wstring& text, std::size_t index)
{
    std::size_t end = index + 1;
    while (end < text.size() && text[end] >= 0x0300 && text[end] <= 0x036F)
        ++end;
    return end - index;
}
} // namespace

const dicomCharsetInformation* dataHandlerStringUnicode::getCharsetTable()
{
    return charsetTable;
}

const dicomCharsetInformation* dataHandlerStringUnicode::getCharsetInfo(const std::wstring& name)
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringUnicode::getCharsetInfo")

    for (const dicomCharsetInformation* row = charsetTable; row->m_dicomName != nullptr; ++row)
    {
        if (name == row->m_dicomName)
            return row;
    }
    return nullptr;

    HALVORAN_FUNCTION_END()
}

void dataHandlerStringUnicode::setCharsetInfo(const charsetsList::tCharsetsList* pCharsetsList)
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringUnicode::setCharsetInfo")

    m_charsetsList.clear();
    charsetsList::updateCharsets(pCharsetsList, &m_charsetsList);
    if (m_charsetsList.empty())
        m_charsetsList.push_back(L"ISO 2022 IR 6");

    const dicomCharsetInformation* info = getCharsetInfo(m_charsetsList.front());
    if (info == nullptr || info->m_isoRegistration[0] == 0)
        HALVORAN_THROW(dataHandlerStringUnicodeExceptionUnknownCharset, "Unknown charset");
    m_charsetConversion.initialize(info->m_isoRegistration);

    HALVORAN_FUNCTION_END()
}

void dataHandlerStringUnicode::getCharsetList(charsetsList::tCharsetsList* pCharsetsList)
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringUnicode::getCharsetList")

    charsetsList::copyCharsets(&m_charsetsList, pCharsetsList);

    HALVORAN_FUNCTION_END()
}

void dataHandlerStringUnicode::buildBuffer(const ptr<memory>& memoryBuffer)
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringUnicode::buildBuffer")

    dataHandlerString::buildBuffer(memoryBuffer);
    if (m_bCharactersDropped)
        HALVORAN_THROW(dataHandlerStringUnicodeExceptionUnencodable,
                       "The value holds characters that its character sets cannot represent");

    HALVORAN_FUNCTION_END()
}

std::wstring dataHandlerStringUnicode::convertToUnicode(const std::string& value)
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringUnicode::convertToUnicode")

    if (m_charsetsList.size() <= 1)
        return m_charsetConversion.toUnicode(value);

    saveCharsetConversionState saveState(&m_charsetConversion);
    std::wstring result;
    std::size_t position = 0;
    while (position < value.size())
    {
        // The nearest escape of the table; unknown escapes stay as bytes.
        const dicomCharsetInformation* found = nullptr;
        std::size_t escapeAt = value.find('\x1b', position);
        while (escapeAt != std::string::npos && found == nullptr)
        {
            for (const dicomCharsetInformation* row = charsetTable; row->m_dicomName != nullptr; ++row)
            {
                const std::size_t length = std::strlen(row->m_escapeSequence);
                if (length != 0 && value.compare(escapeAt, length, row->m_escapeSequence) == 0)
                {
                    found = row;
                    break;
                }
            }
            if (found == nullptr)
                escapeAt = value.find('\x1b', escapeAt + 1);
        }
        const std::size_t segmentEnd = found == nullptr ? value.size() : escapeAt;
        result += m_charsetConversion.toUnicode(value.substr(position, segmentEnd - position));
        if (found == nullptr)
            break;
        position = escapeAt + std::strlen(found->m_escapeSequence);
        m_charsetConversion.initialize(found->m_isoRegistration);
    }
    return result;

    HALVORAN_FUNCTION_END()
}

std::string dataHandlerStringUnicode::convertFromUnicode(const std::wstring& value)
{
    HALVORAN_FUNCTION_START(L"dataHandlerStringUnicode::convertFromUnicode")

    m_bCharactersDropped = false;
    if (value.empty())
        return std::string();

    const dicomCharsetInformation* defaultRow =
        getCharsetInfo(m_charsetsList.empty() ? std::wstring(L"ISO 2022 IR 6") : m_charsetsList.front());

    if (m_charsetsList.size() == 1 && defaultRow != nullptr && defaultRow->m_escapeSequence[0] == 0)
    {
        // One character set without code extensions: what it cannot
        // represent is left out, the rest is kept.
        std::string whole = m_charsetConversion.fromUnicode(value);
        if (!whole.empty())
            return whole;
        std::string result;
        for (std::size_t i = 0; i < value.size();)
        {
            const std::size_t length = characterLength(value, i);
            const std::string bytes = m_charsetConversion.fromUnicode(value.substr(i, length));
            if (bytes.empty())
                m_bCharactersDropped = true;
            result += bytes;
            i += length;
        }
        return result;
    }

    saveCharsetConversionState saveState(&m_charsetConversion);
    const std::string defaultTable = m_charsetConversion.currentTableName();
    const char* g0Return = defaultTable == "ISO-IR 13" ? "\x1b\x28\x4a" : "\x1b\x28\x42";
    bool bG0MultiByte = false;

    // Candidate rows: those the value's list names first, then every row.
    std::vector<const dicomCharsetInformation*> candidates;
    for (const dicomCharsetInformation* row = charsetTable; row->m_dicomName != nullptr; ++row)
    {
        if (row->m_escapeSequence[0] != 0 &&
            std::find(m_charsetsList.begin(), m_charsetsList.end(), row->m_dicomName) != m_charsetsList.end())
            candidates.push_back(row);
    }
    for (const dicomCharsetInformation* row = charsetTable; row->m_dicomName != nullptr; ++row)
    {
        if (row->m_escapeSequence[0] != 0 && std::find(candidates.begin(), candidates.end(), row) == candidates.end())
            candidates.push_back(row);
    }

    std::string result;
    std::size_t i = 0;
    while (i < value.size())
    {
        std::size_t j = i;
        bool bReset = false;
        while (j < value.size())
        {
            const std::size_t length = characterLength(value, j);
            if (isResetDelimiter(value[j]) &&
                (bG0MultiByte || m_charsetConversion.currentTableName() != defaultTable))
            {
                bReset = true;
                break;
            }
            if (m_charsetConversion.fromUnicode(value.substr(j, length)).empty())
                break;
            j += length;
        }
        result += m_charsetConversion.fromUnicode(value.substr(i, j - i));
        i = j;
        if (i >= value.size())
            break;

        if (bReset)
        {
            if (bG0MultiByte)
                result += g0Return;
            bG0MultiByte = false;
            m_charsetConversion.initialize(defaultTable);
            continue;
        }

        const std::size_t length = characterLength(value, i);
        const std::wstring character = value.substr(i, length);
        const std::string previousTable = m_charsetConversion.currentTableName();
        bool bFound = false;
        for (const dicomCharsetInformation* row : candidates)
        {
            m_charsetConversion.initialize(row->m_isoRegistration);
            if (m_charsetConversion.fromUnicode(character).empty())
                continue;
            result += row->m_escapeSequence;
            bG0MultiByte = designatesMultiByteG0(row->m_escapeSequence);
            if (std::find(m_charsetsList.begin(), m_charsetsList.end(), row->m_dicomName) == m_charsetsList.end())
                m_charsetsList.push_back(row->m_dicomName);
            bFound = true;
            break;
        }
        if (!bFound)
        {
            m_charsetConversion.initialize(previousTable);
            m_bCharactersDropped = true;
            i += length;
        }
    }
    if (bG0MultiByte)
        result += g0Return;
    return result;

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran::Varnix::handlers
