#include "analysis/core/angio_view_model.h"

#include "study/frame_files.h"

#include <algorithm>

namespace kestrova::analysis {

std::filesystem::path AngioFrameFile(const std::filesystem::path& folder, const std::string& prefix, int frameNumber) {
    return folder / FrameFileName(prefix, frameNumber - 1);
}

double ZoomScale(int position) { return position / 100.0; }

std::string ZoomHint(int position) { return "Zoom Factor: " + std::to_string(position) + " %"; }

int WheelZoomPosition(int position, int wheelDelta) {
    const int step = wheelDelta > 0 ? kZoomWheelStep : -kZoomWheelStep;
    return std::clamp(position + step, kZoomMinimum, kZoomMaximum);
}

int NextPlayFrame(int current, int frameCount) { return current >= frameCount ? 1 : current + 1; }

int RaoPanelWidth(int windowWidth) { return windowWidth / 2 - kSplitterWidth; }

bool FrameChoice::SetFrameNumber(int n) {
    frameNumber_ = n;
    const int value = std::clamp(n, 1, std::max(maximum_, 1));
    if (value == editorValue_) return false;
    editorValue_ = value;
    return true;
}

void FrameChoice::Choose(int v) {
    editorValue_ = std::clamp(v, 1, std::max(maximum_, 1));
    frameNumber_ = editorValue_;
}

int FrameChoice::PlayTick() {
    Choose(NextPlayFrame(editorValue_, maximum_));
    return editorValue_;
}

WheelView RouteWheel(bool& laoTarget, bool& raoTarget) {
    WheelView zoomed = WheelView::None;
    if (laoTarget) {
        raoTarget = false;
        zoomed = WheelView::Lao;
    }
    if (raoTarget) {
        laoTarget = false;
        zoomed = WheelView::Rao;
    }
    return zoomed;
}

}  // namespace kestrova::analysis
