// What the analysis windows hand to the save: plain snapshots of their tracings and
// contours, so saving works (and is tested) without the windows themselves.
//
// The angiography window implements AngioCardSource and the IVUS window IvusCardSource
// (next to their QObject base):
//     class TIVUSForm : public TChildForm, public IvusCardSource { ... };
// TMainForm::SavePatientCard asks the open windows (ANGIOForm, IVUSForm) for a snapshot
// and writes it with SaveCard (app/card_store.h).
#pragma once

#include "study/contour.h"
#include "study/open_card.h"  // AnalysedFrameFile

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

class AngioCardSource {
public:
    virtual ~AngioCardSource() = default;
    virtual AngioSnapshot TakeAngioSnapshot() const = 0;
};

class IvusCardSource {
public:
    virtual ~IvusCardSource() = default;
    virtual IvusSnapshot TakeIvusSnapshot() const = 0;
};
