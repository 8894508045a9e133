#include "dicom_testutil.h"

#include "dicom/core/dataHandlerRaw.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iconv.h>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

using namespace Halvoran;
using namespace Halvoran::Varnix;

namespace dicomtest
{

namespace
{
// Converts through glibc's iconv, which shares no code with the toolkit's own UTF-8
// writer; input that is not valid in its encoding throws, so a test sees it at once.
std::string convert(const char* to, const char* from, const char* bytes, std::size_t size)
{
    iconv_t codec = iconv_open(to, from);
    if (codec == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    std::string result(size * 4 + 16, '\0');
    char* in = const_cast<char*>(bytes);
    std::size_t inLeft = size;
    char* out = result.data();
    std::size_t outLeft = result.size();
    const std::size_t status = iconv(codec, &in, &inLeft, &out, &outLeft);
    iconv_close(codec);
    if (status == static_cast<std::size_t>(-1))
        throw std::runtime_error(std::string("not valid ") + from + " at byte " + std::to_string(size - inLeft));
    result.resize(result.size() - outLeft);
    return result;
}
} // namespace

std::wstring fromUtf8(const std::string& text)
{
    const std::string wide = convert("WCHAR_T", "UTF-8", text.data(), text.size());
    std::wstring result(wide.size() / sizeof(wchar_t), L'\0');
    if (!result.empty())
        std::memcpy(result.data(), wide.data(), result.size() * sizeof(wchar_t));
    return result;
}

std::string toUtf8(const std::wstring& text)
{
    return convert("UTF-8", "WCHAR_T", reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
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
