#pragma once
// Window-free rules of the angiographic views and their window: which file a frame
// number shows, zoom, the splitter and the mouse-wheel routing.

#include <string>

namespace kestrova::analysis {

inline constexpr int kZoomMinimum = 50;    // per cent
inline constexpr int kZoomMaximum = 600;
inline constexpr int kZoomStart = 100;
inline constexpr int kZoomWheelStep = 5;
inline constexpr int kPlayIntervalMs = 60;
inline constexpr int kSplitterWidth = 8;

/// The view's scale for a zoom position (0.5 .. 6.0) and the track bar's hint.
double ZoomScale(int position);
std::string ZoomHint(int position);  // "Zoom Factor: 150 %"
/// The RAO panel's width for a window width: half the width minus the splitter.
int RaoPanelWidth(int windowWidth);

enum class WheelView { None, Lao, Rao };

/// The wheel over the angiography window zooms exactly one view: the LAO view when it is
/// the wheel target (the RAO view's flag is then cleared), else the RAO view when it is.
WheelView RouteWheel(bool& laoTarget, bool& raoTarget);

}  // namespace kestrova::analysis
