// TUiWizard: a container that fills its host window, owns an ordered page list with at most
// one active (visible) page, and a bar of seven navigation buttons along its bottom edge. The
// page change runs in a fixed order (changing, exit, hide, enter, show, focus, button bar,
// OnPage, changed); selection operations search from whatever page is active when called;
// there is no guard against nested changes, so handlers that change pages shift the outer
// change as described at each operation.
//
// Threads: user-interface thread only. Ownership: the wizard owns its page list and the button
// wrappers; pages and button controls are components of their owners; HeaderImages is a
// watched reference, dropped when the image list goes.
#pragma once
#include <array>
#include <memory>

#include "Controls.h"
#include "UiWizardButtons.h"
#include "UiWizardPage.h"
#include "UiWizardTypes.h"

class TUiWizard : public TCustomControl {
 public:
  explicit TUiWizard(TComponent* owner);
  ~TUiWizard() override;

  const TUiWizardPageList& Pages() const { return *FPages; }
  TUiWizardCustomPage* ActivePage() const { return FActivePage; }
  void SetActivePage(TUiWizardCustomPage* page);
  int ActivePageIndex() const;

  void SelectFirstPage();
  void SelectLastPage();
  void SelectNextPage();
  void SelectPriorPage();
  TUiWizardCustomPage* FindPage(int startIndex, int step, bool skipDisabled) const;
  TUiWizardCustomPage* FindJumpPage(int startIndex, int step, bool skipDisabled) const;
  bool IsFirstEnabledPage(const TUiWizardCustomPage* page, bool skipDisabled) const;
  void AddPage(TUiWizardCustomPage* page);
  void RemovePage(TUiWizardCustomPage* page);

  TUiWizardNavigateButton& ButtonStart() { return *FButtons[bkStart]; }
  TUiWizardNavigateButton& ButtonLast() { return *FButtons[bkLast]; }
  TUiWizardNavigateButton& ButtonBack() { return *FButtons[bkBack]; }
  TUiWizardNavigateButton& ButtonNext() { return *FButtons[bkNext]; }
  TUiWizardNavigateButton& ButtonFinish() { return *FButtons[bkFinish]; }
  TUiWizardNavigateButton& ButtonCancel() { return *FButtons[bkCancel]; }
  TUiWizardNavigateButton& ButtonHelp() { return *FButtons[bkHelp]; }
  TUiWizardNavigateButton& Button(TUiWizardButtonKind k) { return *FButtons[k]; }

  int32_t ButtonBarHeight() const { return FButtonBarHeight; }
  void SetButtonBarHeight(int32_t v);
  bool ShowDivider() const { return FShowDivider; }
  void SetShowDivider(bool v);
  bool AutoHideButtonBar() const { return FAutoHideButtonBar; }
  void SetAutoHideButtonBar(bool v);
  bool DefaultButtons() const { return FDefaultButtons; }
  void SetDefaultButtons(bool v);
  bool ShowRouteMap() const { return false; }
  void SetShowRouteMap(bool) {}  // no route map exists in this system
  TImageList* HeaderImages() const { return FHeaderImages; }
  void SetHeaderImages(TImageList* v);

  // The wizard-level click events are those of the button controls.
  TNotifyEvent ButtonClickEvent(TUiWizardButtonKind k) const;
  void SetButtonClickEvent(TUiWizardButtonKind k, TNotifyEvent e);
  void SetOnCancelButtonClick(TNotifyEvent e) { SetButtonClickEvent(bkCancel, std::move(e)); }
  void SetOnFinishButtonClick(TNotifyEvent e) { SetButtonClickEvent(bkFinish, std::move(e)); }
  void SetOnNextButtonClick(TNotifyEvent e) { SetButtonClickEvent(bkNext, std::move(e)); }
  void SetOnBackButtonClick(TNotifyEvent e) { SetButtonClickEvent(bkBack, std::move(e)); }
  void SetOnHelpButtonClick(TNotifyEvent e) { SetButtonClickEvent(bkHelp, std::move(e)); }
  void SetOnStartButtonClick(TNotifyEvent e) { SetButtonClickEvent(bkStart, std::move(e)); }
  void SetOnLastButtonClick(TNotifyEvent e) { SetButtonClickEvent(bkLast, std::move(e)); }

  TUiWizardSelectPageEvent OnSelectNextPage;
  TUiWizardSelectPageEvent OnSelectPriorPage;
  TUiWizardSelectPageEvent OnSelectFirstPage;
  TUiWizardSelectPageEvent OnSelectLastPage;
  TNotifyEvent OnActivePageChanged;
  TUiWizardChangingPageEvent OnActivePageChanging;

  virtual TUiWizardButtonClass ButtonClassFor(int kind) const;
  void RefreshButtons();
  void ArrangeButtons();

  // The show request of a child: a page of this wizard becomes the active page first.
  void ShowControl(TControl* control) override;
  TRect ContentRect() const override;
  bool WantsKey(uint16_t key, TShiftState) const override;
  void PageEnabledChanged(TUiWizardCustomPage* page);

 protected:
  virtual void ActivePageChanging(TUiWizardCustomPage*& toPage);
  virtual void ActivePageChanged();
  void Loaded() override;
  void Paint(TCanvas& canvas) override;
  void BoundsChanged() override;
  void ControlVisibilityChanged(TControl* c) override;
  void Notification(TComponent* component, TOperation operation) override;
  void KeyDown(uint16_t& key, TShiftState shift) override;

 private:
  bool IsForwardMove(const TUiWizardCustomPage* fromPage, const TUiWizardCustomPage* toPage) const;
  void Select(TUiWizardCustomPage* target, const TUiWizardSelectPageEvent& event);
  void ChangePage(TUiWizardCustomPage* newPage);
  TUiWizardButtonSet EffectiveVisible() const;

  std::unique_ptr<TUiWizardPageList> FPages;
  TUiWizardCustomPage* FActivePage = nullptr;
  TUiWizardCustomPage* FShowingPage = nullptr;  // the page a change is making visible
  std::array<std::unique_ptr<TUiWizardNavigateButton>, kUiWizardButtonKindCount> FButtons;
  std::array<TUiWizardButtonControl*, kUiWizardButtonKindCount> FButtonControls{};
  int32_t FButtonBarHeight = 42;
  bool FShowDivider = true;
  TImageList* FHeaderImages = nullptr;
  TChangeLink FImageChangeLink;
  bool FAutoHideButtonBar = true;
  bool FDefaultButtons = true;
};
