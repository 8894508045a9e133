#pragma once

#include "dicom/base/baseObject.h"
#include "dicom/core/buffer.h"
#include "dicom/core/charsetsList.h"

#include <optional>
#include <string>
#include <vector>

namespace dicomtest
{

// UTF-8 to and from wide text through glibc's iconv (not the toolkit's own conversion);
// invalid input throws.
std::wstring fromUtf8(const std::string& text);
std::string toUtf8(const std::wstring& text);
std::string fromHex(const std::string& hex);
std::string toHex(const std::string& bytes);

// A buffer of the VR holding the bytes (written through a raw handler).
Halvoran::ptr<Halvoran::Varnix::buffer> makeBuffer(const std::string& vr, const std::string& bytes,
                                                   const Halvoran::Varnix::charsetsList::tCharsetsList& charsets = {});
// The committed bytes of a buffer.
std::string bufferBytes(const Halvoran::ptr<Halvoran::Varnix::buffer>& valueBuffer);

// Runs DCMTK on a person name stored as bytes under a Specific Character Set
// (dump2dcm, dcmconv +U8, dcmdump) and returns the name as UTF-8, or nothing
// when the tools are missing or refuse the set.
std::optional<std::string> dcmtkPersonNameUtf8(const std::string& specificCharacterSet, const std::string& bytes);

// One element of an explicit-VR data set with short length fields.
struct element
{
    std::uint16_t group;
    std::uint16_t tag;
    std::string vr;
    std::uint32_t offset;
    std::uint32_t length;
};
// Walks a data set written without meta header in explicit VR with 2-byte
// lengths (all elements of the fixtures are of such VRs).
std::vector<element> walkExplicitShort(const std::string& bytes, bool bBigEndian);
std::string readFile(const std::string& path);

} // namespace dicomtest
