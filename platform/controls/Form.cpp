// Sections: life and size; focus; painting; modal and close; message handling; key routing.
#include "Form.h"

#include <algorithm>

#include "Application.h"
#include "Display.h"

namespace {
TCustomForm* gModalForm = nullptr;  // the innermost modal form; others take no input meanwhile
}  // namespace

WPARAM MouseWParam(TShiftState shift, bool leftButton) {
  WPARAM w = leftButton ? MK_LBUTTON : 0;
  if (shift & ssShift) w |= MK_SHIFT;
  if (shift & ssCtrl) w |= MK_CONTROL;
  if (shift & ssAlt) w |= MK_ALT;
  return w;
}

TShiftState ShiftFromWParam(WPARAM w) {
  TShiftState s = 0;
  if (w & MK_SHIFT) s |= ssShift;
  if (w & MK_CONTROL) s |= ssCtrl;
  if (w & MK_ALT) s |= ssAlt;
  return s;
}

// ---- life and size ----

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
  FVisible = false;
  FColor = clBtnFace;
  FParentFont = false;
  FHandle = AllocateHWnd([this](HWND, uint32_t m, WPARAM w, LPARAM l) { return WndProc(m, w, l); });
}

TCustomForm::~TCustomForm() {
  if (gModalForm == this) gModalForm = nullptr;
  FNative.reset();
  DeallocateHWnd(FHandle);
  FHandle = 0;
}

void TCustomForm::SetClientSize(int32_t w, int32_t h) { SetBounds(Left(), Top(), w, h); }

void TCustomForm::BoundsChanged() {
  FSurface.Resize(Width(), Height());
  if (FNative && !FSizeFromNative) FNative->SetClientSize(Width(), Height());
  TWinControl::BoundsChanged();
  InvalidateRect(ClientRect());
}

void TCustomForm::SetIcon(const TBitmap& icon) {
  FIcon = std::make_unique<TBitmap>();
  FIcon->Assign(&icon);
  if (FNative) FNative->SetIcon(FIcon->Surface());
}

void TCustomForm::EnsureNative() {
  if (FNative) return;
  FNative = Display().CreateNativeWindow(FHandle, Width(), Height(), Caption());
  if (FIcon) FNative->SetIcon(FIcon->Surface());
}

void TCustomForm::TextChanged() {
  if (FNative) FNative->SetTitle(Caption());
}

// ---- focus ----

void TCustomForm::SetActiveControl(TWinControl* c) {
  if (c == FActiveControl) return;
  if (c && c != this && !ContainsControl(c)) return;
  TWinControl* old = FActiveControl;
  FActiveControl = c;
  if (old) {
    old->Invalidate();
    old->DoExit();
  }
  // DoExit may have moved the focus elsewhere already.
  if (FActiveControl != c) return;
  if (c) {
    c->Invalidate();
    c->DoEnter();
  }
}

void TCustomForm::FocusControl(TWinControl* c) {
  if (c && c->CanFocus()) SetActiveControl(c);
}

// ---- painting ----

void TCustomForm::Paint(TCanvas& canvas) {
  canvas.Brush.Color = Color();
  canvas.FillRect(ClientRect());
}

void TCustomForm::InvalidateRect(const TRect& r) {
  TRect c = IntersectRect(r, ClientRect());
  if (c.IsEmpty()) return;
  FDirty = UnionRect(FDirty, c);
  InvalidateWindow(FHandle);
}

void TCustomForm::PaintNow(const TRect& r) {
  TRect c = IntersectRect(r, ClientRect());
  if (c.IsEmpty() || FSurface.Width() == 0) return;
  FCanvas.SetSurface(&FSurface);
  PaintTree(FCanvas, c);
  if (FNative && Visible()) FNative->Present(FSurface, c);
}

void TCustomForm::PaintControlNow(TControl* control, const TRect& r) {
  TRect c = IntersectRect(r, ClientRect());
  if (c.IsEmpty() || FSurface.Width() == 0) return;
  FCanvas.SetSurface(&FSurface);
  control->PaintTree(FCanvas, c);
  if (FNative && Visible()) FNative->Present(FSurface, c);
}

void TCustomForm::PaintPending() {
  TRect d = FDirty;
  FDirty = TRect{};
  ValidateWindow(FHandle);
  if (!d.IsEmpty()) PaintNow(d);
}

void TCustomForm::SaveScreenshot(const std::string& fileName) {
  PaintNow(ClientRect());
  FDirty = TRect{};
  ValidateWindow(FHandle);
  FSurface.SavePng(fileName);
}

void TCustomForm::VisibleChanged() {
  if (Visible()) {
    EnsureNative();
    FNative->Show(FPosition == poScreenCenter && !FShownOnce);
    FShownOnce = true;
    InvalidateRect(ClientRect());
    if (!FActiveControl) SelectFirst();
    if (OnShow) OnShow(this);
  } else if (FNative) {
    FNative->Hide();
  }
}

// ---- modal and close ----

TModalResult TCustomForm::ShowModal() {
  // The box takes input even inside a long step that holds it back; a click given before the
  // box appeared does not answer it.
  TInputRelease release;
  TCustomForm* outer = gModalForm;
  // The form it interrupts owns it: kept above that form, centred on it, and that form gets
  // the keyboard back afterwards.
  TCustomForm* owner = outer ? outer : (Application ? Application->MainForm() : nullptr);
  if (!FShownOnce && owner && owner != this && owner->Visible() && owner->FNative) {
    EnsureNative();
    FNative->SetDialogOwner(*owner->FNative);
  }
  gModalForm = this;
  FModal = true;
  FModalResult = mrNone;
  SetVisible(true);
  TMsg msg;
  while (FModalResult == mrNone && !(Application && Application->Terminated())) {
    if (!PeekMessage(msg)) {
      WaitMessage(-1);
      continue;
    }
    if (msg.message == WM_QUIT) {
      // The outer loop must see the quit too.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    try {
      TranslateMessage(msg);
      DispatchMessage(msg);
    } catch (const std::exception& e) {
      if (Application) Application->HandleException(e);
    }
  }
  SetVisible(false);
  FModal = false;
  gModalForm = outer;
  return FModalResult;
}

void TCustomForm::Close() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  if (!canClose) return;
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  if (action == caNone) return;
  if (FModal) {
    if (FModalResult == mrNone) FModalResult = mrCancel;
    return;
  }
  SetVisible(false);
  if (Application && Application->MainForm() == this) Application->Terminate();
}

// ---- message handling ----

LRESULT TCustomForm::WndProc(uint32_t msg, WPARAM w, LPARAM l) {
  bool blocked = gModalForm && gModalForm != this;
  switch (msg) {
    case WM_PAINT: PaintPending(); return 0;
    case WM_CLOSE:
      if (!blocked) Close();
      return 0;
    case WM_SIZE: {
      // The native window has this size already (and may have moved on to a newer one that
      // is still queued): the form follows it without asking it back.
      FSizeFromNative = true;
      try {
        SetClientSize(static_cast<uint16_t>(l & 0xFFFF), static_cast<uint16_t>((l >> 16) & 0xFFFF));
      } catch (...) {
        FSizeFromNative = false;
        throw;
      }
      FSizeFromNative = false;
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
      if (!blocked && Visible()) HandleMouse(msg, l, w);
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (!blocked && Visible()) HandleKey(static_cast<uint16_t>(w), ShiftFromKeyLParam(l), msg == WM_SYSKEYDOWN);
      return 0;
    case WM_CHAR:
    case WM_SYSCHAR:
      if (!blocked && Visible()) HandleChar(static_cast<char>(w), msg == WM_SYSCHAR);
      return 0;
    default: return DefWindowProc(FHandle, msg, w, l);
  }
}

void TCustomForm::HandleMouse(uint32_t msg, LPARAM l, WPARAM w) {
  TPoint p{LParamX(l), LParamY(l)};
  TShiftState shift = ShiftFromWParam(w);
  if (msg == WM_LBUTTONDOWN) {
    TControl* target = ControlAtPos(p);
    if (!target) return;
    if (auto* wc = dynamic_cast<TWinControl*>(target))
      if (wc != this && wc->TabStop() && wc->CanFocus()) wc->SetFocus();
    FCapture = target;
    TPoint o = target->FormOrigin();
    target->DispatchInput(TInputEvent{TInputEvent::MouseDown, p.X - o.X, p.Y - o.Y, 0, shift});
    return;
  }
  TControl* target = FCapture ? FCapture : ControlAtPos(p);
  if (msg == WM_LBUTTONUP) FCapture = nullptr;
  if (!target) return;
  TPoint o = target->FormOrigin();
  target->DispatchInput(
      TInputEvent{msg == WM_LBUTTONUP ? TInputEvent::MouseUp : TInputEvent::MouseMove, p.X - o.X, p.Y - o.Y, 0, shift});
}

// ---- key routing ----

void TCustomForm::HandleKey(uint16_t key, TShiftState shift, bool) {
  TWinControl* focused = FActiveControl;
  if (focused && focused != this && focused->WantsKey(key, shift)) {
    focused->DispatchInput(TInputEvent{TInputEvent::KeyDown, 0, 0, key, shift});
    return;
  }
  if (key == VK_TAB && !(shift & (ssCtrl | ssAlt))) {
    SelectNext(!(shift & ssShift));
    return;
  }
  if ((key == VK_RETURN || key == VK_ESCAPE) && !(shift & (ssShift | ssCtrl | ssAlt))) {
    if (RouteDialogKey(key, shift)) return;
  }
  if (focused && focused != this) focused->DispatchInput(TInputEvent{TInputEvent::KeyDown, 0, 0, key, shift});
}

void TCustomForm::HandleChar(char c, bool sys) {
  if (sys) {
    RouteAccelerator(c);
    return;
  }
  if (FActiveControl && FActiveControl != this)
    FActiveControl->DispatchInput(TInputEvent{TInputEvent::KeyChar, 0, 0, static_cast<uint8_t>(c), 0});
}

namespace {
template <class F>
bool VisitDepthFirst(TWinControl* parent, F&& f) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (f(c)) return true;
    if (auto* w = dynamic_cast<TWinControl*>(c))
      if (VisitDepthFirst(w, f)) return true;
  }
  return false;
}
}  // namespace

bool TCustomForm::RouteDialogKey(uint16_t key, TShiftState shift) {
  return VisitDepthFirst(this, [&](TControl* c) { return c->DialogKey(key, shift); });
}

bool TCustomForm::RouteAccelerator(char c) {
  return VisitDepthFirst(this, [&](TControl* ctl) { return ctl->DialogChar(c); });
}

void TCustomForm::SelectNext(bool forward) {
  std::vector<TWinControl*> order;
  std::function<void(TWinControl*)> collect = [&](TWinControl* p) {
    for (TWinControl* w : p->TabList()) {
      if (!w->CanFocus()) continue;
      if (w->TabStop()) order.push_back(w);
      collect(w);
    }
  };
  collect(this);
  if (order.empty()) return;
  auto it = std::find(order.begin(), order.end(), FActiveControl);
  size_t n = order.size();
  size_t idx;
  if (it == order.end()) {
    // The focus may sit on a control that is not itself a tab stop (a radio button): step
    // from the tab stop that contains it.
    auto owner = std::find_if(order.begin(), order.end(),
                              [this](TWinControl* w) { return FActiveControl && w->ContainsControl(FActiveControl); });
    if (owner == order.end())
      idx = forward ? 0 : n - 1;
    else
      idx = (static_cast<size_t>(owner - order.begin()) + (forward ? 1 : n - 1)) % n;
  } else {
    idx = (static_cast<size_t>(it - order.begin()) + (forward ? 1 : n - 1)) % n;
  }
  order[idx]->SetFocus();
}
