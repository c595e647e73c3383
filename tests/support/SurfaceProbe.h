// Test helpers that read pixels back from a surface: where the ink is, how much of it, and a
// printable picture of a region for failure messages.
#pragma once
#include <algorithm>
#include <cstdint>
#include <string>

#include "Graphics.h"

namespace probe {

inline TRect Whole(const TSurface& s) { return TRect{0, 0, s.Width(), s.Height()}; }

// The smallest rectangle holding every pixel of `within` that differs from `background`;
// empty when there is none.
inline TRect InkBounds(const TSurface& s, uint32_t background, TRect within) {
  within = IntersectRect(within, Whole(s));
  TRect box{within.Right, within.Bottom, within.Left, within.Top};
  for (int32_t y = within.Top; y < within.Bottom; ++y)
    for (int32_t x = within.Left; x < within.Right; ++x)
      if (s.Pixel(x, y) != background) {
        box.Left = std::min(box.Left, x);
        box.Top = std::min(box.Top, y);
        box.Right = std::max(box.Right, x + 1);
        box.Bottom = std::max(box.Bottom, y + 1);
      }
  return box.IsEmpty() ? TRect{} : box;
}
inline TRect InkBounds(const TSurface& s, uint32_t background) { return InkBounds(s, background, Whole(s)); }

inline int Count(const TSurface& s, uint32_t px, TRect within) {
  within = IntersectRect(within, Whole(s));
  int n = 0;
  for (int32_t y = within.Top; y < within.Bottom; ++y)
    for (int32_t x = within.Left; x < within.Right; ++x) n += s.Pixel(x, y) == px;
  return n;
}
inline int Count(const TSurface& s, uint32_t px) { return Count(s, px, Whole(s)); }

inline int CountDiffering(const TSurface& a, const TSurface& b) {
  int n = 0;
  for (int32_t y = 0; y < std::max(a.Height(), b.Height()); ++y)
    for (int32_t x = 0; x < std::max(a.Width(), b.Width()); ++x) n += a.Pixel(x, y) != b.Pixel(x, y);
  return n;
}

// One character per pixel: '.' for the background, '#' for anything else; rows end in '\n'.
inline std::string Picture(const TSurface& s, uint32_t background, TRect within) {
  within = IntersectRect(within, Whole(s));
  std::string out;
  for (int32_t y = within.Top; y < within.Bottom; ++y) {
    for (int32_t x = within.Left; x < within.Right; ++x) out += s.Pixel(x, y) == background ? '.' : '#';
    out += '\n';
  }
  return out;
}

inline std::string Str(const TRect& r) {
  return "(" + std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
         std::to_string(r.Bottom) + ")";
}

}  // namespace probe

// Readable values in assertion failures.
#include <ostream>
inline void PrintTo(const TRect& r, std::ostream* os) { *os << probe::Str(r); }
inline void PrintTo(const TPoint& p, std::ostream* os) { *os << "(" << p.X << "," << p.Y << ")"; }
inline void PrintTo(const TSize& s, std::ostream* os) { *os << s.cx << "x" << s.cy; }
