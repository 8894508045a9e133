#include "dicom/base/charsetConversion.h"

#include "dicom/base/exceptionsManager.h"

#include <cerrno>
#include <iconv.h>

namespace Halvoran
{

namespace
{
// Row numbers with a codec of their own.
enum : int
{
    rowLocale = 0,
    rowAscii = 1,
    rowJisX0201 = 11,
    rowThai = 12,
    rowJisX0208 = 13,
    rowJisX0212 = 14,
    rowKsc5601 = 15,
    rowUtf8 = 16,
    rowGb18030 = 17
};

const charsetConversion::tableRow charsetTable[charsetConversion::tableRowsCount] = {
    {"LOCALE", "", 0, false},
    {"ISO-IR 6", "ASCII", 20127, false},
    {"ISO-8859-1", "ISO-8859-1", 28591, false},
    {"ISO-8859-2", "ISO-8859-2", 28592, false},
    {"ISO-8859-3", "ISO-8859-3", 28593, false},
    {"ISO-8859-4", "ISO-8859-4", 28594, false},
    {"ISO-8859-5", "ISO-8859-5", 28595, false},
    {"ISO-8859-6", "ISO-8859-6", 28596, false},
    {"ISO-8859-7", "ISO-8859-7", 28597, false},
    {"ISO-8859-8", "ISO-8859-8", 28598, false},
    {"ISO-8859-9", "ISO-8859-9", 28599, false},
    {"ISO-IR 13", "JIS-X0201", 50222, true},
    {"ISO-IR 166", "ISO-8859-11", 874, false},
    {"ISO-IR 87", "JIS-X0208", 20932, false},
    {"ISO-IR 159", "JIS-X0212", 20932, false},
    {"ISO-IR 149", "KSC-5601", 50225, false},
    {"ISO-IR 192", "UTF-8", 65001, true},
    {"GB18030", "GB18030", 54936, true},
};

// The iconv codec behind each row (the JIS and KS rows go through the
// 8-bit EUC forms, reached by setting or clearing the high bits).
const char* iconvName(int row)
{
    switch (row)
    {
    case rowLocale:
        return "UTF-8";
    case rowAscii:
        return "ISO-8859-1";
    case rowJisX0201:
        return nullptr;
    case rowThai:
        return "ISO-8859-11";
    case rowJisX0208:
    case rowJisX0212:
        return "EUC-JP";
    case rowKsc5601:
        return "EUC-KR";
    case rowUtf8:
        return "UTF-8";
    case rowGb18030:
        return "GB18030";
    default:
        return charsetTable[row].isoName;
    }
}

const iconv_t noCodec = reinterpret_cast<iconv_t>(-1);

bool isGraphic94(std::uint8_t b)
{
    return b >= 0x21 && b <= 0x7E;
}
} // namespace

const charsetConversion::tableRow* charsetConversion::getTable()
{
    return charsetTable;
}

charsetConversion::charsetConversion()
    : m_codePage(0), m_bZeroFlag(false), m_row(-1), m_toUnicode(nullptr), m_fromUnicode(nullptr)
{
}

charsetConversion::charsetConversion(const charsetConversion& other) : charsetConversion()
{
    if (!other.m_isoCharset.empty())
        initialize(other.m_isoCharset);
}

charsetConversion& charsetConversion::operator=(const charsetConversion& other)
{
    if (this != &other)
    {
        if (other.m_isoCharset.empty())
            close();
        else
            initialize(other.m_isoCharset);
    }
    return *this;
}

charsetConversion::~charsetConversion()
{
    closeCodecs();
}

int charsetConversion::findTable(const std::string& name)
{
    HALVORAN_FUNCTION_START(L"charsetConversion::findTable")

    for (int row = 0; row < tableRowsCount; ++row)
    {
        if (name == charsetTable[row].alias || name == charsetTable[row].isoName)
            return row;
    }
    return -1;

    HALVORAN_FUNCTION_END()
}

void charsetConversion::initialize(const std::string& name)
{
    HALVORAN_FUNCTION_START(L"charsetConversion::initialize")

    const int row = findTable(name);
    if (row < 0)
    {
        close();
        HALVORAN_THROW(charsetConversionExceptionNoTable, "The requested ISO table doesn't exist");
    }
    if (m_isoCharset == charsetTable[row].isoName)
        return;
    close();
    m_isoCharset = charsetTable[row].isoName;
    m_codePage = charsetTable[row].codePage;
    m_bZeroFlag = charsetTable[row].noMappingCheck;
    m_row = row;

    HALVORAN_FUNCTION_END()
}

void charsetConversion::close()
{
    HALVORAN_FUNCTION_START(L"charsetConversion::close")

    closeCodecs();
    m_isoCharset.clear();
    m_codePage = 0;
    m_bZeroFlag = false;
    m_row = -1;

    HALVORAN_FUNCTION_END()
}

std::string charsetConversion::currentTableName() const
{
    return m_isoCharset;
}

void charsetConversion::closeCodecs()
{
    if (m_toUnicode != nullptr && static_cast<iconv_t>(m_toUnicode) != noCodec)
        iconv_close(static_cast<iconv_t>(m_toUnicode));
    if (m_fromUnicode != nullptr && static_cast<iconv_t>(m_fromUnicode) != noCodec)
        iconv_close(static_cast<iconv_t>(m_fromUnicode));
    m_toUnicode = nullptr;
    m_fromUnicode = nullptr;
}

std::wstring charsetConversion::iconvDecode(const std::string& bytes)
{
    const int row = m_row < 0 ? rowLocale : m_row;
    if (m_toUnicode == nullptr)
        m_toUnicode = iconv_open("WCHAR_T", iconvName(row));
    iconv_t codec = static_cast<iconv_t>(m_toUnicode);
    std::wstring result;
    if (codec == noCodec)
    {
        result.assign(bytes.size(), L'\uFFFD');
        return result;
    }
    iconv(codec, nullptr, nullptr, nullptr, nullptr);

    result.reserve(bytes.size());
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    wchar_t chunk[256];
    while (inLeft != 0)
    {
        char* out = reinterpret_cast<char*>(chunk);
        size_t outLeft = sizeof(chunk);
        const size_t status = iconv(codec, &in, &inLeft, &out, &outLeft);
        result.append(chunk, static_cast<size_t>(reinterpret_cast<wchar_t*>(out) - chunk));
        if (status != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG)
            continue;
        // Invalid or incomplete sequence: one replacement character per
        // offending byte, then go on.
        result.push_back(L'\uFFFD');
        ++in;
        --inLeft;
        iconv(codec, nullptr, nullptr, nullptr, nullptr);
    }
    return result;
}

bool charsetConversion::iconvEncode(const std::wstring& text, std::string& result)
{
    const int row = m_row < 0 ? rowLocale : m_row;
    if (m_fromUnicode == nullptr)
        m_fromUnicode = iconv_open(iconvName(row), "WCHAR_T");
    iconv_t codec = static_cast<iconv_t>(m_fromUnicode);
    if (codec == noCodec)
        return false;
    iconv(codec, nullptr, nullptr, nullptr, nullptr);

    result.clear();
    char* in = reinterpret_cast<char*>(const_cast<wchar_t*>(text.data()));
    size_t inLeft = text.size() * sizeof(wchar_t);
    char chunk[1024];
    for (;;)
    {
        char* out = chunk;
        size_t outLeft = sizeof(chunk);
        const size_t status = iconv(codec, inLeft == 0 ? nullptr : &in, &inLeft, &out, &outLeft);
        result.append(chunk, static_cast<size_t>(out - chunk));
        if (status != static_cast<size_t>(-1))
        {
            if (inLeft == 0)
            {
                // Flush the shift state (a no-op for the stateless codecs used here).
                out = chunk;
                outLeft = sizeof(chunk);
                iconv(codec, nullptr, nullptr, &out, &outLeft);
                result.append(chunk, static_cast<size_t>(out - chunk));
                return true;
            }
            continue;
        }
        if (errno != E2BIG)
            return false;
    }
}

std::string charsetConversion::fromUnicode(const std::wstring& text)
{
    HALVORAN_FUNCTION_START(L"charsetConversion::fromUnicode")

    if (text.empty())
        return std::string();

    std::string result;
    switch (m_row)
    {
    case rowAscii:
        for (wchar_t c : text)
        {
            if (static_cast<std::uint32_t>(c) > 0x7F)
                return std::string();
            result.push_back(static_cast<char>(c));
        }
        return result;

    case rowJisX0201:
        for (wchar_t c : text)
        {
            const std::uint32_t code = static_cast<std::uint32_t>(c);
            if (code <= 0x7F)
                result.push_back(static_cast<char>(code));
            else if (code >= 0xFF61 && code <= 0xFF9F)
                result.push_back(static_cast<char>(0xA1 + (code - 0xFF61)));
            else
                return std::string();
        }
        return result;

    case rowJisX0208:
    case rowJisX0212: {
        std::string euc;
        if (!iconvEncode(text, euc))
            return std::string();
        // Only two-byte JIS X 0208 codes (or three-byte 0x8F JIS X 0212
        // codes) belong to the set; ASCII and half-width katakana do not.
        for (size_t i = 0; i < euc.size();)
        {
            const std::uint8_t b = static_cast<std::uint8_t>(euc[i]);
            if (m_row == rowJisX0208)
            {
                if (b < 0xA1 || b == 0xFF || i + 1 >= euc.size())
                    return std::string();
                result.push_back(static_cast<char>(b & 0x7F));
                result.push_back(static_cast<char>(static_cast<std::uint8_t>(euc[i + 1]) & 0x7F));
                i += 2;
            }
            else
            {
                if (b != 0x8F || i + 2 >= euc.size())
                    return std::string();
                result.push_back(static_cast<char>(static_cast<std::uint8_t>(euc[i + 1]) & 0x7F));
                result.push_back(static_cast<char>(static_cast<std::uint8_t>(euc[i + 2]) & 0x7F));
                i += 3;
            }
        }
        return result;
    }

    default:
        if (!iconvEncode(text, result))
            return std::string();
        return result;
    }

    HALVORAN_FUNCTION_END()
}

std::wstring charsetConversion::toUnicode(const std::string& text)
{
    HALVORAN_FUNCTION_START(L"charsetConversion::toUnicode")

    if (text.empty())
        return std::wstring();

    switch (m_row)
    {
    case rowJisX0201: {
        std::wstring result;
        result.reserve(text.size());
        for (char c : text)
        {
            const std::uint8_t b = static_cast<std::uint8_t>(c);
            if (b <= 0x7F)
                result.push_back(static_cast<wchar_t>(b));
            else if (b >= 0xA1 && b <= 0xDF)
                result.push_back(static_cast<wchar_t>(0xFF61 + (b - 0xA1)));
            else
                result.push_back(L'\uFFFD');
        }
        return result;
    }

    case rowJisX0208: {
        std::string euc(text);
        for (char& c : euc)
        {
            if (isGraphic94(static_cast<std::uint8_t>(c)))
                c = static_cast<char>(static_cast<std::uint8_t>(c) | 0x80);
        }
        return iconvDecode(euc);
    }

    case rowJisX0212: {
        std::string euc;
        euc.reserve(text.size() * 3 / 2 + 1);
        for (size_t i = 0; i < text.size(); ++i)
        {
            const std::uint8_t b = static_cast<std::uint8_t>(text[i]);
            if (isGraphic94(b) && i + 1 < text.size() && isGraphic94(static_cast<std::uint8_t>(text[i + 1])))
            {
                euc.push_back(static_cast<char>(0x8F));
                euc.push_back(static_cast<char>(b | 0x80));
                euc.push_back(static_cast<char>(static_cast<std::uint8_t>(text[i + 1]) | 0x80));
                ++i;
            }
            else
                euc.push_back(static_cast<char>(b));
        }
        return iconvDecode(euc);
    }

    default:
        return iconvDecode(text);
    }

    HALVORAN_FUNCTION_END()
}

} // namespace Halvoran
