#include <gtest/gtest.h>

#include <locale>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <vector>

#include "spline/handles.h"
#include "spline/spline.h"

namespace {


SurfaceHandle bilinear() {
  std::vector<double> t{0, 0, 1, 1};
  std::vector<double> v{0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 1};
  return SurfaceHandle(create_surface(2, 2, 2, 2, t.data(), t.data(), v.data(), 1, 3, 1));
}

TEST(SurfaceFile, BilinearExampleIsByteExact) {
  auto s = bilinear();
  std::ostringstream out;
  writeVashSurface(s.get(), out);
  EXPECT_EQ(out.str(),
            "200 1 0 0\n"
            "3 0\n"
            "2 2\n"
            "0 0 1 1 \n"
            "2 2\n"
            "0 0 1 1 \n"
            "0 0 0 1 0 0 0 1 0 1 1 1 \n");
}

TEST(SurfaceFile, RationalSurfaceWritesHomogeneousValues) {
  std::vector<double> t{0, 0, 1, 1};
  std::vector<double> hom{0, 0, 2, 2, 1, 0, 1, 1};  // dim 1, 2 x 2, weights 2, 1, 2, 1
  SurfaceHandle s(create_surface(2, 2, 2, 2, t.data(), t.data(), hom.data(), 2, 1, 1));
  std::ostringstream out;
  writeVashSurface(s.get(), out);
  EXPECT_EQ(out.str(), "200 1 0 0\n1 1\n2 2\n0 0 1 1 \n2 2\n0 0 1 1 \n0 0 2 2 1 0 1 1 \n");
}

TEST(SurfaceFile, NumberFormatsIgnoreLocaleAndStreamSettings) {
  std::vector<double> t1{0, 0, 0.1, 1.0 / 3, 2.0, 2e6};  // n1 = 4, k1 = 2
  std::vector<double> t2{0, 0, 1, 1};
  std::vector<double> v(8, 0.5);
  SurfaceHandle s(create_surface(4, 2, 2, 2, t1.data(), t2.data(), v.data(), 1, 1, 1));

  struct Comma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
  };
  std::ostringstream out;
  out.imbue(std::locale(std::locale::classic(), new Comma));
  out.precision(2);
  out << std::fixed;
  writeVashSurface(s.get(), out);
  std::istringstream lines(out.str());
  std::string line;
  for (int i = 0; i < 4; ++i) std::getline(lines, line);
  EXPECT_EQ(line, "0 0 0.1 0.333333 2 2e+06 ");
  // The caller's stream settings are given back.
  EXPECT_EQ(out.precision(), 2);
  EXPECT_TRUE(out.flags() & std::ios_base::fixed);
  out.str("");
  out << 1.5;
  EXPECT_EQ(out.str(), "1,50");
}

TEST(SurfaceFile, NullSurfaceThrowsBeforeWriting) {
  std::ostringstream out;
  try {
    writeVashSurface(nullptr, out);
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "zero pointer given to writeVashSurface()");
  }
  EXPECT_EQ(out.str(), "");
}

TEST(SurfaceFile, FailedWriteIsReported) {
  struct Full : std::streambuf {
    int overflow(int) override { return traits_type::eof(); }
  } buf;
  std::ostream out(&buf);
  auto s = bilinear();
  EXPECT_THROW(writeVashSurface(s.get(), out), std::runtime_error);
}

}  // namespace
