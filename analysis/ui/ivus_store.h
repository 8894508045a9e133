// Reading the IVUS window's stored catheter and contours, and the calibration write to
// the patient row, through the data module's statements.
#pragma once

#include "analysis/ui/ivus_model.h"

#include <vector>

class Tdm;

namespace kestrova::analysis {

struct StoredIvus {
    PixelPoint catheterCentre;
    PixelPoint catheterEdge;
    FrameContourList outer, inner, userOuter, userInner;  // one per analysed frame
    // `frame` values of wall rows that name no analysed frame of the card (negative or
    // not below the frame count): those rows were not loaded.
    std::vector<int> skippedFrames;
};

// Reads the card's ivus row and wall rows into lists of `frameCount` contours. Without
// an ivus row everything stays empty (no wall rows are read either). Points of a row
// are appended to the contour of its `frame`; a row whose frame lies outside the lists
// is skipped and reported in `skippedFrames` (the next save of the card drops it).
// Throws DatabaseError / ConversionError as the data module does.
StoredIvus LoadStoredIvus(Tdm& dm, int code, int frameCount);

// Writes the calibration into the card's patient row: points A and B, the distance and
// the pixel spacing. Returns false (and writes nothing) when the card has no patient row.
bool WritePatientCalibration(Tdm& dm, int code, PixelPoint a, PixelPoint b, double distance, double pixelSpacing);

// The patient row's pixel spacing (0 when null or when there is no row).
double ReadPixelSpacing(Tdm& dm, int code);

} // namespace kestrova::analysis
