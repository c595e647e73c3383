#include "MessageForm.h"

#include <algorithm>

#include "Application.h"

namespace {
constexpr int32_t kMargin = 16;
constexpr int32_t kIconGap = 12;     // between the icon and the text
constexpr int32_t kTextRight = 616;  // the text wraps where it would pass this
constexpr int32_t kMinWidth = 200;
constexpr int32_t kButtonW = 75, kButtonH = 25, kButtonBottom = 12;
constexpr TColor kErrorRed = RGB(0xD4, 0x20, 0x20);
constexpr TColor kErrorEdge = RGB(0x80, 0x10, 0x10);
}  // namespace

TErrorIcon::TErrorIcon(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, kSize, kSize); }

void TErrorIcon::Paint(TCanvas& canvas) {
  canvas.Brush.Style = bsSolid;
  canvas.Brush.Color = kErrorRed;
  canvas.Pen.Color = kErrorEdge;
  canvas.Ellipse(Rect(0, 0, kSize, kSize));
  // Each stroke three pixels wide: the same diagonal drawn shifted left and right.
  canvas.Pen.Color = clWhite;
  for (int32_t d = -1; d <= 1; ++d) {
    canvas.MoveTo(10 + d, 10);
    canvas.LineTo(22 + d, 22);
    canvas.MoveTo(21 + d, 10);
    canvas.LineTo(9 + d, 22);
  }
}

TMessageForm::TMessageForm(const std::string& text, const std::string& caption, uint32_t flags) : TForm(nullptr) {
  SetCaption(caption);
  SetPosition(poScreenCenter);
  int32_t textLeft = kMargin;
  if ((flags & MB_ICONMASK) == MB_ICONERROR) {
    FIcon = new TErrorIcon(this);
    FIcon->SetParent(this);
    FIcon->SetLeft(kMargin);
    FIcon->SetTop(kMargin);
    textLeft = FIcon->Left() + FIcon->Width() + kIconGap;
  }
  FText = new TLabel(this);
  FText->SetParent(this);
  FText->SetCaption(text);
  FText->SetShowAccelChar(false);
  FText->SetLeft(textLeft);
  FText->SetTop(kMargin);
  if (FText->Left() + FText->Width() > kTextRight) {
    FText->SetAutoSize(false);
    FText->SetWordWrap(true);
    FText->SetWidth(kTextRight - textLeft);
    FText->SetAutoSize(true);
  }
  int32_t contentBottom = FText->Top() + FText->Height();
  if (FIcon) {
    // A text shorter than the icon is centred beside it, as the system's boxes do.
    if (FText->Height() < FIcon->Height()) FText->SetTop(FIcon->Top() + (FIcon->Height() - FText->Height()) / 2);
    contentBottom = std::max(FText->Top() + FText->Height(), FIcon->Top() + FIcon->Height());
  }
  int32_t w = std::max(FText->Left() + FText->Width() + kMargin, kMinWidth);
  int32_t h = contentBottom + kMargin + kButtonH + kButtonBottom;
  FOk = new TButton(this);
  FOk->SetParent(this);
  FOk->SetCaption("OK");
  FOk->SetDefault(true);
  FOk->SetCancel(true);
  FOk->SetModalResult(mrOk);
  SetClientSize(w, h);
  FOk->SetBounds((w - kButtonW) / 2, h - kButtonH - kButtonBottom, kButtonW, kButtonH);
  FOk->SetTabOrder(0);
}
