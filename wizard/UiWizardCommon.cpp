#include "UiWizardCommon.h"

#include "UiWizardTypes.h"

namespace {

// One pass of the four edge rules on rectangle Q in the pen's colour.
void EdgePass(TCanvas& c, const TRect& Q, TUiWizardBorderEdges edges) {
  if (edges & beLeft) {
    c.MoveTo(Q.Left, Q.Top);
    c.LineTo(Q.Left, Q.Bottom);
  }
  if (edges & beTop) {
    c.MoveTo(Q.Left, Q.Top);
    c.LineTo(Q.Right, Q.Top);
  }
  if (edges & beRight) {
    c.MoveTo(Q.Right - 1, Q.Top);
    c.LineTo(Q.Right - 1, Q.Bottom);
  }
  if (edges & beBottom) {
    c.MoveTo(Q.Left, Q.Bottom - 1);
    c.LineTo(Q.Right, Q.Bottom - 1);
  }
}

}  // namespace

TRect DrawBorderEdges(TCanvas& ACanvas, const TRect& R, int, TUiWizardBorderEdges Edges) {
  TRect RB = Rect(R.Left + 1, R.Top + 1, R.Right, R.Bottom);
  ACanvas.Pen.Width = 1;
  ACanvas.Pen.Color = clBtnHighlight;
  EdgePass(ACanvas, RB, Edges);
  ACanvas.Pen.Color = clBtnShadow;
  EdgePass(ACanvas, OffsetRect(RB, -1, -1), Edges);
  TRect inner = R;
  if (Edges & beLeft) inner.Left += 2;
  if (Edges & beTop) inner.Top += 2;
  if (Edges & beRight) inner.Right -= 2;
  if (Edges & beBottom) inner.Bottom -= 2;
  return inner;
}

void DrawWizardImage(TCanvas& ACanvas, TGraphic* G, TRect R, TUiWizardImageAlignment Alignment,
                     TUiWizardImageLayout Layout) {
  if (!G) return;
  if (Layout == ilTile) {
    TileWizardImage(ACanvas, G, R);
    return;
  }
  int32_t W = R.Right - R.Left, H = R.Bottom - R.Top;
  int32_t gw = G->Width(), gh = G->Height();
  int32_t dx = 0, dy = 0;
  if ((Alignment == iaRight || Alignment == iaCenter) && gw < W) {
    dx = W - gw;
    if (Alignment == iaCenter) {
      dx /= 2;
      R.Right -= dx;
    }
  }
  if ((Layout == ilBottom || Layout == ilCenter) && gh < H) {
    dy = H - gh;
    if (Layout == ilCenter) {
      dy /= 2;
      R.Bottom -= dy;
    }
  }
  if (Layout == ilTop && gh < H) R.Bottom = R.Top + gh;
  if (Alignment == iaLeft && gw < W) R.Right = R.Left + gw;
  R.Left += dx;
  R.Top += dy;
  if (Alignment == iaStretch || Layout == ilStretch)
    ACanvas.StretchDraw(R, G);
  else
    ACanvas.Draw(R.Left, R.Top, G);
}

void TileWizardImage(TCanvas& ACanvas, TGraphic* G, const TRect& R) {
  if (!G || G->Width() == 0 || G->Height() == 0)
    throw EUiWizardError("Tiling only works on images with dimensions > 0");
  TBitmap off(R.Width(), R.Height());
  off.Canvas().Brush.Color = ACanvas.Brush.Color;
  off.Canvas().FillRect(Rect(0, 0, off.Width(), off.Height()));
  for (int32_t y = 0; y <= off.Height(); y += G->Height())
    for (int32_t x = 0; x <= off.Width(); x += G->Width()) off.Canvas().Draw(x, y, G);
  ACanvas.CopyRect(R, off.Surface(), Rect(0, 0, off.Width(), off.Height()));
}
