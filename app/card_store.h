// Writing a card's tracings and contours, and the checks around patient codes.
#pragma once

#include "study/card_snapshot.h"
#include "study/open_card.h"

#include <cstdint>
#include <vector>

class Tdm;

// Saves the open card `code`: the angio row from `angio` and the ivus row and wall rows
// from `ivus` (either may be null: that window is not open, its rows are not touched).
// The ivus row keeps its stored end-diastolic list; the wall rows are replaced by one
// row per analysed frame with a non-empty shown contour, `telodiastolicFrame` being
// AnalysedFrameFile(endDiastolicFrames, k). Everything is one transaction: on a failure
// (DatabaseError) nothing of this save stays and the previous rows are intact.
void SaveCard(Tdm& dm, int code, const std::vector<std::uint32_t>& endDiastolicFrames, const AngioSnapshot* angio,
              const IvusSnapshot* ivus);

// True when a new card may not take `code`: a patient row has it, or rows or a frame
// folder of a deleted card with that code remain (a new card would inherit them).
bool PatientCodeInUse(Tdm& dm, int code);
