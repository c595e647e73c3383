#include <algorithm>

#include "Graphics.h"

TBitmap::TBitmap() : FCanvas(&FSurface) {}

TBitmap::TBitmap(int32_t w, int32_t h) : FCanvas(&FSurface) { FSurface.Resize(w, h); }

void TBitmap::SetSize(int32_t w, int32_t h) {
  if (w == Width() && h == Height()) return;
  FSurface.Resize(w, h);
  Changed();
}

TColor TBitmap::TransparentColor() const {
  if (FTransparentColor != clDefault) return FTransparentColor;
  return PixelToColor(FSurface.Pixel(0, Height() - 1));
}

void TBitmap::Draw(TCanvas& canvas, const TRect& r) {
  if (Empty()) return;
  canvas.CopyRect(r, FSurface, TRect{0, 0, Width(), Height()}, Transparent() ? TransparentColor() : clNone);
}

void TBitmap::LoadFromStream(TStream&) { throw EInvalidGraphic("Bitmap image is not valid"); }

void TBitmap::Assign(const TPersistent* source) {
  if (source == this) return;
  if (!source) {
    FSurface.Resize(0, 0);
    Changed();
    return;
  }
  if (const auto* b = dynamic_cast<const TBitmap*>(source)) {
    FSurface.Resize(b->Width(), b->Height());
    for (int32_t y = 0; y < Height(); ++y) std::copy(b->FSurface.Row(y), b->FSurface.Row(y) + Width(), FSurface.Row(y));
    FTransparent = b->FTransparent;
    FTransparentColor = b->FTransparentColor;
    Changed();
    return;
  }
  if (const auto* g = dynamic_cast<const TGraphic*>(source)) {
    FSurface.Resize(g->Width(), g->Height());
    FSurface.Fill(0x00FFFFFF);
    // Drawing does not change a graphic, but its interface is not const.
    if (!g->Empty()) const_cast<TGraphic*>(g)->Draw(FCanvas, TRect{0, 0, Width(), Height()});
    Changed();
    return;
  }
  TPersistent::Assign(source);
}
