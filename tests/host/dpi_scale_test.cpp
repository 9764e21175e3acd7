#include "ui/skin/dpi_scale.h"

#include <gtest/gtest.h>

namespace lum {
namespace {

TEST(DpiScaleMath, NinetySixAndOneFortyFourDpi) {
  DpiScale dpi;
  dpi.Initialise(false, 96);
  EXPECT_FALSE(dpi.Active());
  EXPECT_EQ(520, dpi.Scale(520));
  EXPECT_EQ(-17, dpi.FontHeight(18));  // 13 pt
  int w = 452, h = 80;
  EXPECT_TRUE(dpi.ScaleImageSize(&w, &h, 240, 4, 0, 0, true));  // forced: 240 -> 96 DPI
  EXPECT_EQ(184, w);
  EXPECT_EQ(32, h);

  dpi.Initialise(false, 144);
  EXPECT_TRUE(dpi.Active());
  EXPECT_EQ(150, dpi.Percent());
  EXPECT_EQ(780, dpi.Scale(520));
  EXPECT_EQ(8, dpi.Scale(5));
  EXPECT_EQ(-20, dpi.FontHeight(14));  // 10 pt at 144 DPI
  w = 452, h = 80;
  EXPECT_TRUE(dpi.ScaleImageSize(&w, &h, 240, 4));
  EXPECT_EQ(272, w);  // 271 rounded up to four whole frames
  EXPECT_EQ(48, h);
  w = 180, h = 32;
  EXPECT_FALSE(dpi.ScaleImageSize(&w, &h, 144, 4));  // already drawn for this DPI
  EXPECT_TRUE(dpi.ScaleImageSize(&w, &h, 96, 4, 200, 40));
  EXPECT_EQ(200, w);
  EXPECT_EQ(40, h);

  dpi.Initialise(true, 144);
  EXPECT_FALSE(dpi.Active());
  EXPECT_EQ(520, dpi.Scale(520));
  EXPECT_EQ(3, MulDivRound(5, 1, 2));
  EXPECT_EQ(-3, MulDivRound(-5, 1, 2));
}

}  // namespace
}  // namespace lum
