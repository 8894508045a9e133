#pragma once
// The tracing model of one angiographic view: the catheter, lumen A and lumen B point
// lists, the catheter width, the tool modes, what each mouse event does in each mode,
// and the edit history with undo and redo.
//
// The model is free of any window code: the view turns mouse positions into image pixels
// (x = (X - offset) / scale, truncated), passes the events here, shows the texts this
// model returns in message boxes, and paints its layers from the model's state (points
// as single pixels or as a polyline, highlighted pluses, the moving marker, the width
// line). Points are image pixels.
//
// Ordering: every addition re-orders the list by proximity from its first point, which
// never moves (OrderPointsByProximity).
//
// History: every addition or deletion of a single point is one action (kinds 0..5, see
// ActionKind) in ActionHistory, whose cursor marks the last done action. Each list keeps
// its own history of point copies, in the order of its actions, with its own cursor.
// Undo reverses the action at the cursor; redo repeats the next one; a new action
// discards the undone ones. A move is a deletion and an addition: two actions. The width
// has no history.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "study/contour.h"

namespace kestrova::analysis {

enum class TraceList { Catheter = 1, LumenA = 2, LumenB = 3 };

/// Action kinds: additions are even, deletions odd.
enum class ActionKind : int {
    AddCatheter = 0,
    DeleteCatheter = 1,
    AddLumenA = 2,
    DeleteLumenA = 3,
    AddLumenB = 4,
    DeleteLumenB = 5,
};

enum class ToolMode { None, Catheter, LumenA, LumenB, DeletePoint, MovePoint, SetWidth };

enum class MouseButton { Left, Middle, Right };

TraceList ListOf(ActionKind kind);
bool IsAddition(ActionKind kind);
ActionKind AdditionKind(TraceList list);
ActionKind DeletionKind(TraceList list);

/// Colours (alpha, red, green, blue) of the lists and marks.
inline constexpr std::uint32_t kCatheterColour = 0xFF00FF00;
inline constexpr std::uint32_t kLumenAColour = 0xFFFF0000;
inline constexpr std::uint32_t kLumenBColour = 0xFFFF00FF;
inline constexpr std::uint32_t kHighlightColour = 0xFFFFFF00;
inline constexpr std::uint32_t kWidthLineColour = 0xFFFFFFFF;
std::uint32_t ListColour(TraceList list);

/// The text shown on the view for a mode ("" for none) and its colour.
const char* ModeText(ToolMode mode);
std::uint32_t ModeTextColour(ToolMode mode);

// Texts of the view.
inline constexpr const char* kOutsideImageText = "Not allowed to draw outside image";
inline constexpr const char* kInvisibleListText = "Cannot draw while in invisible mode";
inline constexpr const char* kInvisibleWidthText = "Cannot set width in invisible mode";
inline constexpr const char* kResetWidthQuestion = "Do you want to reset catheter width?";
/// "Do you want to erase all catheter points?" and likewise for lumen A and lumen B.
const char* ClearListQuestion(TraceList list);

/// Orders the points in place: for i = 0 .. n-2, position i + 1 receives the point
/// nearest to point i among those after it (Euclidean distance), found by scanning
/// k = i + 2 .. n - 1 and exchanging points i + 1 and k whenever k is strictly nearer
/// than the current candidate. The first point never moves; among equally near points
/// the one standing first at that moment wins.
void OrderPointsByProximity(std::vector<PixelPoint>& points);

/// The view's inside test of an image pixel: 0 <= x <= width and 1 <= y <= height.
bool InsideImage(PixelPoint pixel, int width, int height);

struct EditButtons {
    bool undo = false;
    bool redo = false;
    bool movePoint = false;
    bool deletePoint = false;
    std::array<bool, 3> showAsLine{};  // catheter, lumen A, lumen B
};

struct HistoryAction {
    ActionKind kind = ActionKind::AddCatheter;
    int count = 1;  // +1 addition, -1 deletion

    friend bool operator==(const HistoryAction&, const HistoryAction&) = default;
};

class AngioTracing {
public:
    AngioTracing() = default;
    AngioTracing(int imageWidth, int imageHeight) : width_(imageWidth), height_(imageHeight) {}

    void SetImageSize(int width, int height) {
        width_ = width;
        height_ = height;
    }

    // ---- lists ------------------------------------------------------------------
    const std::vector<PixelPoint>& Points(TraceList list) const { return lists_[Index(list)].points; }
    /// Empty or exactly two points: the start and the end of the catheter width.
    const std::vector<PixelPoint>& WidthPoints() const { return widthPoints_; }

    // ---- primitives ---------------------------------------------------------------
    /// Appends the point to the kind's list and re-orders the list by proximity.
    void AddAngioPoint(ActionKind kind, PixelPoint p);
    /// Removes the first point of the kind's list equal to p; nothing when there is none.
    void DeleteAngioPoint(ActionKind kind, PixelPoint p);
    /// Records one done action (discarding the undone ones first).
    void RecordPointAction(ActionKind kind, PixelPoint p);
    /// The list holding a point equal to p among the visible lists; lumen B wins over
    /// lumen A, lumen A over the catheter. Exact match only.
    std::optional<TraceList> FindPointAt(PixelPoint p) const;
    void Undo();
    void Redo();
    EditButtons Buttons() const;

    const std::vector<HistoryAction>& ActionHistory() const { return actions_; }
    int ActionCursor() const { return actionCursor_; }
    const std::vector<PixelPoint>& PointHistory(TraceList list) const { return lists_[Index(list)].history; }
    int PointHistoryCursor(TraceList list) const { return lists_[Index(list)].historyCursor; }

    // ---- menu items ----------------------------------------------------------------
    /// "Clear all points" after the user answered Yes: empties the list, removes all its
    /// actions (done or undone) from the history keeping the cursor on the same last
    /// done action of the other lists, and empties the list's point history.
    void ClearAllPoints(TraceList list);
    /// "Reset width" after the user answered Yes.
    void ResetWidth();
    /// "Show as line": stores the check; a non-empty list is re-ordered.
    void SetShowAsLine(TraceList list, bool checked);
    bool ShowAsLine(TraceList list) const { return lists_[Index(list)].showAsLine; }
    /// "Visible layer ": hidden lists are not searched and cannot be drawn on.
    void SetListVisible(TraceList list, bool visible) { lists_[Index(list)].visible = visible; }
    bool ListVisible(TraceList list) const { return lists_[Index(list)].visible; }
    /// "Visible layer " of the width; also ends a width drag without setting the width.
    void SetWidthVisible(bool visible);
    bool WidthVisible() const { return widthVisible_; }

    /// Loads a stored tracing: every point is added and recorded (so it can be undone),
    /// catheter first, then lumen A, then lumen B; exactly two width points set the
    /// width and its line, any other number is ignored.
    void SetStoredPoints(std::span<const PixelPoint> catheter, std::span<const PixelPoint> lumenA,
                         std::span<const PixelPoint> lumenB, std::span<const PixelPoint> width);

    // ---- tool mode and mouse ---------------------------------------------------------
    void SetToolMode(ToolMode mode) { mode_ = mode; }
    ToolMode Mode() const { return mode_; }

    /// A press at image pixel `pixel` (view position `viewPos`). Returns the text of a
    /// refusal to show (error icon), or an empty text.
    std::string Press(MouseButton button, PixelPoint pixel, PixelPoint viewPos);
    /// A move. Returns the amount by which the view is to be scrolled while panning
    /// ((0,0) otherwise).
    PixelPoint Move(PixelPoint pixel, PixelPoint viewPos);
    /// A release. A moved point's release position is brought inside the image.
    void Release(MouseButton button, PixelPoint pixel);
    void Enter() { wheelTarget_ = true; }
    void Leave() { wheelTarget_ = false; }
    bool WheelTarget() const { return wheelTarget_; }
    void SetWheelTarget(bool target) { wheelTarget_ = target; }

    // ---- what the view paints besides the points --------------------------------------
    /// The highlighted point (yellow plus) of each list, if any.
    std::optional<PixelPoint> Highlight(TraceList list) const { return lists_[Index(list)].highlight; }
    /// The yellow plus following the mouse while a point is moved.
    std::optional<PixelPoint> MovingMarker() const { return movingMarker_; }
    /// The white width line as last drawn (it may differ from WidthPoints while dragging).
    std::optional<std::pair<PixelPoint, PixelPoint>> WidthLine() const { return widthLine_; }

    bool Panning() const { return panning_; }
    bool LeftDragging() const { return leftDragging_; }
    bool MovingPoint() const { return movingPoint_; }
    /// The list of the point being moved (meaningful while MovingPoint()).
    TraceList MovingList() const { return movingList_; }

private:
    struct ListState {
        std::vector<PixelPoint> points;
        std::vector<PixelPoint> history;
        int historyCursor = -1;
        bool visible = true;
        bool showAsLine = false;
        std::optional<PixelPoint> highlight;
    };

    static int Index(TraceList list) { return static_cast<int>(list) - 1; }
    ListState& State(TraceList list) { return lists_[Index(list)]; }
    std::optional<TraceList> DrawingList() const;
    void HighlightPointAt(TraceList list, PixelPoint p);
    void ClearHighlights();
    void DeleteAndRecord(TraceList list, PixelPoint p);

    int width_ = 0;
    int height_ = 0;
    std::array<ListState, 3> lists_{};
    std::vector<PixelPoint> widthPoints_;
    bool widthVisible_ = true;
    std::vector<HistoryAction> actions_;
    int actionCursor_ = -1;

    ToolMode mode_ = ToolMode::None;
    bool panning_ = false;
    bool leftDragging_ = false;
    bool movingPoint_ = false;
    TraceList movingList_ = TraceList::Catheter;
    PixelPoint dragStart_{-1, -1};
    PixelPoint lastMousePos_{0, 0};
    bool wheelTarget_ = false;
    std::optional<PixelPoint> movingMarker_;
    std::optional<std::pair<PixelPoint, PixelPoint>> widthLine_;
};

}  // namespace kestrova::analysis
