// Wizard pages: TUiWizardCustomPage (header, picture and panel painting objects, the enabled and
// visible button sets, the page events and the notifications the wizard sends it on a page
// change), the welcome page with its watermark strip, the interior page, and the page list.
//
// Threads: user-interface thread only. Ownership: a page is a component freed by its owner
// (the form); it owns its painting objects; its Wizard is a reference kept by the page list.
#pragma once
#include <memory>
#include <vector>

#include "Controls.h"
#include "UiWizardPageObjects.h"
#include "UiWizardTypes.h"

class TUiWizard;

class TUiWizardCustomPage : public TCustomControl {
 public:
  explicit TUiWizardCustomPage(TComponent* owner);
  ~TUiWizardCustomPage() override;

  TUiWizard* Wizard() const { return FWizard; }
  // Joining a wizard: leaves the old one, takes the new one as parent and joins its page list.
  void SetWizard(TUiWizard* wizard);
  int PageIndex() const;

  TUiWizardPageHeader& Header() { return *FHeader; }
  TUiWizardPageTitle& Title() { return FHeader->Title(); }
  void SetTitle(const TUiWizardPageTitle& v) { FHeader->SetTitle(v); }
  TUiWizardPageTitle& Subtitle() { return FHeader->Subtitle(); }
  void SetSubtitle(const TUiWizardPageTitle& v) { FHeader->SetSubtitle(v); }
  TUiWizardPagePanel& Panel() { return *FPanel; }
  TUiWizardImage& Image() { return *FImage; }

  TUiWizardButtonSet EnabledButtons() const { return FEnabledButtons; }
  void SetEnabledButtons(TUiWizardButtonSet v);
  TUiWizardButtonSet VisibleButtons() const { return FVisibleButtons; }
  void SetVisibleButtons(TUiWizardButtonSet v);
  bool EnableJumpToPage() const { return FEnableJumpToPage; }
  void SetEnableJumpToPage(bool v) { FEnableJumpToPage = v; }

  TUiWizardPaintPageEvent OnPaintPage;
  TUiWizardChangePageEvent OnEnterPage;
  TNotifyEvent OnPage;
  TUiWizardChangePageEvent OnExitPage;
  TUiWizardPageClickEvent OnStartButtonClick;
  TUiWizardPageClickEvent OnLastButtonClick;
  TUiWizardPageClickEvent OnNextButtonClick;
  TUiWizardPageClickEvent OnBackButtonClick;
  TUiWizardPageClickEvent OnCancelButtonClick;
  TUiWizardPageClickEvent OnFinishButtonClick;
  TUiWizardPageClickEvent OnHelpButtonClick;

  virtual void PaintDecorations(TCanvas&, TRect&) {}
  virtual void NotifyEnter(TUiWizardCustomPage* fromPage);
  virtual void NotifyShown();
  // ToPage is the page requested as the next active one (none when the wizard is left empty).
  virtual void NotifyExit(TUiWizardCustomPage* toPage);
  virtual void SetButtonEnabled(TUiWizardButtonKind kind, bool enabled);

  TRect ContentRect() const override;

 protected:
  void Paint(TCanvas& canvas) override;
  void EnabledChanged() override;
  void FontChanged() override;
  void TextChanged() override;

 private:
  friend class TUiWizard;
  friend class TUiWizardPageList;
  TUiWizard* FWizard = nullptr;
  std::unique_ptr<TUiWizardPageHeader> FHeader;
  std::unique_ptr<TUiWizardPagePanel> FPanel;
  std::unique_ptr<TUiWizardImage> FImage;
  TUiWizardButtonSet FEnabledButtons = kUiWizardAllButtons;
  TUiWizardButtonSet FVisibleButtons = kUiWizardDefaultVisibleButtons;
  bool FPainting = false;
  bool FEnableJumpToPage = true;
};

class TUiWizardWelcomePage : public TUiWizardCustomPage {
 public:
  explicit TUiWizardWelcomePage(TComponent* owner);
  TUiWizardWaterMark& WaterMark() { return *FWaterMark; }
  void PaintDecorations(TCanvas& canvas, TRect& rect) override;
  TRect ContentRect() const override;

 private:
  std::unique_ptr<TUiWizardWaterMark> FWaterMark;
};

class TUiWizardInteriorPage : public TUiWizardCustomPage {
 public:
  explicit TUiWizardInteriorPage(TComponent* owner) : TUiWizardCustomPage(owner) {}
  void PaintDecorations(TCanvas& canvas, TRect& rect) override;
};

// The wizard's ordered list of pages. Adding a page makes the list's wizard its Wizard;
// deleting it clears that. A bad index raises "List index out of bounds (%d)".
class TUiWizardPageList {
 public:
  explicit TUiWizardPageList(TUiWizard* wizard) : FWizard(wizard) {}
  int Count() const { return static_cast<int>(FPages.size()); }
  TUiWizardCustomPage* Items(int i) const;
  TUiWizardCustomPage* operator[](int i) const { return Items(i); }
  int IndexOf(const TUiWizardCustomPage* p) const;
  void Add(TUiWizardCustomPage* p);
  void Remove(TUiWizardCustomPage* p);
  TUiWizard* Wizard() const { return FWizard; }

 private:
  friend class TUiWizard;
  TUiWizard* FWizard;
  std::vector<TUiWizardCustomPage*> FPages;
};
