#pragma once
// Decoding of one frame file (a JPEG image) for display, through libjpeg-turbo.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace studyimport {

struct DecodedFrame {
    int width = 0;
    int height = 0;
    // Pixels as 32-bit words 0xAARRGGBB in the machine's byte order (alpha 0xFF),
    // rows top to bottom without padding.
    std::vector<std::uint32_t> pixels;
};

// Decodes `path`; on failure returns false and puts the reason in `error`.
bool DecodeFrameFile(const std::filesystem::path& path, DecodedFrame& frame, std::string& error);

} // namespace studyimport
