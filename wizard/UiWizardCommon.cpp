#include "UiWizardCommon.h"

#include "UiWizardTypes.h"

namespace {

// One pass of the four edge rules on rectangle Q in the pen's colour.
void EdgePass(TCanvas& c, const TRect& q, TUiWizardBorderEdges edges) {
  if (edges & beLeft) {
    c.MoveTo(q.Left, q.Top);
    c.LineTo(q.Left, q.Bottom);
  }
  if (edges & beTop) {
    c.MoveTo(q.Left, q.Top);
    c.LineTo(q.Right, q.Top);
  }
  if (edges & beRight) {
    c.MoveTo(q.Right - 1, q.Top);
    c.LineTo(q.Right - 1, q.Bottom);
  }
  if (edges & beBottom) {
    c.MoveTo(q.Left, q.Bottom - 1);
    c.LineTo(q.Right, q.Bottom - 1);
  }
}

}  // namespace

TRect DrawBorderEdges(TCanvas& canvas, const TRect& r, int, TUiWizardBorderEdges edges) {
  TRect RB = Rect(r.Left + 1, r.Top + 1, r.Right, r.Bottom);
  canvas.Pen.Width = 1;
  canvas.Pen.Color = clBtnHighlight;
  EdgePass(canvas, RB, edges);
  canvas.Pen.Color = clBtnShadow;
  EdgePass(canvas, OffsetRect(RB, -1, -1), edges);
  TRect inner = r;
  if (edges & beLeft) inner.Left += 2;
  if (edges & beTop) inner.Top += 2;
  if (edges & beRight) inner.Right -= 2;
  if (edges & beBottom) inner.Bottom -= 2;
  return inner;
}

void DrawWizardImage(TCanvas& canvas, TGraphic* g, TRect r, TUiWizardImageAlignment alignment,
                     TUiWizardImageLayout layout) {
  if (!g) return;
  if (layout == ilTile) {
    TileWizardImage(canvas, g, r);
    return;
  }
  int32_t W = r.Right - r.Left, H = r.Bottom - r.Top;
  int32_t gw = g->Width(), gh = g->Height();
  int32_t dx = 0, dy = 0;
  if ((alignment == iaRight || alignment == iaCenter) && gw < W) {
    dx = W - gw;
    if (alignment == iaCenter) {
      dx /= 2;
      r.Right -= dx;
    }
  }
  if ((layout == ilBottom || layout == ilCenter) && gh < H) {
    dy = H - gh;
    if (layout == ilCenter) {
      dy /= 2;
      r.Bottom -= dy;
    }
  }
  if (layout == ilTop && gh < H) r.Bottom = r.Top + gh;
  if (alignment == iaLeft && gw < W) r.Right = r.Left + gw;
  r.Left += dx;
  r.Top += dy;
  if (alignment == iaStretch || layout == ilStretch)
    canvas.StretchDraw(r, g);
  else
    canvas.Draw(r.Left, r.Top, g);
}

void TileWizardImage(TCanvas& canvas, TGraphic* g, const TRect& r) {
  if (!g || g->Width() == 0 || g->Height() == 0)
    throw EUiWizardError("Tiling only works on images with dimensions > 0");
  TBitmap off(r.Width(), r.Height());
  off.Canvas().Brush.Color = canvas.Brush.Color;
  off.Canvas().FillRect(Rect(0, 0, off.Width(), off.Height()));
  for (int32_t y = 0; y <= off.Height(); y += g->Height())
    for (int32_t x = 0; x <= off.Width(); x += g->Width()) off.Canvas().Draw(x, y, g);
  canvas.CopyRect(r, off.Surface(), Rect(0, 0, off.Width(), off.Height()));
}
