#include "reconstruction/card/card_input.h"

#include "app/data.h"
#include "app/errors.h"

#include <algorithm>

namespace kestrova::reconstruction {

namespace {

// Ranges of frame numbers as the user counts them: "3", "3-5", "3-5, 9".
std::string FrameNumbers(std::vector<int> frames)
{
    std::vector<long long> shown;
    for (int k : frames)
        shown.push_back(static_cast<long long>(k) + 1);
    std::sort(shown.begin(), shown.end());
    shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
    std::string text;
    for (size_t i = 0; i < shown.size();) {
        size_t j = i;
        while (j + 1 < shown.size() && shown[j + 1] == shown[j] + 1)
            ++j;
        if (!text.empty())
            text += ", ";
        text += std::to_string(shown[i]);
        if (j > i)
            text += "-" + std::to_string(shown[j]);
        i = j + 1;
    }
    return text;
}

} // namespace

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
    std::sort(outside.begin(), outside.end());
    outside.erase(std::unique(outside.begin(), outside.end()), outside.end());
    if (!outside.empty())
        read.warnings.push_back("Stored wall contours of frame" + std::string(outside.size() > 1 ? "s " : " ") +
                                FrameNumbers(outside) + " of card " + std::to_string(code) +
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
