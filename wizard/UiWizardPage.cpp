// Sections: custom page; page kinds; page list.
#include "UiWizardPage.h"

#include <algorithm>

#include "Scope.h"
#include "UiWizard.h"

// ---- custom page ----

TUiWizardCustomPage::TUiWizardCustomPage(TComponent* owner)
    : TCustomControl(owner),
      FHeader(std::make_unique<TUiWizardPageHeader>()),
      FPanel(std::make_unique<TUiWizardPagePanel>()),
      FImage(std::make_unique<TUiWizardImage>()) {
  SetAlign(alClient);
  SetVisible(false);
  SetColor(clBtnFace);
  FHeader->AttachToPage(this);
  FPanel->AttachToPage(this);
  FImage->OnChange = [this](TObject*) { Invalidate(); };
}

TUiWizardCustomPage::~TUiWizardCustomPage() {
  if (FWizard) FWizard->RemovePage(this);
}

void TUiWizardCustomPage::SetWizard(TUiWizard* wizard) {
  if (FWizard == wizard) return;
  if (FWizard) FWizard->RemovePage(this);
  SetParent(wizard);
  if (wizard) wizard->AddPage(this);
}

int TUiWizardCustomPage::PageIndex() const { return FWizard ? FWizard->Pages().IndexOf(this) : -1; }

void TUiWizardCustomPage::SetEnabledButtons(TUiWizardButtonSet v) {
  if (FEnabledButtons == v) return;
  FEnabledButtons = v;
  if (FWizard && FWizard->ActivePage() == this) FWizard->RefreshButtons();
}

void TUiWizardCustomPage::SetVisibleButtons(TUiWizardButtonSet v) {
  if (FVisibleButtons == v) return;
  FVisibleButtons = v;
  if (FWizard && FWizard->ActivePage() == this) {
    if (FWizard->AutoHideButtonBar()) FWizard->SetButtonBarHeight(v.Empty() ? 0 : 42);
    Invalidate();
  }
}

void TUiWizardCustomPage::NotifyEnter(TUiWizardCustomPage* fromPage) {
  if (OnEnterPage && Enabled()) OnEnterPage(this, fromPage);
}

void TUiWizardCustomPage::NotifyShown() {
  // Drawn before OnPage, which may hold the thread for a long time.
  Repaint();
  if (OnPage && Enabled()) OnPage(this);
}

void TUiWizardCustomPage::NotifyExit(TUiWizardCustomPage* toPage) {
  if (OnExitPage && Enabled()) OnExitPage(this, toPage);
}

void TUiWizardCustomPage::SetButtonEnabled(TUiWizardButtonKind kind, bool enable) {
  if (FEnabledButtons.Contains(kind) == enable) return;
  SetEnabledButtons(enable ? FEnabledButtons + kind : FEnabledButtons - kind);
}

TRect TUiWizardCustomPage::ContentRect() const {
  TRect r = ClientRect();
  if (FHeader->Visible()) r.Top += FHeader->Height();
  return r;
}

void TUiWizardCustomPage::Paint(TCanvas& canvas) {
  if (FPainting) return;
  TTemporaryChange painting(FPainting, true);
  TRect R = ClientRect();
  canvas.Brush.Color = Color();
  canvas.Brush.Style = bsSolid;
  canvas.FillRect(R);
  PaintDecorations(canvas, R);
  if (OnPaintPage) {
    OnPaintPage(this, canvas, R);
    return;
  }
  FImage->PaintTo(canvas, R);
  FPanel->PaintTo(canvas, R);
}

void TUiWizardCustomPage::EnabledChanged() {
  TCustomControl::EnabledChanged();
  if (FWizard) FWizard->PageEnabledChanged(this);
}

void TUiWizardCustomPage::FontChanged() {
  FHeader->PageFontChanged();
  TCustomControl::FontChanged();
}

void TUiWizardCustomPage::TextChanged() { Invalidate(); }

// ---- page kinds ----

TUiWizardWelcomePage::TUiWizardWelcomePage(TComponent* owner)
    : TUiWizardCustomPage(owner), FWaterMark(std::make_unique<TUiWizardWaterMark>()) {
  SetColor(clWindow);
  Header().Title().SetText("Welcome");
  FWaterMark->AttachToPage(this);
}

void TUiWizardWelcomePage::PaintDecorations(TCanvas& canvas, TRect& rect) {
  // The strip runs the full height; the header takes only the part beside it.
  FWaterMark->PaintTo(canvas, rect);
  Header().PaintTo(canvas, rect);
}

TRect TUiWizardWelcomePage::ContentRect() const {
  TRect r = TUiWizardCustomPage::ContentRect();
  if (FWaterMark && FWaterMark->Visible()) {
    if (FWaterMark->Align() == alRight)
      r.Right -= FWaterMark->Width();
    else
      r.Left += FWaterMark->Width();
  }
  return r;
}

void TUiWizardInteriorPage::PaintDecorations(TCanvas& canvas, TRect& rect) { Header().PaintTo(canvas, rect); }

// ---- page list ----

TUiWizardCustomPage* TUiWizardPageList::Items(int i) const {
  if (i < 0 || i >= Count()) throw EListError(Format("List index out of bounds (%d)", i));
  return FPages[static_cast<size_t>(i)];
}

int TUiWizardPageList::IndexOf(const TUiWizardCustomPage* p) const {
  auto it = std::find(FPages.begin(), FPages.end(), p);
  return it == FPages.end() ? -1 : static_cast<int>(it - FPages.begin());
}

void TUiWizardPageList::Add(TUiWizardCustomPage* p) {
  FPages.push_back(p);
  p->FWizard = FWizard;
}

void TUiWizardPageList::Remove(TUiWizardCustomPage* p) {
  auto it = std::find(FPages.begin(), FPages.end(), p);
  if (it == FPages.end()) return;
  FPages.erase(it);
  p->FWizard = nullptr;
}
