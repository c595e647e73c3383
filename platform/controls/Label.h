// TLabel: a window-less text control. AutoSize fits the bounds to the text (keeping the width
// and growing the height when WordWrap is on); Alignment, WordWrap at blanks and at "\r\n"
// line breaks, an optional transparent background, '&' accelerators that focus FocusControl.
#pragma once
#include "Controls.h"

enum TTextLayout { tlTop, tlCenter, tlBottom };

class TLabel : public TGraphicControl {
 public:
  explicit TLabel(TComponent* owner);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool v);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool v);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout v);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool v);
  bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool v);
  TWinControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* c);
  bool DialogChar(char c) override;

 protected:
  void Paint(TCanvas& canvas) override;
  void TextChanged() override;
  void FontChanged() override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  uint32_t TextFlags() const;
  void AdjustBounds();
  bool FAutoSize = true;
  bool FWordWrap = false;
  TAlignment FAlignment = taLeftJustify;
  TTextLayout FLayout = tlTop;
  bool FTransparent = false;
  bool FShowAccelChar = true;
  TWinControl* FFocusControl = nullptr;
};
