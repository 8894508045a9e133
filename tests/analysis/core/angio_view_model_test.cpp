#include "analysis/core/angio_view_model.h"

#include <gtest/gtest.h>

namespace kestrova::analysis {
namespace {

TEST(AngioViewModel, FrameFilesZoomSplitter) {
    EXPECT_EQ(AngioFrameFile("/data/patientData/7/LAO", "LAO.", 7), std::filesystem::path("/data/patientData/7/LAO/LAO.6.jpg"));
    EXPECT_EQ(AngioFrameFile("RAO", "RAO.", 1).filename(), "RAO.0.jpg");
    EXPECT_DOUBLE_EQ(ZoomScale(50), 0.5);
    EXPECT_DOUBLE_EQ(ZoomScale(600), 6.0);
    EXPECT_EQ(ZoomHint(150), "Zoom Factor: 150 %");
    EXPECT_EQ(WheelZoomPosition(100, 120), 105);
    EXPECT_EQ(WheelZoomPosition(100, 0), 95);
    EXPECT_EQ(WheelZoomPosition(598, 120), 600);
    EXPECT_EQ(WheelZoomPosition(52, -120), 50);
    EXPECT_EQ(RaoPanelWidth(1000), 492);
    EXPECT_EQ(RaoPanelWidth(1001), 492);
}

TEST(AngioViewModel, PlayingWrapsAndTheFrameChoiceKeepsZeroUntilChosen) {
    FrameChoice choice(20);
    choice.Choose(19);
    EXPECT_EQ(choice.PlayTick(), 20);
    EXPECT_EQ(choice.PlayTick(), 1);
    EXPECT_EQ(choice.PlayTick(), 2);
    EXPECT_EQ(choice.FrameNumber(), 2);

    FrameChoice stored(30);
    EXPECT_FALSE(stored.SetFrameNumber(0));  // no stored tracing: the editor stays at 1
    EXPECT_EQ(stored.EditorValue(), 1);
    EXPECT_EQ(stored.FrameNumber(), 0);
    EXPECT_TRUE(stored.SetFrameNumber(12));
    EXPECT_EQ(stored.EditorValue(), 12);
    EXPECT_TRUE(stored.SetFrameNumber(45));  // beyond the recording: the editor shows the last
    EXPECT_EQ(stored.EditorValue(), 30);
    EXPECT_EQ(stored.FrameNumber(), 45);
}

TEST(AngioViewModel, WheelZoomsExactlyOneView) {
    struct Case {
        bool lao, rao;
        WheelView zoomed;
        bool laoAfter, raoAfter;
    };
    const Case cases[] = {
        {true, false, WheelView::Lao, true, false},
        {false, true, WheelView::Rao, false, true},
        {true, true, WheelView::Lao, true, false},  // the LAO view is checked first
        {false, false, WheelView::None, false, false},
    };
    for (const Case& c : cases) {
        bool lao = c.lao, rao = c.rao;
        EXPECT_EQ(RouteWheel(lao, rao), c.zoomed);
        EXPECT_EQ(lao, c.laoAfter);
        EXPECT_EQ(rao, c.raoAfter);
    }
}

}  // namespace
}  // namespace kestrova::analysis
