#include "Image.h"

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 105, 105);
  FPicture.OnChange = [this](TObject*) { PictureChanged(); };
}

void TImage::PictureChanged() {
  if (TGraphic* g = FPicture.Graphic()) {
    if (FTransparent) g->SetTransparent(true);
    if (FAutoSize && g->Width() > 0 && g->Height() > 0) SetBounds(Left(), Top(), g->Width(), g->Height());
  }
  Invalidate();
}

void TImage::SetStretch(bool v) {
  if (FStretch == v) return;
  FStretch = v;
  Invalidate();
}

void TImage::SetCenter(bool v) {
  if (FCenter == v) return;
  FCenter = v;
  Invalidate();
}

void TImage::SetTransparent(bool v) {
  if (FTransparent == v) return;
  FTransparent = v;
  if (TGraphic* g = FPicture.Graphic()) g->SetTransparent(v);
  Invalidate();
}

void TImage::SetAutoSize(bool v) {
  if (FAutoSize == v) return;
  FAutoSize = v;
  PictureChanged();
}

void TImage::Paint(TCanvas& canvas) {
  TGraphic* g = FPicture.Graphic();
  if (!g || g->Empty()) return;
  TRect r;
  if (FStretch) {
    r = ClientRect();
  } else if (FCenter) {
    r = Bounds((Width() - g->Width()) / 2, (Height() - g->Height()) / 2, g->Width(), g->Height());
  } else {
    r = Bounds(0, 0, g->Width(), g->Height());
  }
  canvas.StretchDraw(r, g);
}
