#pragma once
// Small DICOM files written byte by byte for the tests: explicit VR, low byte first.
#include <filesystem>
#include <fstream>
#include <string>

namespace studyimport::testing {

inline std::string Le16(unsigned v) { return {char(v & 0xFF), char(v >> 8)}; }

// One explicit-VR element with a short length (a long one for OB).
inline std::string Element(unsigned group, unsigned element, const std::string& vr, std::string value)
{
    if (value.size() % 2)
        value.push_back(vr == "UI" || vr == "OB" ? '\0' : ' ');
    std::string e = Le16(group) + Le16(element) + vr;
    if (vr == "OB")
        e += std::string(2, '\0') + Le16(value.size() & 0xFFFF) + Le16(value.size() >> 16);
    else
        e += Le16(static_cast<unsigned>(value.size()));
    return e + value;
}

// A DICOM file of 8-bit grey width x height frames, explicit VR little endian, with
// (0028,0008) as given (nullptr: none) and the pixel bytes (in the file as they are,
// whatever the transfer syntax says).
inline std::string GreyFile(unsigned width, unsigned height, const char* frames, const std::string& pixels,
                            const std::string& transferSyntax = "1.2.840.10008.1.2.1")
{
    const std::string syntax = Element(0x0002, 0x0010, "UI", transferSyntax);
    std::string file = std::string(128, '\0') + "DICM" + syntax;
    file += Element(0x0010, 0x0010, "PN", "Hostile^File");
    file += Element(0x0028, 0x0002, "US", Le16(1)) + Element(0x0028, 0x0004, "CS", "MONOCHROME2");
    if (frames)
        file += Element(0x0028, 0x0008, "IS", frames);
    file += Element(0x0028, 0x0010, "US", Le16(height)) + Element(0x0028, 0x0011, "US", Le16(width));
    file += Element(0x0028, 0x0100, "US", Le16(8)) + Element(0x0028, 0x0101, "US", Le16(8)) +
            Element(0x0028, 0x0102, "US", Le16(7)) + Element(0x0028, 0x0103, "US", Le16(0));
    return file + Element(0x7FE0, 0x0010, "OB", pixels);
}

// Writes the bytes as the file at `path`; returns the path as text.
inline std::string WriteBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

} // namespace studyimport::testing
