#include "dicom/core/jpegDct.h"

#include <algorithm>

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

void inverseDct8(const std::int32_t* pCoefficients, const std::int32_t* pQuant, std::uint8_t* pOut,
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
            const std::uint32_t dc = (static_cast<std::uint32_t>(in[0]) * static_cast<std::uint32_t>(q[0]))
                                     << pass1Bits;
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

} // namespace Halvoran::Varnix::codecs::jpeg
