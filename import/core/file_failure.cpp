#include "import/core/file_failure.h"

#include "dicom/base/exceptionsManager.h"
#include "dicom/base/streamException.h"
#include "dicom/core/codec.h"
#include "dicom/core/dataSet.h"
#include "dicom/core/jpegCodec.h"
#include "import/core/frame_extractor.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <typeinfo>

namespace studyimport {

namespace {

using namespace Halvoran;
using namespace Halvoran::Varnix;

// The innermost exception of a chain of nested ones.
std::exception_ptr Innermost(std::exception_ptr e)
{
    for (;;) {
        try {
            std::rethrow_exception(e);
        } catch (const std::nested_exception& nested) {
            if (!nested.nested_ptr())
                return e;
            e = nested.nested_ptr();
        } catch (...) {
            return e;
        }
    }
}

bool IsToolkitException(const std::exception& e)
{
    return exceptionsManager::typeName(typeid(e)).rfind("Halvoran::", 0) == 0;
}

std::string WhatOf(std::exception_ptr e)
{
    try {
        if (e)
            std::rethrow_exception(e);
    } catch (const std::exception& ex) {
        return ex.what();
    } catch (...) {
    }
    return {};
}

std::string ReadHead(const std::string& path, std::size_t bytes)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return {};
    std::string head(bytes, '\0');
    file.read(head.data(), static_cast<std::streamsize>(bytes));
    head.resize(static_cast<std::size_t>(file.gcount()));
    return head;
}

// What the start of a file says about it.
struct FileStart {
    bool dicom = false;          // "DICM" after the preamble, or an old NEMA start
    std::string transferSyntax;  // (0002,0010), empty when the file has no meta group
};

std::uint32_t Le(const std::string& b, std::size_t at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<std::uint8_t>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

FileStart ReadFileStart(const std::string& path)
{
    FileStart start;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return start;
    const std::string head = ReadHead(path, 64 * 1024);
    if (head.size() >= 132 && head.compare(128, 4, "DICM") == 0) {
        start.dicom = true;
        // The meta group: explicit VR, low byte first.
        for (std::size_t at = 132; at + 8 <= head.size() && Le(head, at, 2) == 0x0002;) {
            const std::uint32_t element = Le(head, at + 2, 2);
            const std::string vr = head.substr(at + 4, 2);
            const bool longForm = vr == "OB" || vr == "OW" || vr == "OF" || vr == "SQ" || vr == "UT" || vr == "UN";
            if (longForm && at + 12 > head.size())
                break;
            const std::size_t header = longForm ? 12 : 8;
            const std::size_t length = longForm ? Le(head, at + 8, 4) : Le(head, at + 6, 2);
            if (length > head.size() - at - header)
                break;
            if (element == 0x0010) {
                std::string uid = head.substr(at + header, length);
                while (!uid.empty() && (uid.back() == '\0' || uid.back() == ' '))
                    uid.pop_back();
                start.transferSyntax = uid;
            }
            at += header + length;
        }
        return start;
    }
    // An old NEMA file: a group 0008 tag (short element, short length) at offset 0.
    start.dicom = head.size() >= 8 && head[0] == 0x08 && head[1] == 0 && head[3] == 0 && head[6] == 0 &&
                  head[7] == 0;
    return start;
}

// The start-of-frame marker of the first JPEG stream in the file's first bytes (0 when
// none is found): its marker segments are walked from the start-of-image marker on.
std::uint8_t FirstJpegFrameMarker(const std::string& path)
{
    const std::string head = ReadHead(path, 1024 * 1024);
    const std::size_t soi = head.find(std::string("\xFF\xD8\xFF", 3));
    if (soi == std::string::npos)
        return 0;
    for (std::size_t at = soi + 2; at + 4 <= head.size();) {
        if (static_cast<std::uint8_t>(head[at]) != 0xFF)
            return 0;
        const std::uint8_t marker = static_cast<std::uint8_t>(head[at + 1]);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return marker;
        if (marker == 0xD9 || marker == 0xDA) // end of image, start of scan: no frame header before
            return 0;
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += 2;
            continue;
        }
        at += 2 + ((static_cast<std::uint8_t>(head[at + 2]) << 8) | static_cast<std::uint8_t>(head[at + 3]));
    }
    return 0;
}

bool Contains(const std::string& text, const std::string& word)
{
    const auto lower = [](std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return s;
    };
    return lower(text).find(lower(word)) != std::string::npos;
}

// Which JPEG process the decoder refused: from its text when it says so, else from the
// frame header of the file's JPEG stream.
std::string JpegKind(const std::string& path, const std::string& text)
{
    if (Contains(text, "progressive"))
        return "progressive JPEG";
    if (Contains(text, "arithmetic"))
        return "arithmetic-coded JPEG";
    const std::uint8_t marker = FirstJpegFrameMarker(path);
    if (marker >= 0xC9)
        return "arithmetic-coded JPEG";
    if (marker == 0xC2 || marker == 0xC6)
        return "progressive JPEG";
    if (marker == 0xC5 || marker == 0xC7)
        return "hierarchical JPEG";
    return "a JPEG process other than baseline, extended and lossless";
}

std::string Compression(const std::string& name)
{
    return "uses a compression this workstation does not read (" + name + ")";
}

// A transfer syntax that no reader here handles, as the user is told of it (empty when
// the file's syntax is read here): the compression by name, or the syntax as unknown.
std::string UnreadSyntax(const std::string& uid)
{
    if (const auto compression = UnreadCompression(uid))
        return Compression(*compression);
    if (!TransferSyntaxSupported(uid))
        return "uses a transfer syntax this workstation does not read";
    return {};
}

// The detail line of a refused transfer syntax: its UID, and the technical text when
// that does not already name it.
std::string SyntaxDetail(const std::string& uid, const std::string& text)
{
    if (text.empty() || text.find(uid) != std::string::npos)
        return "transfer syntax " + uid;
    return "transfer syntax " + uid + " (" + text + ")";
}

std::string FileName(const std::string& path)
{
    const std::string name = std::filesystem::path(path).filename().string();
    return name.empty() ? path : name;
}

bool IsFolder(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

bool Exists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

} // namespace

std::optional<std::string> UnreadCompression(const std::string& uid)
{
    if (uid == "1.2.840.10008.1.2.1.99")
        return "deflate";
    const std::string jpeg = "1.2.840.10008.1.2.4.";
    if (uid.rfind(jpeg, 0) != 0)
        return std::nullopt;
    // The process number, without the suffix of a fragmentable variant (".100.1").
    std::string n = uid.substr(jpeg.size());
    n = n.substr(0, n.find('.'));
    int number = 0;
    for (const char c : n) {
        if (c < '0' || c > '9' || number > 100000)
            return "an unknown JPEG process";
        number = number * 10 + (c - '0');
    }
    switch (number) {
    case 50: case 51: case 57: case 70: // baseline, extended, lossless: read here
        return std::nullopt;
    case 52: case 58:
        return "arithmetic-coded JPEG";
    case 53: case 54: case 55: case 56:
        return "progressive JPEG";
    case 59: case 60: case 61: case 62: case 63: case 64: case 65: case 66:
        return "hierarchical JPEG";
    case 80: case 81:
        return "JPEG-LS";
    case 90: case 91: case 92: case 93:
        return "JPEG 2000";
    case 94: case 95:
        return "JPEG 2000 by reference (JPIP)";
    case 100: case 101:
        return "MPEG-2 video";
    case 102: case 103: case 104: case 105: case 106:
        return "MPEG-4 video";
    case 107: case 108:
        return "HEVC video";
    case 110: case 111: case 112:
        return "JPEG XL";
    case 201: case 202: case 203:
        return "High-Throughput JPEG 2000";
    case 204: case 205:
        return "High-Throughput JPEG 2000 by reference (JPIP)";
    default:
        return "an unknown JPEG process";
    }
}

bool IsDicomToolkitFailure(std::exception_ptr error)
{
    if (!error)
        return false;
    try {
        std::rethrow_exception(Innermost(error));
    } catch (const std::exception& e) {
        return IsToolkitException(e);
    } catch (...) {
    }
    return false;
}

std::string FileFailureText(const std::string& path, std::exception_ptr error)
{
    const std::string file = "The file \"" + FileName(path) + "\" ";
    try {
        if (error)
            std::rethrow_exception(Innermost(error));
    } catch (const std::exception& e) {
        if (IsToolkitException(e)) {
            const std::string detail = e.what();
            const auto told = [&](const std::string& reason) { return file + reason + ".\nDetail: " + detail; };
            if (dynamic_cast<const streamExceptionOpen*>(&e) || dynamic_cast<const streamExceptionRead*>(&e)) {
                if (IsFolder(path))
                    return told("is a folder, not a file");
                if (!Exists(path))
                    return told("cannot be found");
                return told(dynamic_cast<const streamExceptionOpen*>(&e) ? "cannot be opened: check that you may read it"
                                                                         : "cannot be read from the disk");
            }
            if (dynamic_cast<const codecs::jpegCodecCannotHandleSyntax*>(&e))
                return told(Compression(JpegKind(path, detail)));
            const FileStart start = ReadFileStart(path);
            if (!start.dicom || dynamic_cast<const codecs::codecExceptionWrongFormat*>(&e))
                return told("is not a DICOM file");
            if (const std::string unread = UnreadSyntax(start.transferSyntax); !unread.empty())
                return file + unread + ".\nDetail: " + SyntaxDetail(start.transferSyntax, detail);
            if (dynamic_cast<const streamExceptionEOF*>(&e))
                return told("is incomplete: it ends before its last value");
            // A frame that the offset table does not find is a damaged table.
            if (dynamic_cast<const codecs::codecExceptionCorruptedFile*>(&e) ||
                dynamic_cast<const dataSetCorruptedOffsetTable*>(&e) ||
                (dynamic_cast<const dataSetImageDoesntExist*>(&e) && Contains(detail, "offset")))
                return told("is damaged");
            if (dynamic_cast<const dataSetImageDoesntExist*>(&e))
                return told("holds no image this workstation can read");
            return told("cannot be read");
        }
    } catch (...) {
    }
    // The importer's own texts are meant for the user; a file that is not DICOM at all, or
    // uses a compression no reader here handles, is said so first.
    const std::string outer = WhatOf(error);
    if (IsFolder(path))
        return file + "is a folder, not a file" + (outer.empty() ? "." : ".\nDetail: " + outer);
    const FileStart start = ReadFileStart(path);
    if (!start.dicom && Exists(path))
        return file + "is not a DICOM file" + (outer.empty() ? "." : ".\nDetail: " + outer);
    if (start.dicom) {
        if (const std::string unread = UnreadSyntax(start.transferSyntax); !unread.empty())
            return file + unread + ".\nDetail: " + SyntaxDetail(start.transferSyntax, outer);
    }
    return file + "cannot be imported" + (outer.empty() ? "." : ": " + outer);
}

} // namespace studyimport
