// TUiSpecialProgress: a window-less progress bar that fills from the left either with one
// continuous colour gradient (Solid) or with a row of separated blocks, optionally shaded
// column by column, and prints an optional text such as the percentage.
//
// It draws into an off-screen bitmap and presents that bitmap at once through Repaint, so the
// bar keeps moving while its owner holds the thread in a long synchronous operation. A change
// that alters neither the filled width nor the shown text draws nothing.
//
// Threads: user-interface thread only. Ownership: the owner component frees the bar; the bar
// owns its off-screen bitmap for its whole life.
#pragma once
#include <cstdint>
#include <string>

#include "Controls.h"

enum TUiTextOption { toCaption, toFormat, toNoText, toPercent };
enum TUiBorderStyle { bsNone, bsSingle };

class TUiSpecialProgress : public TGraphicControl {
 public:
  explicit TUiSpecialProgress(TComponent* owner);
  // It paints every pixel of its area, except when too small to paint at all.
  bool IsOpaque() const override { return Width() >= 3 && Height() >= 3; }

  int32_t Minimum() const { return FMinimum; }
  void SetMinimum(int32_t v);
  int32_t Maximum() const { return FMaximum; }
  void SetMaximum(int32_t v);
  int32_t Position() const { return FPosition; }
  void SetPosition(int32_t v);
  TColor StartColor() const { return FStartColor; }
  void SetStartColor(TColor v);
  TColor EndColor() const { return FEndColor; }
  void SetEndColor(TColor v);
  bool Solid() const { return FSolid; }
  void SetSolid(bool v);
  bool GradientBlocks() const { return FGradientBlocks; }
  void SetGradientBlocks(bool v);
  TUiTextOption TextOption() const { return FTextOption; }
  void SetTextOption(TUiTextOption v);
  bool TextCentered() const { return FTextCentered; }
  void SetTextCentered(bool v);
  TUiBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TUiBorderStyle v);

  // (Position - Minimum) x 100 / (Maximum - Minimum), truncated; 0 for an empty range.
  int32_t Percent() const;
  // Width in pixels of the filled part, as last computed.
  int32_t FilledWidth() const { return FFilledWidth; }
  // Blocks mode: whole and partial blocks, the pitch, and the partial block's width.
  int32_t BlockCount() const { return FBlockCount; }
  int32_t BlockPitch() const { return FBlockPitch; }
  bool LastBlockPartial() const { return FLastBlockPartial; }
  int32_t PartialBlockWidth() const { return FPartialBlockWidth; }
  // The off-screen picture as last drawn.
  const TBitmap& Picture() const { return FPicture; }

 protected:
  void Paint(TCanvas& canvas) override;
  void Loaded() override;
  void ColorChanged() override;
  void FontChanged() override;
  void TextChanged() override;

 private:
  // The text that TextOption asks for; toFormat raises EConvertError for a caption that is not
  // a pattern with one integer argument.
  std::string TextToShow() const;
  void RangeChanged(int32_t oldPercent);
  void RecomputeFill();
  // Redraws the off-screen picture when marked, then presents it unless a paint is under way.
  void Redraw();
  void MarkAndRedraw();
  void PaintFill(int32_t w, int32_t h);
  void PaintSolid(int32_t filled);
  void PaintBlocks(int32_t w, int32_t filled);
  void PaintBorder(int32_t w, int32_t h);

  int32_t FMinimum = 0;
  int32_t FMaximum = 100;
  int32_t FPosition = 0;
  TColor FStartColor = clWhite;
  TColor FEndColor = clBlack;
  bool FSolid = false;
  bool FGradientBlocks = false;
  TUiTextOption FTextOption = toNoText;
  bool FTextCentered = false;
  TUiBorderStyle FBorderStyle = bsNone;

  TBitmap FPicture;
  int32_t FFilledWidth = 0;
  bool FRedrawPending = true;
  bool FPainting = false;
  uint32_t FStartRGB = 0x00FFFFFF;  // 0x00BBGGRR, system colours resolved when set
  uint32_t FEndRGB = 0;
  int32_t FBlockCount = 0;
  int32_t FBlockPitch = 0;
  bool FLastBlockPartial = false;
  int32_t FPartialBlockWidth = 0;
};
