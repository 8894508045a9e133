#include "dicom/base/exceptionsManager.h"
#include "dicom/core/colorTransform.h"
#include "dicom/core/colorTransformsFactory.h"
#include "dicom/core/dataHandlerNumeric.h"
#include "dicom/core/image.h"
#include "dicom/core/LUT.h"
#include "dicom/core/modalityVOILUT.h"
#include "dicom_testutil.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace Halvoran;
using namespace Halvoran::Varnix;
using namespace Halvoran::Varnix::transforms;
using namespace Halvoran::Varnix::transforms::colorTransforms;
using dicomtest::toUtf8;

namespace
{

ptr<image> makeImage(std::uint32_t width, std::uint32_t height, std::uint8_t depth, const std::wstring& colorSpace,
                     std::uint8_t highBit, const std::vector<std::int32_t>& values)
{
    ptr<image> made(new image);
    ptr<handlers::imageHandler> handler = made->create(width, height, depth, colorSpace, highBit);
    std::memcpy(handler->getMemoryBuffer(), values.data(), values.size() * 4);
    return made;
}

std::vector<std::int32_t> pixelsOf(const ptr<image>& source)
{
    std::uint32_t rowSize = 0, pixelSize = 0, channels = 0;
    ptr<handlers::imageHandler> handler = source->getDataHandler(false, &rowSize, &pixelSize, &channels);
    std::vector<std::int32_t> values(handler->getSize());
    std::memcpy(values.data(), handler->getMemoryBuffer(), values.size() * 4);
    return values;
}

ptr<dataSet> newDataSet()
{
    return ptr<dataSet>(new dataSet(ptr<baseObject>(new baseObject)));
}

// A handler of the VR holding the values.
ptr<handlers::dataHandler> valuesHandler(const std::string& vr, const std::vector<std::int32_t>& values)
{
    ptr<buffer> holder(new buffer(ptr<baseObject>(new baseObject), vr));
    {
        ptr<handlers::dataHandler> writer = holder->getDataHandler(true, 0);
        writer->setSize(static_cast<std::uint32_t>(values.size()));
        writer->copyFromInt32(values.data(), static_cast<std::uint32_t>(values.size()));
    }
    return holder->getDataHandler(false, 0);
}

} // namespace

TEST(image, createSetsChannelsHighBitAndHandler)
{
    ptr<image> made(new image);
    EXPECT_FALSE(made->getDataHandler(false, nullptr, nullptr, nullptr));
    ptr<handlers::imageHandler> handler = made->create(10, 10, image::depthU8, L"RGB", 0);
    ASSERT_TRUE(handler);
    EXPECT_EQ(handler->getSize(), 300u);
    EXPECT_EQ(made->getChannelsNumber(), 3u);
    EXPECT_EQ(made->getHighBit(), 7u);
    std::uint32_t rowSize = 0, pixelSize = 0, channels = 0;
    handler.release();
    EXPECT_TRUE(made->getDataHandler(false, &rowSize, &pixelSize, &channels));
    EXPECT_EQ(rowSize, 30u);
    EXPECT_EQ(pixelSize, 4u);

    struct highBitCase
    {
        std::uint8_t depth, highBit;
        std::uint32_t expected;
    };
    for (const highBitCase c : {highBitCase{3, 11, 11}, {1, 11, 7}, {0, 11, 0}, {4, 0, 15}, {2, 3, 3}})
    {
        made->create(2, 2, c.depth, L"MONOCHROME2", c.highBit);
        EXPECT_EQ(made->getHighBit(), c.expected) << int(c.depth) << " " << int(c.highBit);
    }

    made->create(4, 2, image::depthU8, L"ybr_full_422", 0);
    EXPECT_EQ(made->getColorSpace(), L"YBR_FULL");
    EXPECT_EQ(made->getChannelsNumber(), 3u);

    // Failures leave size and depth as they were.
    EXPECT_THROW(made->create(0, 5, 1, L"XYZ", 0), imageExceptionInvalidSize);
    EXPECT_THROW(made->create(5, 0, 1, L"RGB", 0), imageExceptionInvalidSize);
    EXPECT_THROW(made->create(5, 5, 5, L"RGB", 0), imageExceptionUnknownDepth);
    EXPECT_THROW(made->create(5, 5, 1, L"XYZ", 0), imageExceptionUnknownColorSpace);
    EXPECT_THROW(made->create(65536, 65536, 1, L"RGB", 0), imageExceptionInvalidSize);
    std::uint32_t width = 0, height = 0;
    made->getSize(&width, &height);
    EXPECT_EQ(width, 4u);
    EXPECT_EQ(height, 2u);
    EXPECT_EQ(made->getDepth(), image::depthU8);
    exceptionsManager::getTrailText();
}

TEST(image, depthFoundFromTheValues)
{
    struct depthCase
    {
        std::int32_t low, high;
        std::uint32_t storedHighBit;
        std::uint8_t depth;
        std::uint32_t highBit;
    };
    const depthCase cases[] = {{0, 255, 0, 1, 7},  {-5, 100, 0, 2, 7},  {-200, 0, 0, 4, 15},
                               {0, 300, 0, 3, 15}, {0, 200, 11, 3, 11}, {-1, 127, 0, 2, 7},
                               {-1, 128, 0, 4, 15}};
    for (const depthCase& c : cases)
    {
        ptr<image> made = makeImage(2, 1, 0, L"MONOCHROME2", 0, {c.low, c.high});
        made->setBitDepthAndHighBit(c.storedHighBit, 0);
        EXPECT_EQ(made->getDepth(), c.depth) << c.low << ".." << c.high;
        EXPECT_EQ(made->getHighBit(), c.highBit) << c.low << ".." << c.high;
    }
    ptr<image> known = makeImage(1, 1, 0, L"MONOCHROME2", 0, {5});
    known->setBitDepthAndHighBit(0, 3);
    EXPECT_EQ(known->getHighBit(), 0u);
    EXPECT_EQ(known->getDepth(), 3u);

    known->setSizeMm(4.0, 1.5);
    known->setSizeMm(0, 2.5);
    double widthMm = 0, heightMm = 0;
    known->getSizeMm(&widthMm, &heightMm);
    EXPECT_EQ(widthMm, 4.0);
    EXPECT_EQ(heightMm, 2.5);
}

TEST(colorTransformsFactory, namesChannelsAndSubsampling)
{
    const std::pair<const wchar_t*, const wchar_t*> names[] = {{L"ybr_full_422", L"YBR_FULL"},
                                                               {L"YBR_PARTIAL_420", L"YBR_PARTIAL"},
                                                               {L"Monochrome2", L"MONOCHROME2"},
                                                               {L"RGB", L"RGB"},
                                                               {L"", L""}};
    for (const auto& [name, normalized] : names)
        EXPECT_EQ(colorTransformsFactory::normalizeColorSpace(name), normalized);
    EXPECT_TRUE(colorTransformsFactory::isSubsampledX(L"YBR_FULL_422"));
    EXPECT_TRUE(colorTransformsFactory::isSubsampledX(L"YBR_PARTIAL_420"));
    EXPECT_FALSE(colorTransformsFactory::isSubsampledX(L"YBR_FULL"));
    EXPECT_TRUE(colorTransformsFactory::isSubsampledY(L"YBR_PARTIAL_420"));
    EXPECT_FALSE(colorTransformsFactory::isSubsampledY(L"YBR_FULL_422"));
    const std::pair<const wchar_t*, std::uint32_t> channels[] = {
        {L"PALETTE COLOR", 1}, {L"palette color", 1}, {L"CMYK", 4}, {L"YBR_FULL_422", 3}, {L"XYZ", 0}, {L"", 0}};
    for (const auto& [name, count] : channels)
        EXPECT_EQ(colorTransformsFactory::getNumberOfChannels(name), count) << toUtf8(name);

    // The toolkit's own transform is registered when the factory is made.
    const auto transforms = colorTransformsFactory::getColorTransformsFactory()->getTransforms();
    ASSERT_FALSE(transforms.empty());
    EXPECT_EQ(transforms.front()->getInputColorSpace(), L"YBR_PARTIAL");
}

TEST(lut, descriptorsDataAndMapping)
{
    ptr<lut> table(new lut);
    EXPECT_EQ(table->mappedValue(17), 0);
    EXPECT_TRUE(table->checkValidDataRange());

    EXPECT_THROW(table->setLut(valuesHandler("US", {4, 0}), valuesHandler("US", {1, 2, 3, 4}), L""),
                 lutExceptionCorrupted);
    EXPECT_THROW(table->setLut(valuesHandler("SS", {4096, -1024, 12}),
                               valuesHandler("US", std::vector<std::int32_t>(4095, 1)), L""),
                 lutExceptionCorrupted);
    EXPECT_THROW(table->setLut(valuesHandler("SS", {4, 0, 8}), ptr<handlers::dataHandler>(), L""),
                 lutExceptionCorrupted);
    EXPECT_EQ(table->getSize(), 0u);

    std::vector<std::int32_t> entries(4096);
    for (int i = 0; i < 4096; ++i)
        entries[i] = i * 3;
    table->setLut(valuesHandler("SS", {4096, -1024, 12}), valuesHandler("US", entries), L"HU");
    EXPECT_EQ(table->getSize(), 4096u);
    const std::pair<std::int32_t, std::int32_t> mapped[] = {
        {-2000, 0}, {-1024, 0}, {-1023, 3}, {3071, 4095 * 3}, {5000, 4095 * 3}};
    for (const auto& [input, output] : mapped)
        EXPECT_EQ(table->mappedValue(input), output) << input;

    table->setLut(valuesHandler("US", {0, 0, 16}), valuesHandler("US", std::vector<std::int32_t>(65536, 7)), L"");
    EXPECT_EQ(table->getSize(), 65536u);
    table->setLut(valuesHandler("SS", {-32768, 0, 16}), valuesHandler("US", std::vector<std::int32_t>(32768, 7)),
                  L"");
    EXPECT_EQ(table->getSize(), 32768u);

    struct rangeCase
    {
        std::uint8_t bits;
        std::int32_t entry;
        bool valid;
    };
    for (const rangeCase c : {rangeCase{8, 300, false}, {16, 300, true}, {12, 70000, false}, {8, -128, true},
                              {0, 5, false}})
    {
        table->create(2, 0, c.bits, L"");
        table->getEntries()[0] = 0;
        table->getEntries()[1] = c.entry;
        EXPECT_EQ(table->checkValidDataRange(), c.valid) << int(c.bits) << " " << c.entry;
        // The answer is cached until the table is replaced.
        table->getEntries()[1] = 0;
        EXPECT_EQ(table->checkValidDataRange(), c.valid);
    }
    exceptionsManager::getTrailText();
}

namespace
{
// Runs the modality transform on one grey image of the values.
ptr<image> runModality(const ptr<dataSet>& parameters, const std::vector<std::int32_t>& values,
                       std::uint8_t depth = 3, std::uint8_t highBit = 11)
{
    ptr<modalityVOILUT> modality(new modalityVOILUT);
    modality->declareDataSet(parameters);
    modality->declareInputImage(0, makeImage(static_cast<std::uint32_t>(values.size()), 1, depth, L"MONOCHROME2",
                                             highBit, values));
    modality->doTransform();
    return modality->getOutputImage(0);
}

void addModalityLut(const ptr<dataSet>& target, std::int32_t size, std::int32_t first, std::int32_t bits,
                    const std::vector<std::int32_t>& entries)
{
    ptr<dataSet> item = newDataSet();
    for (std::uint32_t i = 0; i < 3; ++i)
        item->setUnsignedLong(0x0028, 0, 0x3002, i, static_cast<std::uint32_t>(std::vector{size, first, bits}[i]),
                              "US");
    for (std::uint32_t i = 0; i < entries.size(); ++i)
        item->setUnsignedLong(0x0028, 0, 0x3006, i, static_cast<std::uint32_t>(entries[i]), "US");
    target->getTag(0x0028, 0, 0x3000, true)->setDataSet(0, item);
}
} // namespace

TEST(modalityVOILUT, rescaleClosedForms)
{
    ptr<modalityVOILUT> withoutData(new modalityVOILUT);
    withoutData->declareInputImage(0, makeImage(1, 1, 1, L"MONOCHROME2", 7, {1}));
    EXPECT_THROW(withoutData->doTransform(), transformExceptionDataSetNotDefined);

    // Nothing to rescale: values, depth and high bit pass unchanged.
    ptr<image> same = runModality(newDataSet(), {1, 4095});
    EXPECT_EQ(pixelsOf(same), (std::vector<std::int32_t>{1, 4095}));
    EXPECT_EQ(same->getDepth(), 3u);
    EXPECT_EQ(same->getHighBit(), 11u);

    struct rescaleCase
    {
        const wchar_t* slope;
        const wchar_t* intercept;
        std::vector<std::int32_t> in, out;
    };
    const rescaleCase cases[] = {{L"2", L"-1024", {600, 0}, {176, -1023}},
                                 {L"0.5", L"0", {3, 1}, {2, 1}},
                                 {L"1", L"-0.7", {0, -1}, {0, -1}},
                                 {L"-3", L"0.7", {1}, {-1}},
                                 {L"", L"10", {5}, {15}}};
    for (const rescaleCase& c : cases)
    {
        ptr<dataSet> parameters = newDataSet();
        if (*c.slope != 0)
            parameters->setUnicodeString(0x0028, 0, 0x1053, 0, c.slope, "DS");
        parameters->setUnicodeString(0x0028, 0, 0x1052, 0, c.intercept, "DS");
        EXPECT_EQ(pixelsOf(runModality(parameters, c.in)), c.out) << toUtf8(c.slope) << " " << toUtf8(c.intercept);
    }
    // 600 x 2 - 1024 and 0 x 2 - 1024: depth found from the values.
    ptr<dataSet> ct = newDataSet();
    ct->setUnicodeString(0x0028, 0, 0x1053, 0, L"2", "DS");
    ct->setUnicodeString(0x0028, 0, 0x1052, 0, L"-1024", "DS");
    ptr<image> rescaled = runModality(ct, {600, 0});
    EXPECT_EQ(rescaled->getDepth(), image::depthS16);
    exceptionsManager::getTrailText();
}

TEST(modalityVOILUT, lookupTableOfTheDataSet)
{
    ptr<dataSet> parameters = newDataSet();
    EXPECT_FALSE(parameters->getLut(0x0028, 0x3000, 0));
    addModalityLut(parameters, 4, 10, 12, {100, 200, 300, 4000});
    parameters->setUnicodeString(0x0028, 0, 0x1053, 0, L"2", "DS");
    ptr<image> mapped = runModality(parameters, {0, 10, 11, 12, 13, 99}, 1, 7);
    EXPECT_EQ(pixelsOf(mapped), (std::vector<std::int32_t>{100, 100, 200, 300, 4000, 4000}));
    EXPECT_EQ(mapped->getDepth(), image::depthU16);
    EXPECT_EQ(mapped->getHighBit(), 11u);

    ptr<dataSet> eightBits = newDataSet();
    addModalityLut(eightBits, 2, 0, 8, {7, 9});
    ptr<image> small = runModality(eightBits, {0, 1});
    EXPECT_EQ(small->getDepth(), image::depthU8);
    EXPECT_EQ(small->getHighBit(), 7u);

    // Entries beyond their bits, or entries of no bits: the rescale is used.
    for (const std::int32_t bits : {8, 0})
    {
        ptr<dataSet> unusable = newDataSet();
        addModalityLut(unusable, 2, 0, bits, {7, 300});
        unusable->setUnicodeString(0x0028, 0, 0x1052, 0, L"1", "DS");
        EXPECT_EQ(pixelsOf(runModality(unusable, {0, 1})), (std::vector<std::int32_t>{1, 2})) << bits;
    }

    // An item without LUT Data.
    ptr<dataSet> broken = newDataSet();
    ptr<dataSet> item = newDataSet();
    item->setUnsignedLong(0x0028, 0, 0x3002, 0, 2, "US");
    item->setUnsignedLong(0x0028, 0, 0x3002, 1, 0, "US");
    item->setUnsignedLong(0x0028, 0, 0x3002, 2, 8, "US");
    broken->getTag(0x0028, 0, 0x3000, true)->setDataSet(0, item);
    EXPECT_THROW(broken->getLut(0x0028, 0x3000, 0), lutExceptionCorrupted);
    exceptionsManager::getTrailText();
}

TEST(transformBuffers, idsOutputsAndInPlace)
{
    ptr<dataSet> parameters = newDataSet();
    parameters->setUnicodeString(0x0028, 0, 0x1052, 0, L"1", "DS");

    // Nothing declared: nothing happens.
    ptr<modalityVOILUT> empty(new modalityVOILUT);
    empty->declareDataSet(parameters);
    EXPECT_NO_THROW(empty->doTransform());
    EXPECT_FALSE(empty->getOutputImage(0));

    // Inputs 0 and 2: only 0 is transformed.
    ptr<modalityVOILUT> gap(new modalityVOILUT);
    gap->declareDataSet(parameters);
    ptr<image> first = makeImage(1, 1, 1, L"MONOCHROME2", 7, {5});
    first->setSizeMm(3.0, 4.0);
    gap->declareInputImage(0, first);
    gap->declareInputImage(2, makeImage(1, 1, 1, L"MONOCHROME2", 7, {5}));
    gap->doTransform();
    ASSERT_TRUE(gap->getOutputImage(0));
    EXPECT_FALSE(gap->getOutputImage(2));
    EXPECT_EQ(pixelsOf(gap->getOutputImage(0)), std::vector<std::int32_t>{6});
    EXPECT_EQ(pixelsOf(first), std::vector<std::int32_t>{5});
    double widthMm = 0, heightMm = 0;
    gap->getOutputImage(0)->getSizeMm(&widthMm, &heightMm);
    EXPECT_EQ(widthMm, 3.0);
    EXPECT_EQ(heightMm, 4.0);

    // Only an output: transformed where it is.
    ptr<modalityVOILUT> inPlace(new modalityVOILUT);
    inPlace->declareDataSet(parameters);
    ptr<image> target = makeImage(2, 1, 1, L"MONOCHROME2", 7, {1, 2});
    inPlace->declareOutputImage(0, target);
    inPlace->doTransform();
    EXPECT_EQ(inPlace->getOutputImage(0), target);
    EXPECT_EQ(pixelsOf(target), (std::vector<std::int32_t>{2, 3}));
}

TEST(colorTransform, ybrPartialToRgbClosedForms)
{
    struct pixelCase
    {
        std::int32_t y, cb, cr;
        std::int32_t r, g, b;
    };
    // R = (4768 (Y-16) + 6537 (Cr-128)) >> 12, G = (4768 (Y-16) - 1602 (Cb-128)
    // - 3330 (Cr-128)) >> 12, B = (4768 (Y-16) + 8266 (Cb-128)) >> 12.
    const pixelCase cases[] = {{16, 128, 128, 0, 0, 0},     {235, 128, 128, 254, 254, 254},
                               {0, 128, 128, 0, 0, 0},      {128, 240, 128, 130, 86, 255},
                               {16, 128, 240, 178, 0, 0},   {100, 90, 200, 212, 54, 21}};
    std::vector<std::int32_t> values;
    for (const pixelCase& c : cases)
        values.insert(values.end(), {c.y, c.cb, c.cr});
    ptr<YBRPARTIALToRGB> convert(new YBRPARTIALToRGB);
    convert->declareInputImage(
        0, makeImage(static_cast<std::uint32_t>(std::size(cases)), 1, 1, L"YBR_PARTIAL_422", 7, values));
    convert->doTransform();
    ptr<image> rgb = convert->getOutputImage(0);
    ASSERT_TRUE(rgb);
    EXPECT_EQ(rgb->getColorSpace(), L"RGB");
    EXPECT_EQ(rgb->getDepth(), image::depthU8);
    const std::vector<std::int32_t> converted = pixelsOf(rgb);
    for (std::size_t i = 0; i < std::size(cases); ++i)
    {
        EXPECT_EQ(converted[3 * i], cases[i].r) << i;
        EXPECT_EQ(converted[3 * i + 1], cases[i].g) << i;
        EXPECT_EQ(converted[3 * i + 2], cases[i].b) << i;
    }

    // Signed input: unsigned output, the same middle.
    ptr<YBRPARTIALToRGB> signedInput(new YBRPARTIALToRGB);
    signedInput->declareInputImage(0, makeImage(1, 1, 2, L"YBR_PARTIAL", 7, {16, 128, 128}));
    signedInput->doTransform();
    EXPECT_EQ(signedInput->getOutputImage(0)->getDepth(), image::depthU8);
    EXPECT_EQ(pixelsOf(signedInput->getOutputImage(0)), (std::vector<std::int32_t>{0, 0, 0}));

    // Ids 0 and 1 converted; an input at 1 without one at 0 converts nothing.
    ptr<YBRPARTIALToRGB> two(new YBRPARTIALToRGB);
    two->declareInputImage(0, makeImage(1, 1, 1, L"YBR_PARTIAL", 7, {16, 128, 128}));
    two->declareInputImage(1, makeImage(1, 1, 1, L"YBR_PARTIAL", 7, {16, 128, 128}));
    ptr<image> reused(new image);
    two->declareOutputImage(1, reused);
    two->doTransform();
    EXPECT_TRUE(two->getOutputImage(0));
    EXPECT_EQ(two->getOutputImage(1), reused);
    EXPECT_EQ(reused->getColorSpace(), L"RGB");
    ptr<YBRPARTIALToRGB> none(new YBRPARTIALToRGB);
    none->declareInputImage(1, makeImage(1, 1, 1, L"YBR_PARTIAL", 7, {16, 128, 128}));
    none->doTransform();
    EXPECT_FALSE(none->getOutputImage(1));

    ptr<YBRPARTIALToRGB> wrong(new YBRPARTIALToRGB);
    wrong->declareInputImage(0, makeImage(1, 1, 1, L"RGB", 7, {1, 2, 3}));
    try
    {
        wrong->doTransform();
        FAIL() << "an RGB input was converted";
    }
    catch (const colorTransformExceptionWrongColorSpace& e)
    {
        EXPECT_STREQ(e.what(), "the image's color space cannot be handled by the transform");
    }
    exceptionsManager::getTrailText();
}
