#include "analysis/core/angio_view_model.h"

#include <string>

namespace kestrova::analysis {

double ZoomScale(int position) { return position / 100.0; }

std::string ZoomHint(int position) { return "Zoom Factor: " + std::to_string(position) + " %"; }

int RaoPanelWidth(int windowWidth) { return windowWidth / 2 - kSplitterWidth; }

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
