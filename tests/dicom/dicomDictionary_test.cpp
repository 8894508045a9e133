#include "dicom/core/dicomDictionary.h"

#include <gtest/gtest.h>

using namespace Halvoran::Varnix;

TEST(DicomDictionary, TagTypes)
{
    const dicomDictionary* dictionary = dicomDictionary::instance();
    struct row
    {
        std::uint16_t group;
        std::uint16_t element;
        const char* vr;
    };
    const row rows[] = {
        {0x0002, 0x0010, "UI"}, {0x0008, 0x0005, "CS"}, {0x0010, 0x0010, "PN"}, {0x0010, 0x0030, "DA"},
        {0x0018, 0x1510, "DS"}, {0x0028, 0x0002, "US"}, {0x0028, 0x0004, "CS"}, {0x0028, 0x0006, "US"},
        {0x0028, 0x0008, "IS"}, {0x0028, 0x0010, "US"}, {0x0028, 0x0011, "US"}, {0x0028, 0x0030, "DS"},
        {0x0028, 0x0100, "US"}, {0x0028, 0x0101, "US"}, {0x0028, 0x0102, "US"}, {0x0028, 0x0103, "US"},
        {0x0028, 0x1052, "DS"}, {0x0028, 0x1053, "DS"}, {0x0028, 0x3000, "SQ"}, {0x0028, 0x3002, "SS"},
        {0x0028, 0x3003, "LO"}, {0x0028, 0x3006, "OW"}, {0x7FE0, 0x0010, "OB"}, {0x0028, 0x0106, "SS"},
        {0x0028, 0x1201, "OW"}, {0x5400, 0x1010, "OW"}, {0xFFFE, 0xE000, "OB"}, {0xFFFC, 0xFFFC, "OB"},
        {0x0008, 0x0000, "UL"}, {0x4000, 0x0000, ""},   {0x0028, 0x0005, ""},   {0x2000, 0x0510, ""},
        {0x0009, 0x0010, ""},   {0x6000, 0x3000, ""},   {0x0018, 0x602C, "FD"},
    };
    for (const row& r : rows)
        EXPECT_EQ(r.vr, dictionary->getTagType(r.group, r.element)) << std::hex << r.group << "," << r.element;
    EXPECT_EQ(L"Patient's Name", dictionary->getTagName(0x0010, 0x0010));
    EXPECT_EQ(L"Pixel data elements", dictionary->getTagName(0x7FE0, 0x0000));
}

TEST(DicomDictionary, ValueRepresentations)
{
    const dicomDictionary* dictionary = dicomDictionary::instance();
    EXPECT_TRUE(dictionary->isDataTypeValid("IS"));
    EXPECT_EQ(12u, dictionary->getMaxSize("IS"));
    EXPECT_FALSE(dictionary->isDataTypeValid("ob"));
    EXPECT_FALSE(dictionary->getLongLength("XX"));
    EXPECT_EQ(0u, dictionary->getWordSize("XX"));
    for (const char* vr : {"OB", "OF", "OW", "SQ", "UN", "UT"})
        EXPECT_TRUE(dictionary->getLongLength(vr)) << vr;
    EXPECT_FALSE(dictionary->getLongLength("UL"));
    struct row
    {
        const char* vr;
        std::uint32_t wordSize;
    };
    for (const row& r : {row{"OW", 2}, row{"UL", 4}, row{"OB", 0}, row{"AT", 2}, row{"SS", 2}, row{"OF", 4},
                         row{"FL", 4}, row{"FD", 8}, row{"CS", 0}})
        EXPECT_EQ(r.wordSize, dictionary->getWordSize(r.vr)) << r.vr;
}

TEST(DicomDictionary, FirstRegistrationWins)
{
    dicomDictionary* dictionary = dicomDictionary::instance();
    dictionary->registerTag(0x00280010, L"Rows", "SS");
    EXPECT_EQ("US", dictionary->getTagType(0x0028, 0x0010));
    dictionary->registerVR("US", true, 8, 1);
    EXPECT_FALSE(dictionary->getLongLength("US"));
}
