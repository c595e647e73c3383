#include "Button.h"

#include "Form.h"

TButton::TButton(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 75, 25);
  SetTabStop(true);
  SetParentColor(false);
  SetColor(clBtnFace);
}

void TButton::SetDefault(bool v) {
  if (FDefault == v) return;
  FDefault = v;
  Invalidate();
}

void TButton::Click() {
  if (TCustomForm* f = ParentForm()) f->SetModalResult(FModalResult);
  TWinControl::Click();
}

namespace {
bool FocusIsButton(const TControl* self) {
  TCustomForm* f = self->ParentForm();
  return f && dynamic_cast<TButton*>(f->ActiveControl()) != nullptr;
}
}  // namespace

bool TButton::DialogKey(uint16_t key, TShiftState shift) {
  if (shift & (ssShift | ssCtrl | ssAlt)) return false;
  bool mine = (key == VK_RETURN && FDefault && !FocusIsButton(this)) || (key == VK_ESCAPE && FCancel);
  if (!mine || !CanFocus()) return false;
  Click();
  return true;
}

bool TButton::DialogChar(char c) {
  char a = AcceleratorChar();
  if (!a || LowerCase(std::string(1, a)) != LowerCase(std::string(1, c)) || !CanFocus()) return false;
  Click();
  return true;
}

void TButton::MouseDown(TMouseButton, TShiftState, int32_t, int32_t) {
  FMouseDown = true;
  FMouseInside = true;
  Repaint();
}

void TButton::MouseMove(TShiftState, int32_t x, int32_t y) {
  if (!FMouseDown) return;
  bool inside = ClientRect().Contains(TPoint{x, y});
  if (inside != FMouseInside) {
    FMouseInside = inside;
    Invalidate();
  }
}

void TButton::MouseUp(TMouseButton, TShiftState, int32_t x, int32_t y) {
  if (!FMouseDown) return;
  FMouseDown = false;
  FMouseInside = false;
  Invalidate();
  if (ClientRect().Contains(TPoint{x, y})) Click();
}

void TButton::KeyDown(uint16_t& key, TShiftState shift) {
  if ((key == VK_SPACE || key == VK_RETURN) && !(shift & (ssCtrl | ssAlt))) {
    key = 0;
    Click();
  }
}

void TButton::DoEnter() {
  Invalidate();
  TWinControl::DoEnter();
}

void TButton::DoExit() {
  Invalidate();
  TWinControl::DoExit();
}

void TButton::Paint(TCanvas& canvas) {
  TRect r = ClientRect();
  bool down = FMouseDown && FMouseInside;
  canvas.Brush.Color = clBtnFace;
  canvas.FillRect(r);
  // The default button (and a focused one) wears a black frame, as dialogs mark the Enter target.
  if (FDefault || Focused()) {
    canvas.Brush.Color = clWindowFrame;
    canvas.FrameRect(r);
    r = InflateRect(r, -1, -1);
  }
  if (down) {
    canvas.Brush.Color = clBtnShadow;
    canvas.FrameRect(r);
  } else {
    DrawEdge3D(canvas, r, esButtonUp);
  }
  TRect face = InflateRect(r, -2, -2);
  PaintFace(canvas, down ? OffsetRect(face, 1, 1) : face, down);
  if (Focused()) DrawFocusRect(canvas, InflateRect(r, -3, -3));
}

void TButton::PaintFace(TCanvas& canvas, const TRect& face, bool) {
  TRect t = face;
  canvas.Font().SetColor(Enabled() ? clBtnText : clGrayText);
  canvas.DrawText(Caption(), t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner) {}

void TBitBtn::SetGlyph(const TBitmap* v) {
  if (!v || v->Empty()) {
    FGlyph.reset();
  } else {
    FGlyph = std::make_unique<TBitmap>();
    FGlyph->Assign(v);
  }
  Invalidate();
}

void TBitBtn::SetNumGlyphs(int v) {
  if (v < 1) v = 1;
  if (v > 4) v = 4;
  if (FNumGlyphs == v) return;
  FNumGlyphs = v;
  Invalidate();
}

void TBitBtn::SetLayout(TButtonLayout v) {
  if (FLayout == v) return;
  FLayout = v;
  Invalidate();
}

void TBitBtn::PaintFace(TCanvas& canvas, const TRect& face, bool down) {
  if (!FGlyph) {
    TButton::PaintFace(canvas, face, down);
    return;
  }
  // The glyph strip holds NumGlyphs images side by side: up, disabled, down, ...
  int32_t gw = FGlyph->Width() / FNumGlyphs;
  int32_t gh = FGlyph->Height();
  int index = !Enabled() && FNumGlyphs > 1 ? 1 : (down && FNumGlyphs > 2 ? 2 : 0);
  TSize ts = canvas.TextExtent(Caption());
  const int32_t spacing = 4;
  bool horizontal = FLayout == blGlyphLeft || FLayout == blGlyphRight;
  int32_t totalW = horizontal ? gw + spacing + ts.cx : std::max(gw, ts.cx);
  int32_t totalH = horizontal ? std::max(gh, ts.cy) : gh + spacing + ts.cy;
  int32_t x = face.Left + (face.Width() - totalW) / 2;
  int32_t y = face.Top + (face.Height() - totalH) / 2;
  TPoint g, t;
  switch (FLayout) {
    case blGlyphLeft:
      g = {x, face.Top + (face.Height() - gh) / 2};
      t = {x + gw + spacing, y};
      break;
    case blGlyphRight:
      t = {x, y};
      g = {x + ts.cx + spacing, face.Top + (face.Height() - gh) / 2};
      break;
    case blGlyphTop:
      g = {face.Left + (face.Width() - gw) / 2, y};
      t = {face.Left + (face.Width() - ts.cx) / 2, y + gh + spacing};
      break;
    case blGlyphBottom:
      t = {face.Left + (face.Width() - ts.cx) / 2, y};
      g = {face.Left + (face.Width() - gw) / 2, y + ts.cy + spacing};
      break;
  }
  canvas.CopyRect(Bounds(g.X, g.Y, gw, gh), FGlyph->Surface(), Bounds(index * gw, 0, gw, gh));
  TRect tr = Bounds(t.X, t.Y, ts.cx + 1, ts.cy);
  canvas.Font().SetColor(Enabled() ? clBtnText : clGrayText);
  canvas.DrawText(Caption(), tr, DT_LEFT | DT_SINGLELINE);
}
