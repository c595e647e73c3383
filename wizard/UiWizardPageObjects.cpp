// Sections: graphic and page objects; title; header; image; watermark; panel.
#include "UiWizardPageObjects.h"

#include "UiWizard.h"
#include "UiWizardPage.h"

// ---- graphic and page objects ----

void TUiWizardGraphicObject::SetColor(TColor v) {
  if (FColor == v) return;
  FColor = v;
  ColorChanged();
}

void TUiWizardGraphicObject::SetVisible(bool v) {
  if (FVisible == v) return;
  FVisible = v;
  VisibleChanged();
}

void TUiWizardPageObject::AttachToPage(TUiWizardCustomPage* page) {
  FOwnerPage = page;
  AttachedToPage();
}

void TUiWizardPageObject::Changed() {
  if (FOwnerPage) FOwnerPage->Invalidate();
}

void TUiWizardPageObject::ChangedAndRealign() {
  if (!FOwnerPage) return;
  FOwnerPage->Invalidate();
  FOwnerPage->Realign();
}

// ---- title ----

TUiWizardPageTitle::TUiWizardPageTitle() {
  FColor = clNone;
  FFont.OnChange = [this](TObject*) {
    // Only a title that belongs to a header repaints on a font change.
    if (FHeader) Changed();
  };
}

void TUiWizardPageTitle::AttachToHeader(TUiWizardPageHeader* h) { FHeader = h; }

void TUiWizardPageTitle::Changed() {
  if (FHeader) FHeader->TitleChanged();
}

void TUiWizardPageTitle::SetText(const std::string& v) {
  if (FText == v) return;
  FText = v;
  Changed();
}

void TUiWizardPageTitle::SetAlignment(TAlignment v) {
  if (FAlignment == v) return;
  FAlignment = v;
  Changed();
}

void TUiWizardPageTitle::SetAnchorPlacement(int32_t v) {
  if (FAnchorPlacement == v) return;
  FAnchorPlacement = v;
  Changed();
}

void TUiWizardPageTitle::SetAnchors(TAnchors v) {
  if (FAnchors == v) return;
  FAnchors = v;
  Changed();
}

void TUiWizardPageTitle::SetIndent(int32_t v) {
  if (FIndent == v) return;
  FIndent = v;
  Changed();
}

void TUiWizardPageTitle::SetFont(const TFont& f) {
  if (FHeader && FHeader->ParentFont()) return;
  FFont.Assign(&f);
}

void TUiWizardPageTitle::TakeFace(const TFont& pageFont) {
  FFont.SetName(pageFont.Name());
  FFont.SetCharset(pageFont.Charset());
}

void TUiWizardPageTitle::Assign(const TPersistent* Source) {
  auto* src = dynamic_cast<const TUiWizardPageTitle*>(Source);
  if (!src) {
    TPersistent::Assign(Source);
    return;
  }
  FText = src->FText;
  FAnchors = src->FAnchors;
  FAnchorPlacement = src->FAnchorPlacement;
  FIndent = src->FIndent;
  FAlignment = src->FAlignment;
  SetFont(src->FFont);
  Changed();
}

TRect TUiWizardPageTitle::TextRect(TCanvas& ACanvas, const TRect& B) {
  TSize ext = ACanvas.TextExtent(FText);
  TRect T = Rect(B.Left, B.Top, B.Left + ext.cx, B.Top + ext.cy);
  if (FAnchors & akLeft) T = OffsetRect(T, FAnchorPlacement, 0);
  if (FAnchors & akTop) T = OffsetRect(T, 0, FAnchorPlacement);
  if (FAnchors & akRight) T.Right = B.Right - FAnchorPlacement;
  if (FAnchors & akBottom) T.Bottom = B.Bottom - FAnchorPlacement;
  T.Left += FIndent;
  T.Right -= FIndent;
  if (T.Bottom > B.Bottom) T.Bottom = B.Bottom;
  if (T.Right > B.Right) T.Right = B.Right;
  return T;
}

void TUiWizardPageTitle::PaintTo(TCanvas& ACanvas, TRect& B) {
  if (!FVisible || !FHeader || !FHeader->OwnerPage()) return;
  ACanvas.Font().Assign(&FFont);
  TRect T = TextRect(ACanvas, B);
  if (FColor != clNone) {
    ACanvas.Brush.Color = FColor;
    ACanvas.Brush.Style = bsSolid;
    ACanvas.FillRect(T);
  }
  uint32_t align = FAlignment == taCenter ? DT_CENTER : FAlignment == taRightJustify ? DT_RIGHT : DT_LEFT;
  TRect text = T;
  ACanvas.DrawText(FText, text, align | DT_WORDBREAK);
  B.Top = T.Bottom;
}

// ---- header ----

TUiWizardPageHeader::TUiWizardPageHeader()
    : FTitle(std::make_unique<TUiWizardPageTitle>()), FSubtitle(std::make_unique<TUiWizardPageTitle>()) {
  FColor = clWindow;
  FTitle->SetText("Title");
  FTitle->SetAnchors(akLeft | akTop | akRight);
  FTitle->Font().SetHeight(16);  // 12 points at 96 dots per inch
  FTitle->Font().SetStyle(fsBold);
  FSubtitle->SetText("Subtitle");
  FSubtitle->SetAnchors(akLeft | akTop | akRight | akBottom);
}

void TUiWizardPageHeader::AttachedToPage() {
  FTitle->AttachToHeader(this);
  FSubtitle->AttachToHeader(this);
  FTitle->TakeFace(FOwnerPage->Font());
  FSubtitle->TakeFace(FOwnerPage->Font());
}

void TUiWizardPageHeader::PageFontChanged() {
  if (!FParentFont || !FOwnerPage) return;
  FTitle->TakeFace(FOwnerPage->Font());
  FSubtitle->TakeFace(FOwnerPage->Font());
}

void TUiWizardPageHeader::SetParentFont(bool v) {
  if (FParentFont == v) return;
  FParentFont = v;
  if (v) PageFontChanged();
}

void TUiWizardPageHeader::SetHeight(int32_t v) {
  if (FHeight == v) return;
  FHeight = v;
  Changed();
}

void TUiWizardPageHeader::SetImageIndex(int v) {
  if (FImageIndex == v) return;
  FImageIndex = v;
  Changed();
}

void TUiWizardPageHeader::SetImageOffset(int32_t v) {
  if (FImageOffset == v) return;
  FImageOffset = v;
  Changed();
}

void TUiWizardPageHeader::SetImageAlignment(TUiWizardImageLeftRight v) {
  if (FImageAlignment == v) return;
  FImageAlignment = v;
  Changed();
}

void TUiWizardPageHeader::SetShowDivider(bool v) {
  if (FShowDivider == v) return;
  FShowDivider = v;
  Changed();
}

TRect TUiWizardPageHeader::ImageRect(TImageList& AImages, TRect& H) {
  int32_t w = AImages.Width(), h = AImages.Height();
  TRect I = Rect(H.Left, H.Top, H.Left + w, H.Top + h);
  I = OffsetRect(I, 0, (H.Bottom - H.Top - h) / 2);
  if (FImageAlignment == iaRight) {
    I = OffsetRect(I, H.Right - H.Left - w - 4, 0);
    I = OffsetRect(I, -FImageOffset, 0);
    if (I.Left < H.Right) H.Right = I.Left;
  } else if (FImageAlignment == iaLeft) {
    I = OffsetRect(I, FImageOffset, 0);
    if (I.Right > H.Left) H.Left = I.Right;
  }
  return I;
}

void TUiWizardPageHeader::PaintTo(TCanvas& ACanvas, TRect& R) {
  if (!FVisible) return;
  TRect H = Rect(R.Left, R.Top, R.Right, R.Top + FHeight);
  ACanvas.Brush.Color = FColor;
  ACanvas.Brush.Style = bsSolid;
  ACanvas.FillRect(H);
  if (FOwnerPage) {
    if (FShowDivider) DrawBorderEdges(ACanvas, H, UiWizardEtchedBorder, beBottom);
    TUiWizard* wizard = FOwnerPage->Wizard();
    TImageList* images = wizard ? wizard->HeaderImages() : nullptr;
    if (images && FImageIndex >= 0 && FImageIndex < images->Count()) {
      TRect I = ImageRect(*images, H);
      images->Draw(ACanvas, I.Left, I.Top, FImageIndex, true);
    }
    FTitle->PaintTo(ACanvas, H);
    FSubtitle->PaintTo(ACanvas, H);
  }
  R.Top += FHeight;
}

// ---- image ----

TUiWizardImage::TUiWizardImage() {
  FPicture.OnChange = [this](TObject*) { Changed(); };
}

void TUiWizardImage::Changed() {
  if (OnChange) OnChange(this);
}

void TUiWizardImage::SetPicture(const TPicture& p) {
  FPicture.Assign(&p);
  if (TGraphic* g = FPicture.Graphic()) g->SetTransparent(FTransparent);
}

void TUiWizardImage::SetAlignment(TUiWizardImageAlignment v) {
  if (FAlignment == v) return;
  FAlignment = v;
  Changed();
}

void TUiWizardImage::SetLayout(TUiWizardImageLayout v) {
  if (FLayout == v) return;
  FLayout = v;
  Changed();
}

bool TUiWizardImage::Transparent() const {
  if (TGraphic* g = FPicture.Graphic()) return g->Transparent();
  return FTransparent;
}

void TUiWizardImage::SetTransparent(bool v) {
  FTransparent = v;
  if (TGraphic* g = FPicture.Graphic()) g->SetTransparent(v);
}

void TUiWizardImage::PaintTo(TCanvas& ACanvas, const TRect& R) {
  if (TGraphic* g = FPicture.Graphic()) DrawWizardImage(ACanvas, g, R, FAlignment, FLayout);
}

// ---- watermark ----

TUiWizardWaterMark::TUiWizardWaterMark() : FImage(std::make_unique<TUiWizardImage>()) {
  FColor = clActiveCaption;
  FImage->OnChange = [this](TObject*) { Changed(); };
}

void TUiWizardWaterMark::SetAlign(TUiWizardLeftRight v) {
  if (v != alLeft && v != alRight) return;
  if (FAlign == v) return;
  FAlign = v;
  ChangedAndRealign();
}

void TUiWizardWaterMark::SetWidth(int32_t v) {
  if (FWidth == v) return;
  FWidth = v;
  Changed();
}

void TUiWizardWaterMark::SetBorderWidth(int32_t v) {
  if (FBorderWidth == v) return;
  FBorderWidth = v;
  Changed();
}

void TUiWizardWaterMark::PaintTo(TCanvas& ACanvas, TRect& R) {
  if (!FVisible) return;
  int32_t h = R.Bottom - R.Top;
  TRect W;
  if (FAlign == alRight) {
    W = Rect(R.Right - FWidth, R.Top, R.Right, R.Top + h);
    R.Right -= FWidth;
  } else {
    W = Rect(R.Left, R.Top, R.Left + FWidth, R.Top + h);
    R.Left += FWidth;
  }
  W = InflateRect(W, -FBorderWidth, -FBorderWidth);
  ACanvas.Brush.Color = FColor;
  ACanvas.Brush.Style = bsSolid;
  ACanvas.FillRect(W);
  FImage->PaintTo(ACanvas, W);
}

// ---- panel ----

TUiWizardPagePanel::TUiWizardPagePanel() {
  FColor = clBtnFace;
  FVisible = false;
}

void TUiWizardPagePanel::SetBorderWidth(uint16_t v) {
  if (FBorderWidth == v) return;
  FBorderWidth = v;
  Changed();
}

void TUiWizardPagePanel::PaintTo(TCanvas& ACanvas, TRect& R) {
  if (!FVisible || FBorderWidth == 0) return;
  R = InflateRect(R, -FBorderWidth, -FBorderWidth);
  DrawBorderEdges(ACanvas, R, UiWizardEtchedBorder, beLeft | beTop | beRight | beBottom);
  if (FColor != clNone) {
    R = InflateRect(R, -2, -2);
    ACanvas.Brush.Color = FColor;
    ACanvas.Brush.Style = bsSolid;
    ACanvas.FillRect(R);
  }
}
