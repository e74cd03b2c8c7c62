// Dialog units: template positions are given in units of the dialog font,
// a quarter of the average character width horizontally and an eighth of
// the character height vertically.
#pragma once

#include "ui/types.h"

namespace ui {

struct BaseUnits {
  int cx = 0;  // average character width, pixels
  int cy = 0;  // character height, pixels
};

struct PixelRect {
  int x = 0, y = 0, w = 0, h = 0;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Base units from the width in pixels of the 52 letters "A".."Z" "a".."z"
// and the font's height.
BaseUnits BaseUnitsFromText(int width_of_52_letters, int height);

// a * b / c rounded half away from zero; 0 when c is 0.
int MulDiv(int a, int b, int c);

PixelRect ToPixels(const Rect& r, const BaseUnits& base);

}  // namespace ui
