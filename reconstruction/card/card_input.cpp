#include "reconstruction/card/card_input.h"

#include "app/data.h"
#include "app/errors.h"
#include "app/forms.h"
#include "app/main_form.h"

namespace kestrova::reconstruction {
ReconstructionInput LoadCardInput(Tdm& data, int code, int frameCount)
{
    ReconstructionInput in;
    in.frameCount = frameCount;

    WallContour lumenA, lumenB, width;
    data.LoadAngioView(AngioView::LAO, code, in.laoCatheter, lumenA, lumenB, width);
    data.LoadAngioView(AngioView::RAO, code, in.raoCatheter, lumenA, lumenB, width);

    const std::size_t n = frameCount > 0 ? static_cast<std::size_t>(frameCount) : 0;
    in.outerWalls.resize(n);
    in.innerWalls.resize(n);
    FrameContourList userOuter(n), userInner(n);
    PixelPoint edge;
    data.LoadIvusContours(code, in.catheterCentre, edge, in.outerWalls, in.innerWalls, userOuter, userInner,
                          &in.skippedWallFrames);
    return in;
}

ReconstructionInput LoadOpenCardInput()
{
    if (!MainForm || MainForm->GetSelectedPatient() < 0)
        throw DatabaseError("No patient card is open");
    if (!dm)
        throw DatabaseError("Not connected to the database");
    return LoadCardInput(*dm, MainForm->GetSelectedPatient(), MainForm->IVUSFrameCount);
}

} // namespace kestrova::reconstruction
