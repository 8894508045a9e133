// The point-list text: the writer, the one reader of the whole program and its refusals.
#include "study/point_list.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

TEST(PointList, WritesEachValueWithOneBlankThenMinusOne)
{
    struct Case { std::vector<int> values; std::string text; };
    const Case cases[] = {
        {{}, ""},
        {{5}, "5 -1"},
        {{12, 40, 41}, "12 40 41 -1"},
        {{3, -1, 7}, "3 -1 7 -1"},
        {{0, -25}, "0 -25 -1"},
        {{INT_MAX, INT_MIN}, "2147483647 -2147483648 -1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PointListText(std::span<const int>(c.values)), c.text);
        if (!c.values.empty()) {
            EXPECT_EQ(ParseIntListSigned(c.text), c.values) << c.text;
        }
    }
}

TEST(PointList, ReaderStopsOnlyAtARemainderOfMinusOne)
{
    EXPECT_EQ(ParseIntListSigned("3 -1 7 -1"), (std::vector<int>{3, -1, 7}));
    EXPECT_EQ(ParseIntListSigned("-1 -1"), (std::vector<int>{-1}));
    EXPECT_TRUE(ParseIntList("-1").empty());
    // Unsigned view keeps negative values in two's complement.
    EXPECT_EQ(ParseIntList("-2 -1"), (std::vector<std::uint32_t>{0xFFFFFFFEu}));
}

// Each piece is a decimal integer with an optional sign, one sign at most.
TEST(PointList, ValuesTakeAnOptionalSign)
{
    struct Case { const char* text; std::vector<int> values; };
    const Case cases[] = {
        {"12 40 41 -1", {12, 40, 41}},
        {"-5 0 -1", {-5, 0}},
        {"+4 -1", {4}},
        {"+0 -0 -1", {0, 0}},
        {"+2147483647 -2147483648 -1", {INT_MAX, INT_MIN}},
        {"007 -1", {7}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseIntListSigned(c.text), c.values) << c.text;
}

TEST(PointList, MalformedTextsRaiseConversionError)
{
    const char* bad[] = {"", "5", "5 ", "5 -1 ", "a -1", "99999999999 -1", "1  2 -1", "1 2", "12x -1", " -1",
                         "12", "12 40", "12  -1", "1.5 -1", "12 -1 ", " 12 -1", "+-4 -1", "-+4 -1", "++4 -1",
                         "+ -1", "- -1", "2147483648 -1", "-2147483649 -1", "0x10 -1", "\t4 -1"};
    for (const char* text : bad)
        EXPECT_THROW(ParseIntList(text), ConversionError) << '"' << text << '"';
}

// The message names the piece that is not a number, or the text whose shape is wrong.
TEST(PointList, MessagesNameWhatIsWrong)
{
    const auto message = [](const char* text) {
        try {
            ParseIntList(text);
        } catch (const ConversionError& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(message("1 a2 -1"), "\"a2\" is not a valid integer value");
    EXPECT_EQ(message("1 2"), "\"1 2\" is not a point list");
    EXPECT_EQ(message(""), "\"\" is not a point list");
}

TEST(PointList, RandomRoundTrip)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> value(INT_MIN, INT_MAX), length(1, 300);
    for (int round = 0; round < 200; ++round) {
        std::vector<int> v(length(rng));
        for (int& x : v)
            x = value(rng);
        EXPECT_EQ(ParseIntListSigned(PointListText(std::span<const int>(v))), v);
    }
}

TEST(PointList, ContourTexts)
{
    const WallContour c{{1, 2}, {3, 4}, {5, 6}};
    EXPECT_EQ(PointListTexts(c), (std::pair<std::string, std::string>{"1 3 5 -1", "2 4 6 -1"}));
    EXPECT_EQ(PointListTexts(c, 2), (std::pair<std::string, std::string>{"1 3 -1", "2 4 -1"}));
    EXPECT_EQ(PointListTexts({}), (std::pair<std::string, std::string>{"", ""}));
    EXPECT_EQ(ParsePointList("+4 -1", "-2 -1", EmptyText::Damaged), (WallContour{{4, -2}}));
}

// A stored point list read back under each rule: a tracing may be empty, a wall row may
// not; X and Y lists of different lengths are refused everywhere (pairing them up to the
// shorter list silently invents a contour); a value no image can hold is refused.
TEST(PointList, StoredPointListsUnderEachRule)
{
    struct Case {
        const char* x;
        const char* y;
        EmptyText empty;
        WallContour expected;
        const char* error;  // part of the ConversionError text, or null
    };
    const Case cases[] = {
        {"", "", EmptyText::NoPoints, {}, nullptr},
        {"1 2 -1", "3 4 -1", EmptyText::NoPoints, {{1, 3}, {2, 4}}, nullptr},
        {"1 2 -1", "3 -1", EmptyText::NoPoints, {}, "differ in length (2 and 1 values)"},
        {"1 -1", "", EmptyText::NoPoints, {}, "differ in length (1 and 0 values)"},
        {"1 2 3 -1", "9 8 -1", EmptyText::NoPoints, {}, "differ in length (3 and 2 values)"},
        {"1 2 3 -1", "9 8 -1", EmptyText::Damaged, {}, "differ in length (3 and 2 values)"},
        {"", "1 -1", EmptyText::Damaged, {}, "\"\" is not a point list"},
        {"1 -1", "", EmptyText::Damaged, {}, "\"\" is not a point list"},
        {"1 x -1", "1 2 -1", EmptyText::NoPoints, {}, "is not a valid integer value"},
        // The bound: every pixel of the largest frame file, and as far again past its
        // top-left corner, is a point; one pixel more is not.
        {"16384 -16384 0 -1", "-16384 16384 16383 -1", EmptyText::Damaged,
         {{16384, -16384}, {-16384, 16384}, {0, 16383}}, nullptr},
        {"16385 -1", "0 -1", EmptyText::Damaged, {}, "the value 16385 lies outside any image"},
        {"0 -1", "-16385 -1", EmptyText::NoPoints, {}, "the value -16385 lies outside any image"},
        {"2147483647 -1", "1 -1", EmptyText::Damaged, {}, "the value 2147483647 lies outside any image"},
        {"-2147483648 -1", "1 -1", EmptyText::Damaged, {}, "the value -2147483648 lies outside any image"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.x) + " / " + c.y);
        if (!c.error) {
            EXPECT_EQ(ParsePointList(c.x, c.y, c.empty), c.expected);
            continue;
        }
        try {
            ParsePointList(c.x, c.y, c.empty);
            ADD_FAILURE() << "accepted";
        } catch (const ConversionError& e) {
            EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
        }
    }
    // The bound is the frame reader's: a point of the largest readable frame is a point.
    EXPECT_EQ(kMaxPointCoordinate, kMaxFrameSide);
}
