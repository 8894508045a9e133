#include "dicom/core/jpegDct.h"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace Halvoran::Varnix::codecs::jpeg
{

namespace
{

constexpr int constBits = 13;
constexpr int pass1Bits = 2;

// round(x * 2^13) of the factorisation's constants.
constexpr std::uint32_t c0_298631336 = 2446;
constexpr std::uint32_t c0_390180644 = 3196;
constexpr std::uint32_t c0_541196100 = 4433;
constexpr std::uint32_t c0_765366865 = 6270;
constexpr std::uint32_t c0_899976223 = 7373;
constexpr std::uint32_t c1_175875602 = 9633;
constexpr std::uint32_t c1_501321110 = 12299;
constexpr std::uint32_t c1_847759065 = 15137;
constexpr std::uint32_t c1_961570560 = 16069;
constexpr std::uint32_t c2_053119869 = 16819;
constexpr std::uint32_t c2_562915447 = 20995;
constexpr std::uint32_t c3_072711026 = 25172;

// The arithmetic is done on unsigned 32-bit values, which wrap where signed
// ones would overflow (only crafted coefficients get there); a shift of the
// value taken as signed gives the arithmetic right shift.
inline std::int32_t descale(std::uint32_t value, int bits)
{
    return static_cast<std::int32_t>(value + (1u << (bits - 1))) >> bits;
}

// One 8-point inverse transform: inputs x0..x7, outputs (before descaling)
// into out[0..7].
inline void idct1d(std::uint32_t x0, std::uint32_t x1, std::uint32_t x2, std::uint32_t x3, std::uint32_t x4,
                   std::uint32_t x5, std::uint32_t x6, std::uint32_t x7, std::uint32_t* out)
{
    // Even part.
    const std::uint32_t z1 = (x2 + x6) * c0_541196100;
    const std::uint32_t e2 = z1 - x6 * c1_847759065;
    const std::uint32_t e3 = z1 + x2 * c0_765366865;
    const std::uint32_t e0 = (x0 + x4) << constBits;
    const std::uint32_t e1 = (x0 - x4) << constBits;
    const std::uint32_t t10 = e0 + e3;
    const std::uint32_t t13 = e0 - e3;
    const std::uint32_t t11 = e1 + e2;
    const std::uint32_t t12 = e1 - e2;
    // Odd part.
    const std::uint32_t s1 = x7 + x1;
    const std::uint32_t s2 = x5 + x3;
    const std::uint32_t s3 = x7 + x3;
    const std::uint32_t s4 = x5 + x1;
    const std::uint32_t s5 = (s3 + s4) * c1_175875602;
    const std::uint32_t m1 = 0u - s1 * c0_899976223;
    const std::uint32_t m2 = 0u - s2 * c2_562915447;
    const std::uint32_t m3 = s5 - s3 * c1_961570560;
    const std::uint32_t m4 = s5 - s4 * c0_390180644;
    const std::uint32_t o0 = x7 * c0_298631336 + m1 + m3;
    const std::uint32_t o1 = x5 * c2_053119869 + m2 + m4;
    const std::uint32_t o2 = x3 * c3_072711026 + m2 + m3;
    const std::uint32_t o3 = x1 * c1_501321110 + m1 + m4;
    out[0] = t10 + o3;
    out[7] = t10 - o3;
    out[1] = t11 + o2;
    out[6] = t11 - o2;
    out[2] = t12 + o1;
    out[5] = t12 - o1;
    out[3] = t13 + o0;
    out[4] = t13 - o0;
}

inline std::uint8_t toSample(std::int32_t value)
{
    return static_cast<std::uint8_t>(std::clamp(value + 128, 0, 255));
}

} // namespace

void inverseDct8Portable(const std::int32_t* pCoefficients, const std::int32_t* pQuant, std::uint8_t* pOut,
                         std::size_t stride)
{
    // Rows, keeping two fraction bits.
    std::uint32_t temp[64];
    for (int row = 0; row < 8; ++row)
    {
        const std::int32_t* in = pCoefficients + row * 8;
        const std::int32_t* q = pQuant + row * 8;
        std::uint32_t* t = temp + row * 8;
        if ((in[1] | in[2] | in[3] | in[4] | in[5] | in[6] | in[7]) == 0)
        {
            // What the transform gives for a row of its DC alone.
            const std::uint32_t dc = static_cast<std::uint32_t>(descale(
                (static_cast<std::uint32_t>(in[0]) * static_cast<std::uint32_t>(q[0])) << constBits,
                constBits - pass1Bits));
            std::fill(t, t + 8, dc);
            continue;
        }
        std::uint32_t out[8];
        idct1d(static_cast<std::uint32_t>(in[0]) * static_cast<std::uint32_t>(q[0]),
               static_cast<std::uint32_t>(in[1]) * static_cast<std::uint32_t>(q[1]),
               static_cast<std::uint32_t>(in[2]) * static_cast<std::uint32_t>(q[2]),
               static_cast<std::uint32_t>(in[3]) * static_cast<std::uint32_t>(q[3]),
               static_cast<std::uint32_t>(in[4]) * static_cast<std::uint32_t>(q[4]),
               static_cast<std::uint32_t>(in[5]) * static_cast<std::uint32_t>(q[5]),
               static_cast<std::uint32_t>(in[6]) * static_cast<std::uint32_t>(q[6]),
               static_cast<std::uint32_t>(in[7]) * static_cast<std::uint32_t>(q[7]), out);
        for (int i = 0; i < 8; ++i)
            t[i] = static_cast<std::uint32_t>(descale(out[i], constBits - pass1Bits));
    }
    // Columns, then the level shift.
    constexpr int finalBits = constBits + pass1Bits + 3;
    for (int column = 0; column < 8; ++column)
    {
        const std::uint32_t* t = temp + column;
        std::uint32_t out[8];
        idct1d(t[0], t[8], t[16], t[24], t[32], t[40], t[48], t[56], out);
        for (int i = 0; i < 8; ++i)
            pOut[i * stride + column] = toSample(descale(out[i], finalBits));
    }
}

#if defined(__x86_64__)

namespace
{

#define KESTROVA_AVX2 __attribute__((target("avx2")))

KESTROVA_AVX2 inline void transpose8(__m256i* r)
{
    const __m256i a0 = _mm256_unpacklo_epi32(r[0], r[1]), a1 = _mm256_unpackhi_epi32(r[0], r[1]);
    const __m256i a2 = _mm256_unpacklo_epi32(r[2], r[3]), a3 = _mm256_unpackhi_epi32(r[2], r[3]);
    const __m256i a4 = _mm256_unpacklo_epi32(r[4], r[5]), a5 = _mm256_unpackhi_epi32(r[4], r[5]);
    const __m256i a6 = _mm256_unpacklo_epi32(r[6], r[7]), a7 = _mm256_unpackhi_epi32(r[6], r[7]);
    const __m256i b0 = _mm256_unpacklo_epi64(a0, a2), b1 = _mm256_unpackhi_epi64(a0, a2);
    const __m256i b2 = _mm256_unpacklo_epi64(a1, a3), b3 = _mm256_unpackhi_epi64(a1, a3);
    const __m256i b4 = _mm256_unpacklo_epi64(a4, a6), b5 = _mm256_unpackhi_epi64(a4, a6);
    const __m256i b6 = _mm256_unpacklo_epi64(a5, a7), b7 = _mm256_unpackhi_epi64(a5, a7);
    r[0] = _mm256_permute2x128_si256(b0, b4, 0x20);
    r[1] = _mm256_permute2x128_si256(b1, b5, 0x20);
    r[2] = _mm256_permute2x128_si256(b2, b6, 0x20);
    r[3] = _mm256_permute2x128_si256(b3, b7, 0x20);
    r[4] = _mm256_permute2x128_si256(b0, b4, 0x31);
    r[5] = _mm256_permute2x128_si256(b1, b5, 0x31);
    r[6] = _mm256_permute2x128_si256(b2, b6, 0x31);
    r[7] = _mm256_permute2x128_si256(b3, b7, 0x31);
}

KESTROVA_AVX2 inline __m256i mul(__m256i a, std::uint32_t c)
{
    return _mm256_mullo_epi32(a, _mm256_set1_epi32(static_cast<int>(c)));
}

// idct1d on 8 lanes at once (the same wrapping 32-bit arithmetic).
KESTROVA_AVX2 inline void idct1dAvx2(const __m256i* x, __m256i* out)
{
    const __m256i z1 = mul(_mm256_add_epi32(x[2], x[6]), c0_541196100);
    const __m256i e2 = _mm256_sub_epi32(z1, mul(x[6], c1_847759065));
    const __m256i e3 = _mm256_add_epi32(z1, mul(x[2], c0_765366865));
    const __m256i e0 = _mm256_slli_epi32(_mm256_add_epi32(x[0], x[4]), constBits);
    const __m256i e1 = _mm256_slli_epi32(_mm256_sub_epi32(x[0], x[4]), constBits);
    const __m256i t10 = _mm256_add_epi32(e0, e3), t13 = _mm256_sub_epi32(e0, e3);
    const __m256i t11 = _mm256_add_epi32(e1, e2), t12 = _mm256_sub_epi32(e1, e2);
    const __m256i s1 = _mm256_add_epi32(x[7], x[1]), s2 = _mm256_add_epi32(x[5], x[3]);
    const __m256i s3 = _mm256_add_epi32(x[7], x[3]), s4 = _mm256_add_epi32(x[5], x[1]);
    const __m256i s5 = mul(_mm256_add_epi32(s3, s4), c1_175875602);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i m1 = _mm256_sub_epi32(zero, mul(s1, c0_899976223));
    const __m256i m2 = _mm256_sub_epi32(zero, mul(s2, c2_562915447));
    const __m256i m3 = _mm256_sub_epi32(s5, mul(s3, c1_961570560));
    const __m256i m4 = _mm256_sub_epi32(s5, mul(s4, c0_390180644));
    const __m256i o0 = _mm256_add_epi32(_mm256_add_epi32(mul(x[7], c0_298631336), m1), m3);
    const __m256i o1 = _mm256_add_epi32(_mm256_add_epi32(mul(x[5], c2_053119869), m2), m4);
    const __m256i o2 = _mm256_add_epi32(_mm256_add_epi32(mul(x[3], c3_072711026), m2), m3);
    const __m256i o3 = _mm256_add_epi32(_mm256_add_epi32(mul(x[1], c1_501321110), m1), m4);
    out[0] = _mm256_add_epi32(t10, o3);
    out[7] = _mm256_sub_epi32(t10, o3);
    out[1] = _mm256_add_epi32(t11, o2);
    out[6] = _mm256_sub_epi32(t11, o2);
    out[2] = _mm256_add_epi32(t12, o1);
    out[5] = _mm256_sub_epi32(t12, o1);
    out[3] = _mm256_add_epi32(t13, o0);
    out[4] = _mm256_sub_epi32(t13, o0);
}

KESTROVA_AVX2 void inverseDct8Avx2Body(const std::int32_t* pCoefficients, const std::int32_t* pQuant,
                                       std::uint8_t* pOut, std::size_t stride)
{
    __m256i r[8];
    for (int i = 0; i < 8; ++i)
        r[i] = _mm256_mullo_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pCoefficients + 8 * i)),
                                  _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pQuant + 8 * i)));
    // Rows: lanes are rows once transposed.
    transpose8(r);
    __m256i t[8];
    idct1dAvx2(r, t);
    const __m256i half1 = _mm256_set1_epi32(1 << (constBits - pass1Bits - 1));
    for (int i = 0; i < 8; ++i)
        t[i] = _mm256_srai_epi32(_mm256_add_epi32(t[i], half1), constBits - pass1Bits);
    // Columns: lanes are columns again.
    transpose8(t);
    __m256i o[8];
    idct1dAvx2(t, o);
    constexpr int finalBits = constBits + pass1Bits + 3;
    const __m256i half2 = _mm256_set1_epi32(1 << (finalBits - 1));
    const __m256i level = _mm256_set1_epi32(128);
    for (int i = 0; i < 8; i += 2)
    {
        const __m256i a = _mm256_add_epi32(_mm256_srai_epi32(_mm256_add_epi32(o[i], half2), finalBits), level);
        const __m256i b = _mm256_add_epi32(_mm256_srai_epi32(_mm256_add_epi32(o[i + 1], half2), finalBits), level);
        // Saturation to 16 and then 8 bits is the clamp to 0..255.
        const __m256i words = _mm256_packs_epi32(a, b);                    // a0-3 b0-3 | a4-7 b4-7
        const __m256i bytes = _mm256_packus_epi16(words, words);           // per lane: a0-3 b0-3 twice
        const __m128i low = _mm256_castsi256_si128(bytes);
        const __m128i high = _mm256_extracti128_si256(bytes, 1);
        const __m128i rowA = _mm_unpacklo_epi32(low, high);                // a0-3 a4-7 b0-3 b4-7
        _mm_storel_epi64(reinterpret_cast<__m128i*>(pOut + i * stride), rowA);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(pOut + (i + 1) * stride), _mm_srli_si128(rowA, 8));
    }
}

} // namespace

bool inverseDct8Avx2(const std::int32_t* pCoefficients, const std::int32_t* pQuant, std::uint8_t* pOut,
                     std::size_t stride)
{
    if (!__builtin_cpu_supports("avx2"))
        return false;
    inverseDct8Avx2Body(pCoefficients, pQuant, pOut, stride);
    return true;
}

void inverseDct8(const std::int32_t* pCoefficients, const std::int32_t* pQuant, std::uint8_t* pOut,
                 std::size_t stride)
{
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2)
        inverseDct8Avx2Body(pCoefficients, pQuant, pOut, stride);
    else
        inverseDct8Portable(pCoefficients, pQuant, pOut, stride);
}

#else

bool inverseDct8Avx2(const std::int32_t*, const std::int32_t*, std::uint8_t*, std::size_t)
{
    return false;
}

void inverseDct8(const std::int32_t* pCoefficients, const std::int32_t* pQuant, std::uint8_t* pOut,
                 std::size_t stride)
{
    inverseDct8Portable(pCoefficients, pQuant, pOut, stride);
}

#endif

namespace
{

void forwardDct8(const std::int32_t* pSamples, std::int32_t* pOut)
{
    std::int32_t temp[64];
    // Rows, with two extra fraction bits; then columns.
    for (int pass = 0; pass < 2; ++pass)
    {
        const std::int32_t* in = pass == 0 ? pSamples : temp;
        std::int32_t* out = pass == 0 ? temp : pOut;
        const int step = pass == 0 ? 1 : 8;   // between the 8 values of one transform
        const int next = pass == 0 ? 8 : 1;   // between transforms
        const int evenShift = pass == 0 ? -pass1Bits : pass1Bits;
        const int oddBits = pass == 0 ? constBits - pass1Bits : constBits + pass1Bits;
        for (int line = 0; line < 8; ++line)
        {
            const std::int32_t* d = in + line * next;
            std::int32_t* o = out + line * next;
            const std::uint32_t d0 = static_cast<std::uint32_t>(d[0]), d1 = static_cast<std::uint32_t>(d[step]),
                                d2 = static_cast<std::uint32_t>(d[2 * step]), d3 = static_cast<std::uint32_t>(d[3 * step]),
                                d4 = static_cast<std::uint32_t>(d[4 * step]), d5 = static_cast<std::uint32_t>(d[5 * step]),
                                d6 = static_cast<std::uint32_t>(d[6 * step]), d7 = static_cast<std::uint32_t>(d[7 * step]);
            const std::uint32_t t0 = d0 + d7, t7 = d0 - d7, t1 = d1 + d6, t6 = d1 - d6;
            const std::uint32_t t2 = d2 + d5, t5 = d2 - d5, t3 = d3 + d4, t4 = d3 - d4;
            const std::uint32_t t10 = t0 + t3, t13 = t0 - t3, t11 = t1 + t2, t12 = t1 - t2;
            if (evenShift < 0)
            {
                o[0] = static_cast<std::int32_t>((t10 + t11) << pass1Bits);
                o[4 * step] = static_cast<std::int32_t>((t10 - t11) << pass1Bits);
            }
            else
            {
                o[0] = descale(t10 + t11, pass1Bits);
                o[4 * step] = descale(t10 - t11, pass1Bits);
            }
            const std::uint32_t z1 = (t12 + t13) * c0_541196100;
            o[2 * step] = descale(z1 + t13 * c0_765366865, oddBits);
            o[6 * step] = descale(z1 - t12 * c1_847759065, oddBits);
            const std::uint32_t s1 = t4 + t7, s2 = t5 + t6, s3 = t4 + t6, s4 = t5 + t7;
            const std::uint32_t s5 = (s3 + s4) * c1_175875602;
            const std::uint32_t m1 = 0u - s1 * c0_899976223;
            const std::uint32_t m2 = 0u - s2 * c2_562915447;
            const std::uint32_t m3 = s5 - s3 * c1_961570560;
            const std::uint32_t m4 = s5 - s4 * c0_390180644;
            o[7 * step] = descale(t4 * c0_298631336 + m1 + m3, oddBits);
            o[5 * step] = descale(t5 * c2_053119869 + m2 + m4, oddBits);
            o[3 * step] = descale(t6 * c3_072711026 + m2 + m3, oddBits);
            o[1 * step] = descale(t7 * c1_501321110 + m1 + m4, oddBits);
        }
    }
}

} // namespace

void forwardDctQuantisePortable(const std::int32_t* pSamples, const float* pFactors, std::int32_t* pOut)
{
    std::int32_t transformed[64];
    forwardDct8(pSamples, transformed);
    for (int k = 0; k < 64; ++k)
    {
        const float product = static_cast<float>(transformed[k]) * pFactors[k];
        pOut[k] = static_cast<std::int32_t>(product + std::copysign(0.5f, product));
    }
}

#if defined(__x86_64__)

namespace
{

KESTROVA_AVX2 inline __m256i descaleAvx2(__m256i half, __m128i shift, __m256i v)
{
    return _mm256_sra_epi32(_mm256_add_epi32(v, half), shift);
}

// One pass of the forward transform on 8 lanes: inputs x[0..7], outputs
// out[0..7]; the first pass keeps two extra fraction bits in the even
// outputs.
KESTROVA_AVX2 inline void fdct1dAvx2(const __m256i* x, __m256i* out, bool firstPass)
{
    const int oddBits = firstPass ? constBits - pass1Bits : constBits + pass1Bits;
    const __m256i oddHalf = _mm256_set1_epi32(1 << (oddBits - 1));
    const __m128i oddShift = _mm_cvtsi32_si128(oddBits);
    const __m256i t0 = _mm256_add_epi32(x[0], x[7]), t7 = _mm256_sub_epi32(x[0], x[7]);
    const __m256i t1 = _mm256_add_epi32(x[1], x[6]), t6 = _mm256_sub_epi32(x[1], x[6]);
    const __m256i t2 = _mm256_add_epi32(x[2], x[5]), t5 = _mm256_sub_epi32(x[2], x[5]);
    const __m256i t3 = _mm256_add_epi32(x[3], x[4]), t4 = _mm256_sub_epi32(x[3], x[4]);
    const __m256i t10 = _mm256_add_epi32(t0, t3), t13 = _mm256_sub_epi32(t0, t3);
    const __m256i t11 = _mm256_add_epi32(t1, t2), t12 = _mm256_sub_epi32(t1, t2);
    if (firstPass)
    {
        out[0] = _mm256_slli_epi32(_mm256_add_epi32(t10, t11), pass1Bits);
        out[4] = _mm256_slli_epi32(_mm256_sub_epi32(t10, t11), pass1Bits);
    }
    else
    {
        const __m256i half = _mm256_set1_epi32(1 << (pass1Bits - 1));
        out[0] = _mm256_srai_epi32(_mm256_add_epi32(_mm256_add_epi32(t10, t11), half), pass1Bits);
        out[4] = _mm256_srai_epi32(_mm256_add_epi32(_mm256_sub_epi32(t10, t11), half), pass1Bits);
    }
    const __m256i z1 = mul(_mm256_add_epi32(t12, t13), c0_541196100);
    out[2] = descaleAvx2(oddHalf, oddShift, _mm256_add_epi32(z1, mul(t13, c0_765366865)));
    out[6] = descaleAvx2(oddHalf, oddShift, _mm256_sub_epi32(z1, mul(t12, c1_847759065)));
    const __m256i s1 = _mm256_add_epi32(t4, t7), s2 = _mm256_add_epi32(t5, t6);
    const __m256i s3 = _mm256_add_epi32(t4, t6), s4 = _mm256_add_epi32(t5, t7);
    const __m256i s5 = mul(_mm256_add_epi32(s3, s4), c1_175875602);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i m1 = _mm256_sub_epi32(zero, mul(s1, c0_899976223));
    const __m256i m2 = _mm256_sub_epi32(zero, mul(s2, c2_562915447));
    const __m256i m3 = _mm256_sub_epi32(s5, mul(s3, c1_961570560));
    const __m256i m4 = _mm256_sub_epi32(s5, mul(s4, c0_390180644));
    out[7] = descaleAvx2(oddHalf, oddShift, _mm256_add_epi32(_mm256_add_epi32(mul(t4, c0_298631336), m1), m3));
    out[5] = descaleAvx2(oddHalf, oddShift, _mm256_add_epi32(_mm256_add_epi32(mul(t5, c2_053119869), m2), m4));
    out[3] = descaleAvx2(oddHalf, oddShift, _mm256_add_epi32(_mm256_add_epi32(mul(t6, c3_072711026), m2), m3));
    out[1] = descaleAvx2(oddHalf, oddShift, _mm256_add_epi32(_mm256_add_epi32(mul(t7, c1_501321110), m1), m4));
}

KESTROVA_AVX2 void forwardDctQuantiseAvx2Body(const std::int32_t* pSamples, const float* pFactors,
                                              std::int32_t* pOut)
{
    __m256i r[8];
    for (int i = 0; i < 8; ++i)
        r[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pSamples + 8 * i));
    transpose8(r); // lanes: rows
    __m256i t[8];
    fdct1dAvx2(r, t, true);
    transpose8(t); // lanes: columns
    __m256i o[8];
    fdct1dAvx2(t, o, false);
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256 sign = _mm256_set1_ps(-0.0f);
    for (int i = 0; i < 8; ++i)
    {
        const __m256 product =
            _mm256_mul_ps(_mm256_cvtepi32_ps(o[i]), _mm256_loadu_ps(pFactors + 8 * i));
        const __m256 rounding = _mm256_or_ps(half, _mm256_and_ps(product, sign));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pOut + 8 * i),
                            _mm256_cvttps_epi32(_mm256_add_ps(product, rounding)));
    }
}

} // namespace

bool forwardDctQuantiseAvx2(const std::int32_t* pSamples, const float* pFactors, std::int32_t* pOut)
{
    if (!__builtin_cpu_supports("avx2"))
        return false;
    forwardDctQuantiseAvx2Body(pSamples, pFactors, pOut);
    return true;
}

void forwardDctQuantise(const std::int32_t* pSamples, const float* pFactors, std::int32_t* pOut)
{
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2)
        forwardDctQuantiseAvx2Body(pSamples, pFactors, pOut);
    else
        forwardDctQuantisePortable(pSamples, pFactors, pOut);
}

#else

bool forwardDctQuantiseAvx2(const std::int32_t*, const float*, std::int32_t*)
{
    return false;
}

void forwardDctQuantise(const std::int32_t* pSamples, const float* pFactors, std::int32_t* pOut)
{
    forwardDctQuantisePortable(pSamples, pFactors, pOut);
}

#endif

} // namespace Halvoran::Varnix::codecs::jpeg
