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
// The AVX2 version is used where the processor has it; both give the same
// bytes.
void inverseDct8(const std::int32_t* pCoefficients, const std::int32_t* pQuant, std::uint8_t* pOut,
                 std::size_t stride);
// The two versions, for the tests; the AVX2 one returns false (writing
// nothing) on a processor without AVX2.
void inverseDct8Portable(const std::int32_t* pCoefficients, const std::int32_t* pQuant, std::uint8_t* pOut,
                         std::size_t stride);
bool inverseDct8Avx2(const std::int32_t* pCoefficients, const std::int32_t* pQuant, std::uint8_t* pOut,
                     std::size_t stride);

// Forward transform of 64 level-shifted samples (natural order) into 8 times
// the DCT coefficients of T.81 (natural order), then quantised: each
// multiplied by its factor (1 / (8 q)) and rounded, halves away from zero.
// The AVX2 version is used where the processor has it; both give the same
// values.
void forwardDctQuantise(const std::int32_t* pSamples, const float* pFactors, std::int32_t* pOut);
void forwardDctQuantisePortable(const std::int32_t* pSamples, const float* pFactors, std::int32_t* pOut);
bool forwardDctQuantiseAvx2(const std::int32_t* pSamples, const float* pFactors, std::int32_t* pOut);

} // namespace Halvoran::Varnix::codecs::jpeg
