#include "import/core/jpeg_frame.h"

#include <turbojpeg.h>

#include <bit>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>

namespace studyimport {

namespace {

struct TjDeleter {
    void operator()(void* h) const { tjDestroy(static_cast<tjhandle>(h)); }
};

// Largest frame accepted for display (pixels), so a corrupt header cannot ask for an
// unreasonable buffer.
constexpr long long kMaxPixels = 16384LL * 16384LL;

} // namespace

bool DecodeFrameFile(const std::filesystem::path& path, DecodedFrame& frame, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path.string();
        return false;
    }
    const std::vector<unsigned char> jpeg((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    if (jpeg.empty() || jpeg.size() > std::numeric_limits<unsigned long>::max()) {
        error = "empty file " + path.string();
        return false;
    }
    std::unique_ptr<void, TjDeleter> tj(tjInitDecompress());
    if (!tj) {
        error = "cannot start the JPEG decoder";
        return false;
    }
    int width = 0, height = 0, subsamp = 0, colorspace = 0;
    if (tjDecompressHeader3(tj.get(), jpeg.data(), static_cast<unsigned long>(jpeg.size()), &width,
                            &height, &subsamp, &colorspace) != 0) {
        error = path.string() + " is not a JPEG image: " + tjGetErrorStr2(tj.get());
        return false;
    }
    if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > kMaxPixels) {
        error = path.string() + " has an unsupported size";
        return false;
    }
    DecodedFrame out;
    out.width = width;
    out.height = height;
    out.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    // BGRA bytes with alpha set form 0xAARRGGBB words on a little-endian machine,
    // ARGB bytes on a big-endian one.
    const int format = (std::endian::native == std::endian::little) ? TJPF_BGRA : TJPF_ARGB;
    if (tjDecompress2(tj.get(), jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                      reinterpret_cast<unsigned char*>(out.pixels.data()), width, 0, height,
                      format, 0) != 0 &&
        tjGetErrorCode(tj.get()) == TJERR_FATAL) {
        error = "cannot decode " + path.string() + ": " + tjGetErrorStr2(tj.get());
        return false;
    }
    frame = std::move(out);
    return true;
}

} // namespace studyimport
