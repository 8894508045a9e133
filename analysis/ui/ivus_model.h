// The IVUS window's rules that need no window: the geometry of the frame strip, its
// scrolling, and the propagation of a frame's contours to the following frames.
#pragma once

#include "analysis/core/contour_refinement.h"
#include "study/contour.h"

#include <opencv2/core.hpp>

#include <functional>
#include <vector>

namespace kestrova::analysis {

// At most this many cells are built, whatever the number of analysed frames.
inline constexpr int kMaxStripCells = 30;
// A cell is the frame plus a 12-pixel border on every side; cells are 8 pixels apart.
inline constexpr int kCellBorder = 12;
inline constexpr int kCellGap = 8;

struct StripLayout {
    int visibleCells = 0;   // cells laid out in the view
    int firstVisible = 0;   // analysed frame shown in the first cell
    int x0 = 0;             // left edge of the first cell
    int y0 = kCellGap;      // top of every cell
    int cellWidth = 0;      // frame width + 24
    int cellHeight = 0;     // frame height + 24

    // Left edge of cell i.
    int CellLeft(int i) const { return x0 + i * (cellWidth + kCellGap); }
};

// Number of cells built for `frameCount` analysed frames.
inline int StripCellCount(int frameCount) { return frameCount < kMaxStripCells ? frameCount : kMaxStripCells; }

// Lays the strip out in a view of `viewWidth` x `viewHeight` pixels. The number of cells
// is counted as if each took the view's height plus 8 pixels: (w - 8) / (h + 8), all
// frames (and the first frame first) when there are fewer, never more than the cells
// built. The first cell starts at (w - visible (h + 8) - 8) / 2 + 8, 8 pixels down.
StripLayout LayoutStrip(int viewWidth, int viewHeight, int frameWidth, int frameHeight, int frameCount,
                        int firstVisible);

// The first visible frame after scrolling one cell: step -1 moves left while the first
// frame is not shown, +1 moves right while the last frame is not shown.
int ScrollStrip(int firstVisible, int step, int frameCount, int visibleCells);

// The image pixel of a view position inside a cell's image rectangle whose top-left
// corner is (left, top): the offset truncated toward zero and kept inside the image,
// so that a position on the right or bottom edge of the rectangle (which counts as
// inside) names the last pixel, not one past it.
PixelPoint ViewToImagePixel(double x, double y, int left, int top, int imageWidth, int imageHeight);

// Loads analysed frame k as stored; an empty matrix when it cannot be loaded.
using AnalysedFrameLoader = std::function<cv::Mat(int k)>;

// Carries wall `shown[k]` to frames k + 1 .. k + n: for each frame j from k on, frame
// j + 1's initial contour becomes a copy of frame j's shown contour, and frame j's shown
// contour is refined on frame j + 1's image into frame j + 1's shown contour, which is
// then smoothed around `centre`. Each result is the next frame's source. A frame whose
// image cannot be loaded keeps its shown contour (the smoothing still runs on it).
// `step` is called after every frame. Returns the image of the last frame reached.
// The caller keeps k + n below the lists' length.
cv::Mat PropagateWall(FrameContourList& shown, FrameContourList& initial, int k, int n, const AnalysedFrameLoader& load,
                      PixelPoint centre, const RefinementParameters& parameters, const std::function<void()>& step);

} // namespace kestrova::analysis
