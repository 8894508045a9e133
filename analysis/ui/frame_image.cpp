#include "analysis/ui/frame_image.h"

#include "analysis/core/frame_matrix.h"

#include <QFile>


namespace kestrova::analysis {

namespace {

void SetError(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
}

} // namespace

cv::Mat DecodeJpegBytes(const unsigned char* data, std::size_t size, std::string* error)
{
    try {
        return FrameMatrix(DecodeFrameBytes({data, size}, FramePixelFormat::AsStored));
    } catch (const FrameFileError& e) {
        SetError(error, e.what());
        return {};
    }
}

cv::Mat DecodeJpegFile(const QString& path, std::string* error)
{
    try {
        return ReadFrameMatrix(QFile::encodeName(path).toStdString(), FramePixelFormat::AsStored);
    } catch (const FrameFileError& e) {
        SetError(error, e.what());
        return {};
    }
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
