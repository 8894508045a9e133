#include "app/frame_image.h"

#include <cstring>

QImage FrameImage(const FramePixels& frame)
{
    QImage image(frame.width, frame.height, QImage::Format_ARGB32);
    const std::size_t row = static_cast<std::size_t>(frame.width) * 4;
    for (int y = 0; y < frame.height; ++y)
        std::memcpy(image.scanLine(y), frame.bytes.data() + static_cast<std::size_t>(y) * row, row);
    return image;
}
