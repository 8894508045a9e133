#include "dicom_testutil.h"

#include "dicom/core/dataHandlerRaw.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace Halvoran;
using namespace Halvoran::Varnix;

namespace dicomtest
{

std::wstring fromUtf8(const std::string& text)
{
    std::wstring result;
    for (std::size_t i = 0; i < text.size();)
    {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        const int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
        std::uint32_t code = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        for (int k = 1; k <= extra && i + k < text.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        result.push_back(static_cast<wchar_t>(code));
        i += 1 + extra;
    }
    return result;
}

std::string toUtf8(const std::wstring& text)
{
    std::string result;
    for (wchar_t wc : text)
    {
        const std::uint32_t c = static_cast<std::uint32_t>(wc);
        if (c < 0x80)
            result.push_back(static_cast<char>(c));
        else if (c < 0x800)
        {
            result.push_back(static_cast<char>(0xC0 | (c >> 6)));
            result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
        else if (c < 0x10000)
        {
            result.push_back(static_cast<char>(0xE0 | (c >> 12)));
            result.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
        else
        {
            result.push_back(static_cast<char>(0xF0 | (c >> 18)));
            result.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return result;
}

std::string fromHex(const std::string& hex)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string toHex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (char c : bytes)
    {
        hex.push_back(digits[(static_cast<unsigned char>(c) >> 4) & 0xF]);
        hex.push_back(digits[static_cast<unsigned char>(c) & 0xF]);
    }
    return hex;
}

ptr<buffer> makeBuffer(const std::string& vr, const std::string& bytes, const charsetsList::tCharsetsList& charsets)
{
    ptr<buffer> valueBuffer(new buffer(ptr<baseObject>(new baseObject), vr));
    valueBuffer->setCharsetsList(&charsets);
    {
        ptr<handlers::dataHandlerRaw> raw = valueBuffer->getDataHandlerRaw(true, 0);
        raw->setSize(static_cast<std::uint32_t>(bytes.size()));
        if (!bytes.empty())
            std::memcpy(raw->getMemoryBuffer(), bytes.data(), bytes.size());
    }
    return valueBuffer;
}

std::string bufferBytes(const ptr<buffer>& valueBuffer)
{
    ptr<handlers::dataHandlerRaw> raw = valueBuffer->getDataHandlerRaw(false, 0);
    if (raw->getSize() == 0)
        return std::string();
    return std::string(reinterpret_cast<const char*>(raw->getMemoryBuffer()), raw->getSize());
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::optional<std::string> dcmtkPersonNameUtf8(const std::string& specificCharacterSet, const std::string& bytes)
{
    if (std::system("command -v dump2dcm >/dev/null 2>&1 && command -v dcmconv >/dev/null 2>&1") != 0)
        return std::nullopt;
    static int counter = 0;
    const std::string base = "/tmp/dicom_charset_oracle_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
    {
        std::ofstream dump(base + ".dump", std::ios::binary);
        dump << "(0008,0005) CS [" << specificCharacterSet << "]\n";
        dump << "(0010,0010) PN [" << bytes << "]\n";
    }
    const std::string command = "dump2dcm -q '" + base + ".dump' '" + base + ".dcm' 2>/dev/null && dcmconv -q +U8 '" +
                                base + ".dcm' '" + base + "_u8.dcm' 2>/dev/null && dcmdump -q +P 0010,0010 '" + base +
                                "_u8.dcm' > '" + base + ".txt' 2>/dev/null";
    const int status = std::system(command.c_str());
    const std::string output = readFile(base + ".txt");
    for (const char* suffix : {".dump", ".dcm", "_u8.dcm", ".txt"})
        std::remove((base + suffix).c_str());
    if (status != 0)
        return std::nullopt;
    const std::size_t open = output.find('[');
    const std::size_t close = output.rfind(']');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return std::nullopt;
    return output.substr(open + 1, close - open - 1);
}

std::vector<element> walkExplicitShort(const std::string& bytes, bool bBigEndian)
{
    auto u16 = [&](std::size_t at) {
        const unsigned char a = static_cast<unsigned char>(bytes[at]);
        const unsigned char b = static_cast<unsigned char>(bytes[at + 1]);
        return static_cast<std::uint16_t>(bBigEndian ? (a << 8) | b : (b << 8) | a);
    };
    std::vector<element> elements;
    for (std::size_t at = 0; at + 8 <= bytes.size();)
    {
        element e{u16(at), u16(at + 2), bytes.substr(at + 4, 2), static_cast<std::uint32_t>(at + 8), u16(at + 6)};
        elements.push_back(e);
        at += 8 + e.length;
    }
    return elements;
}

} // namespace dicomtest
