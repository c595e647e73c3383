// Sections: base controls; the seven kinds; the published wrapper.
#include "UiWizardButtons.h"

#include "Application.h"
#include "Form.h"
#include "Messages.h"
#include "UiWizard.h"
#include "UiWizardPage.h"

// ---- base controls ----

TUiWizardButtonControl::TUiWizardButtonControl(TComponent* owner) : TBitBtn(owner) { SetAnchors(akRight | akBottom); }

void TUiWizardBaseButton::Setup(const char* caption, int32_t width, bool visible, bool enabled, TAlign side) {
  SetCaption(caption);
  SetWidth(width);
  SetHeight(25);
  SetVisible(visible);
  SetEnabled(enabled);
  FBarSide = side;
  SetAnchors(side == alLeft ? (akLeft | akBottom) : (akRight | akBottom));
}

void TUiWizardBaseButton::Click() {
  if (!FWizard) return;
  // A page change may hold the thread for seconds (a probe, an upload): a second click or a
  // repeated key given meanwhile would act on a page the user has not seen yet.
  TInputHold hold;
  bool stop = false;
  if (TUiWizardCustomPage* page = FWizard->ActivePage()) FirePageHandler(page, stop);
  if (stop) return;
  TUiWizardButtonControl::Click();  // the form's modal result, then the wizard-level event
  Navigate();
}

namespace {
void Fire(const TUiWizardPageClickEvent& e, TUiWizardCustomPage* page, bool& stop) {
  if (e) e(page, stop);
}
}  // namespace

// ---- the seven kinds ----

TUiWizardStartButton::TUiWizardStartButton(TComponent* o) : TUiWizardBaseButton(o) {
  Setup("To &Start Page", 85, false, true, alLeft);
}
void TUiWizardStartButton::FirePageHandler(TUiWizardCustomPage* p, bool& s) { Fire(p->OnStartButtonClick, p, s); }
void TUiWizardStartButton::Navigate() { FWizard->SelectFirstPage(); }

TUiWizardLastButton::TUiWizardLastButton(TComponent* o) : TUiWizardBaseButton(o) {
  Setup("To &Last Page", 85, false, true, alLeft);
}
void TUiWizardLastButton::FirePageHandler(TUiWizardCustomPage* p, bool& s) { Fire(p->OnLastButtonClick, p, s); }
void TUiWizardLastButton::Navigate() { FWizard->SelectLastPage(); }

TUiWizardBackButton::TUiWizardBackButton(TComponent* o) : TUiWizardBaseButton(o) {
  Setup("< &Back", 75, true, false, alRight);
}
void TUiWizardBackButton::FirePageHandler(TUiWizardCustomPage* p, bool& s) { Fire(p->OnBackButtonClick, p, s); }
void TUiWizardBackButton::Navigate() { FWizard->SelectPriorPage(); }

TUiWizardNextButton::TUiWizardNextButton(TComponent* o) : TUiWizardBaseButton(o) {
  Setup("&Next >", 75, true, false, alRight);
}
void TUiWizardNextButton::FirePageHandler(TUiWizardCustomPage* p, bool& s) { Fire(p->OnNextButtonClick, p, s); }
void TUiWizardNextButton::Navigate() { FWizard->SelectNextPage(); }

TUiWizardFinishButton::TUiWizardFinishButton(TComponent* o) : TUiWizardBaseButton(o) {
  Setup("&Finish", 75, false, true, alRight);
}
void TUiWizardFinishButton::FirePageHandler(TUiWizardCustomPage* p, bool& s) { Fire(p->OnFinishButtonClick, p, s); }

TUiWizardCancelButton::TUiWizardCancelButton(TComponent* o) : TUiWizardBaseButton(o) {
  Setup("Cancel", 75, true, true, alRight);
  SetModalResult(mrCancel);
  SetCancel(true);
}
void TUiWizardCancelButton::FirePageHandler(TUiWizardCustomPage* p, bool& s) { Fire(p->OnCancelButtonClick, p, s); }

TUiWizardHelpButton::TUiWizardHelpButton(TComponent* o) : TUiWizardBaseButton(o) {
  Setup("&Help", 75, false, true, alLeft);
}
void TUiWizardHelpButton::FirePageHandler(TUiWizardCustomPage* p, bool& s) { Fire(p->OnHelpButtonClick, p, s); }

void TUiWizardHelpButton::Click() {
  TUiWizardCustomPage* page = FWizard ? FWizard->ActivePage() : nullptr;
  if (page && page->OnHelpButtonClick) {
    TUiWizardBaseButton::Click();
    return;
  }
  int32_t context = 0;
  if (page) {
    context = page->HelpContext();
  } else if (TCustomForm* host = ParentForm()) {
    context = host->HelpContext();
  } else {
    return;
  }
  if (context != 0 && Application) Application->HelpContext(context);
}

// ---- the published wrapper ----

std::string TUiWizardNavigateButton::Caption() const { return FControl ? FControl->Caption() : std::string(); }
void TUiWizardNavigateButton::SetCaption(const std::string& v) {
  if (FControl) FControl->SetCaption(v);
}
TBitmap* TUiWizardNavigateButton::Glyph() const { return FControl ? FControl->Glyph() : nullptr; }
void TUiWizardNavigateButton::SetGlyph(const TBitmap* v) {
  if (FControl) FControl->SetGlyph(v);
}
int TUiWizardNavigateButton::NumGlyphs() const { return FControl ? FControl->NumGlyphs() : 0; }
void TUiWizardNavigateButton::SetNumGlyphs(int v) {
  if (FControl) FControl->SetNumGlyphs(v);
}
TButtonLayout TUiWizardNavigateButton::Layout() const { return FControl ? FControl->Layout() : blGlyphLeft; }
void TUiWizardNavigateButton::SetLayout(TButtonLayout v) {
  if (FControl) FControl->SetLayout(v);
}
int32_t TUiWizardNavigateButton::ModalResult() const { return FControl ? FControl->ModalResult() : 0; }
void TUiWizardNavigateButton::SetModalResult(int32_t v) {
  if (FControl) FControl->SetModalResult(v);
}
int32_t TUiWizardNavigateButton::Width() const { return FControl ? FControl->Width() : 0; }
void TUiWizardNavigateButton::SetWidth(int32_t v) {
  if (!FControl || FControl->Width() == v) return;
  FControl->SetWidth(v);
  if (FControl->Wizard()) FControl->Wizard()->ArrangeButtons();
}
