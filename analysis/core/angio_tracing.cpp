#include "analysis/core/angio_tracing.h"

#include <algorithm>
#include <cmath>

namespace kestrova::analysis {

TraceList ListOf(ActionKind kind) { return static_cast<TraceList>(static_cast<int>(kind) / 2 + 1); }
bool IsAddition(ActionKind kind) { return static_cast<int>(kind) % 2 == 0; }
ActionKind AdditionKind(TraceList list) { return static_cast<ActionKind>((static_cast<int>(list) - 1) * 2); }
ActionKind DeletionKind(TraceList list) { return static_cast<ActionKind>((static_cast<int>(list) - 1) * 2 + 1); }

std::uint32_t ListColour(TraceList list) {
    switch (list) {
        case TraceList::Catheter: return kCatheterColour;
        case TraceList::LumenA: return kLumenAColour;
        case TraceList::LumenB: return kLumenBColour;
    }
    return kCatheterColour;
}

const char* ModeText(ToolMode mode) {
    switch (mode) {
        case ToolMode::None: return "";
        case ToolMode::Catheter: return "Drawing catheter";
        case ToolMode::LumenA: return "Drawing Lumen A";
        case ToolMode::LumenB: return "Drawing Lumen B";
        case ToolMode::DeletePoint: return "Deleting point";
        case ToolMode::MovePoint: return "Moving point";
        case ToolMode::SetWidth: return "Setting catheter width";
    }
    return "";
}

std::uint32_t ModeTextColour(ToolMode mode) {
    switch (mode) {
        case ToolMode::Catheter: return kCatheterColour;
        case ToolMode::LumenA: return kLumenAColour;
        case ToolMode::LumenB: return kLumenBColour;
        default: return kHighlightColour;
    }
}

const char* ClearListQuestion(TraceList list) {
    switch (list) {
        case TraceList::Catheter: return "Do you want to erase all catheter points?";
        case TraceList::LumenA: return "Do you want to erase all lumen A points?";
        case TraceList::LumenB: return "Do you want to erase all lumen B points?";
    }
    return "";
}

namespace {
// Squared distances compare exactly like the distances themselves.
std::int64_t SquaredDistance(PixelPoint a, PixelPoint b) {
    const std::int64_t dx = std::int64_t(a.x) - b.x, dy = std::int64_t(a.y) - b.y;
    return dx * dx + dy * dy;
}
}  // namespace

void OrderPointsByProximity(std::vector<PixelPoint>& points) {
    const int n = static_cast<int>(points.size());
    for (int i = 0; i + 1 < n; ++i) {
        std::int64_t best = SquaredDistance(points[i], points[i + 1]);
        for (int k = i + 2; k < n; ++k) {
            const std::int64_t d = SquaredDistance(points[i], points[k]);
            if (d < best) {
                std::swap(points[i + 1], points[k]);
                best = d;
            }
        }
    }
}

bool InsideImage(PixelPoint pixel, int width, int height) {
    return pixel.x >= 0 && pixel.x <= width && pixel.y >= 1 && pixel.y <= height;
}

void AngioTracing::AddAngioPoint(ActionKind kind, PixelPoint p) {
    std::vector<PixelPoint>& points = State(ListOf(kind)).points;
    points.push_back(p);
    OrderPointsByProximity(points);
}

void AngioTracing::DeleteAngioPoint(ActionKind kind, PixelPoint p) {
    ListState& state = State(ListOf(kind));
    const auto it = std::find(state.points.begin(), state.points.end(), p);
    if (it == state.points.end()) return;
    state.points.erase(it);
    if (!IsAddition(kind) && state.highlight == p) state.highlight.reset();  // its plus is cleared
}

void AngioTracing::RecordPointAction(ActionKind kind, PixelPoint p) {
    if (actionCursor_ < static_cast<int>(actions_.size()) - 1) {
        actions_.resize(static_cast<std::size_t>(actionCursor_ + 1));
        for (ListState& state : lists_) state.history.resize(static_cast<std::size_t>(state.historyCursor + 1));
    }
    actions_.push_back({kind, IsAddition(kind) ? 1 : -1});
    ++actionCursor_;
    ListState& state = State(ListOf(kind));
    state.history.push_back(p);
    ++state.historyCursor;
}

std::optional<TraceList> AngioTracing::FindPointAt(PixelPoint p) const {
    std::optional<TraceList> found;
    for (TraceList list : {TraceList::Catheter, TraceList::LumenA, TraceList::LumenB}) {
        const ListState& state = lists_[Index(list)];
        if (!state.visible) continue;
        if (std::find(state.points.begin(), state.points.end(), p) != state.points.end()) found = list;
    }
    return found;
}

void AngioTracing::Undo() {
    if (actionCursor_ < 0) return;
    const HistoryAction action = actions_[actionCursor_];
    const TraceList list = ListOf(action.kind);
    ListState& state = State(list);
    const PixelPoint p = state.history[state.historyCursor];
    if (IsAddition(action.kind)) {
        DeleteAngioPoint(action.kind, p);
    } else {
        AddAngioPoint(AdditionKind(list), p);
    }
    --state.historyCursor;
    --actionCursor_;
}

void AngioTracing::Redo() {
    if (actionCursor_ >= static_cast<int>(actions_.size()) - 1) return;
    ++actionCursor_;
    const HistoryAction action = actions_[actionCursor_];
    ListState& state = State(ListOf(action.kind));
    ++state.historyCursor;
    const PixelPoint p = state.history[state.historyCursor];
    if (IsAddition(action.kind)) {
        AddAngioPoint(action.kind, p);
    } else {
        DeleteAngioPoint(action.kind, p);
    }
}

EditButtons AngioTracing::Buttons() const {
    EditButtons b;
    b.undo = b.movePoint = b.deletePoint = actionCursor_ >= 0;
    b.redo = actionCursor_ < static_cast<int>(actions_.size()) - 1;
    const bool allEmpty = std::all_of(lists_.begin(), lists_.end(), [](const ListState& s) { return s.points.empty(); });
    if (allEmpty) b.movePoint = b.deletePoint = false;
    for (int i = 0; i < 3; ++i) b.showAsLine[i] = !lists_[i].points.empty();
    return b;
}

void AngioTracing::ClearAllPoints(TraceList list) {
    ListState& state = State(list);
    state.points.clear();
    state.highlight.reset();
    int removedAtOrBeforeCursor = 0;
    std::vector<HistoryAction> kept;
    kept.reserve(actions_.size());
    for (int i = 0; i < static_cast<int>(actions_.size()); ++i) {
        if (ListOf(actions_[i].kind) == list) {
            if (i <= actionCursor_) ++removedAtOrBeforeCursor;
        } else {
            kept.push_back(actions_[i]);
        }
    }
    actions_ = std::move(kept);
    actionCursor_ -= removedAtOrBeforeCursor;
    state.history.clear();
    state.historyCursor = -1;
}

void AngioTracing::ResetWidth() {
    widthPoints_.clear();
    widthLine_.reset();
}

void AngioTracing::SetShowAsLine(TraceList list, bool checked) {
    ListState& state = State(list);
    state.showAsLine = checked;
    if (!state.points.empty()) OrderPointsByProximity(state.points);
}

void AngioTracing::SetWidthVisible(bool visible) {
    widthVisible_ = visible;
    leftDragging_ = false;
}

void AngioTracing::SetStoredPoints(std::span<const PixelPoint> catheter, std::span<const PixelPoint> lumenA,
                                   std::span<const PixelPoint> lumenB, std::span<const PixelPoint> width) {
    const std::pair<ActionKind, std::span<const PixelPoint>> lists[] = {
        {ActionKind::AddCatheter, catheter}, {ActionKind::AddLumenA, lumenA}, {ActionKind::AddLumenB, lumenB}};
    for (const auto& [kind, points] : lists) {
        for (const PixelPoint& p : points) {
            AddAngioPoint(kind, p);
            RecordPointAction(kind, p);
        }
    }
    if (width.size() == 2) {
        widthPoints_.assign(width.begin(), width.end());
        widthLine_ = std::make_pair(width[0], width[1]);
    }
}

std::optional<TraceList> AngioTracing::DrawingList() const {
    switch (mode_) {
        case ToolMode::Catheter: return TraceList::Catheter;
        case ToolMode::LumenA: return TraceList::LumenA;
        case ToolMode::LumenB: return TraceList::LumenB;
        default: return std::nullopt;
    }
}

void AngioTracing::HighlightPointAt(TraceList list, PixelPoint p) {
    ListState& state = State(list);
    if (std::find(state.points.begin(), state.points.end(), p) != state.points.end()) {
        state.highlight = p;
    } else {
        state.highlight.reset();
    }
}

void AngioTracing::ClearHighlights() {
    for (ListState& state : lists_) state.highlight.reset();
}

void AngioTracing::DeleteAndRecord(TraceList list, PixelPoint p) {
    DeleteAngioPoint(DeletionKind(list), p);
    RecordPointAction(DeletionKind(list), p);
}

std::string AngioTracing::Press(MouseButton button, PixelPoint pixel, PixelPoint viewPos) {
    wheelTarget_ = true;
    lastMousePos_ = viewPos;
    if (button == MouseButton::Right) {
        panning_ = true;
        return {};
    }
    if (const std::optional<TraceList> list = DrawingList(); list && ShowAsLine(*list)) {
        SetShowAsLine(*list, false);
    }
    if (button != MouseButton::Left || mode_ == ToolMode::None) return {};

    if (mode_ == ToolMode::SetWidth && !widthVisible_) return kInvisibleWidthText;
    if (mode_ == ToolMode::MovePoint) {
        if (const std::optional<TraceList> list = FindPointAt(pixel)) {
            movingPoint_ = true;
            movingList_ = *list;
            dragStart_ = pixel;
        }
    }
    if (mode_ == ToolMode::DeletePoint) {
        if (const std::optional<TraceList> list = FindPointAt(pixel)) DeleteAndRecord(*list, pixel);
    }
    leftDragging_ = true;
    if (!InsideImage(pixel, width_, height_)) {
        if (mode_ == ToolMode::SetWidth) leftDragging_ = false;
        return kOutsideImageText;
    }
    if (mode_ == ToolMode::SetWidth) {
        widthLine_.reset();
        dragStart_ = pixel;
    }
    if (const std::optional<TraceList> list = DrawingList()) {
        if (!ListVisible(*list)) return kInvisibleListText;
        AddAngioPoint(AdditionKind(*list), pixel);
        RecordPointAction(AdditionKind(*list), pixel);
    }
    return {};
}

PixelPoint AngioTracing::Move(PixelPoint pixel, PixelPoint viewPos) {
    PixelPoint scroll{0, 0};
    if (panning_) {
        scroll = {lastMousePos_.x - viewPos.x, lastMousePos_.y - viewPos.y};
        lastMousePos_ = viewPos;
    }
    if (mode_ == ToolMode::DeletePoint || mode_ == ToolMode::MovePoint) {
        if (const std::optional<TraceList> list = FindPointAt(pixel)) {
            HighlightPointAt(*list, pixel);
        } else {
            ClearHighlights();
        }
    }
    if (leftDragging_ && mode_ == ToolMode::SetWidth && InsideImage(pixel, width_, height_)) {
        widthLine_ = std::make_pair(dragStart_, pixel);
        lastMousePos_ = viewPos;
    }
    if (leftDragging_ && mode_ == ToolMode::DeletePoint) {
        if (const std::optional<TraceList> list = FindPointAt(pixel)) DeleteAndRecord(*list, pixel);
    }
    if (movingPoint_) {
        movingMarker_ = pixel;
        lastMousePos_ = viewPos;
    }
    return scroll;
}

void AngioTracing::Release(MouseButton button, PixelPoint pixel) {
    if (button == MouseButton::Right) panning_ = false;
    if (button == MouseButton::Left && mode_ == ToolMode::SetWidth && leftDragging_) {
        widthPoints_ = {dragStart_, pixel};
    }
    if (button == MouseButton::Left) leftDragging_ = false;
    if (movingPoint_) {
        const PixelPoint target{std::clamp(pixel.x, 0, std::max(width_ - 1, 0)),
                                std::clamp(pixel.y, 0, std::max(height_ - 1, 0))};
        DeleteAndRecord(movingList_, dragStart_);
        AddAngioPoint(AdditionKind(movingList_), target);
        RecordPointAction(AdditionKind(movingList_), target);
        movingPoint_ = false;
        movingMarker_.reset();
    }
}

}  // namespace kestrova::analysis
