#include "reconstruction/card/card_input.h"

#include "app/data.h"
#include "app/errors.h"
#include "reconstruction/core/wall_placement.h"

#include <algorithm>

namespace kestrova::reconstruction {

CardInput LoadCardInput(Tdm& data, int code, int frameCount)
{
    const StoredCard card = data.ReadStoredCard(code);
    CardInput read;
    ReconstructionInput& in = read.input;
    in.frameCount = frameCount;
    in.laoCatheter = card.lao.catheter;
    in.raoCatheter = card.rao.catheter;
    in.catheterCentre = card.catheterCentre;
    read.warnings = card.warnings;
    read.hasIvusRow = card.hasIvusRow;
    read.hasWallRows = !card.outer.empty() || !card.inner.empty();

    std::vector<int> outside;
    in.outerWalls = ContoursByFrame(card.outer, frameCount, &outside);
    in.innerWalls = ContoursByFrame(card.inner, frameCount, &outside);
    std::vector<long long> shown;  // as the user counts frames
    for (int k : outside)
        shown.push_back(static_cast<long long>(k) + 1);
    std::sort(shown.begin(), shown.end());
    shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
    if (!shown.empty())
        read.warnings.push_back("Stored wall contours of frame" + std::string(shown.size() > 1 ? "s " : " ") +
                                NumberRanges(shown) + " of card " + std::to_string(code) +
                                " were left out: past the card's " + std::to_string(std::max(0, frameCount)) +
                                " analysed frames.");
    return read;
}

CardInput LoadOpenCardInput(Tdm* data, const OpenCard& card)
{
    if (card.GetSelectedPatient() < 0)
        throw DatabaseError("No patient card is open");
    if (!data)
        throw DatabaseError("Not connected to the database");
    return LoadCardInput(*data, card.GetSelectedPatient(), card.IVUSFrameCount);
}

} // namespace kestrova::reconstruction
