// A frame read by the one frame-file reader (study/frame_reader.h) as a Qt image, for
// the windows that show frames.
#pragma once

#include "study/frame_reader.h"

#include <QImage>

// The reader's 0xAARRGGBB words (FramePixelFormat::Argb32) as an ARGB32 image.
QImage FrameImage(const FramePixels& frame);
