#pragma once
// Window-free rules of the angiographic views and their window: which file a frame
// number shows, zoom, playing, the frame editor, the splitter and the mouse-wheel routing.

#include <filesystem>
#include <string>

namespace kestrova::analysis {

inline constexpr int kZoomMinimum = 50;    // per cent
inline constexpr int kZoomMaximum = 600;
inline constexpr int kZoomStart = 100;
inline constexpr int kZoomWheelStep = 5;
inline constexpr int kPlayIntervalMs = 60;
inline constexpr int kSplitterWidth = 8;

/// Frame number n (from 1) shows the frame file numbered n - 1: folder / prefix n-1 ".jpg"
/// ("LAO.6.jpg" for frame 7).
std::filesystem::path AngioFrameFile(const std::filesystem::path& folder, const std::string& prefix, int frameNumber);

/// The view's scale for a zoom position (0.5 .. 6.0) and the track bar's hint.
double ZoomScale(int position);
std::string ZoomHint(int position);  // "Zoom Factor: 150 %"
/// The zoom position after one wheel turn (positive delta: forward), kept in 50 .. 600.
int WheelZoomPosition(int position, int wheelDelta);

/// The frame shown after one play tick: the first after the last, else the next.
int NextPlayFrame(int current, int frameCount);

/// The RAO panel's width for a window width: half the width minus the splitter.
int RaoPanelWidth(int windowWidth);

/// The frame choice of a view: the chosen frame number (0 until chosen on a card without
/// a stored tracing) and the value of the "Set frame number" editor (1 .. maximum).
class FrameChoice {
public:
    explicit FrameChoice(int maximum = 80) : maximum_(maximum) {}
    void SetMaximum(int maximum) { maximum_ = maximum; }

    /// SetFrameNumber: stores n, then sets the editor to n limited to its range. Returns
    /// true when the editor's value changed, that is when the view must load the frame
    /// the editor now shows.
    bool SetFrameNumber(int n);
    /// A change of the editor or the track bar by the user: both show v, which becomes the
    /// frame number.
    void Choose(int v);
    /// One tick of playing; returns the frame to show.
    int PlayTick();

    int FrameNumber() const { return frameNumber_; }
    int EditorValue() const { return editorValue_; }
    int Maximum() const { return maximum_; }

private:
    int maximum_;
    int frameNumber_ = 1;
    int editorValue_ = 1;
};

enum class WheelView { None, Lao, Rao };

/// The wheel over the angiography window zooms exactly one view: the LAO view when it is
/// the wheel target (the RAO view's flag is then cleared), else the RAO view when it is.
WheelView RouteWheel(bool& laoTarget, bool& raoTarget);

}  // namespace kestrova::analysis
