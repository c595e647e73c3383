// Push buttons: TButton (caption with an '&' accelerator, Default and Cancel flags that take
// Enter and Escape from the form, a ModalResult given to the form on click) and TBitBtn, which
// adds a glyph bitmap with a glyph count and layout.
#pragma once
#include <memory>

#include "Controls.h"

class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* owner);
  bool Default() const { return FDefault; }
  void SetDefault(bool v);
  bool Cancel() const { return FCancel; }
  void SetCancel(bool v) { FCancel = v; }
  int32_t ModalResult() const { return FModalResult; }
  void SetModalResult(int32_t v) { FModalResult = v; }
  // Gives the form the button's ModalResult, then runs OnClick.
  void Click() override;
  bool WantsKey(uint16_t key, TShiftState) const override { return key == VK_RETURN; }
  bool DialogKey(uint16_t key, TShiftState shift) override;
  bool DialogChar(char c) override;

 protected:
  void Paint(TCanvas& canvas) override;
  void MouseDown(TMouseButton, TShiftState, int32_t, int32_t) override;
  void MouseMove(TShiftState, int32_t x, int32_t y) override;
  void MouseUp(TMouseButton, TShiftState, int32_t x, int32_t y) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;
  void DoEnter() override;
  void DoExit() override;
  // Draws glyph and caption into the face rectangle.
  virtual void PaintFace(TCanvas& canvas, const TRect& face, bool down);

 private:
  bool FDefault = false;
  bool FCancel = false;
  int32_t FModalResult = 0;
  bool FMouseDown = false;
  bool FMouseInside = false;
};

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

class TBitBtn : public TButton {
 public:
  explicit TBitBtn(TComponent* owner);
  TBitmap* Glyph() const { return FGlyph.get(); }
  void SetGlyph(const TBitmap* v);
  int NumGlyphs() const { return FNumGlyphs; }
  void SetNumGlyphs(int v);
  TButtonLayout Layout() const { return FLayout; }
  void SetLayout(TButtonLayout v);

 protected:
  void PaintFace(TCanvas& canvas, const TRect& face, bool down) override;

 private:
  std::unique_ptr<TBitmap> FGlyph;
  int FNumGlyphs = 1;
  TButtonLayout FLayout = blGlyphLeft;
};
