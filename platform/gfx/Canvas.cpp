// TCanvas: clipping, fills, lines, pixels, ellipses and block copies. Text is in
// CanvasText.cpp.
//
// Every operation clips once to the intersection of the clip rectangle and the surface, then
// writes whole rows; nothing allocates.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "Graphics.h"

namespace {

// Nearest-neighbour source positions for destination steps, sampling at pixel centres:
// s(i) = ((2i + 1) * srcLen) / (2 * dstLen), kept as quotient and remainder so that each step
// is additions only.
class TNearestStep {
 public:
  TNearestStep(int32_t srcLen, int32_t dstLen, int32_t firstStep) : FDen(2 * static_cast<int64_t>(dstLen)) {
    const int64_t num = (2 * static_cast<int64_t>(firstStep) + 1) * srcLen;
    FQ = num / FDen;
    FR = num % FDen;
    const int64_t step = 2 * static_cast<int64_t>(srcLen);
    FStepQ = step / FDen;
    FStepR = step % FDen;
  }
  int32_t Value() const { return static_cast<int32_t>(FQ); }
  void Next() {
    FQ += FStepQ;
    FR += FStepR;
    if (FR >= FDen) {
      FR -= FDen;
      ++FQ;
    }
  }

 private:
  int64_t FDen;
  int64_t FQ = 0, FR = 0, FStepQ = 0, FStepR = 0;
};

uint8_t DibIndex(const uint8_t* row, int32_t x, int bits) {
  switch (bits) {
    case 8: return row[x];
    case 4: return static_cast<uint8_t>((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F);
    default: return static_cast<uint8_t>((row[x >> 3] >> (7 - (x & 7))) & 0x01);
  }
}

}  // namespace

TCanvas::TCanvas(TSurface* surface) : FSurface(surface) {}

void TCanvas::SetSurface(TSurface* surface) { FSurface = surface; }

TRect TCanvas::SurfaceClip() const {
  if (!FSurface) return TRect{};
  const TRect bounds{0, 0, FSurface->Width(), FSurface->Height()};
  return FClipSet ? IntersectRect(FClip, bounds) : bounds;
}

TRect TCanvas::ClipRect() const {
  TRect r = FClipSet ? FClip : (FSurface ? TRect{0, 0, FSurface->Width(), FSurface->Height()} : TRect{});
  return OffsetRect(r, -FOrigin.X, -FOrigin.Y);
}

void TCanvas::SetClipRect(const TRect& canvasRect) {
  FClip = OffsetRect(canvasRect, FOrigin.X, FOrigin.Y);
  FClipSet = true;
}

void TCanvas::ResetClip() { FClipSet = false; }

void TCanvas::FillSurfaceRect(const TRect& r, uint32_t px) {
  for (int32_t y = r.Top; y < r.Bottom; ++y) {
    uint32_t* row = FSurface->Row(y);
    std::fill(row + r.Left, row + r.Right, px);
  }
}

void TCanvas::FillRect(const TRect& r) {
  if (Brush.Style == bsClear || !FSurface) return;
  const TRect s = IntersectRect(OffsetRect(r, FOrigin.X, FOrigin.Y), SurfaceClip());
  FillSurfaceRect(s, ColorToPixel(Brush.Color));
}

void TCanvas::FrameRect(const TRect& r) {
  if (Brush.Style == bsClear || !FSurface || r.IsEmpty()) return;
  const uint32_t px = ColorToPixel(Brush.Color);
  const TRect clip = SurfaceClip();
  const TRect s = OffsetRect(r, FOrigin.X, FOrigin.Y);
  FillSurfaceRect(IntersectRect(TRect{s.Left, s.Top, s.Right, s.Top + 1}, clip), px);
  FillSurfaceRect(IntersectRect(TRect{s.Left, s.Bottom - 1, s.Right, s.Bottom}, clip), px);
  FillSurfaceRect(IntersectRect(TRect{s.Left, s.Top, s.Left + 1, s.Bottom}, clip), px);
  FillSurfaceRect(IntersectRect(TRect{s.Right - 1, s.Top, s.Right, s.Bottom}, clip), px);
}

void TCanvas::MoveTo(int32_t x, int32_t y) { FPenPos = TPoint{x, y}; }

void TCanvas::PlotPen(int32_t sx, int32_t sy, const TRect& clip, uint32_t px) {
  if (Pen.Width <= 1) {
    if (clip.Contains(TPoint{sx, sy})) FSurface->Row(sy)[sx] = px;
    return;
  }
  const int32_t lo = Pen.Width / 2;
  FillSurfaceRect(IntersectRect(TRect{sx - lo, sy - lo, sx - lo + Pen.Width, sy - lo + Pen.Width}, clip), px);
}

void TCanvas::LineTo(int32_t x, int32_t y) {
  const TPoint from = FPenPos;
  FPenPos = TPoint{x, y};
  if (!FSurface) return;
  const TRect clip = SurfaceClip();
  const uint32_t px = ColorToPixel(Pen.Color);
  // Bresenham from start to end; the loop stops on reaching the end, so the end is not drawn.
  int32_t x0 = from.X + FOrigin.X, y0 = from.Y + FOrigin.Y;
  const int32_t x1 = x + FOrigin.X, y1 = y + FOrigin.Y;
  const int64_t dx = std::abs(static_cast<int64_t>(x1) - x0);
  const int64_t dy = -std::abs(static_cast<int64_t>(y1) - y0);
  const int32_t stepX = x0 < x1 ? 1 : -1;
  const int32_t stepY = y0 < y1 ? 1 : -1;
  int64_t err = dx + dy;
  while (x0 != x1 || y0 != y1) {
    PlotPen(x0, y0, clip, px);
    const int64_t e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += stepX;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += stepY;
    }
  }
}

void TCanvas::SetPixel(int32_t x, int32_t y, TColor c) {
  if (!FSurface) return;
  const int32_t sx = x + FOrigin.X, sy = y + FOrigin.Y;
  if (SurfaceClip().Contains(TPoint{sx, sy})) FSurface->Row(sy)[sx] = ColorToPixel(c);
}

TColor TCanvas::GetPixel(int32_t x, int32_t y) const {
  if (!FSurface) return clNone;
  const int32_t sx = x + FOrigin.X, sy = y + FOrigin.Y;
  if (!SurfaceClip().Contains(TPoint{sx, sy})) return clNone;
  return PixelToColor(FSurface->Row(sy)[sx]);
}

void TCanvas::Ellipse(const TRect& r) {
  if (!FSurface || r.IsEmpty()) return;
  const TRect clip = SurfaceClip();
  const TRect s = OffsetRect(r, FOrigin.X, FOrigin.Y);
  // The ellipse inscribed in the rectangle, pixels taken by their centres. Row y covers
  // [lo, hi]; a pixel is outline when it is at the row's ends or not covered by a
  // neighbouring row, so the outline is closed without gaps.
  const double cx = (s.Left + s.Right) / 2.0, cy = (s.Top + s.Bottom) / 2.0;
  const double rx = s.Width() / 2.0, ry = s.Height() / 2.0;
  auto span = [&](int32_t y, int32_t& lo, int32_t& hi) {
    lo = 1;
    hi = 0;
    if (y < s.Top || y >= s.Bottom) return;
    const double t = (y + 0.5 - cy) / ry;
    if (t * t > 1.0) return;
    const double half = rx * std::sqrt(1.0 - t * t);
    lo = static_cast<int32_t>(std::ceil(cx - half - 0.5));
    hi = static_cast<int32_t>(std::floor(cx + half - 0.5));
  };
  const uint32_t pen = ColorToPixel(Pen.Color);
  const uint32_t brush = ColorToPixel(Brush.Color);
  int32_t pLo, pHi, lo, hi, nLo, nHi;
  span(s.Top - 1, pLo, pHi);
  span(s.Top, lo, hi);
  for (int32_t y = s.Top; y < s.Bottom; ++y) {
    span(y + 1, nLo, nHi);
    if (lo <= hi) {
      int32_t inLo = std::max({lo + 1, pLo, nLo});
      int32_t inHi = std::min({hi - 1, pHi, nHi});
      if (pLo > pHi || nLo > nHi || inLo > inHi) {  // an end row is all outline
        inLo = hi + 1;
        inHi = hi;
      }
      auto fill = [&](int32_t a, int32_t b, uint32_t px) {  // inclusive span
        FillSurfaceRect(IntersectRect(TRect{a, y, b + 1, y + 1}, clip), px);
      };
      if (Brush.Style != bsClear && inLo <= inHi) fill(inLo, inHi, brush);
      if (inLo > inHi) {
        fill(lo, hi, pen);
      } else {
        fill(lo, inLo - 1, pen);
        fill(inHi + 1, hi, pen);
      }
    }
    pLo = lo;
    pHi = hi;
    lo = nLo;
    hi = nHi;
  }
}

void TCanvas::Draw(int32_t x, int32_t y, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  graphic->Draw(*this, Bounds(x, y, graphic->Width(), graphic->Height()));
}

void TCanvas::StretchDraw(const TRect& r, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  graphic->Draw(*this, r);
}

void TCanvas::CopyRect(const TRect& dest, const TSurface& source, const TRect& sourceRect, TColor leaveOut) {
  if (!FSurface || dest.IsEmpty() || sourceRect.IsEmpty()) return;
  const TRect d = OffsetRect(dest, FOrigin.X, FOrigin.Y);
  const TRect c = IntersectRect(d, SurfaceClip());
  if (c.IsEmpty()) return;
  const bool skip = leaveOut != clNone;
  const uint32_t skipPx = ColorToPixel(leaveOut);
  const TRect srcBounds{0, 0, source.Width(), source.Height()};

  if (d.Width() == sourceRect.Width() && d.Height() == sourceRect.Height()) {
    // Unscaled: the source rectangle moves with the clipped destination.
    const TRect s = IntersectRect(OffsetRect(c, sourceRect.Left - d.Left, sourceRect.Top - d.Top), srcBounds);
    const int32_t dx = d.Left - sourceRect.Left, dy = d.Top - sourceRect.Top;
    const size_t n = static_cast<size_t>(s.Width());
    // Copying within one surface downwards must start at the bottom row.
    const bool upwards = &source == FSurface && dy > 0;
    for (int32_t k = 0; k < s.Height(); ++k) {
      const int32_t y = upwards ? s.Bottom - 1 - k : s.Top + k;
      const uint32_t* from = source.Row(y) + s.Left;
      uint32_t* to = FSurface->Row(y + dy) + s.Left + dx;
      if (!skip) {
        std::memmove(to, from, n * sizeof(uint32_t));  // source may be this very surface
        continue;
      }
      for (size_t i = 0; i < n; ++i)
        if (from[i] != skipPx) to[i] = from[i];
    }
    return;
  }

  TNearestStep sy(sourceRect.Height(), d.Height(), c.Top - d.Top);
  for (int32_t y = c.Top; y < c.Bottom; ++y, sy.Next()) {
    const int32_t srcY = sourceRect.Top + sy.Value();
    if (srcY < 0 || srcY >= source.Height()) continue;
    const uint32_t* from = source.Row(srcY);
    uint32_t* to = FSurface->Row(y);
    TNearestStep sx(sourceRect.Width(), d.Width(), c.Left - d.Left);
    for (int32_t x = c.Left; x < c.Right; ++x, sx.Next()) {
      const int32_t srcX = sourceRect.Left + sx.Value();
      if (srcX < 0 || srcX >= source.Width()) continue;
      const uint32_t px = from[srcX];
      if (!skip || px != skipPx) to[x] = px;
    }
  }
}

void TCanvas::StretchDIB(const TRect& r, const TDIBitmap& dib, TColor leaveOut) {
  if (!FSurface || r.IsEmpty() || dib.Width() <= 0 || dib.Height() <= 0) return;
  const TRect d = OffsetRect(r, FOrigin.X, FOrigin.Y);
  const TRect c = IntersectRect(d, SurfaceClip());
  if (c.IsEmpty()) return;

  // Colours and leave-out decisions per palette index, once per call.
  uint32_t colours[256];
  bool drawn[256];
  const auto& pal = dib.Palette();
  const uint32_t skipPx = ColorToPixel(leaveOut);
  for (size_t i = 0; i < 256; ++i) {
    colours[i] = i < pal.size() ? (static_cast<uint32_t>(pal[i].Red) << 16) |
                                      (static_cast<uint32_t>(pal[i].Green) << 8) | pal[i].Blue
                                : 0;
    drawn[i] = leaveOut == clNone || colours[i] != skipPx;
  }

  const int bits = dib.BitsPerPixel();
  TNearestStep sy(dib.Height(), d.Height(), c.Top - d.Top);
  for (int32_t y = c.Top; y < c.Bottom; ++y, sy.Next()) {
    const uint8_t* row = dib.StoredRow(dib.Height() - 1 - sy.Value());  // bottom-up storage
    uint32_t* to = FSurface->Row(y);
    TNearestStep sx(dib.Width(), d.Width(), c.Left - d.Left);
    for (int32_t x = c.Left; x < c.Right; ++x, sx.Next()) {
      const uint8_t i = DibIndex(row, sx.Value(), bits);
      if (drawn[i]) to[x] = colours[i];
    }
  }
}
