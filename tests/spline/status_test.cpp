#include <gtest/gtest.h>

#include <string>

#include "spline/spline.h"

namespace {

TEST(ErrorReport, WritesOneExactLineToStderr) {
  testing::internal::CaptureStderr();
  error_report("S1227", -178, 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "\nError status : -178   Call from routine : S1227   Position : 0\n");
}

void collect(void* context, const char* text) { static_cast<std::string*>(context)->append(text); }

TEST(ErrorReport, SinkReceivesTheSameTextAndCanBeReset) {
  std::string got;
  EXPECT_EQ(set_error_sink(collect, &got), nullptr);
  error_report("s1221", -101, 2);
  EXPECT_EQ(got, "\nError status : -101   Call from routine : s1221   Position : 2\n");
  EXPECT_EQ(set_error_sink(nullptr, nullptr), collect);
  testing::internal::CaptureStderr();
  error_report("x", -1, 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "\nError status : -1   Call from routine : x   Position : 1\n");
  EXPECT_EQ(got, "\nError status : -101   Call from routine : s1221   Position : 2\n");
}

}  // namespace
