#include "analysis/ui/ivus_model.h"

#include "analysis/core/polar_smoothing.h"

#include <algorithm>
#include <cmath>

namespace kestrova::analysis {

StripLayout LayoutStrip(int viewWidth, int viewHeight, int frameWidth, int frameHeight, int frameCount,
                        int firstVisible)
{
    StripLayout layout;
    layout.cellWidth = frameWidth + 2 * kCellBorder;
    layout.cellHeight = frameHeight + 2 * kCellBorder;
    layout.firstVisible = firstVisible;
    const int pitch = viewHeight + kCellGap;
    int visible = pitch > 0 ? (viewWidth - kCellGap) / pitch : 0;
    if (frameCount < visible) {
        visible = frameCount;
        layout.firstVisible = 0;
    }
    visible = std::clamp(visible, 0, StripCellCount(frameCount));
    layout.visibleCells = visible;
    layout.x0 = (viewWidth - visible * pitch - kCellGap) / 2 + kCellGap;
    layout.y0 = kCellGap;
    return layout;
}

int ScrollStrip(int firstVisible, int step, int frameCount, int visibleCells)
{
    if (step < 0 && firstVisible > 0)
        return firstVisible - 1;
    if (step > 0 && firstVisible < frameCount - visibleCells)
        return firstVisible + 1;
    return firstVisible;
}

PixelPoint ViewToImagePixel(double x, double y, int left, int top, int imageWidth, int imageHeight)
{
    const int px = static_cast<int>(std::trunc(x - left));
    const int py = static_cast<int>(std::trunc(y - top));
    return {std::clamp(px, 0, std::max(0, imageWidth - 1)), std::clamp(py, 0, std::max(0, imageHeight - 1))};
}

cv::Mat PropagateWall(FrameContourList& shown, FrameContourList& initial, int k, int n, const AnalysedFrameLoader& load,
                      PixelPoint centre, const RefinementParameters& parameters, const std::function<void()>& step)
{
    cv::Mat image;
    for (int c = 0; c < n; ++c) {
        const int j = k + c;
        initial[j + 1] = shown[j];
        image = load ? load(j + 1) : cv::Mat();
        // Without an image the refinement gives up and the target keeps what it had.
        RefineContourSnake(image, shown[j], shown[j + 1], parameters);
        SmoothContourPolar(shown[j + 1], shown[j + 1], centre, parameters.smoothnessLevel);
        if (step)
            step();
    }
    return image;
}

} // namespace kestrova::analysis
