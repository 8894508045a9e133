#include "jpeg_testutil.h"

#include <gtest/gtest.h>

using namespace Halvoran;
using namespace Halvoran::Varnix::codecs;
using namespace jpegtest;

TEST(JpegRoundTrip, GreyBaseline)
{
    const jpegSamples source = smoothFrame(37, 21, 1);
    const jpegSamples decoded = decode(encode(source, L"1.2.840.10008.1.2.4.50"));
    EXPECT_EQ(decoded.m_width, 37u);
    EXPECT_GT(psnr(source, decoded), 40.0);
}
