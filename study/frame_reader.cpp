#include "study/frame_reader.h"

#include <turbojpeg.h>

#include <bit>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <string>

namespace {

struct TjDeleter {
    void operator()(void* handle) const
    {
        if (handle)
            tjDestroy(handle);
    }
};
using TjHandle = std::unique_ptr<void, TjDeleter>;

// What is being read, for the reasons: the file's path, or nothing for bytes in memory.
struct Source {
    std::string path;
    std::string Subject() const { return path.empty() ? std::string("the JPEG image") : path; }
};

std::vector<unsigned char> ReadBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw FrameFileError("cannot open " + path.string());
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty())
        throw FrameFileError("empty file " + path.string());
    return bytes;
}

TjHandle StartDecoder()
{
    TjHandle handle(tjInitDecompress());
    if (!handle)
        throw FrameFileError("cannot start the JPEG decoder");
    return handle;
}

struct Header {
    int width = 0;
    int height = 0;
    int subsampling = 0;
};

Header ReadHeader(void* handle, std::span<const unsigned char> jpeg, const Source& source)
{
    if (jpeg.empty())
        throw FrameFileError("empty JPEG data");
    if (jpeg.size() > std::numeric_limits<unsigned long>::max())
        throw FrameFileError(source.Subject() + " has an unsupported size");
    Header h;
    int colourspace = 0;
    if (tjDecompressHeader3(handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()), &h.width, &h.height,
                            &h.subsampling, &colourspace) != 0)
        throw FrameFileError(source.Subject() + " is not a JPEG image: " + tjGetErrorStr2(handle));
    if (h.width <= 0 || h.height <= 0 || h.width > kMaxFrameSide || h.height > kMaxFrameSide ||
        static_cast<long long>(h.width) * h.height > kMaxFramePixels)
        throw FrameFileError(source.Subject() + " has an unsupported size");
    return h;
}

FramePixels Decode(std::span<const unsigned char> jpeg, FramePixelFormat format, const Source& source)
{
    const TjHandle handle = StartDecoder();
    const Header h = ReadHeader(handle.get(), jpeg, source);
    if (format == FramePixelFormat::AsStored)
        format = h.subsampling == TJSAMP_GRAY ? FramePixelFormat::Grey : FramePixelFormat::Bgr;
    int tjFormat = TJPF_GRAY;
    FramePixels frame;
    frame.width = h.width;
    frame.height = h.height;
    switch (format) {
    case FramePixelFormat::Grey: frame.channels = 1; tjFormat = TJPF_GRAY; break;
    case FramePixelFormat::Bgr: frame.channels = 3; tjFormat = TJPF_BGR; break;
    default:
        // BGRA bytes with alpha set form 0xAARRGGBB words on a little-endian machine,
        // ARGB bytes on a big-endian one.
        frame.channels = 4;
        tjFormat = std::endian::native == std::endian::little ? TJPF_BGRA : TJPF_ARGB;
        break;
    }
    frame.bytes.resize(static_cast<std::size_t>(h.width) * static_cast<std::size_t>(h.height) *
                       static_cast<std::size_t>(frame.channels));
    if (tjDecompress2(handle.get(), jpeg.data(), static_cast<unsigned long>(jpeg.size()), frame.bytes.data(), h.width,
                      h.width * frame.channels, h.height, tjFormat, 0) != 0 &&
        tjGetErrorCode(handle.get()) != TJERR_WARNING)
        throw FrameFileError("cannot decode " + source.Subject() + ": " + tjGetErrorStr2(handle.get()));
    return frame;
}

} // namespace

FramePixels ReadFrameFile(const std::filesystem::path& path, FramePixelFormat format)
{
    const std::vector<unsigned char> jpeg = ReadBytes(path);
    return Decode(jpeg, format, Source{path.string()});
}

FramePixels DecodeFrameBytes(std::span<const unsigned char> jpeg, FramePixelFormat format)
{
    return Decode(jpeg, format, Source{});
}

