#include "analysis/core/luminosity.h"

#include <gtest/gtest.h>

namespace kestrova::analysis {
namespace {

TEST(LuminosityTable, WorkedExamples) {
    const LuminosityTable identity = BuildLuminosityTable(0, 0, 0);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(identity[i], i);

    const LuminosityTable bright = BuildLuminosityTable(50, 0, 0);
    EXPECT_EQ(bright[0], 127);
    EXPECT_EQ(bright[1], 128);
    EXPECT_EQ(bright[255], 255);

    const LuminosityTable flat = BuildLuminosityTable(0, -100, 0);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(flat[i], 127);

    const LuminosityTable steep = BuildLuminosityTable(0, 100, 0);
    for (int i = 120; i <= 135; ++i) EXPECT_EQ(steep[i], 112 + 2 * (i - 120)) << i;
    EXPECT_EQ(steep[0], 0);
    EXPECT_EQ(steep[255], 255);

    const LuminosityTable gamma = BuildLuminosityTable(0, 0, 100);
    for (int i = 0; i <= 9; ++i) EXPECT_EQ(gamma[i], 0) << i;
    EXPECT_EQ(gamma[255], 255);

    const LuminosityTable dark = BuildLuminosityTable(-100, 0, 0);
    EXPECT_EQ(dark[255], 0);
}

TEST(LuminosityTable, AppliesToColourChannelsAndKeepsAlpha) {
    const LuminosityTable table = BuildLuminosityTable(50, 0, 0);
    const cv::Mat bgra(2, 2, CV_8UC4, cv::Scalar(0, 1, 255, 7));
    cv::Mat out;
    ApplyLuminosityTable(bgra, out, table);
    EXPECT_EQ(out.at<cv::Vec4b>(1, 1), cv::Vec4b(127, 128, 255, 7));
    const cv::Mat grey(2, 2, CV_8UC1, cv::Scalar(1));
    ApplyLuminosityTable(grey, out, table);
    EXPECT_EQ(out.at<std::uint8_t>(0, 1), 128);
}

}  // namespace
}  // namespace kestrova::analysis
