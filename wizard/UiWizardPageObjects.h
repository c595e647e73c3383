// The painting objects of a wizard page: the header band with its title and subtitle and an
// optional header image, the welcome page's watermark strip, the framed panel and the page
// picture. Each paints into a rectangle it is given and may narrow it for what follows; a
// change of what it shows asks its page to repaint (and, for header or watermark visibility
// and the watermark's side, to re-align its child controls).
//
// Threads: user-interface thread only. Ownership: the page owns its header, image, panel and
// watermark; the header owns its two titles; the watermark owns its image; the page pointer in
// each is a reference that lives as long as the page.
#pragma once
#include <memory>
#include <string>

#include "Controls.h"
#include "UiWizardCommon.h"
#include "UiWizardTypes.h"

class TUiWizardCustomPage;
class TUiWizardPageHeader;

using TUiWizardLeftRight = TAlign;                        // alLeft or alRight
using TUiWizardImageLeftRight = TUiWizardImageAlignment;  // iaLeft or iaRight

class TUiWizardGraphicObject : public TPersistent {
 public:
  TColor Color() const { return FColor; }
  void SetColor(TColor v);
  bool Visible() const { return FVisible; }
  void SetVisible(bool v);
  virtual void PaintTo(TCanvas& canvas, TRect& rect) = 0;

 protected:
  virtual void VisibleChanged() { Changed(); }
  virtual void ColorChanged() { Changed(); }
  virtual void Changed() = 0;
  TColor FColor = clBtnFace;
  bool FVisible = true;
};

class TUiWizardPageObject : public TUiWizardGraphicObject {
 public:
  TUiWizardCustomPage* OwnerPage() const { return FOwnerPage; }
  // Set once by the owning page's construction.
  void AttachToPage(TUiWizardCustomPage* page);

 protected:
  virtual void AttachedToPage() {}
  void Changed() override;
  void ChangedAndRealign();
  TUiWizardCustomPage* FOwnerPage = nullptr;
};

class TUiWizardPageTitle : public TUiWizardGraphicObject {
 public:
  TUiWizardPageTitle();
  TUiWizardPageHeader* Header() const { return FHeader; }
  void AttachToHeader(TUiWizardPageHeader* h);
  const std::string& Text() const { return FText; }
  void SetText(const std::string& v);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  int32_t AnchorPlacement() const { return FAnchorPlacement; }
  void SetAnchorPlacement(int32_t v);
  TAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors v);
  int32_t Indent() const { return FIndent; }
  void SetIndent(int32_t v);
  TFont& Font() { return FFont; }
  // Assigning the font as a whole is ignored while the header's ParentFont is on.
  void SetFont(const TFont& f);
  // Copies text, anchors, placement, indent, alignment and font (not colour or visibility).
  void Assign(const TPersistent* source) override;
  virtual TRect TextRect(TCanvas& canvas, const TRect& rect);
  void PaintTo(TCanvas& canvas, TRect& rect) override;
  // Takes the face name and character set of a page font.
  void TakeFace(const TFont& pageFont);

 protected:
  void Changed() override;

 private:
  TUiWizardPageHeader* FHeader = nullptr;
  std::string FText;
  TAlignment FAlignment = taLeftJustify;
  int32_t FAnchorPlacement = 4;
  TAnchors FAnchors = akLeft | akTop;
  int32_t FIndent = 0;
  TFont FFont;
};

class TUiWizardPageHeader : public TUiWizardPageObject {
 public:
  TUiWizardPageHeader();
  int32_t Height() const { return FHeight; }
  void SetHeight(int32_t v);
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool v);
  TUiWizardPageTitle& Title() { return *FTitle; }
  TUiWizardPageTitle& Subtitle() { return *FSubtitle; }
  void SetTitle(const TUiWizardPageTitle& v) { FTitle->Assign(&v); }
  void SetSubtitle(const TUiWizardPageTitle& v) { FSubtitle->Assign(&v); }
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int v);
  int32_t ImageOffset() const { return FImageOffset; }
  void SetImageOffset(int32_t v);
  TUiWizardImageLeftRight ImageAlignment() const { return FImageAlignment; }
  void SetImageAlignment(TUiWizardImageLeftRight v);
  bool ShowDivider() const { return FShowDivider; }
  void SetShowDivider(bool v);
  void PaintTo(TCanvas& canvas, TRect& rect) override;
  virtual TRect ImageRect(TImageList& images, TRect& rect);
  // The page's font changed: the titles follow its face when ParentFont is on.
  void PageFontChanged();
  void TitleChanged() { Changed(); }

 protected:
  void AttachedToPage() override;
  void VisibleChanged() override { ChangedAndRealign(); }

 private:
  int32_t FHeight = 70;
  bool FParentFont = true;
  std::unique_ptr<TUiWizardPageTitle> FTitle;
  std::unique_ptr<TUiWizardPageTitle> FSubtitle;
  int FImageIndex = -1;
  int32_t FImageOffset = 0;
  TUiWizardImageLeftRight FImageAlignment = iaRight;
  bool FShowDivider = true;
};

class TUiWizardImage : public TPersistent {
 public:
  TUiWizardImage();
  TPicture& Picture() { return FPicture; }
  void SetPicture(const TPicture& p);
  TUiWizardImageAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TUiWizardImageAlignment v);
  TUiWizardImageLayout Layout() const { return FLayout; }
  void SetLayout(TUiWizardImageLayout v);
  bool Transparent() const;
  void SetTransparent(bool v);
  void PaintTo(TCanvas& canvas, const TRect& rect);
  TNotifyEvent OnChange;

 private:
  void Changed();
  TPicture FPicture;
  TUiWizardImageAlignment FAlignment = iaStretch;
  TUiWizardImageLayout FLayout = ilStretch;
  bool FTransparent = false;
};

class TUiWizardWaterMark : public TUiWizardPageObject {
 public:
  TUiWizardWaterMark();
  TUiWizardLeftRight Align() const { return FAlign; }
  void SetAlign(TUiWizardLeftRight v);
  int32_t Width() const { return FWidth; }
  void SetWidth(int32_t v);
  int32_t BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int32_t v);
  TUiWizardImage& Image() { return *FImage; }
  void PaintTo(TCanvas& canvas, TRect& rect) override;

 protected:
  void VisibleChanged() override { ChangedAndRealign(); }

 private:
  TUiWizardLeftRight FAlign = alLeft;
  int32_t FWidth = 164;
  int32_t FBorderWidth = 1;
  std::unique_ptr<TUiWizardImage> FImage;
};

class TUiWizardPagePanel : public TUiWizardPageObject {
 public:
  TUiWizardPagePanel();
  uint16_t BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(uint16_t v);
  void PaintTo(TCanvas& canvas, TRect& rect) override;

 private:
  uint16_t FBorderWidth = 7;
};
