#include "analysis/core/frame_matrix.h"

namespace kestrova::analysis {

cv::Mat FrameMatrix(const FramePixels& pixels)
{
    if (pixels.bytes.empty())
        return {};
    const cv::Mat view(pixels.height, pixels.width, CV_8UC(pixels.channels),
                       const_cast<unsigned char*>(pixels.bytes.data()));
    return view.clone();
}

cv::Mat ReadFrameMatrix(const std::filesystem::path& path, FramePixelFormat format)
{
    return FrameMatrix(ReadFrameFile(path, format));
}

} // namespace kestrova::analysis
