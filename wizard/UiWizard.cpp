// Sections: life; searches and selection; the page change; membership; button bar; painting
// and keys.
#include "UiWizard.h"

#include "Form.h"

namespace {
template <class T>
TUiWizardButtonControl* Make(TComponent* owner) {
  return new T(owner);
}
TUiWizardButtonControl* MakePlain(TComponent* owner) { return new TUiWizardButtonControl(owner); }
}  // namespace

// ---- life ----

TUiWizard::TUiWizard(TComponent* owner) : TCustomControl(owner), FPages(std::make_unique<TUiWizardPageList>(this)) {
  SetAlign(alClient);
  FShowDivider = true;
  FButtonBarHeight = 42;
  FImageChangeLink.OnChange = [this](TObject*) {
    if (FActivePage) FActivePage->Invalidate();
  };
  FAutoHideButtonBar = true;
  // Called from the constructor, so the wizard's own classes are used (as with any virtual
  // called during construction).
  for (int k = 0; k < kUiWizardButtonKindCount; ++k) {
    TUiWizardButtonControl* c = nullptr;
    try {
      c = ButtonClassFor(k)(this);
      c->SetParent(this);
      c->SetHeight(25);
      c->SetWizard(this);
    } catch (...) {
      FButtonControls[static_cast<size_t>(k)] = c;
      FButtons[static_cast<size_t>(k)] = std::make_unique<TUiWizardNavigateButton>(c);
      throw;
    }
    FButtonControls[static_cast<size_t>(k)] = c;
    FButtons[static_cast<size_t>(k)] = std::make_unique<TUiWizardNavigateButton>(c);
  }
  FDefaultButtons = true;
  SetParentColor(true);
}

TUiWizard::~TUiWizard() {
  for (auto& b : FButtons) b.reset();
  for (TUiWizardCustomPage* p : FPages->FPages) p->FWizard = nullptr;
  FPages->FPages.clear();
  if (FHeaderImages) {
    FHeaderImages->UnRegisterChanges(&FImageChangeLink);
    FHeaderImages->RemoveFreeNotification(this);
  }
  for (TUiWizardButtonControl* c : FButtonControls)
    if (c) c->SetWizard(nullptr);
}

TUiWizardButtonClass TUiWizard::ButtonClassFor(int kind) const {
  switch (kind) {
    case bkStart: return &Make<TUiWizardStartButton>;
    case bkLast: return &Make<TUiWizardLastButton>;
    case bkBack: return &Make<TUiWizardBackButton>;
    case bkNext: return &Make<TUiWizardNextButton>;
    case bkFinish: return &Make<TUiWizardFinishButton>;
    case bkCancel: return &Make<TUiWizardCancelButton>;
    case bkHelp: return &Make<TUiWizardHelpButton>;
    default: return &MakePlain;
  }
}

void TUiWizard::Loaded() {
  TCustomControl::Loaded();
  ArrangeButtons();
  if (FPages->Count() > 0) SelectFirstPage();
}

void TUiWizard::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation == opRemove && component == FHeaderImages) FHeaderImages = nullptr;
}

// ---- searches and selection ----

int TUiWizard::ActivePageIndex() const { return FActivePage ? FActivePage->PageIndex() : -1; }

TUiWizardCustomPage* TUiWizard::FindPage(int startIndex, int step, bool skipDisabled) const {
  // A zero step would search forever.
  if (step != 1 && step != -1) throw EAssertionFailed(Format("FindPage step must be +1 or -1, not %d", step));
  int count = FPages->Count();
  int i = startIndex;
  for (;;) {
    i += step;
    if (i < 0 || i >= count) break;
    if (!skipDisabled || FPages->Items(i)->Enabled()) break;
  }
  if (i >= 0 && i < count && (!skipDisabled || FPages->Items(i)->Enabled())) return FPages->Items(i);
  return nullptr;
}

TUiWizardCustomPage* TUiWizard::FindJumpPage(int startIndex, int step, bool skipDisabled) const {
  TUiWizardCustomPage* p = FindPage(startIndex, step, skipDisabled);
  if (p && !p->EnableJumpToPage()) p = FindPage(p->PageIndex(), step, skipDisabled);
  return p;
}

bool TUiWizard::IsFirstEnabledPage(const TUiWizardCustomPage* page, bool skipDisabled) const {
  TUiWizardCustomPage* f = FindPage(-1, 1, skipDisabled);
  return !f || f == page;
}

bool TUiWizard::IsForwardMove(const TUiWizardCustomPage* fromPage, const TUiWizardCustomPage* toPage) const {
  if (fromPage && toPage && fromPage->Wizard() != toPage->Wizard())
    throw EUiWizardError("The pages belong to another wizard");
  if (!fromPage) return true;
  if (!toPage) return false;
  return fromPage->PageIndex() < toPage->PageIndex();
}

void TUiWizard::Select(TUiWizardCustomPage* target, const TUiWizardSelectPageEvent& event) {
  if (!target) return;
  TUiWizardCustomPage* to = target;
  if (event) event(this, FActivePage, to);
  if (to) SetActivePage(to);
}

void TUiWizard::SelectFirstPage() { Select(FindJumpPage(-1, 1, true), OnSelectFirstPage); }
void TUiWizard::SelectLastPage() { Select(FindJumpPage(FPages->Count(), -1, true), OnSelectLastPage); }
void TUiWizard::SelectNextPage() { Select(FindJumpPage(ActivePageIndex(), 1, true), OnSelectNextPage); }
void TUiWizard::SelectPriorPage() { Select(FindJumpPage(ActivePageIndex(), -1, true), OnSelectPriorPage); }

// ---- the page change ----

void TUiWizard::SetActivePage(TUiWizardCustomPage* page) {
  if (IsLoading()) return;
  if (page && (page->Wizard() != this || !page->Enabled())) return;
  ChangePage(page);
}

void TUiWizard::ActivePageChanging(TUiWizardCustomPage*& toPage) {
  if (OnActivePageChanging) OnActivePageChanging(this, toPage);
}

void TUiWizard::ActivePageChanged() {
  if (OnActivePageChanged) OnActivePageChanged(this);
}

void TUiWizard::ChangePage(TUiWizardCustomPage* newPage) {
  TUiWizardCustomPage* oldPage = FActivePage;
  if (newPage == oldPage) return;
  ActivePageChanging(newPage);
  if (newPage == oldPage) return;
  TCustomForm* host = ParentForm();
  if (host && oldPage) {
    TWinControl* focused = host->ActiveControl();
    if (focused && oldPage->ContainsControl(focused) && oldPage->CanFocus()) host->SetActiveControl(oldPage);
  }
  if (oldPage) {
    oldPage->NotifyExit(newPage);
    oldPage->SetVisible(false);
  }
  if (newPage && !newPage->Enabled())
    newPage = FindPage(ActivePageIndex(), IsForwardMove(oldPage, newPage) ? 1 : -1, true);
  if (newPage) {
    newPage->NotifyEnter(oldPage);
    newPage->BringToFront();
    FShowingPage = newPage;
    newPage->SetVisible(true);
    FShowingPage = nullptr;
    if (host) {
      if (newPage->CanFocus())
        host->SetActiveControl(newPage);
      else if (CanFocus())
        host->SetActiveControl(this);
    }
  }
  FActivePage = newPage;
  if (FAutoHideButtonBar) SetButtonBarHeight(newPage && newPage->VisibleButtons().Empty() ? 0 : 42);
  if (host && newPage && host->ActiveControl() == newPage) {
    newPage->SelectFirst();
    newPage->NotifyShown();
  }
  ActivePageChanged();
}

void TUiWizard::ShowControl(TControl* control) {
  if (auto* page = dynamic_cast<TUiWizardCustomPage*>(control))
    if (page->Wizard() == this) SetActivePage(page);
  if (Parent()) Parent()->ShowControl(this);
}

void TUiWizard::PageEnabledChanged(TUiWizardCustomPage* page) {
  if (page->Enabled() || page != FActivePage) return;
  int idx = page->PageIndex();
  TUiWizardCustomPage* t = FindPage(idx, 1, true);
  if (!t) t = FindPage(idx, -1, true);
  SetActivePage(t);
}

// ---- membership ----

void TUiWizard::AddPage(TUiWizardCustomPage* page) { FPages->Add(page); }

void TUiWizard::RemovePage(TUiWizardCustomPage* page) {
  // While the window is torn down no page change may run handlers on half-destroyed objects.
  bool teardown = IsDestroying() || (Owner() && Owner()->IsDestroying());
  TUiWizardCustomPage* n = FActivePage;
  if (page == FActivePage) n = teardown ? nullptr : FindPage(page->PageIndex(), 1, true);
  FPages->Remove(page);
  if (teardown) {
    if (page == FActivePage) FActivePage = nullptr;
    return;
  }
  SetActivePage(n);
}

// ---- button bar ----

TUiWizardButtonSet TUiWizard::EffectiveVisible() const {
  return FActivePage ? FActivePage->VisibleButtons() : kUiWizardDefaultVisibleButtons;
}

void TUiWizard::RefreshButtons() {
  if (!Parent()) return;
  TUiWizardButtonSet V = kUiWizardDefaultVisibleButtons, E{bkCancel};
  if (TUiWizardCustomPage* P = FActivePage) {
    // Written directly: the first page never offers Back, and never will again.
    if (IsFirstEnabledPage(P, true)) P->FEnabledButtons = P->FEnabledButtons - bkBack;
    V = P->VisibleButtons();
    E = P->EnabledButtons();
  }
  for (int k = 0; k < kUiWizardButtonKindCount; ++k) {
    TUiWizardButtonControl* c = FButtonControls[static_cast<size_t>(k)];
    if (!c) continue;
    auto kind = static_cast<TUiWizardButtonKind>(k);
    c->SetVisible(V.Contains(kind));
    c->SetEnabled(E.Contains(kind));
  }
  auto* next = FButtonControls[bkNext];
  auto* finish = FButtonControls[bkFinish];
  if (V.Contains(bkNext) && E.Contains(bkNext)) {
    if (next) next->SetDefault(FDefaultButtons);
  } else if (V.Contains(bkFinish) && E.Contains(bkFinish)) {
    if (finish) finish->SetDefault(FDefaultButtons);
  }
}

void TUiWizard::ArrangeButtons() {
  if (!Parent()) return;
  if (FButtonBarHeight <= 25) {
    for (TUiWizardButtonControl* c : FButtonControls)
      if (c) c->SetBounds(0, 0, c->Width(), 0);
    return;
  }
  TUiWizardButtonSet V = EffectiveVisible();
  TRect client = ClientRect();
  int32_t top = client.Bottom - FButtonBarHeight + 10;
  auto place = [&](TUiWizardButtonKind k, int32_t x) {
    if (TUiWizardButtonControl* c = FButtonControls[k]) c->SetBounds(x, top, c->Width(), 25);
  };
  auto width = [&](TUiWizardButtonKind k) {
    TUiWizardButtonControl* c = FButtonControls[k];
    return c ? c->Width() : 0;
  };
  int32_t x = client.Left + 8;
  const std::pair<TUiWizardButtonKind, int32_t> left[] = {{bkHelp, 10}, {bkStart, 1}, {bkLast, 0}};
  for (auto [k, gap] : left) {
    if (!V.Contains(k)) continue;
    place(k, x);
    x += width(k) + gap;
  }
  x = client.Right - 8;
  const bool both = V.Contains(bkNext) && V.Contains(bkFinish);
  const std::pair<TUiWizardButtonKind, int32_t> rightBoth[] = {{bkCancel, 1}, {bkFinish, 10}, {bkNext, 2}, {bkBack, 0}};
  const std::pair<TUiWizardButtonKind, int32_t> rightOne[] = {{bkCancel, 10}, {bkFinish, 1}, {bkNext, 2}, {bkBack, 0}};
  for (auto [k, gap] : both ? rightBoth : rightOne) {
    if (!V.Contains(k)) continue;
    x -= width(k);
    place(k, x);
    x -= gap;
  }
}

void TUiWizard::SetButtonBarHeight(int32_t v) {
  if (v != FButtonBarHeight) {
    FButtonBarHeight = v;
    Realign();
    ArrangeButtons();
    Invalidate();
  }
  RefreshButtons();
}

void TUiWizard::SetAutoHideButtonBar(bool v) {
  if (FAutoHideButtonBar == v) return;
  FAutoHideButtonBar = v;
  ArrangeButtons();
  RefreshButtons();
}

void TUiWizard::SetDefaultButtons(bool v) {
  if (FDefaultButtons == v) return;
  FDefaultButtons = v;
  RefreshButtons();
}

void TUiWizard::SetShowDivider(bool v) {
  if (FShowDivider == v) return;
  FShowDivider = v;
  Invalidate();
}

void TUiWizard::SetHeaderImages(TImageList* v) {
  if (FHeaderImages == v) return;
  if (FHeaderImages) {
    FHeaderImages->UnRegisterChanges(&FImageChangeLink);
    FHeaderImages->RemoveFreeNotification(this);
  }
  FHeaderImages = v;
  if (v) {
    v->RegisterChanges(&FImageChangeLink);
    v->FreeNotification(this);
  }
  if (FActivePage) FActivePage->Invalidate();
}

TNotifyEvent TUiWizard::ButtonClickEvent(TUiWizardButtonKind k) const {
  TUiWizardButtonControl* c = FButtonControls[k];
  return c ? c->OnClick : TNotifyEvent();
}

void TUiWizard::SetButtonClickEvent(TUiWizardButtonKind k, TNotifyEvent e) {
  if (TUiWizardButtonControl* c = FButtonControls[k]) c->OnClick = std::move(e);
}

void TUiWizard::ControlVisibilityChanged(TControl* c) {
  if (auto* page = dynamic_cast<TUiWizardCustomPage*>(c); page && page->Wizard() == this) {
    // Only the active page shows. A Show whose activation ran handlers that moved on to another
    // page (an upload that failed and went back to the start) would otherwise leave its page
    // marked visible beside the new one.
    if (page->Visible() && page != FActivePage && page != FShowingPage) page->SetVisible(false);
    return;
  }
  for (TUiWizardButtonControl* b : FButtonControls)
    if (b == c) {
      ArrangeButtons();
      return;
    }
}

void TUiWizard::BoundsChanged() {
  TCustomControl::BoundsChanged();
  ArrangeButtons();
}

TRect TUiWizard::ContentRect() const {
  TRect r = ClientRect();
  if (FButtonBarHeight > 25) r.Bottom -= FButtonBarHeight;
  return r;
}

// ---- painting and keys ----

void TUiWizard::Paint(TCanvas& canvas) {
  TRect R = ClientRect();
  if (Color() != clNone) {
    canvas.Brush.Color = Color();
    canvas.Brush.Style = bsSolid;
    canvas.FillRect(R);
  }
  if (FButtonBarHeight > 25 && FShowDivider)
    DrawBorderEdges(canvas, Rect(R.Left, R.Bottom - FButtonBarHeight, R.Right, R.Bottom), kUiWizardEtchedBorder, beTop);
}

bool TUiWizard::WantsKey(uint16_t key, TShiftState) const {
  // While the wizard itself holds the focus it keeps these keys, so the default and cancel
  // buttons do not react.
  return key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN || key == VK_RETURN || key == VK_ESCAPE;
}

void TUiWizard::KeyDown(uint16_t& key, TShiftState) { key = 0; }
