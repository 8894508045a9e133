// The one reader of frame files (the JPEG images of a recording), through libjpeg-turbo.
// Every window, the import, the analysis and the exports decode frame files here, with
// one size limit and one way of failing: FrameFileError with a reason that names the
// file. Plain bytes out; analysis/ui/frame_image.h wraps them as image matrices.
#pragma once

#include <cstddef>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <vector>

// A frame file cannot be read or decoded; the text names the file and the reason.
class FrameFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Largest frame accepted: each side at most kMaxFrameSide pixels and at most
// kMaxFramePixels pixels in all, so a corrupt header cannot ask for gigabytes.
inline constexpr int kMaxFrameSide = 16384;
inline constexpr long long kMaxFramePixels = 8192LL * 8192LL;

// The layout of the decoded pixels.
enum class FramePixelFormat {
    AsStored,  // Grey for a greyscale JPEG, else Bgr
    Grey,      // 1 byte per pixel (the JPEG's luminance)
    Bgr,       // 3 bytes per pixel: blue, green, red
    Argb32,    // one 32-bit word 0xAARRGGBB per pixel in the machine's byte order, alpha 0xFF
};

struct FramePixels {
    int width = 0;
    int height = 0;
    int channels = 0;  // bytes per pixel: 1, 3 or 4
    // Rows top to bottom without padding: width * channels bytes each.
    std::vector<unsigned char> bytes;
};

// Reads and decodes frame file `path`. A file cut short that still gives pixels (the
// decoder's warning) is accepted. Throws FrameFileError.
FramePixels ReadFrameFile(const std::filesystem::path& path, FramePixelFormat format);

// The same from JPEG bytes in memory; the reason then names no file.
FramePixels DecodeFrameBytes(std::span<const unsigned char> jpeg, FramePixelFormat format);

