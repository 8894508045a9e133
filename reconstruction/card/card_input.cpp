#include "reconstruction/card/card_input.h"

#include "app/data.h"
#include "app/errors.h"

namespace kestrova::reconstruction {
namespace {

ImageContour ToImage(const WallContour& c)
{
    ImageContour out;
    out.reserve(c.size());
    for (const IntPoint& p : c)
        out.push_back({p.x, p.y});
    return out;
}

std::vector<ImageContour> ToImage(const FrameContourList& list)
{
    std::vector<ImageContour> out;
    out.reserve(list.size());
    for (const WallContour& c : list)
        out.push_back(ToImage(c));
    return out;
}

} // namespace

ReconstructionInput LoadCardInput(Tdm& data, int code, int frameCount)
{
    ReconstructionInput in;
    in.frameCount = frameCount;

    WallContour catheter, lumenA, lumenB, width;
    data.LoadAngioView(AngioView::LAO, code, catheter, lumenA, lumenB, width);
    in.laoCatheter = ToImage(catheter);
    catheter.clear();
    data.LoadAngioView(AngioView::RAO, code, catheter, lumenA, lumenB, width);
    in.raoCatheter = ToImage(catheter);

    const std::size_t n = frameCount > 0 ? static_cast<std::size_t>(frameCount) : 0;
    FrameContourList outer(n), inner(n), userOuter(n), userInner(n);
    IntPoint centre, edge;
    data.LoadIvusContours(code, centre, edge, outer, inner, userOuter, userInner, &in.skippedWallFrames);
    in.catheterCentre = {centre.x, centre.y};
    in.outerWalls = ToImage(outer);
    in.innerWalls = ToImage(inner);
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
