// Frame files as image matrices: the one frame-file reader (study/frame_reader.h) with
// its pixels in an OpenCV matrix, for the analysis, the import and the windows.
#pragma once

#include "study/frame_reader.h"

#include <opencv2/core.hpp>

#include <filesystem>

namespace kestrova::analysis {

// The decoded pixels as a matrix of their own: CV_8UC1 (grey), CV_8UC3 (blue-green-red)
// or CV_8UC4 (one 0xAARRGGBB word per pixel).
cv::Mat FrameMatrix(const FramePixels& pixels);

// Reads frame file `path` into a matrix. Throws FrameFileError.
cv::Mat ReadFrameMatrix(const std::filesystem::path& path, FramePixelFormat format);

} // namespace kestrova::analysis
