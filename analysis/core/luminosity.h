#pragma once
// Brightness, contrast and gamma of the IVUS cells and the angiographic views: a 256-entry
// lookup table built from the three track bars (each -100 .. 100) and applied to the
// colour channels of a frame.

#include <array>
#include <cstdint>

#include <opencv2/core.hpp>

namespace kestrova::analysis {

using LuminosityTable = std::array<std::uint8_t, 256>;

/// gamma = 10^(G * 0.005), contrast = C * 0.01, brightness = B * 0.01; for each level i:
/// x = (i / 255)^gamma, x = (x - 0.5)(contrast + 1) + 0.5 + brightness, all in single
/// precision; the entry is x * 255 truncated and limited to 0 .. 255. All zero gives the
/// identity.
LuminosityTable BuildLuminosityTable(int brightness, int contrast, int gamma);

/// Maps every colour channel of an 8-bit image (1, 3 or 4 channels; a fourth channel,
/// alpha, is kept) through the table into `dst`.
void ApplyLuminosityTable(const cv::Mat& src, cv::Mat& dst, const LuminosityTable& table);

}  // namespace kestrova::analysis
