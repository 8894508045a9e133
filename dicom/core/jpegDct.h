#pragma once

// Integer DCTs of the JPEG codec's 8-bit path: the Loeffler-Ligtenberg-
// Moschytz factorisation with 13-bit constants and two extra fraction bits
// between the passes, in 32-bit arithmetic.

#include <cstddef>
#include <cstdint>

namespace Halvoran::Varnix::codecs::jpeg
{

// Dequantises the 64 coefficients (natural order) with the quantisation
// entries, transforms them and writes 8 rows of 8 samples (level shift
// 128 added, clamped to 0..255) at pOut, rows stride bytes apart. Crafted
// coefficients give clamped nonsense, never an arithmetic fault.
void inverseDct8(const std::int32_t* pCoefficients, const std::int32_t* pQuant, std::uint8_t* pOut,
                 std::size_t stride);

// Forward transform of 64 level-shifted samples (natural order) into 8 times
// the DCT coefficients of T.81 (natural order).
void forwardDct8(const std::int32_t* pSamples, std::int32_t* pOut);

} // namespace Halvoran::Varnix::codecs::jpeg
