#include "ui/layout.h"

#include <gtest/gtest.h>

namespace ui {
namespace {

TEST(LayoutTest, DialogUnitsToPixels) {
  // The classic 8-point dialog font: the 52 letters measure 312 pixels,
  // height 13, so base units (6, 13): 4 dialog units across = 6 pixels.
  const BaseUnits base = BaseUnitsFromText(312, 13);
  EXPECT_EQ(base.cx, 6);
  EXPECT_EQ(base.cy, 13);
  struct Case {
    Rect dlu;
    PixelRect px;
  };
  const Case cases[] = {
      {{0, 0, 118, 53}, {0, 0, 177, 86}},   // 53*13/8 = 86.125
      {{7, 7, 50, 14}, {11, 11, 75, 23}},   // 10.5 -> 11, 11.375 -> 11, 22.75 -> 23
      {{1, 1, 1, 1}, {2, 2, 2, 2}},         // 1.5 -> 2, 1.625 -> 2
  };
  for (const Case& c : cases) EXPECT_EQ(ToPixels(c.dlu, base), c.px);
}

TEST(LayoutTest, MulDivRoundsHalfAwayFromZero) {
  EXPECT_EQ(MulDiv(3, 1, 2), 2);
  EXPECT_EQ(MulDiv(-3, 1, 2), -2);
  EXPECT_EQ(MulDiv(5, 1, 4), 1);
  EXPECT_EQ(MulDiv(1, 1, 0), 0);
  EXPECT_EQ(MulDiv(2000000000, 3, 3), 2000000000);  // no overflow in between
}

}  // namespace
}  // namespace ui
