// A top-level window: TCustomForm owns its window handle (which receives the input and paint
// messages), its pixels (a surface it paints its control tree on) and its native window on
// the display. It routes keys the way dialogs do: Tab and Shift+Tab move the focus in tab
// order, Enter goes to the default button unless a push button has the focus, Escape to the
// cancel button, Alt+letter to the control whose caption carries that accelerator; everything
// else goes to the focused control. Closing by the title bar asks OnCloseQuery, runs OnClose,
// hides the form and, for the main form, ends the application. A resize by the user (WM_SIZE)
// resizes the form, which re-aligns its controls.
//
// Threads: user-interface thread only. Ownership: the application or an owner component frees
// the form; the form frees its surface, handle and native window.
#pragma once
#include <memory>

#include "Controls.h"
#include "Messages.h"

class TNativeWindow;

enum TPosition { poDesigned, poScreenCenter };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TModalResult = int32_t;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2;

using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;

class TCustomForm : public TWinControl {
 public:
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;

  HWND Handle() const { return FHandle; }
  void SetClientSize(int32_t w, int32_t h);
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition p) { FPosition = p; }
  void SetIcon(const TBitmap& icon);
  const TBitmap* Icon() const { return FIcon.get(); }

  TWinControl* ActiveControl() const { return FActiveControl; }
  // Moves the focus; the control that loses it gets DoExit before the new one gets DoEnter.
  void SetActiveControl(TWinControl* c);
  void FocusControl(TWinControl* c);

  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult v) { FModalResult = v; }
  // Shows the form and runs a nested message loop until ModalResult becomes non-zero or the
  // application ends; returns the result. Shown for the first time over a visible form (the
  // modal form below, else the main form), the form is that form's dialog: it stays above
  // it, keeps its size, centres on it where it would centre on the screen, takes the keyboard
  // focus and gives it back when it closes.
  TModalResult ShowModal();
  bool IsModal() const { return FModal; }
  void Close();

  // The form's pixels, as last painted.
  TSurface& Surface() { return FSurface; }
  // Paints the part of the form in r (form coordinates) now and presents it.
  void PaintNow(const TRect& r);
  // Paints one control (with its children) in r now and presents it; the caller knows it
  // covers r and that nothing above it does.
  void PaintControlNow(TControl* control, const TRect& r);
  // Marks r for the next WM_PAINT.
  void InvalidateRect(const TRect& r);
  // Paints everything pending now (tests and screenshots use this).
  void PaintPending();
  // Paints the whole form and saves it as a PNG file.
  void SaveScreenshot(const std::string& fileName);

  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  TNotifyEvent OnShow;

 protected:
  void Paint(TCanvas& canvas) override;
  void VisibleChanged() override;
  void TextChanged() override;
  void BoundsChanged() override;
  void ShowControl(TControl*) override {}
  virtual LRESULT WndProc(uint32_t msg, WPARAM w, LPARAM l);

 private:
  friend class TControl;
  void HandleMouse(uint32_t msg, LPARAM l, WPARAM w);
  void HandleKey(uint16_t key, TShiftState shift, bool sys);
  void HandleChar(char c, bool sys);
  bool RouteDialogKey(uint16_t key, TShiftState shift);
  bool RouteAccelerator(char c);
  void SelectNext(bool forward);
  void EnsureNative();

  HWND FHandle = 0;
  std::unique_ptr<TNativeWindow> FNative;
  TSurface FSurface;
  TCanvas FCanvas;
  TRect FDirty;
  TPosition FPosition = poDesigned;
  TWinControl* FActiveControl = nullptr;
  TControl* FCapture = nullptr;
  TModalResult FModalResult = mrNone;
  bool FModal = false;
  bool FShownOnce = false;
  bool FSizeFromNative = false;  // handling a resize the user made: not sent back to the window
  std::unique_ptr<TBitmap> FIcon;
};

class TForm : public TCustomForm {
 public:
  explicit TForm(TComponent* owner) : TCustomForm(owner) {}
};

// Shift state from a mouse or key message's wParam as the form posts them.
constexpr WPARAM MK_SHIFT = 0x0004, MK_CONTROL = 0x0008, MK_ALT = 0x0020;
constexpr WPARAM MK_LBUTTON = 0x0001;
// A mouse message's wParam for a shift state, with or without the left button held; and the
// shift state read back from one. Every poster and the form's reader share this encoding.
WPARAM MouseWParam(TShiftState shift, bool leftButton = true);
TShiftState ShiftFromWParam(WPARAM w);
// Key and character messages carry the shift state itself in lParam.
inline LPARAM KeyLParam(TShiftState shift) { return static_cast<LPARAM>(shift); }
inline TShiftState ShiftFromKeyLParam(LPARAM l) { return static_cast<TShiftState>(l); }
