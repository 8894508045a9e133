// What the analysis windows hand to the save: plain snapshots of their tracings and
// contours, so saving works (and is tested) without the windows themselves. The windows
// give them through the interfaces of app/card_sources.h; SaveCard (app/card_store.h)
// writes them.
#pragma once

#include "study/contour.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// One angiographic view (LAO or RAO) as the save stores it.
struct AngioViewSnapshot {
    WallContour CatheterPoints;  // catheter centre line
    WallContour LumenAPoints;    // lumen border A
    WallContour LumenBPoints;    // lumen border B
    WallContour WidthPoints;     // the two points of the catheter width
    int FrameNumber = 0;         // the chosen frame (the view's GetFrameNumber())
};

struct AngioSnapshot {
    AngioViewSnapshot LAO;
    AngioViewSnapshot RAO;
};

// The IVUS window's catheter and contours, one entry per analysed frame k in each list.
// A shown contour (OuterWalls, InnerWalls) is stored when it has points; its initial
// contour (User...) should have as many points.
struct IvusSnapshot {
    PixelPoint CatheterCentre;
    PixelPoint CatheterEdge;
    FrameContourList OuterWalls;
    FrameContourList InnerWalls;
    FrameContourList UserOuterWalls;
    FrameContourList UserInnerWalls;
};
