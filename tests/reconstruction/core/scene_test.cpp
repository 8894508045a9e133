#include "reconstruction/core/scene.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kestrova::reconstruction;

namespace {

// A circle of 22 points (the closing copy last) around (0, y, 0) in a horizontal plane.
std::vector<Vec3> Ring(double y, double r)
{
    std::vector<Vec3> p;
    for (int i = 0; i <= 21; ++i) {
        const double a = 2 * 3.14159265358979 * (i % 21) / 21;
        p.push_back({r * std::cos(a), y, r * std::sin(a)});
    }
    return p;
}

// The scene of a small reconstruction: the catheter and three frames with both walls.
struct SmallScene {
    Scene scene;
    SmallScene()
    {
        scene.AddSceneLine(-1, 0.25, "catheter", 5, {{0, 0, 0}, {0, 20, 0}, {0, 40, 0}}, 0.498039f, 0.0f, 1.0f);
        for (int k = 0; k < 3; ++k)
            scene.AddSceneLine(k, 0.25, "outer" + std::to_string(k + 1), 1, Ring(20.0 * k, 8), 1, 1, 1);
        for (int k = 0; k < 3; ++k)
            scene.AddSceneLine(k, 0.25, "inner" + std::to_string(k + 1), 1, Ring(20.0 * k, 4), 0, 0, 1);
    }
    SceneLines* Line(const std::string& name) { return static_cast<SceneLines*>(scene.Find(name)); }
};

} // namespace

TEST(Scene, TheTreeAtCreation)
{
    Scene scene;
    std::vector<std::string> top;
    for (const SceneObject* o : scene.TopLevel())
        top.push_back(o->name);
    EXPECT_EQ(top, (std::vector<std::string>{"DCFollowPath", "GLActor1", "GLActor2", "DCCatheter", "DCCamera"}));
    EXPECT_EQ(scene.GLCamera->Parent(), scene.DCCamera);
    EXPECT_EQ(scene.GLCamera->target, scene.DCCamera);
    EXPECT_EQ(scene.GLCamera2->Parent(), scene.DCFollowPath);
    EXPECT_EQ(scene.GLCamera2->target, scene.GLDummyCube1);
    EXPECT_FALSE(scene.GLActor1->visible);
    EXPECT_FALSE(scene.GLActor2->visible);
    EXPECT_TRUE(scene.GLActor1->normalsInverted);
    EXPECT_EQ(scene.GLLightSource3->spotCutOff, 90);
    EXPECT_EQ(scene.GLActor1->front.emission, (Colour{0.55f, 0.09f, 0.09f, 1.0f}));
}

TEST(Scene, AddSceneLineScalesNodesAndShowsModelHeightUp)
{
    Scene scene;
    SceneLines* line = scene.AddSceneLine(4, 0.25, "outer5", 1, {{4, 8, 12}, {0, 0, 0}}, 1, 1, 1);
    EXPECT_EQ(scene.TopLevel().back(), line);
    EXPECT_STREQ(line->ClassName(), "TGLLines");
    EXPECT_EQ(line->tag, 4);
    EXPECT_EQ(line->nodes[0], (Vec3{1, 2, 3}));
    EXPECT_EQ(line->nodeColour, (Colour{1, 1, 1, 1}));
    // Model (x, y, z) is shown at (x, -z, y) times the scale: the height points up (world z).
    const Vec3 w = line->WorldMatrix().Point(line->nodes[0]);
    EXPECT_NEAR(w.x, 1, 1e-12);
    EXPECT_NEAR(w.y, -3, 1e-12);
    EXPECT_NEAR(w.z, 2, 1e-12);
    // The actors add their scale 0.25 to the same frame.
    const Vec3 a = scene.GLActor1->WorldMatrix().Point({4, 8, 12});
    EXPECT_NEAR(a.x, 1, 1e-12);
    EXPECT_NEAR(a.y, -3, 1e-12);
    EXPECT_NEAR(a.z, 2, 1e-12);
}

TEST(Scene, TheDrawnCurveRunsThroughEveryNode)
{
    SmallScene s;
    const SceneLines* ring = s.Line("outer2");
    const auto& curve = ring->Curve();
    ASSERT_EQ(curve.size(), (ring->nodes.size() - 1) * SceneLines::kDivisions + 1);
    for (std::size_t i = 0; i < ring->nodes.size(); ++i)
        EXPECT_LT(Length(curve[i * SceneLines::kDivisions] - ring->nodes[i]), 1e-12);
    // Between nodes the spline stays near the circle (radius 2 after scaling).
    for (const Vec3& p : curve)
        EXPECT_NEAR(std::hypot(p.x, p.z), 2.0, 0.03);
}

TEST(Scene, HighlightColoursTheChosenFrame)
{
    SmallScene s;
    s.scene.HighlightFrameContours(1);
    EXPECT_EQ(s.Line("outer2")->nodeColour, kHighlightColour);
    EXPECT_EQ(s.Line("inner2")->nodeColour, kHighlightColour);
    EXPECT_EQ(s.Line("outer1")->nodeColour, kOuterLineColour);
    EXPECT_EQ(s.Line("inner3")->nodeColour, kInnerLineColour);
    EXPECT_EQ(s.Line("catheter")->nodeColour, kCatheterColour);
    // The next frame takes the red over; the previous returns to white and blue.
    s.scene.HighlightFrameContours(2);
    EXPECT_EQ(s.Line("outer2")->nodeColour, kOuterLineColour);
    EXPECT_EQ(s.Line("inner2")->nodeColour, kInnerLineColour);
    EXPECT_EQ(s.Line("outer3")->nodeColour, kHighlightColour);
    EXPECT_EQ(s.Line("catheter")->nodeColour, kCatheterColour);
}

TEST(Scene, VisibilityByNamePrefixAndTheCatheter)
{
    SmallScene s;
    s.scene.SetContoursVisible('o', false);
    for (const SceneLines* l : s.scene.LinesFromLast())
        EXPECT_EQ(l->visible, l->name[0] != 'o') << l->name;
    s.scene.SetContoursVisible('o', true);
    s.scene.SetContoursVisible('i', false);
    for (const SceneLines* l : s.scene.LinesFromLast())
        EXPECT_EQ(l->visible, l->name[0] != 'i') << l->name;
    s.scene.SetContoursVisible('i', true);
    // "Show catheter" off and on again: the one catheter line hides and shows.
    EXPECT_TRUE(s.scene.SetCatheterVisible(false));
    EXPECT_FALSE(s.Line("catheter")->visible);
    EXPECT_TRUE(s.Line("outer1")->visible);
    EXPECT_TRUE(s.scene.SetCatheterVisible(true));
    EXPECT_TRUE(s.Line("catheter")->visible);
    Scene empty;
    EXPECT_FALSE(empty.SetCatheterVisible(false));
}

TEST(Scene, PickingTakesTheNearestLineWithinFourPixels)
{
    SmallScene s;
    SceneCamera& cam = *s.scene.GLCamera;
    cam.AdjustDistanceToTarget(4.0);
    const int w = 640, h = 480;
    const Mat4 vp = cam.ProjectionMatrix(w, h) * cam.ViewMatrix();
    // A node of frame 3's outer ring, where no other line passes.
    SceneLines* ring = s.Line("outer3");
    const ScreenPoint p = ProjectToWindow(vp * ring->WorldMatrix(), ring->nodes[5], w, h);
    ASSERT_TRUE(p.inFront);
    EXPECT_EQ(s.scene.PickLine(cam, w, h, p.x, p.y), ring);
    EXPECT_EQ(s.scene.PickLine(cam, w, h, p.x + 2.5, p.y), ring);
    // A hidden line cannot be picked.
    ring->visible = false;
    EXPECT_NE(s.scene.PickLine(cam, w, h, p.x, p.y), ring);
    ring->visible = true;
    // Far from every line nothing is picked.
    EXPECT_EQ(s.scene.PickLine(cam, w, h, 2, 2), nullptr);
    // The catheter is picked as a line like any other (Tag -1: the view shows no frame).
    SceneLines* cath = s.Line("catheter");
    const ScreenPoint c = ProjectToWindow(vp * cath->WorldMatrix(), cath->nodes[2], w, h);
    EXPECT_EQ(s.scene.PickLine(cam, w, h, c.x, c.y), cath);
}

TEST(Scene, NavigationTurnsAroundTheTargetAndZooms)
{
    Scene scene;
    SceneCamera& cam = *scene.GLCamera;
    const double d0 = Length(cam.WorldPosition() - cam.TargetPosition());
    cam.MoveAroundTarget(20, 35);
    EXPECT_NEAR(Length(cam.WorldPosition() - cam.TargetPosition()), d0, 1e-9);
    cam.AdjustDistanceToTarget(2.0);
    EXPECT_NEAR(Length(cam.WorldPosition() - cam.TargetPosition()), 2 * d0, 1e-9);
    // Panning moves DCCamera, which carries both the camera and its target.
    const Vec3 right = cam.AbsoluteRight(), up = cam.AbsoluteUp();
    EXPECT_NEAR(Dot(right, up), 0, 1e-12);
    EXPECT_NEAR(Dot(up, cam.TargetPosition() - cam.WorldPosition()), 0, 1e-9);
    const Vec3 before = cam.WorldPosition() - cam.TargetPosition();
    scene.DCCamera->position = scene.DCCamera->position + right * 3.0;
    const Vec3 after = cam.WorldPosition() - cam.TargetPosition();
    EXPECT_LT(Length(after - before), 1e-9);
    EXPECT_NEAR(Length(scene.DCCamera->WorldPosition()), 3.0, 1e-9);
}

TEST(Scene, FlyThroughShowsEachFrameAndStopsAtTheLast)
{
    struct Case {
        double T;
        int N;
        std::size_t path, list;
        bool stop;
        int frame; // -1: none
    };
    const Case cases[] = {
        {0.0, 5, 5, 5, false, 0},   {1.9, 5, 5, 5, false, 1}, {3.99, 5, 5, 5, false, 3},
        {4.0, 5, 5, 5, true, -1},   {4.0, 5, 6, 5, true, 4},  // N + 1 path points: the last frame still shows
        {7.0, 5, 5, 5, true, -1},   {0.0, 1, 1, 1, true, -1}, {0.0, 0, 0, 0, true, -1},
        {2.0, 9, 9, 2, false, -1},  // beyond the end-diastolic list
        {10000.0, 20000, 20001, 20001, false, -1}, {9999.5, 20000, 20001, 20001, false, 9999},
    };
    for (const Case& c : cases) {
        const FlyThroughTick t = FlyThroughStep(c.T, c.N, c.path, c.list);
        EXPECT_EQ(t.stop, c.stop) << c.T << " " << c.N;
        EXPECT_EQ(t.frame.value_or(-1), c.frame) << c.T << " " << c.N;
    }
    // On a clock of ticks every 0.1 s: frames 0 .. 3 in order, stopped at T = 4.
    std::vector<int> shown;
    double stoppedAt = -1;
    for (int i = 0; i < 100 && stoppedAt < 0; ++i) {
        const FlyThroughTick t = FlyThroughStep(i * 0.1, 5, 5, 5);
        if (t.frame && (shown.empty() || shown.back() != *t.frame))
            shown.push_back(*t.frame);
        if (t.stop)
            stoppedAt = i * 0.1;
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_NEAR(stoppedAt, 4.0, 1e-9);
}

TEST(Scene, ClearFreesEveryObject)
{
    SmallScene s;
    EXPECT_EQ(s.scene.ObjectCount(), 11u + 7u);
    s.scene.Clear();
    EXPECT_EQ(s.scene.ObjectCount(), 0u);
    EXPECT_TRUE(s.scene.TopLevel().empty());
    EXPECT_TRUE(s.scene.LinesFromLast().empty());
}
