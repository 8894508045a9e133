// The reconstruction's input read from a card through the data module, exactly as the
// 3D view and the `reconstruct` command read it.
#pragma once

#include "reconstruction/core/reconstruction.h"
#include "study/open_card.h"

#include <string>
#include <vector>

class Tdm;

namespace kestrova::reconstruction {

// A card's reconstruction input and what reading it left out.
struct CardInput {
    ReconstructionInput input;
    // One line per stored row that was left out (a damaged, empty or repeated wall
    // contour, a wall row of a frame past the card's analysed frames, an unusable
    // catheter centre), naming the card, the wall and the frame counted from 1; the
    // reader shows them with the reconstruction's own remarks.
    std::vector<std::string> warnings;
    bool hasIvusRow = false;
    bool hasWallRows = false;  // some wall row of the card could be read
};

// Reads the card `code` through `data` in one read transaction (Tdm::ReadStoredCard):
// both catheter tracings, the catheter centre and the outer and inner wall contours of
// frames 0 .. frameCount - 1. Throws the data module's DatabaseError, or ConversionError
// naming the card and the columns of a damaged tracing.
CardInput LoadCardInput(Tdm& data, int code, int frameCount);

// The same for an open card: its patient code and its IVUS frame count. Throws
// DatabaseError when no card is open or there is no database (data null).
CardInput LoadOpenCardInput(Tdm* data, const OpenCard& card);

} // namespace kestrova::reconstruction
