#include "Label.h"

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 65, 17);
  SetParentColor(true);
}

void TLabel::SetAutoSize(bool v) {
  if (FAutoSize == v) return;
  FAutoSize = v;
  AdjustBounds();
}

void TLabel::SetWordWrap(bool v) {
  if (FWordWrap == v) return;
  FWordWrap = v;
  AdjustBounds();
  Invalidate();
}

void TLabel::SetAlignment(TAlignment v) {
  if (FAlignment == v) return;
  FAlignment = v;
  Invalidate();
}

void TLabel::SetLayout(TTextLayout v) {
  if (FLayout == v) return;
  FLayout = v;
  Invalidate();
}

void TLabel::SetTransparent(bool v) {
  if (FTransparent == v) return;
  FTransparent = v;
  Invalidate();
}

void TLabel::SetShowAccelChar(bool v) {
  if (FShowAccelChar == v) return;
  FShowAccelChar = v;
  AdjustBounds();
  Invalidate();
}

uint32_t TLabel::TextFlags() const {
  uint32_t f = DT_EXPANDTABS;
  if (FWordWrap) f |= DT_WORDBREAK;
  if (!FShowAccelChar) f |= DT_NOPREFIX;
  if (FAlignment == taCenter) f |= DT_CENTER;
  if (FAlignment == taRightJustify) f |= DT_RIGHT;
  return f;
}

void TLabel::AdjustBounds() {
  if (!FAutoSize || IsLoading()) return;
  TCanvas measure;
  measure.Font().Assign(&Font());
  TRect r = Rect(0, 0, FWordWrap ? Width() : 0x7FFF, 0);
  std::string text = Caption().empty() ? std::string(" ") : Caption();
  measure.DrawText(text, r, TextFlags() | DT_CALCRECT);
  int32_t left = Left();
  // A right-aligned label keeps its right edge, as text grows leftwards.
  if (FAlignment == taRightJustify) left = Left() + Width() - r.Right;
  SetBounds(left, Top(), r.Right, r.Bottom);
}

void TLabel::TextChanged() {
  AdjustBounds();
  TGraphicControl::TextChanged();
}

void TLabel::FontChanged() {
  AdjustBounds();
  TGraphicControl::FontChanged();
}

void TLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TLabel::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == opRemove && component == FFocusControl) FFocusControl = nullptr;
}

void TLabel::Paint(TCanvas& canvas) {
  TRect client = ClientRect();
  if (!FTransparent) {
    canvas.Brush.Color = Color();
    canvas.FillRect(client);
  }
  TRect r = client;
  uint32_t flags = TextFlags();
  if (FLayout != tlTop) {
    TRect calc = r;
    canvas.DrawText(Caption(), calc, flags | DT_CALCRECT);
    int32_t h = calc.Height();
    r.Top += FLayout == tlCenter ? (client.Height() - h) / 2 : client.Height() - h;
  }
  if (!Enabled()) {
    TRect shadow = OffsetRect(r, 1, 1);
    canvas.Font().SetColor(clBtnHighlight);
    canvas.DrawText(Caption(), shadow, flags);
    canvas.Font().SetColor(clBtnShadow);
  }
  canvas.DrawText(Caption(), r, flags);
}

bool TLabel::DialogChar(char c) {
  char a = AcceleratorChar();
  if (!FShowAccelChar || !a || !FFocusControl || !Showing() || !Enabled()) return false;
  if (LowerCase(std::string(1, a)) != LowerCase(std::string(1, c))) return false;
  if (!FFocusControl->CanFocus()) return false;
  FFocusControl->SetFocus();
  return true;
}

void TLabel::SetFocusControl(TWinControl* c) {
  if (FFocusControl == c) return;
  if (FFocusControl) FFocusControl->RemoveFreeNotification(this);
  FFocusControl = c;
  if (c) c->FreeNotification(this);
}
