#include "ui/layout.h"

#include <cstdint>

namespace ui {

BaseUnits BaseUnitsFromText(int width_of_52_letters, int height) {
  return BaseUnits{(width_of_52_letters / 26 + 1) / 2, height};
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return 0;
  std::int64_t p = static_cast<std::int64_t>(a) * b;
  bool negative = (p < 0) != (c < 0);
  std::int64_t ap = p < 0 ? -p : p;
  std::int64_t ac = c < 0 ? -static_cast<std::int64_t>(c) : c;
  std::int64_t q = (ap + ac / 2) / ac;
  return static_cast<int>(negative ? -q : q);
}

PixelRect ToPixels(const Rect& r, const BaseUnits& base) {
  return PixelRect{MulDiv(r.x, base.cx, 4), MulDiv(r.y, base.cy, 8), MulDiv(r.w, base.cx, 4),
                   MulDiv(r.h, base.cy, 8)};
}

}  // namespace ui
