// The navigation buttons of the wizard's bar: TUiWizardButtonControl (a bitmap push button
// that knows its wizard and its side of the bar), TUiWizardBaseButton with the click protocol
// (the active page's handler may veto with Stop; then the form's modal result and the
// wizard-level click event; then the button's own navigation step, searched from whatever page
// is active by then), the seven kinds, and TUiWizardNavigateButton, the published face of one.
//
// Threads: user-interface thread only. Ownership: the wizard owns the button controls as
// components and the wrappers as members; a wrapper only refers to its control.
#pragma once
#include "Button.h"
#include "UiWizardTypes.h"

class TUiWizard;
class TUiWizardCustomPage;

class TUiWizardButtonControl : public TBitBtn {
 public:
  explicit TUiWizardButtonControl(TComponent* owner);
  TUiWizard* Wizard() const { return FWizard; }
  void SetWizard(TUiWizard* w) { FWizard = w; }
  TAlign BarSide() const { return FBarSide; }

 protected:
  TUiWizard* FWizard = nullptr;
  TAlign FBarSide = alRight;
};

class TUiWizardBaseButton : public TUiWizardButtonControl {
 public:
  explicit TUiWizardBaseButton(TComponent* owner) : TUiWizardButtonControl(owner) {}
  void Click() override;
  virtual void FirePageHandler(TUiWizardCustomPage*, bool&) {}
  virtual void Navigate() {}

 protected:
  void Setup(const char* caption, int32_t width, bool visible, bool enabled, TAlign side);
};

class TUiWizardStartButton : public TUiWizardBaseButton {
 public:
  explicit TUiWizardStartButton(TComponent* owner);
  void FirePageHandler(TUiWizardCustomPage* page, bool& stop) override;
  void Navigate() override;
};

class TUiWizardLastButton : public TUiWizardBaseButton {
 public:
  explicit TUiWizardLastButton(TComponent* owner);
  void FirePageHandler(TUiWizardCustomPage* page, bool& stop) override;
  void Navigate() override;
};

class TUiWizardBackButton : public TUiWizardBaseButton {
 public:
  explicit TUiWizardBackButton(TComponent* owner);
  void FirePageHandler(TUiWizardCustomPage* page, bool& stop) override;
  void Navigate() override;
};

class TUiWizardNextButton : public TUiWizardBaseButton {
 public:
  explicit TUiWizardNextButton(TComponent* owner);
  void FirePageHandler(TUiWizardCustomPage* page, bool& stop) override;
  void Navigate() override;
};

class TUiWizardFinishButton : public TUiWizardBaseButton {
 public:
  explicit TUiWizardFinishButton(TComponent* owner);
  void FirePageHandler(TUiWizardCustomPage* page, bool& stop) override;
};

class TUiWizardCancelButton : public TUiWizardBaseButton {
 public:
  explicit TUiWizardCancelButton(TComponent* owner);
  void FirePageHandler(TUiWizardCustomPage* page, bool& stop) override;
};

class TUiWizardHelpButton : public TUiWizardBaseButton {
 public:
  explicit TUiWizardHelpButton(TComponent* owner);
  void FirePageHandler(TUiWizardCustomPage* page, bool& stop) override;
  // With a page handler: the common protocol; otherwise the help system by context number.
  void Click() override;
};

// A class reference: makes a button control of one class.
using TUiWizardButtonClass = TUiWizardButtonControl* (*)(TComponent* owner);

class TUiWizardNavigateButton {
 public:
  explicit TUiWizardNavigateButton(TUiWizardButtonControl* control) : FControl(control) {}
  TUiWizardButtonControl* Control() const { return FControl; }
  std::string Caption() const;
  void SetCaption(const std::string& v);
  TBitmap* Glyph() const;
  void SetGlyph(const TBitmap* v);
  int NumGlyphs() const;
  void SetNumGlyphs(int v);
  TButtonLayout Layout() const;
  void SetLayout(TButtonLayout v);
  int32_t ModalResult() const;
  void SetModalResult(int32_t v);
  int32_t Width() const;
  // A new width re-arranges the bar.
  void SetWidth(int32_t v);

 private:
  TUiWizardButtonControl* FControl;
};
