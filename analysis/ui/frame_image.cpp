#include "analysis/ui/frame_image.h"

#include <QFile>

#include <turbojpeg.h>

#include <memory>

namespace kestrova::analysis {

namespace {

struct TjDeleter {
    void operator()(void* handle) const
    {
        if (handle)
            tjDestroy(handle);
    }
};

void SetError(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
}

} // namespace

cv::Mat DecodeJpegBytes(const unsigned char* data, std::size_t size, std::string* error)
{
    if (!data || size == 0) {
        SetError(error, "empty JPEG data");
        return {};
    }
    std::unique_ptr<void, TjDeleter> handle(tjInitDecompress());
    if (!handle) {
        SetError(error, "the JPEG decoder cannot be started");
        return {};
    }
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourspace = 0;
    const auto length = static_cast<unsigned long>(size);
    if (tjDecompressHeader3(handle.get(), data, length, &width, &height, &subsampling, &colourspace) != 0) {
        SetError(error, std::string("not a readable JPEG image: ") + tjGetErrorStr2(handle.get()));
        return {};
    }
    if (width <= 0 || height <= 0 || width > kMaxFrameSide || height > kMaxFrameSide) {
        SetError(error, "JPEG image size out of range");
        return {};
    }
    const bool grey = subsampling == TJSAMP_GRAY;
    cv::Mat frame(height, width, grey ? CV_8UC1 : CV_8UC3);
    const int format = grey ? TJPF_GRAY : TJPF_BGR;
    if (tjDecompress2(handle.get(), data, length, frame.data, width, static_cast<int>(frame.step[0]), height, format,
                      0) != 0) {
        // A warning (a truncated but displayable image) still gives pixels; an error does not.
        if (tjGetErrorCode(handle.get()) != TJERR_WARNING) {
            SetError(error, std::string("JPEG decoding failed: ") + tjGetErrorStr2(handle.get()));
            return {};
        }
    }
    return frame;
}

cv::Mat DecodeJpegFile(const QString& path, std::string* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        SetError(error, "cannot open " + path.toStdString());
        return {};
    }
    const QByteArray bytes = file.readAll();
    std::string why;
    cv::Mat frame = DecodeJpegBytes(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                    static_cast<std::size_t>(bytes.size()), &why);
    if (frame.empty())
        SetError(error, path.toStdString() + ": " + why);
    return frame;
}

QImage MatToImage(const cv::Mat& frame)
{
    if (frame.empty() || frame.depth() != CV_8U)
        return {};
    QImage::Format format;
    switch (frame.channels()) {
    case 1: format = QImage::Format_Grayscale8; break;
    case 3: format = QImage::Format_BGR888; break;
    case 4: format = QImage::Format_ARGB32; break; // BGRA in memory on little-endian machines
    default: return {};
    }
    const QImage view(frame.data, frame.cols, frame.rows, static_cast<qsizetype>(frame.step[0]), format);
    return view.copy();
}

} // namespace kestrova::analysis
