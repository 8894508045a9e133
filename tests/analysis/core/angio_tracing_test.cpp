#include "analysis/core/angio_tracing.h"

#include <functional>

#include <gtest/gtest.h>

#include "analysis/core/printers_testutil.h"

namespace kestrova::analysis {
namespace {

using Points = std::vector<PixelPoint>;

TEST(OrderPointsByProximity, ChainsNearestNeighboursFromTheFixedFirstPoint) {
    struct Case {
        Points in, out;
    };
    const Case cases[] = {
        {{{0, 0}, {10, 0}, {5, 0}}, {{0, 0}, {5, 0}, {10, 0}}},
        {{{0, 0}, {3, 0}, {-3, 0}}, {{0, 0}, {3, 0}, {-3, 0}}},  // ties: the earlier one
        {{{0, 0}, {-3, 0}, {3, 0}}, {{0, 0}, {-3, 0}, {3, 0}}},
        {{{50, 50}, {0, 0}, {49, 49}, {51, 52}}, {{50, 50}, {49, 49}, {51, 52}, {0, 0}}},
        // exchanges, not shifts: after (0,0) takes (1,0), (9,0) stands where (1,0) stood
        {{{0, 0}, {9, 0}, {5, 0}, {1, 0}}, {{0, 0}, {1, 0}, {5, 0}, {9, 0}}},
        {{}, {}},
        {{{7, 7}}, {{7, 7}}},
    };
    for (const Case& c : cases) {
        Points p = c.in;
        OrderPointsByProximity(p);
        EXPECT_EQ(p, c.out);
    }
}

TEST(AngioTracingTexts, ModesListsAndInsideTest) {
    EXPECT_STREQ(ModeText(ToolMode::Catheter), "Drawing catheter");
    EXPECT_STREQ(ModeText(ToolMode::LumenA), "Drawing Lumen A");
    EXPECT_STREQ(ModeText(ToolMode::LumenB), "Drawing Lumen B");
    EXPECT_STREQ(ModeText(ToolMode::DeletePoint), "Deleting point");
    EXPECT_STREQ(ModeText(ToolMode::MovePoint), "Moving point");
    EXPECT_STREQ(ModeText(ToolMode::SetWidth), "Setting catheter width");
    EXPECT_STREQ(ModeText(ToolMode::None), "");
    EXPECT_EQ(ModeTextColour(ToolMode::LumenB), 0xFFFF00FFu);
    EXPECT_EQ(ModeTextColour(ToolMode::MovePoint), 0xFFFFFF00u);
    EXPECT_STREQ(ClearListQuestion(TraceList::LumenA), "Do you want to erase all lumen A points?");
    EXPECT_EQ(ListOf(ActionKind::DeleteLumenB), TraceList::LumenB);
    EXPECT_EQ(DeletionKind(TraceList::LumenA), ActionKind::DeleteLumenA);
    // x may be 0, y may not; both may equal the size
    EXPECT_TRUE(InsideImage({0, 1}, 100, 80));
    EXPECT_TRUE(InsideImage({100, 80}, 100, 80));
    EXPECT_FALSE(InsideImage({0, 0}, 100, 80));
    EXPECT_FALSE(InsideImage({-1, 5}, 100, 80));
    EXPECT_FALSE(InsideImage({101, 5}, 100, 80));
}

// ---- the tracing scenarios ---------------------------------------------------------

struct Session {
    AngioTracing tracing{100, 80};
    std::string message;
    PixelPoint scroll;
};
using Step = std::function<void(Session&)>;

Step Mode(ToolMode m) {
    return [=](Session& s) { s.tracing.SetToolMode(m); };
}
Step Press(MouseButton b, PixelPoint p, PixelPoint view = {0, 0}) {
    return [=](Session& s) { s.message = s.tracing.Press(b, p, view); };
}
Step Click(PixelPoint p) {  // left press and release at the same pixel
    return [=](Session& s) {
        s.message = s.tracing.Press(MouseButton::Left, p, {0, 0});
        s.tracing.Release(MouseButton::Left, p);
    };
}
Step Move(PixelPoint p, PixelPoint view = {0, 0}) {
    return [=](Session& s) { s.scroll = s.tracing.Move(p, view); };
}
Step Release(MouseButton b, PixelPoint p) {
    return [=](Session& s) { s.tracing.Release(b, p); };
}
Step Undo() {
    return [](Session& s) { s.tracing.Undo(); };
}
Step Redo() {
    return [](Session& s) { s.tracing.Redo(); };
}
Step Clear(TraceList l) {
    return [=](Session& s) { s.tracing.ClearAllPoints(l); };
}
Step Stored(Points c, Points a, Points b, Points w) {
    return [=](Session& s) { s.tracing.SetStoredPoints(c, a, b, w); };
}
Step Hide(TraceList l) {
    return [=](Session& s) { s.tracing.SetListVisible(l, false); };
}
Step HideWidth() {
    return [](Session& s) { s.tracing.SetWidthVisible(false); };
}
Step ExpectPoints(TraceList l, Points p) {
    return [=](Session& s) { EXPECT_EQ(s.tracing.Points(l), p) << "list " << static_cast<int>(l); };
}
Step ExpectWidth(Points w) {
    return [=](Session& s) { EXPECT_EQ(s.tracing.WidthPoints(), w); };
}
Step ExpectLine(std::optional<std::pair<PixelPoint, PixelPoint>> line) {
    return [=](Session& s) { EXPECT_EQ(s.tracing.WidthLine(), line); };
}
Step ExpectUndoRedo(bool undo, bool redo) {
    return [=](Session& s) {
        EXPECT_EQ(s.tracing.Buttons().undo, undo);
        EXPECT_EQ(s.tracing.Buttons().redo, redo);
    };
}
Step ExpectMessage(std::string text) {
    return [=](Session& s) { EXPECT_EQ(s.message, text); };
}
Step ExpectScroll(PixelPoint d) {
    return [=](Session& s) { EXPECT_EQ(s.scroll, d); };
}
Step ExpectActions(std::vector<ActionKind> kinds, int cursor) {
    return [=](Session& s) {
        std::vector<ActionKind> got;
        for (const HistoryAction& a : s.tracing.ActionHistory()) got.push_back(a.kind);
        EXPECT_EQ(got, kinds);
        EXPECT_EQ(s.tracing.ActionCursor(), cursor);
    };
}

constexpr MouseButton L = MouseButton::Left;
constexpr MouseButton Rt = MouseButton::Right;
constexpr TraceList Cath = TraceList::Catheter;
constexpr TraceList LA = TraceList::LumenA;
constexpr TraceList LB = TraceList::LumenB;
using K = ActionKind;
using Line = std::pair<PixelPoint, PixelPoint>;

struct Scenario {
    const char* name;
    std::vector<Step> steps;
};

TEST(AngioTracing, Scenarios) {
    const Scenario scenarios[] = {
        {"additions are ordered by proximity",
         {Stored({{0, 0}, {10, 0}, {5, 0}}, {}, {}, {}), ExpectPoints(Cath, {{0, 0}, {5, 0}, {10, 0}}),
          Mode(ToolMode::LumenA), Click({0, 5}), Click({10, 5}), Click({5, 5}),
          ExpectPoints(LA, {{0, 5}, {5, 5}, {10, 5}})}},
        {"equally near points keep their list order",
         {Stored({{0, 0}, {3, 0}, {-3, 0}}, {{0, 0}, {-3, 0}, {3, 0}}, {}, {}),
          ExpectPoints(Cath, {{0, 0}, {3, 0}, {-3, 0}}), ExpectPoints(LA, {{0, 0}, {-3, 0}, {3, 0}})}},
        {"the first point stays first",
         {Mode(ToolMode::Catheter), Click({50, 50}), Click({10, 10}), Click({49, 49}), Click({0, 1}),
          ExpectPoints(Cath, {{50, 50}, {49, 49}, {10, 10}, {0, 1}})}},
        {"undo removes an addition, redo re-adds and re-orders",
         {Mode(ToolMode::Catheter), Click({0, 5}), Click({10, 5}), Click({5, 5}), Undo(),
          ExpectPoints(Cath, {{0, 5}, {10, 5}}), ExpectUndoRedo(true, true), Redo(),
          ExpectPoints(Cath, {{0, 5}, {5, 5}, {10, 5}}), ExpectUndoRedo(true, false)}},
        {"a new action discards the undone ones",
         {Mode(ToolMode::LumenB), Click({1, 1}), Click({2, 2}), Undo(), ExpectUndoRedo(true, true), Click({3, 3}),
          ExpectUndoRedo(true, false), ExpectPoints(LB, {{1, 1}, {3, 3}}), ExpectActions({K::AddLumenB, K::AddLumenB}, 1),
          Redo(), ExpectPoints(LB, {{1, 1}, {3, 3}})}},
        {"a move is two actions",
         {Mode(ToolMode::Catheter), Click({10, 10}), Click({20, 20}), Mode(ToolMode::MovePoint), Press(L, {20, 20}),
          Move({25, 22}), Move({30, 25}), Release(L, {30, 25}), ExpectPoints(Cath, {{10, 10}, {30, 25}}),
          ExpectActions({K::AddCatheter, K::AddCatheter, K::DeleteCatheter, K::AddCatheter}, 3), Undo(),
          ExpectPoints(Cath, {{10, 10}}), Undo(), ExpectPoints(Cath, {{10, 10}, {20, 20}})}},
        {"a pixel shared with lumen B acts as the lumen B point",
         {Stored({{5, 5}}, {{5, 5}}, {{5, 5}}, {}), Mode(ToolMode::MovePoint), Press(L, {5, 5}), Release(L, {8, 8}),
          ExpectPoints(LB, {{8, 8}}), ExpectPoints(LA, {{5, 5}}), ExpectPoints(Cath, {{5, 5}}),
          Mode(ToolMode::DeletePoint), Click({5, 5}), ExpectPoints(LA, {}), ExpectPoints(Cath, {{5, 5}})}},
        {"clearing the catheter keeps the lumen history going",
         {Mode(ToolMode::Catheter), Click({1, 1}), Mode(ToolMode::LumenA), Click({2, 2}), Mode(ToolMode::Catheter),
          Click({3, 3}), Mode(ToolMode::LumenA), Click({4, 4}), Undo(), Clear(Cath), ExpectPoints(Cath, {}),
          ExpectActions({K::AddLumenA, K::AddLumenA}, 0), ExpectPoints(LA, {{2, 2}}), ExpectUndoRedo(true, true),
          Undo(), ExpectPoints(LA, {}), Redo(), Redo(), ExpectPoints(LA, {{2, 2}, {4, 4}}), ExpectPoints(Cath, {}),
          ExpectUndoRedo(true, false)}},
        {"a press outside the image in set width keeps the width",
         {Stored({}, {}, {}, {{1, 1}, {9, 9}}), Mode(ToolMode::SetWidth), Press(L, {-1, 5}),
          ExpectMessage("Not allowed to draw outside image"), ExpectWidth({{1, 1}, {9, 9}}),
          ExpectLine(Line{{1, 1}, {9, 9}}), Move({20, 20}), Release(L, {20, 20}), ExpectWidth({{1, 1}, {9, 9}})}},
        {"a right drag in set width pans and keeps the width",
         {Stored({}, {}, {}, {{1, 1}, {9, 9}}), Mode(ToolMode::SetWidth), Press(Rt, {5, 5}, {100, 100}),
          Move({6, 6}, {90, 95}), ExpectScroll({10, 5}), Move({7, 7}, {88, 95}), ExpectScroll({2, 0}),
          Release(Rt, {7, 7}), ExpectWidth({{1, 1}, {9, 9}}), ExpectLine(Line{{1, 1}, {9, 9}}),
          Move({8, 8}, {0, 0}), ExpectScroll({0, 0})}},
        {"three stored width points load no width",
         {Stored({{1, 1}}, {}, {}, {{1, 1}, {2, 2}, {3, 3}}), ExpectWidth({}), ExpectLine(std::nullopt)}},
        {"undo after loading removes the last loaded lumen B point first",
         {Stored({{1, 1}, {2, 1}}, {{5, 5}}, {{7, 7}, {9, 9}}, {}), ExpectUndoRedo(true, false), Undo(),
          ExpectPoints(LB, {{7, 7}}), ExpectPoints(LA, {{5, 5}}), ExpectPoints(Cath, {{1, 1}, {2, 1}})}},
        // Beyond the twelve: refusals, width drags, delete drags, the clamped move.
        {"hidden lists refuse drawing and are not found",
         {Mode(ToolMode::LumenA), Hide(LA), Click({5, 5}), ExpectMessage("Cannot draw while in invisible mode"),
          ExpectPoints(LA, {}), Stored({}, {{6, 6}}, {}, {}), Mode(ToolMode::DeletePoint), Click({6, 6}),
          ExpectPoints(LA, {{6, 6}}), Mode(ToolMode::SetWidth), HideWidth(), Click({5, 5}),
          ExpectMessage("Cannot set width in invisible mode"), ExpectWidth({})}},
        {"a width drag sets the width at the release",
         {Stored({}, {}, {}, {{1, 1}, {9, 9}}), Mode(ToolMode::SetWidth), Press(L, {10, 10}), ExpectLine(std::nullopt),
          Move({20, 15}), ExpectLine(Line{{10, 10}, {20, 15}}), Move({-5, 15}), ExpectLine(Line{{10, 10}, {20, 15}}),
          Release(L, {30, 12}), ExpectWidth({{10, 10}, {30, 12}}), ExpectActions({}, -1)}},
        {"dragging the delete tool deletes each point passed over as its own action",
         {Stored({{1, 1}, {2, 2}, {3, 3}}, {}, {}, {}), Mode(ToolMode::DeletePoint), Press(L, {1, 1}), Move({1, 2}),
          Move({2, 2}), Move({3, 3}), Release(L, {3, 3}), ExpectPoints(Cath, {}),
          ExpectActions({K::AddCatheter, K::AddCatheter, K::AddCatheter, K::DeleteCatheter, K::DeleteCatheter,
                         K::DeleteCatheter},
                        5),
          Undo(), Undo(), ExpectPoints(Cath, {{3, 3}, {2, 2}})}},  // re-added last first
        {"a moved point is released inside the image",
         {Stored({{10, 10}}, {}, {}, {}), Mode(ToolMode::MovePoint), Press(L, {10, 10}), Release(L, {-7, 200}),
          ExpectPoints(Cath, {{0, 79}})}},
    };
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.name);
        Session session;
        for (const Step& step : scenario.steps) step(session);
    }
}

TEST(AngioTracing, HighlightsFollowTheMouseInDeleteAndMoveModes) {
    AngioTracing t(100, 80);
    t.SetStoredPoints(Points{{5, 5}}, Points{{7, 7}}, {}, {});
    t.SetToolMode(ToolMode::DeletePoint);
    t.Move({5, 5}, {});
    EXPECT_EQ(t.Highlight(Cath), (PixelPoint{5, 5}));
    t.Move({7, 7}, {});  // another list's highlight is left as it is
    EXPECT_EQ(t.Highlight(LA), (PixelPoint{7, 7}));
    EXPECT_EQ(t.Highlight(Cath), (PixelPoint{5, 5}));
    t.Move({6, 7}, {});  // beside every point: all cleared
    EXPECT_FALSE(t.Highlight(Cath) || t.Highlight(LA));

    t.SetToolMode(ToolMode::MovePoint);
    t.Press(L, {7, 7}, {});
    t.Move({9, 9}, {});
    EXPECT_EQ(t.MovingMarker(), (PixelPoint{9, 9}));
    t.Release(L, {9, 9});
    EXPECT_FALSE(t.MovingMarker());
}

TEST(AngioTracing, EditButtonsAndShowAsLine) {
    AngioTracing t(100, 80);
    EditButtons b = t.Buttons();
    EXPECT_FALSE(b.undo || b.redo || b.movePoint || b.deletePoint);
    t.SetToolMode(ToolMode::Catheter);
    t.Press(L, {30, 30}, {});
    t.Press(L, {10, 10}, {});
    b = t.Buttons();
    EXPECT_TRUE(b.undo && b.movePoint && b.deletePoint);
    EXPECT_EQ(b.showAsLine, (std::array<bool, 3>{true, false, false}));
    t.Undo();
    t.Undo();
    b = t.Buttons();  // nothing done and every list empty
    EXPECT_FALSE(b.undo || b.movePoint || b.deletePoint);
    EXPECT_TRUE(b.redo);

    // A left press in the list's drawing mode unchecks "Show as line"; a right one does not.
    t.Redo();
    t.SetShowAsLine(TraceList::Catheter, true);
    t.Press(MouseButton::Right, {50, 50}, {});
    EXPECT_TRUE(t.ShowAsLine(TraceList::Catheter));
    t.Release(MouseButton::Right, {50, 50});
    t.Press(MouseButton::Middle, {50, 50}, {});
    EXPECT_FALSE(t.ShowAsLine(TraceList::Catheter));
    EXPECT_EQ(t.Points(Cath), (Points{{30, 30}}));  // the middle button adds nothing
    EXPECT_TRUE(t.WheelTarget());
    t.Leave();
    EXPECT_FALSE(t.WheelTarget());
}

}  // namespace
}  // namespace kestrova::analysis
