#include "analysis/core/angio_view_model.h"

#include <gtest/gtest.h>

namespace kestrova::analysis {
namespace {

TEST(AngioViewModel, ZoomSplitter) {
    EXPECT_DOUBLE_EQ(ZoomScale(50), 0.5);
    EXPECT_DOUBLE_EQ(ZoomScale(600), 6.0);
    EXPECT_EQ(ZoomHint(150), "Zoom Factor: 150 %");
    EXPECT_EQ(RaoPanelWidth(1000), 492);
    EXPECT_EQ(RaoPanelWidth(1001), 492);
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
