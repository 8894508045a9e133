#include "reconstruction/card/card_input.h"

#include "app/data.h"
#include "app/errors.h"

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

ReconstructionInput LoadOpenCardInput(Tdm* data, const OpenCard& card)
{
    if (card.GetSelectedPatient() < 0)
        throw DatabaseError("No patient card is open");
    if (!data)
        throw DatabaseError("Not connected to the database");
    return LoadCardInput(*data, card.GetSelectedPatient(), card.IVUSFrameCount);
}

} // namespace kestrova::reconstruction
