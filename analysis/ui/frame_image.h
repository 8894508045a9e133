// Frame files for the windows: the one frame-file reader (study/frame_reader.h) with an
// empty matrix and a reason instead of an exception, and the hand-over of decoded frames
// between the image library's matrices (what the analysis works on) and Qt images (what
// the windows show). A frame is decoded once, in memory; the snake and the screen see the
// same pixels.
#pragma once

#include <QImage>
#include <QString>

#include <opencv2/core.hpp>

#include <string>

namespace kestrova::analysis {

// Decodes a JPEG frame file: an 8-bit grey matrix (CV_8UC1) for a greyscale JPEG, else
// an 8-bit blue-green-red matrix (CV_8UC3). Returns an empty matrix and sets `error`
// (when given) to the reader's reason when the file cannot be read or decoded.
cv::Mat DecodeJpegFile(const QString& path, std::string* error = nullptr);
// The same from bytes in memory.
cv::Mat DecodeJpegBytes(const unsigned char* data, std::size_t size, std::string* error = nullptr);

// A deep copy of an 8-bit grey, BGR or BGRA matrix as a Qt image; a null image for
// anything else.
QImage MatToImage(const cv::Mat& frame);

} // namespace kestrova::analysis
