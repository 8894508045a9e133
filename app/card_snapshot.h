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

// The IVUS frame file shown as analysed frame k: entry k of the end-diastolic list, or k
// itself past the end of the list (a card without a stored list analyses every file).
inline std::uint32_t AnalysedFrameFile(const std::vector<std::uint32_t>& endDiastolicFrames, std::size_t k)
{
    return k < endDiastolicFrames.size() ? endDiastolicFrames[k] : static_cast<std::uint32_t>(k);
}
