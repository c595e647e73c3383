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

void TUiWizardPageTitle::Assign(const TPersistent* source) {
  auto* src = dynamic_cast<const TUiWizardPageTitle*>(source);
  if (!src) {
    TPersistent::Assign(source);
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

TRect TUiWizardPageTitle::TextRect(TCanvas& canvas, const TRect& b) {
  TSize ext = canvas.TextExtent(FText);
  TRect T = Rect(b.Left, b.Top, b.Left + ext.cx, b.Top + ext.cy);
  if (FAnchors & akLeft) T = OffsetRect(T, FAnchorPlacement, 0);
  if (FAnchors & akTop) T = OffsetRect(T, 0, FAnchorPlacement);
  if (FAnchors & akRight) T.Right = b.Right - FAnchorPlacement;
  if (FAnchors & akBottom) T.Bottom = b.Bottom - FAnchorPlacement;
  T.Left += FIndent;
  T.Right -= FIndent;
  if (T.Bottom > b.Bottom) T.Bottom = b.Bottom;
  if (T.Right > b.Right) T.Right = b.Right;
  return T;
}

void TUiWizardPageTitle::PaintTo(TCanvas& canvas, TRect& b) {
  if (!FVisible || !FHeader || !FHeader->OwnerPage()) return;
  canvas.Font().Assign(&FFont);
  TRect T = TextRect(canvas, b);
  if (FColor != clNone) {
    canvas.Brush.Color = FColor;
    canvas.Brush.Style = bsSolid;
    canvas.FillRect(T);
  }
  uint32_t align = FAlignment == taCenter ? DT_CENTER : FAlignment == taRightJustify ? DT_RIGHT : DT_LEFT;
  TRect text = T;
  canvas.DrawText(FText, text, align | DT_WORDBREAK);
  b.Top = T.Bottom;
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

TRect TUiWizardPageHeader::ImageRect(TImageList& images, TRect& rect) {
  int32_t w = images.Width(), h = images.Height();
  TRect I = Rect(rect.Left, rect.Top, rect.Left + w, rect.Top + h);
  I = OffsetRect(I, 0, (rect.Bottom - rect.Top - h) / 2);
  if (FImageAlignment == iaRight) {
    I = OffsetRect(I, rect.Right - rect.Left - w - 4, 0);
    I = OffsetRect(I, -FImageOffset, 0);
    if (I.Left < rect.Right) rect.Right = I.Left;
  } else if (FImageAlignment == iaLeft) {
    I = OffsetRect(I, FImageOffset, 0);
    if (I.Right > rect.Left) rect.Left = I.Right;
  }
  return I;
}

void TUiWizardPageHeader::PaintTo(TCanvas& canvas, TRect& r) {
  if (!FVisible) return;
  TRect H = Rect(r.Left, r.Top, r.Right, r.Top + FHeight);
  canvas.Brush.Color = FColor;
  canvas.Brush.Style = bsSolid;
  canvas.FillRect(H);
  if (FOwnerPage) {
    if (FShowDivider) DrawBorderEdges(canvas, H, kUiWizardEtchedBorder, beBottom);
    TUiWizard* wizard = FOwnerPage->Wizard();
    TImageList* images = wizard ? wizard->HeaderImages() : nullptr;
    if (images && FImageIndex >= 0 && FImageIndex < images->Count()) {
      TRect I = ImageRect(*images, H);
      images->Draw(canvas, I.Left, I.Top, FImageIndex, true);
    }
    FTitle->PaintTo(canvas, H);
    FSubtitle->PaintTo(canvas, H);
  }
  r.Top += FHeight;
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

void TUiWizardImage::PaintTo(TCanvas& canvas, const TRect& r) {
  if (TGraphic* g = FPicture.Graphic()) DrawWizardImage(canvas, g, r, FAlignment, FLayout);
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

void TUiWizardWaterMark::PaintTo(TCanvas& canvas, TRect& r) {
  if (!FVisible) return;
  int32_t h = r.Bottom - r.Top;
  TRect W;
  if (FAlign == alRight) {
    W = Rect(r.Right - FWidth, r.Top, r.Right, r.Top + h);
    r.Right -= FWidth;
  } else {
    W = Rect(r.Left, r.Top, r.Left + FWidth, r.Top + h);
    r.Left += FWidth;
  }
  W = InflateRect(W, -FBorderWidth, -FBorderWidth);
  canvas.Brush.Color = FColor;
  canvas.Brush.Style = bsSolid;
  canvas.FillRect(W);
  FImage->PaintTo(canvas, W);
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

void TUiWizardPagePanel::PaintTo(TCanvas& canvas, TRect& r) {
  if (!FVisible || FBorderWidth == 0) return;
  r = InflateRect(r, -FBorderWidth, -FBorderWidth);
  DrawBorderEdges(canvas, r, kUiWizardEtchedBorder, beLeft | beTop | beRight | beBottom);
  if (FColor != clNone) {
    r = InflateRect(r, -2, -2);
    canvas.Brush.Color = FColor;
    canvas.Brush.Style = bsSolid;
    canvas.FillRect(r);
  }
}
