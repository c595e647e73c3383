// The control tree: TControl (bounds, visibility, enablement, parent, colour and font with
// parent inheritance, show request that asks the parent first, repaint now / later, change
// notifications, help context), TWinControl (children, tab order, focus, client rect and the
// content area children are aligned in), TGraphicControl (window-less, painted by its parent)
// and TCustomControl (a focusable control that paints itself).
//
// Input is dispatched in one place: DispatchInput, which drops input to disabled or invisible
// controls before calling the virtual handlers (MouseDown, KeyDown, ...).
// Painting: every control paints on its form's surface through a canvas whose origin is the
// control's top-left and whose clip is what is visible of it.
//
// Threads: user-interface thread only. Ownership: controls are components (their owner frees
// them); a parent does not own its children but forgets a child that is destroyed.
//
// Sections: TControl; TWinControl; TGraphicControl, TCustomControl.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "Classes.h"
#include "Graphics.h"
#include "Types.h"

class TWinControl;
class TCustomForm;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAnchorKind : uint8_t { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = uint8_t;
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TMouseButton { mbLeft, mbRight, mbMiddle };

// One input event as DispatchInput hands it to a control (coordinates are the control's own).
struct TInputEvent {
  enum TKind { MouseDown, MouseUp, MouseMove, KeyDown, KeyChar } Kind;
  int32_t X = 0;
  int32_t Y = 0;
  uint16_t Key = 0;  // virtual key, or the Windows-1252 character for KeyChar
  TShiftState Shift = 0;
};

using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(TObject* sender, uint16_t& key, TShiftState shift)>;

// ---- TControl ----

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return FParent; }
  virtual void SetParent(TWinControl* parent);

  int32_t Left() const { return FLeft; }
  int32_t Top() const { return FTop; }
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  void SetLeft(int32_t v) { SetBounds(v, FTop, FWidth, FHeight); }
  void SetTop(int32_t v) { SetBounds(FLeft, v, FWidth, FHeight); }
  void SetWidth(int32_t v) { SetBounds(FLeft, FTop, v, FHeight); }
  void SetHeight(int32_t v) { SetBounds(FLeft, FTop, FWidth, v); }
  virtual void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
  TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
  virtual TRect ClientRect() const { return Rect(0, 0, FWidth, FHeight); }
  int32_t ClientWidth() const { return ClientRect().Width(); }
  int32_t ClientHeight() const { return ClientRect().Height(); }
  // Top-left corner in the coordinates of the form's surface.
  TPoint FormOrigin() const;
  TCustomForm* ParentForm() const;

  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign v);
  TAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors v) { FAnchors = v; }

  bool Visible() const { return FVisible; }
  void SetVisible(bool v);
  // The show request: asks the parent first (a container may react, e.g. activate a page),
  // then makes this control visible.
  void Show();
  void Hide() { SetVisible(false); }
  // Visible, and every parent up to the form too.
  bool Showing() const;
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v);

  TColor Color() const { return FColor; }
  void SetColor(TColor v);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool v);
  TFont& Font() { return FFont; }
  const TFont& Font() const { return FFont; }
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool v);
  const std::string& Caption() const { return FText; }
  void SetCaption(const std::string& v) { SetText(v); }
  const std::string& Text() const { return FText; }
  // Stores the text up to its first NUL, as a control keeps it.
  void SetText(const std::string& v);
  int32_t HelpContext() const { return FHelpContext; }
  void SetHelpContext(int32_t v) { FHelpContext = v; }

  // Repaint later: marks the control's area for the next paint of its form.
  void Invalidate();
  // Repaint now: paints the control's area and presents it at once. An opaque control that
  // nothing overlaps is painted alone, without its parents underneath.
  virtual void Repaint();
  // Whether Paint covers every pixel of the control's bounds.
  virtual bool IsOpaque() const { return false; }
  void Update() {}
  void BringToFront();
  void SendToBack();

  // Paints this control (and, for containers, its children) into `canvas`, which is set up with
  // this control's origin and clip. Called by the form.
  void PaintTree(TCanvas& canvas, const TRect& formClip);
  // The one entry point for input; drops it when the control is disabled or invisible.
  void DispatchInput(const TInputEvent& e);
  virtual void Click();
  // Dialog routing: Enter and Escape are offered to every control (the default and the cancel
  // button take them), and so is Alt with a letter (the control whose caption carries it).
  virtual bool DialogKey(uint16_t, TShiftState) { return false; }
  virtual bool DialogChar(char) { return false; }

  TNotifyEvent OnClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;

 protected:
  virtual void Paint(TCanvas&) {}
  virtual void MouseDown(TMouseButton, TShiftState, int32_t, int32_t) {}
  virtual void MouseUp(TMouseButton, TShiftState, int32_t, int32_t) {}
  virtual void MouseMove(TShiftState, int32_t, int32_t) {}
  virtual void KeyDown(uint16_t&, TShiftState) {}
  virtual void KeyPress(char&) {}
  // Change notifications, called after the new value is stored.
  virtual void EnabledChanged();
  virtual void VisibleChanged();
  virtual void FontChanged();
  virtual void ColorChanged();
  virtual void TextChanged();
  virtual void BoundsChanged() {}
  // Parent's colour or font changed (for ParentColor / ParentFont).
  virtual void ParentColorChanged();
  virtual void ParentFontChanged();
  // The accelerator letter of the caption ('&x'), 0 when none.
  char AcceleratorChar() const;
  // Whether the control is painted by its own window (win control) or on its parent.
  virtual bool IsWindowed() const { return false; }
  friend class TWinControl;
  friend class TCustomForm;

 private:
  void FontOnChange();
  TWinControl* FParent = nullptr;
  int32_t FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  TAlign FAlign = alNone;
  TAnchors FAnchors = akLeft | akTop;
  bool FVisible = true;
  bool FEnabled = true;
  TColor FColor = clBtnFace;
  bool FParentColor = false;
  TFont FFont;
  bool FParentFont = true;
  std::string FText;
  int32_t FHelpContext = 0;
};

// ---- TWinControl ----

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TControl* Controls(int i) const { return FControls[static_cast<size_t>(i)]; }
  // True when c is this control or lies inside it.
  bool ContainsControl(const TControl* c) const;

  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool v) { FTabStop = v; }
  int TabOrder() const;
  void SetTabOrder(int v);
  // Children that are win controls, in tab order.
  std::vector<TWinControl*> TabList() const;

  // Visible and enabled, with every parent up to the form.
  virtual bool CanFocus() const;
  bool Focused() const;
  virtual void SetFocus();
  // Focuses the first focusable child in tab order (depth first); false when there is none.
  bool SelectFirst();

  // The area children are aligned in (client rect less decorations).
  virtual TRect ContentRect() const { return ClientRect(); }
  void Realign();
  // The show request of a child: the base forwards to its own parent.
  virtual void ShowControl(TControl* control);
  // A child became visible or invisible.
  virtual void ControlVisibilityChanged(TControl*) {}
  // Whether this control, when focused, takes this key itself instead of the form's routing
  // (Tab, Enter, Escape, arrows).
  virtual bool WantsKey(uint16_t, TShiftState) const { return false; }
  // The deepest visible child at p (own coordinates), or this control.
  TControl* ControlAtPos(TPoint p);

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

 protected:
  bool IsWindowed() const override { return true; }
  virtual void AlignControls(TRect& r);
  virtual void DoEnter();
  virtual void DoExit();
  void BoundsChanged() override;
  void ParentColorChanged() override;
  void ParentFontChanged() override;
  void ColorChanged() override;
  void FontChanged() override;
  friend class TControl;
  friend class TCustomForm;

 private:
  void InsertControl(TControl* c);
  void RemoveControl(TControl* c);
  std::vector<TControl*> FControls;  // z-order, back to front
  std::vector<TWinControl*> FTabList;
  bool FTabStop = false;
  bool FAligning = false;
};

// ---- TGraphicControl, TCustomControl ----

class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner) : TControl(owner) {}
};

class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* owner) : TWinControl(owner) {}
};

// Classic three-dimensional frames used by the standard controls.
enum TEdgeStyle { esRaised, esSunken, esEtched, esButtonUp, esButtonDown };
void DrawEdge3D(TCanvas& canvas, const TRect& r, TEdgeStyle style);
// A dotted focus rectangle.
void DrawFocusRect(TCanvas& canvas, const TRect& r);
