#include "RadioGroup.h"

#include <algorithm>

#include "Form.h"

// ---- TRadioButton ----

TRadioButton::TRadioButton(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 113, 17);
  SetParentColor(true);
}

void TRadioButton::SetChecked(bool v) {
  if (FChecked == v) return;
  FChecked = v;
  Invalidate();
  if (!v) return;
  if (TWinControl* p = Parent()) {
    for (int i = 0; i < p->ControlCount(); ++i)
      if (auto* sib = dynamic_cast<TRadioButton*>(p->Controls(i)))
        if (sib != this) sib->SetChecked(false);
    if (auto* group = dynamic_cast<TRadioGroup*>(p)) {
      group->ButtonChecked(this);
      return;
    }
  }
  TWinControl::Click();
}

void TRadioButton::Click() {
  // Clicking checks; an item that is already checked stays as it is and runs nothing.
  SetChecked(true);
}

bool TRadioButton::WantsKey(uint16_t key, TShiftState) const {
  return key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN;
}

void TRadioButton::KeyDown(uint16_t& key, TShiftState shift) {
  if (key == VK_SPACE) {
    SetChecked(true);
    key = 0;
    return;
  }
  if (!WantsKey(key, shift) || !Parent()) return;
  bool forward = key == VK_RIGHT || key == VK_DOWN;
  std::vector<TRadioButton*> sibs;
  for (int i = 0; i < Parent()->ControlCount(); ++i)
    if (auto* b = dynamic_cast<TRadioButton*>(Parent()->Controls(i)))
      if (b->CanFocus()) sibs.push_back(b);
  auto it = std::find(sibs.begin(), sibs.end(), this);
  if (it == sibs.end() || sibs.size() < 2) return;
  size_t i = static_cast<size_t>(it - sibs.begin());
  size_t n = sibs.size();
  TRadioButton* next = sibs[(i + (forward ? 1 : n - 1)) % n];
  next->SetFocus();
  next->SetChecked(true);
  key = 0;
}

bool TRadioButton::DialogChar(char c) {
  char a = AcceleratorChar();
  if (!a || LowerCase(std::string(1, a)) != LowerCase(std::string(1, c)) || !CanFocus()) return false;
  SetFocus();
  SetChecked(true);
  return true;
}

void TRadioButton::MouseDown(TMouseButton, TShiftState, int32_t, int32_t) {
  FPressed = true;
  SetFocus();
}

void TRadioButton::MouseUp(TMouseButton, TShiftState, int32_t x, int32_t y) {
  if (!FPressed) return;
  FPressed = false;
  if (ClientRect().Contains(TPoint{x, y})) Click();
}

void TRadioButton::DoEnter() {
  Invalidate();
  TWinControl::DoEnter();
}

void TRadioButton::DoExit() {
  Invalidate();
  TWinControl::DoExit();
}

void TRadioButton::Paint(TCanvas& canvas) {
  TRect r = ClientRect();
  canvas.Brush.Color = Color();
  canvas.FillRect(r);
  const int32_t d = 12;
  int32_t top = (r.Height() - d) / 2;
  TRect circle = Bounds(0, top, d, d);
  canvas.Brush.Color = Enabled() ? clWindow : clBtnFace;
  canvas.Pen.Color = clBtnShadow;
  canvas.Ellipse(circle);
  canvas.Pen.Color = cl3DDkShadow;
  canvas.Ellipse(InflateRect(circle, -1, -1));
  if (FChecked) {
    canvas.Brush.Color = Enabled() ? clWindowText : clGrayText;
    canvas.Pen.Color = canvas.Brush.Color;
    canvas.Ellipse(Bounds(circle.Left + 4, circle.Top + 4, 4, 4));
  }
  canvas.Brush.Color = Color();
  TRect text = Rect(d + 5, 0, r.Right, r.Bottom);
  TRect calc = text;
  canvas.DrawText(Caption(), calc, DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
  canvas.Font().SetColor(Enabled() ? Font().Color() : clGrayText);
  canvas.DrawText(Caption(), text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  if (Focused()) {
    int32_t th = calc.Height();
    int32_t ty = (r.Height() - th) / 2;
    DrawFocusRect(canvas, Rect(text.Left - 1, ty - 1, std::min(text.Left + calc.Width() + 1, r.Right), ty + th + 1));
  }
}

// ---- TRadioGroup ----

TRadioGroup::TRadioGroup(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 185, 105);
  SetParentColor(true);
  SetTabStop(true);
}

void TRadioGroup::SetItems(const std::vector<std::string>& items) {
  FItems = items;
  while (FButtons.size() > FItems.size()) {
    delete FButtons.back();
    FButtons.pop_back();
  }
  while (FButtons.size() < FItems.size()) {
    auto* b = new TRadioButton(this);
    b->SetParent(this);
    FButtons.push_back(b);
  }
  for (size_t i = 0; i < FItems.size(); ++i) FButtons[i]->SetCaption(FItems[i]);
  if (FItemIndex >= static_cast<int>(FItems.size())) FItemIndex = -1;
  ArrangeButtons();
}

TRadioButton* TRadioGroup::Buttons(int i) const {
  if (i < 0 || i >= ButtonCount()) throw EListError(Format("List index out of bounds (%d)", i));
  return FButtons[static_cast<size_t>(i)];
}

void TRadioGroup::SetItemIndex(int v) {
  if (v < -1) v = -1;
  if (v >= ButtonCount()) v = ButtonCount() - 1;
  if (v == FItemIndex) return;
  if (FItemIndex >= 0) {
    FUpdating = true;
    FButtons[static_cast<size_t>(FItemIndex)]->SetChecked(false);
    FUpdating = false;
  }
  FItemIndex = v;
  // Checking by code runs the group's handler just as a user's click does.
  if (v >= 0) FButtons[static_cast<size_t>(v)]->SetChecked(true);
}

void TRadioGroup::ButtonChecked(TRadioButton* b) {
  if (FUpdating) return;
  auto it = std::find(FButtons.begin(), FButtons.end(), b);
  if (it == FButtons.end()) return;
  FItemIndex = static_cast<int>(it - FButtons.begin());
  TWinControl::Click();
}

void TRadioGroup::SetColumns(int v) {
  if (v < 1) v = 1;
  if (v > 16) v = 16;
  if (FColumns == v) return;
  FColumns = v;
  ArrangeButtons();
}

void TRadioGroup::ArrangeButtons() {
  if (FButtons.empty()) return;
  TCanvas measure;
  measure.Font().Assign(&Font());
  int32_t th = measure.TextHeight("0");
  int n = static_cast<int>(FButtons.size());
  int perCol = (n + FColumns - 1) / FColumns;
  int32_t bw = (Width() - 10) / FColumns;
  int32_t avail = Height() - th - 5;
  int32_t bh = avail / perCol;
  int32_t topMargin = th + 1 + (avail % perCol) / 2;
  for (int i = 0; i < n; ++i) {
    int col = i / perCol, row = i % perCol;
    FButtons[static_cast<size_t>(i)]->SetBounds(col * bw + 8, row * bh + topMargin, bw, bh);
  }
}

void TRadioGroup::BoundsChanged() {
  TWinControl::BoundsChanged();
  ArrangeButtons();
}

void TRadioGroup::FontChanged() {
  TWinControl::FontChanged();
  ArrangeButtons();
}

void TRadioGroup::TextChanged() { Invalidate(); }

void TRadioGroup::DoEnter() {
  TWinControl::DoEnter();
  // The focus belongs on a button: the checked one, or the first.
  TRadioButton* target = FItemIndex >= 0 ? FButtons[static_cast<size_t>(FItemIndex)] : nullptr;
  if (!target)
    for (TRadioButton* b : FButtons)
      if (b->CanFocus()) {
        target = b;
        break;
      }
  if (target && target->CanFocus()) target->SetFocus();
}

void TRadioGroup::Paint(TCanvas& canvas) {
  TRect r = ClientRect();
  canvas.Brush.Color = Color();
  canvas.FillRect(r);
  int32_t th = canvas.TextHeight("0");
  DrawEdge3D(canvas, Rect(0, th / 2 - 1, r.Right, r.Bottom), esEtched);
  if (!Caption().empty()) {
    TRect cr = Rect(8, 0, r.Right - 8, th);
    TRect calc = cr;
    canvas.DrawText(Caption(), calc, DT_LEFT | DT_SINGLELINE | DT_CALCRECT);
    canvas.Brush.Color = Color();
    canvas.FillRect(Rect(6, 0, 8 + calc.Width() + 2, th));
    canvas.DrawText(Caption(), cr, DT_LEFT | DT_SINGLELINE);
  }
}
