// The reconstruction's input read from a card through the data module, exactly as the
// 3D view and the `reconstruct` command read it.
#pragma once

#include "reconstruction/core/reconstruction.h"
#include "study/open_card.h"

class Tdm;

namespace kestrova::reconstruction {

// Reads the card `code` through `data`: both catheter tracings (LoadAngioView), the
// catheter centre and the outer and inner wall contours of frames 0 .. frameCount - 1
// (LoadIvusContours; stored rows of later frames are left out and listed in
// skippedWallFrames). Throws the data module's DatabaseError / ConversionError.
ReconstructionInput LoadCardInput(Tdm& data, int code, int frameCount);

// The same for an open card: its patient code and its IVUS frame count. Throws
// DatabaseError when no card is open or there is no database (data null).
ReconstructionInput LoadOpenCardInput(Tdm* data, const OpenCard& card);

} // namespace kestrova::reconstruction
