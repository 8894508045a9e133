#include "app/errors.h"
#include "app/point_list.h"

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

TEST(PointList, MalformedTextsRaiseConversionError)
{
    const char* bad[] = {"", "5", "5 ", "5 -1 ", "a -1", "99999999999 -1", "1  2 -1", "1 2", "12x -1", " -1"};
    for (const char* text : bad)
        EXPECT_THROW(ParseIntList(text), ConversionError) << '"' << text << '"';
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

TEST(PointList, ContourTextsAndPairing)
{
    const WallContour c{{1, 2}, {3, 4}, {5, 6}};
    EXPECT_EQ(PointListTexts(c), (std::pair<std::string, std::string>{"1 3 5 -1", "2 4 6 -1"}));
    EXPECT_EQ(PointListTexts(c, 2), (std::pair<std::string, std::string>{"1 3 -1", "2 4 -1"}));
    EXPECT_EQ(PointListTexts({}), (std::pair<std::string, std::string>{"", ""}));
    EXPECT_EQ(ZipPoints({1, 2, 3}, {9, 8}), (WallContour{{1, 9}, {2, 8}}));
}
