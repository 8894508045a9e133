#include "dicom/core/buffer.h"
#include "dicom/core/dataHandlerNumeric.h"
#include "dicom/core/dataHandlerRaw.h"
#include "dicom_testutil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

using namespace Halvoran;
using namespace Halvoran::Varnix;
using namespace Halvoran::Varnix::handlers;
using namespace dicomtest;

namespace
{
template <class T>
std::string bytesOf(std::initializer_list<T> values)
{
    std::string bytes;
    for (T value : values)
        bytes.append(reinterpret_cast<const char*>(&value), sizeof(T));
    return bytes;
}

ptr<dataHandler> reader(const std::string& vr, const std::string& bytes)
{
    return makeBuffer(vr, bytes)->getDataHandler(false, 0);
}

// A writing handler of n elements whose values are read back after release.
struct written
{
    ptr<buffer> valueBuffer;
    ptr<dataHandler> handler;
};
written writer(const std::string& vr, std::uint32_t count)
{
    written w;
    w.valueBuffer = ptr<buffer>(new buffer(ptr<baseObject>(new baseObject), vr));
    w.handler = w.valueBuffer->getDataHandler(true, count);
    return w;
}
} // namespace

TEST(NumericHandler, ElementsAndPosition)
{
    ptr<dataHandler> us = reader("US", bytesOf<std::uint16_t>({1, 2, 3}));
    EXPECT_EQ(3u, us->getSize());
    EXPECT_EQ(2u, us->getUnitSize());
    EXPECT_EQ(1, us->getSignedLongIncPointer());
    us->skip(1);
    EXPECT_EQ(3, us->getSignedLong());

    ptr<dataHandler> five = reader("US", std::string("\x01\x00\x02\x00\x03", 5));
    // The committed value was padded to 6 bytes: 3 elements. A raw view of
    // 5 bytes as US gives 2.
    EXPECT_EQ(3u, five->getSize());
    {
        ptr<memory> block(new memory);
        const std::uint8_t bytes[5] = {1, 0, 2, 0, 3};
        block->assign(bytes, 5);
        ptr<dataHandlerUint16> handler(new dataHandlerUint16);
        handler->parseBuffer(block);
        EXPECT_EQ(2u, handler->getSize());
        handler->setPointer(2);
        EXPECT_FALSE(handler->pointerIsValid());
        handler->setPointer(1);
        EXPECT_TRUE(handler->pointerIsValid());
    }

    ptr<dataHandlerRaw> raw = makeBuffer("US", bytesOf<std::uint16_t>({1, 2}))->getDataHandlerRaw(false, 0);
    EXPECT_EQ(4u, raw->getSize());
    EXPECT_EQ(1u, raw->getUnitSize());
}

TEST(NumericHandler, ConversionTable)
{
    struct row
    {
        const char* vr;
        std::string bytes;
        std::int32_t signedValue;
        std::uint32_t unsignedValue;
        double doubleValue;
        const char* text;
    };
    const row rows[] = {
        {"US", bytesOf<std::uint16_t>({65535}), 65535, 65535u, 65535.0, "65535.000000"},
        {"SS", bytesOf<std::int16_t>({-2}), -2, 4294967294u, -2.0, "-2.000000"},
        {"UL", bytesOf<std::uint32_t>({4294967295u}), -1, 4294967295u, 4294967295.0, "4294967295.000000"},
        {"SL", bytesOf<std::int32_t>({-1}), -1, 4294967295u, -1.0, "-1.000000"},
        {"FD", bytesOf<double>({-2.75}), -2, 4294967294u, -2.75, "-2.750000"},
        {"FD", bytesOf<double>({3e9}), static_cast<std::int32_t>(3000000000ll - 4294967296ll), 3000000000u, 3e9,
         "3000000000.000000"},
        {"FL", bytesOf<float>({0.1f}), 0, 0u, static_cast<double>(0.1f), "0.100000"},
        {"OB", bytesOf<std::uint8_t>({200}), 200, 200u, 200.0, "200.000000"},
        {"SB", bytesOf<std::int8_t>({-100}), -100, 4294967196u, -100.0, "-100.000000"},
    };
    for (const row& r : rows)
    {
        ptr<dataHandler> handler = reader(r.vr, r.bytes);
        EXPECT_EQ(r.signedValue, handler->getSignedLong()) << r.vr << " " << r.text;
        EXPECT_EQ(r.unsignedValue, handler->getUnsignedLong()) << r.vr << " " << r.text;
        EXPECT_DOUBLE_EQ(r.doubleValue, handler->getDouble()) << r.vr;
        EXPECT_EQ(r.text, handler->getString()) << r.vr;
        EXPECT_EQ(fromUtf8(r.text), handler->getUnicodeString()) << r.vr;
        std::int32_t date[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
        handler->getDate(&date[0], &date[1], &date[2], &date[3], &date[4], &date[5], &date[6], &date[7], &date[8]);
        for (std::int32_t part : date)
            EXPECT_EQ(0, part);
    }
}

TEST(NumericHandler, SettersWrapWithoutClamping)
{
    written us = writer("US", 6);
    us.handler->setDoubleIncPointer(3.9);
    us.handler->setDoubleIncPointer(-1);
    us.handler->setDoubleIncPointer(70000);
    us.handler->setDoubleIncPointer(std::nan(""));
    us.handler->setDoubleIncPointer(1e300);
    us.handler->setString("  12.5xyz");
    us.handler->setPointer(0);
    for (std::uint32_t expected : {3u, 65535u, 4464u, 0u, 0u, 12u})
        EXPECT_EQ(expected, us.handler->getUnsignedLongIncPointer());

    written ob = writer("OB", 1);
    ob.handler->setSignedLong(300);
    EXPECT_EQ(44u, ob.handler->getUnsignedLong());

    written fd = writer("FD", 3);
    fd.handler->setSignedLongIncPointer(-1);
    fd.handler->setUnsignedLongIncPointer(4294967295u);
    fd.handler->setString("  12.5xyz");
    fd.handler->setPointer(0);
    EXPECT_EQ(-1.0, fd.handler->getDoubleIncPointer());
    EXPECT_EQ(4294967295.0, fd.handler->getDoubleIncPointer());
    EXPECT_EQ(12.5, fd.handler->getDoubleIncPointer());

    written fl = writer("FL", 2);
    fl.handler->setDoubleIncPointer(1e300);
    fl.handler->setUnicodeString(L"not a number");
    fl.handler->setPointer(0);
    EXPECT_TRUE(std::isinf(fl.handler->getDouble()));
    fl.handler->incPointer();
    EXPECT_EQ(0.0, fl.handler->getDouble());

    // Written values reach the buffer when the writer goes.
    us.handler.release();
    ptr<dataHandler> back = us.valueBuffer->getDataHandler(false, 0);
    ASSERT_EQ(6u, back->getSize());
    back->setPointer(2);
    EXPECT_EQ(4464u, back->getUnsignedLong());
}

TEST(NumericHandler, SetSizeZeroFillsAndRefusesOverflow)
{
    written sl = writer("SL", 0);
    sl.handler->setSize(4);
    EXPECT_EQ(4u, sl.handler->getSize());
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(0, sl.handler->getSignedLongIncPointer());
    EXPECT_THROW(sl.handler->setSize(0x40000000u), dataHandlerExceptionTooLarge);
    EXPECT_EQ(4u, sl.handler->getSize());
}

TEST(NumericHandler, Int32CopiesClampToSize)
{
    written sl = writer("SS", 4);
    const std::int32_t source[10] = {1, -2, 3, 70000, 5, 6, 7, 8, 9, 10};
    sl.handler->setPointer(2);
    sl.handler->copyFromInt32(source, 10);
    EXPECT_EQ(4u, sl.handler->getSize());
    std::int32_t destination[10];
    std::fill(std::begin(destination), std::end(destination), 99);
    sl.handler->copyToInt32(destination, 10);
    EXPECT_EQ(1, destination[0]);
    EXPECT_EQ(-2, destination[1]);
    EXPECT_EQ(static_cast<std::int16_t>(70000), destination[3]);
    EXPECT_EQ(99, destination[4]);
    // The position stays where it was.
    EXPECT_EQ(3, sl.handler->getSignedLong());
}

TEST(NumericHandler, InterleavedMeansAndEdges)
{
    // One channel 2 x 2: the mean of 4 samples, rounded toward minus infinity.
    struct row
    {
        std::int32_t values[4];
        std::int32_t mean;
    };
    for (const row& r : {row{{1, 2, 3, 4}, 2}, row{{-1, -2, -2, -2}, -2}})
    {
        written sl = writer("SL", 4);
        sl.handler->copyFromInt32(r.values, 4);
        std::int32_t mean = 0;
        static_cast<imageHandler*>(sl.handler.get())->copyToInt32Interleaved(&mean, 2, 2, 0, 0, 2, 2, 0, 2, 2, 1);
        EXPECT_EQ(r.mean, mean);
    }

    // A rectangle three columns past a 5-pixel-wide image repeats the fifth.
    written wide = writer("SL", 5);
    const std::int32_t row5[5] = {10, 20, 30, 40, 50};
    wide.handler->copyFromInt32(row5, 5);
    std::int32_t out[8] = {};
    static_cast<imageHandler*>(wide.handler.get())->copyToInt32Interleaved(out, 1, 1, 0, 0, 8, 1, 0, 5, 1, 1);
    EXPECT_EQ(50, out[4]);
    EXPECT_EQ(50, out[5]);
    EXPECT_EQ(50, out[7]);

    // Horizontal factor 2 writes each sample into two neighbours; a
    // rectangle starting past the edge writes nothing.
    written rgb = writer("SL", 4 * 2 * 3);
    imageHandler* image = static_cast<imageHandler*>(rgb.handler.get());
    const std::int32_t samples[4] = {7, 8, 9, 10};
    image->copyFromInt32Interleaved(samples, 2, 1, 0, 0, 4, 2, 1, 4, 2, 3);
    image->copyFromInt32Interleaved(samples, 1, 1, 4, 0, 6, 2, 0, 4, 2, 3);
    std::int32_t all[24];
    rgb.handler->copyToInt32(all, 24);
    const std::int32_t green[8] = {7, 7, 8, 8, 9, 9, 10, 10};
    for (int pixel = 0; pixel < 8; ++pixel)
    {
        EXPECT_EQ(0, all[pixel * 3]);
        EXPECT_EQ(green[pixel], all[pixel * 3 + 1]);
        EXPECT_EQ(0, all[pixel * 3 + 2]);
    }
}

TEST(NumericHandler, InterleavedRoundTripWithFactorOne)
{
    std::mt19937 random(3);
    for (int trial = 0; trial < 50; ++trial)
    {
        const std::uint32_t width = 1 + random() % 9, height = 1 + random() % 7, channels = 1 + random() % 3;
        const std::uint32_t x0 = random() % width, y0 = random() % height;
        const std::uint32_t x1 = x0 + 1 + random() % (width - x0), y1 = y0 + 1 + random() % (height - y0);
        const std::uint32_t channel = random() % channels;
        written image = writer("SL", width * height * channels);
        std::vector<std::int32_t> source((x1 - x0) * (y1 - y0));
        for (std::int32_t& v : source)
            v = static_cast<std::int32_t>(random()) - 1000000;
        imageHandler* handler = static_cast<imageHandler*>(image.handler.get());
        handler->copyFromInt32Interleaved(source.data(), 1, 1, x0, y0, x1, y1, channel, width, height, channels);
        std::vector<std::int32_t> back(source.size(), 0);
        handler->copyToInt32Interleaved(back.data(), 1, 1, x0, y0, x1, y1, channel, width, height, channels);
        ASSERT_EQ(source, back) << width << "x" << height << "x" << channels;
    }
}
