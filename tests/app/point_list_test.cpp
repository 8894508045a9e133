#include "app/point_list.h"

#include <gtest/gtest.h>


TEST(PointList, ContourTextsAndPairing)
{
    const WallContour c{{1, 2}, {3, 4}, {5, 6}};
    EXPECT_EQ(PointListTexts(c), (std::pair<std::string, std::string>{"1 3 5 -1", "2 4 6 -1"}));
    EXPECT_EQ(PointListTexts(c, 2), (std::pair<std::string, std::string>{"1 3 -1", "2 4 -1"}));
    EXPECT_EQ(PointListTexts({}), (std::pair<std::string, std::string>{"", ""}));
    EXPECT_EQ(ZipPoints({1, 2, 3}, {9, 8}), (WallContour{{1, 9}, {2, 8}}));
}
