// Sections: TControl; TWinControl; frames.
#include "Controls.h"

#include <algorithm>

#include "Form.h"

// ---- TControl ----

namespace {
bool ContainsFocus(const TControl* c, const TControl* focused) {
  for (const TControl* p = focused; p; p = p->Parent())
    if (p == c) return true;
  return false;
}
}  // namespace

TControl::TControl(TComponent* owner) : TComponent(owner) {
  FFont.OnChange = [this](TObject*) { FontOnChange(); };
}

TControl::~TControl() {
  if (TCustomForm* f = ParentForm()) {
    if (f->FCapture == this) f->FCapture = nullptr;
    if (f->FActiveControl == this) f->FActiveControl = nullptr;
  }
  if (FParent) FParent->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
  if (FParent == parent) return;
  if (parent == this) return;
  if (FParent) {
    Invalidate();
    FParent->RemoveControl(this);
  }
  if (parent) {
    parent->InsertControl(this);
    if (FParentColor) ParentColorChanged();
    if (FParentFont) ParentFontChanged();
    if (FAlign != alNone) parent->Realign();
    Invalidate();
  }
}

void TControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
  Invalidate();
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  BoundsChanged();
  Invalidate();
  if (FParent && FAlign != alNone && !FParent->FAligning) FParent->Realign();
}

TPoint TControl::FormOrigin() const {
  TPoint p{0, 0};
  for (const TControl* c = this; c && c->FParent; c = c->FParent) {
    p.X += c->FLeft;
    p.Y += c->FTop;
  }
  return p;
}

TCustomForm* TControl::ParentForm() const {
  const TControl* c = this;
  while (c->FParent) c = c->FParent;
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

void TControl::SetAlign(TAlign v) {
  if (FAlign == v) return;
  FAlign = v;
  if (FParent) FParent->Realign();
}

void TControl::SetVisible(bool v) {
  if (FVisible == v) return;
  if (!v) Invalidate();
  FVisible = v;
  VisibleChanged();
  if (v) Invalidate();
  if (FParent) {
    if (FAlign != alNone) FParent->Realign();
    FParent->ControlVisibilityChanged(this);
  }
}

void TControl::Show() {
  if (FParent) FParent->ShowControl(this);
  SetVisible(true);
}

bool TControl::Showing() const {
  for (const TControl* c = this; c; c = c->FParent)
    if (!c->FVisible) return false;
  return true;
}

void TControl::SetEnabled(bool v) {
  if (FEnabled == v) return;
  FEnabled = v;
  EnabledChanged();
}

void TControl::SetColor(TColor v) {
  FParentColor = false;
  if (FColor == v) return;
  FColor = v;
  ColorChanged();
}

void TControl::SetParentColor(bool v) {
  if (FParentColor == v) return;
  FParentColor = v;
  if (v) ParentColorChanged();
}

void TControl::SetParentFont(bool v) {
  if (FParentFont == v) return;
  FParentFont = v;
  if (v) ParentFontChanged();
}

void TControl::SetText(const std::string& v) {
  std::string t = CutAtNul(v);
  if (t == FText) return;
  FText = std::move(t);
  TextChanged();
}

void TControl::Invalidate() {
  TCustomForm* f = ParentForm();
  if (!f || !Showing() || f == this) {
    if (f == this) f->InvalidateRect(ClientRect());
    return;
  }
  TPoint o = FormOrigin();
  f->InvalidateRect(Bounds(o.X, o.Y, FWidth, FHeight));
}

namespace {
// Whether any control painted after `node` (a later sibling in its layer, or any windowed
// sibling above a window-less one), at any level up to the form, covers part of r.
bool Overlapped(const TControl* node, const TRect& r) {
  for (const TControl* c = node; c->Parent(); c = c->Parent()) {
    const TWinControl* p = c->Parent();
    bool after = false;
    for (int pass = 0; pass < 2; ++pass) {
      for (int i = 0; i < p->ControlCount(); ++i) {
        const TControl* s = p->Controls(i);
        bool windowed = dynamic_cast<const TWinControl*>(s) != nullptr;
        if (windowed != (pass == 1)) continue;
        if (s == c) {
          after = true;
          continue;
        }
        if (!after || !s->Visible()) continue;
        TPoint so = s->FormOrigin();
        if (!IntersectRect(Bounds(so.X, so.Y, s->Width(), s->Height()), r).IsEmpty()) return true;
      }
    }
  }
  return false;
}
}  // namespace

void TControl::Repaint() {
  TCustomForm* f = ParentForm();
  if (!f || !Showing()) return;
  if (f == this) {
    f->PaintNow(ClientRect());
    return;
  }
  TPoint o = FormOrigin();
  TRect r = Bounds(o.X, o.Y, FWidth, FHeight);
  if (IsOpaque() && !Overlapped(this, r)) {
    // What of it is visible inside its parents.
    for (const TControl* p = FParent; p && p->FParent; p = p->FParent) {
      TPoint po = p->FormOrigin();
      r = IntersectRect(r, Bounds(po.X, po.Y, p->FWidth, p->FHeight));
    }
    f->PaintControlNow(this, r);
    return;
  }
  f->PaintNow(r);
}

void TControl::BringToFront() {
  if (!FParent) return;
  auto& v = FParent->FControls;
  v.erase(std::remove(v.begin(), v.end(), this), v.end());
  v.push_back(this);
  Invalidate();
}

void TControl::SendToBack() {
  if (!FParent) return;
  auto& v = FParent->FControls;
  v.erase(std::remove(v.begin(), v.end(), this), v.end());
  v.insert(v.begin(), this);
  Invalidate();
}

void TControl::PaintTree(TCanvas& canvas, const TRect& formClip) {
  if (!FVisible) return;
  TPoint o = FormOrigin();
  TRect mine = IntersectRect(Bounds(o.X, o.Y, FWidth, FHeight), formClip);
  if (mine.IsEmpty()) return;
  canvas.SetOrigin(o);
  canvas.SetClipRect(OffsetRect(mine, -o.X, -o.Y));
  canvas.Font().Assign(&FFont);
  canvas.Brush.Color = FColor;
  canvas.Brush.Style = bsSolid;
  canvas.Pen.Color = clBlack;
  canvas.Pen.Width = 1;
  Paint(canvas);
  auto* wc = dynamic_cast<TWinControl*>(this);
  if (!wc) return;
  // Window-less children are drawn by their parent, under the windowed ones.
  std::vector<TControl*> children = wc->FControls;
  for (int pass = 0; pass < 2; ++pass)
    for (TControl* c : children)
      if (c->IsWindowed() == (pass == 1)) c->PaintTree(canvas, mine);
}

void TControl::DispatchInput(const TInputEvent& e) {
  if (!FVisible || !FEnabled) return;
  switch (e.Kind) {
    case TInputEvent::MouseDown:
      MouseDown(mbLeft, e.Shift, e.X, e.Y);
      if (OnMouseDown) OnMouseDown(this, mbLeft, e.Shift, e.X, e.Y);
      break;
    case TInputEvent::MouseUp:
      MouseUp(mbLeft, e.Shift, e.X, e.Y);
      if (OnMouseUp) OnMouseUp(this, mbLeft, e.Shift, e.X, e.Y);
      break;
    case TInputEvent::MouseMove: MouseMove(e.Shift, e.X, e.Y); break;
    case TInputEvent::KeyDown: {
      uint16_t k = e.Key;
      KeyDown(k, e.Shift);
      break;
    }
    case TInputEvent::KeyChar: {
      char c = static_cast<char>(e.Key);
      KeyPress(c);
      break;
    }
  }
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::EnabledChanged() {
  Invalidate();
  if (!FEnabled)
    if (TCustomForm* f = ParentForm())
      if (f->ActiveControl() && ContainsFocus(this, f->ActiveControl())) f->SetActiveControl(nullptr);
}

void TControl::VisibleChanged() {
  if (!FVisible)
    if (TCustomForm* f = ParentForm())
      if (f != this && f->ActiveControl() && ContainsFocus(this, f->ActiveControl())) f->SetActiveControl(nullptr);
}

void TControl::FontChanged() { Invalidate(); }
void TControl::ColorChanged() { Invalidate(); }
void TControl::TextChanged() { Invalidate(); }

void TControl::ParentColorChanged() {
  if (!FParentColor || !FParent) return;
  if (FColor != FParent->FColor) {
    FColor = FParent->FColor;
    ColorChanged();
  }
}

void TControl::ParentFontChanged() {
  if (!FParentFont || !FParent) return;
  if (FFont == FParent->FFont) return;
  bool keep = FParentFont;
  FFont.Assign(&FParent->FFont);
  FParentFont = keep;
  FontChanged();
}

void TControl::FontOnChange() {
  // A font changed directly is no longer the parent's.
  FParentFont = false;
  FontChanged();
}

char TControl::AcceleratorChar() const {
  for (size_t i = 0; i + 1 < FText.size(); ++i) {
    if (FText[i] != '&') continue;
    if (FText[i + 1] == '&') {
      ++i;
      continue;
    }
    return FText[i + 1];
  }
  return 0;
}

// ---- TWinControl ----

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  // Children are freed by their owners; they must not reach back into a dead parent.
  for (TControl* c : FControls) c->FParent = nullptr;
  FControls.clear();
  FTabList.clear();
}

void TWinControl::InsertControl(TControl* c) {
  FControls.push_back(c);
  c->FParent = this;
  if (auto* w = dynamic_cast<TWinControl*>(c)) FTabList.push_back(w);
}

void TWinControl::RemoveControl(TControl* c) {
  FControls.erase(std::remove(FControls.begin(), FControls.end(), c), FControls.end());
  FTabList.erase(std::remove(FTabList.begin(), FTabList.end(), c), FTabList.end());
  c->FParent = nullptr;
}

bool TWinControl::ContainsControl(const TControl* c) const {
  for (; c; c = c->Parent())
    if (c == this) return true;
  return false;
}

int TWinControl::TabOrder() const {
  if (!Parent()) return -1;
  const auto& l = Parent()->FTabList;
  auto it = std::find(l.begin(), l.end(), this);
  return it == l.end() ? -1 : static_cast<int>(it - l.begin());
}

void TWinControl::SetTabOrder(int v) {
  if (!Parent()) return;
  auto& l = Parent()->FTabList;
  l.erase(std::remove(l.begin(), l.end(), this), l.end());
  if (v < 0) v = 0;
  if (v > static_cast<int>(l.size())) v = static_cast<int>(l.size());
  l.insert(l.begin() + v, this);
}

std::vector<TWinControl*> TWinControl::TabList() const { return FTabList; }

bool TWinControl::CanFocus() const {
  const TControl* c = this;
  for (; c; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return ParentForm() != nullptr;
}

bool TWinControl::Focused() const {
  TCustomForm* f = ParentForm();
  return f && f->ActiveControl() == this;
}

void TWinControl::SetFocus() {
  if (TCustomForm* f = ParentForm())
    if (CanFocus()) f->SetActiveControl(this);
}

namespace {
TWinControl* FirstFocusable(const TWinControl* parent) {
  for (TWinControl* c : parent->TabList()) {
    if (!c->CanFocus()) continue;
    if (c->TabStop()) return c;
    if (TWinControl* inner = FirstFocusable(c)) return inner;
  }
  return nullptr;
}
}  // namespace

bool TWinControl::SelectFirst() {
  TWinControl* c = FirstFocusable(this);
  if (!c) return false;
  c->SetFocus();
  return true;
}

void TWinControl::Realign() {
  if (FAligning) return;
  FAligning = true;
  TRect r = ContentRect();
  AlignControls(r);
  FAligning = false;
}

void TWinControl::AlignControls(TRect& r) {
  for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (TControl* c : FControls) {
      if (!c->Visible() || c->Align() != a) continue;
      switch (a) {
        case alTop:
          c->SetBounds(r.Left, r.Top, r.Width(), c->Height());
          r.Top += c->Height();
          break;
        case alBottom:
          c->SetBounds(r.Left, r.Bottom - c->Height(), r.Width(), c->Height());
          r.Bottom -= c->Height();
          break;
        case alLeft:
          c->SetBounds(r.Left, r.Top, c->Width(), r.Height());
          r.Left += c->Width();
          break;
        case alRight:
          c->SetBounds(r.Right - c->Width(), r.Top, c->Width(), r.Height());
          r.Right -= c->Width();
          break;
        case alClient: c->SetBounds(r.Left, r.Top, r.Width(), r.Height()); break;
        case alNone: break;
      }
    }
  }
}

void TWinControl::ShowControl(TControl*) {
  if (Parent()) Parent()->ShowControl(this);
}

TControl* TWinControl::ControlAtPos(TPoint p) {
  for (int pass = 1; pass >= 0; --pass) {
    for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
      TControl* c = *it;
      if (!c->Visible() || c->IsWindowed() != (pass == 1)) continue;
      if (!c->BoundsRect().Contains(p)) continue;
      if (auto* w = dynamic_cast<TWinControl*>(c)) return w->ControlAtPos(TPoint{p.X - c->Left(), p.Y - c->Top()});
      return c;
    }
  }
  return this;
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

void TWinControl::BoundsChanged() { Realign(); }

void TWinControl::ParentColorChanged() { TControl::ParentColorChanged(); }

void TWinControl::ParentFontChanged() { TControl::ParentFontChanged(); }

void TWinControl::ColorChanged() {
  TControl::ColorChanged();
  for (TControl* c : std::vector<TControl*>(FControls)) c->ParentColorChanged();
}

void TWinControl::FontChanged() {
  TControl::FontChanged();
  for (TControl* c : std::vector<TControl*>(FControls)) c->ParentFontChanged();
}

// ---- frames ----

void DrawEdge3D(TCanvas& canvas, const TRect& r, TEdgeStyle style) {
  auto ring = [&canvas](TRect q, TColor topLeft, TColor bottomRight) {
    if (q.IsEmpty()) return;
    canvas.Pen.Color = topLeft;
    canvas.MoveTo(q.Left, q.Bottom - 1);
    canvas.LineTo(q.Left, q.Top);
    canvas.LineTo(q.Right - 1, q.Top);
    canvas.Pen.Color = bottomRight;
    canvas.LineTo(q.Right - 1, q.Bottom - 1);
    canvas.LineTo(q.Left, q.Bottom - 1);
  };
  TRect inner = InflateRect(r, -1, -1);
  switch (style) {
    case esRaised:
    case esButtonUp:
      ring(r, clBtnHighlight, cl3DDkShadow);
      ring(inner, clBtnFace, clBtnShadow);
      break;
    case esSunken:
      ring(r, clBtnShadow, clBtnHighlight);
      ring(inner, cl3DDkShadow, clBtnFace);
      break;
    case esEtched:
      ring(r, clBtnShadow, clBtnHighlight);
      ring(inner, clBtnHighlight, clBtnShadow);
      break;
    case esButtonDown:
      ring(r, cl3DDkShadow, clBtnHighlight);
      ring(inner, clBtnShadow, clBtnFace);
      break;
  }
}

void DrawFocusRect(TCanvas& canvas, const TRect& r) {
  for (int32_t x = r.Left; x < r.Right; x += 2) {
    canvas.SetPixel(x, r.Top, clBlack);
    canvas.SetPixel(x, r.Bottom - 1, clBlack);
  }
  for (int32_t y = r.Top; y < r.Bottom; y += 2) {
    canvas.SetPixel(r.Left, y, clBlack);
    canvas.SetPixel(r.Right - 1, y, clBlack);
  }
}
