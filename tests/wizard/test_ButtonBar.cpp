// The navigation bar: layout, visibility and enablement from the active page, the default
// button, the click protocol with its Stop veto, handlers that navigate, Help, and keys.
#include "WizardFixture.h"

namespace {
TRect BoundsOf(TControl* c) { return c->BoundsRect(); }
}  // namespace

// Catches buttons placed off the worked layout for the sets the program uses.
TEST_F(WizardTest, LayoutMatchesWorkedExample) {
  AddPages(3);
  Pages[1]->SetVisibleButtons({bkBack, bkFinish});
  Pages[2]->SetVisibleButtons({bkFinish});
  Load();
  // The default visible set, on P0.
  EXPECT_EQ(BoundsOf(Btn(bkBack)), Bounds(289, 538, 75, 25));
  EXPECT_EQ(BoundsOf(Btn(bkNext)), Bounds(366, 538, 75, 25));
  EXPECT_EQ(BoundsOf(Btn(bkCancel)), Bounds(451, 538, 75, 25));
  Wizard->SetActivePage(Pages[1]);
  EXPECT_EQ(BoundsOf(Btn(bkFinish)), Bounds(451, 538, 75, 25));
  EXPECT_EQ(BoundsOf(Btn(bkBack)), Bounds(375, 538, 75, 25));
  Wizard->SetActivePage(Pages[2]);
  EXPECT_EQ(BoundsOf(Btn(bkFinish)), Bounds(451, 538, 75, 25));
  Pages[2]->SetVisibleButtons({bkBack, bkNext, bkFinish, bkCancel, bkHelp, bkStart, bkLast});
  EXPECT_EQ(BoundsOf(Btn(bkCancel)).Left, 451);
  EXPECT_EQ(BoundsOf(Btn(bkFinish)).Left, 451 - 1 - 75);
  EXPECT_EQ(BoundsOf(Btn(bkNext)).Left, 451 - 1 - 75 - 10 - 75);
  EXPECT_EQ(BoundsOf(Btn(bkBack)).Left, 451 - 1 - 75 - 10 - 75 - 2 - 75);
  EXPECT_EQ(BoundsOf(Btn(bkHelp)), Bounds(8, 538, 75, 25));
  EXPECT_EQ(BoundsOf(Btn(bkStart)), Bounds(8 + 75 + 10, 538, 85, 25));
  EXPECT_EQ(BoundsOf(Btn(bkLast)), Bounds(8 + 75 + 10 + 85 + 1, 538, 85, 25));
}

// Catches a bar that does not collapse at 25 pixels or does not come back at 26.
TEST_F(WizardTest, BarCollapsesAtTwentyFive) {
  AddPages(1);
  Load();
  Wizard->SetAutoHideButtonBar(false);
  Wizard->SetButtonBarHeight(25);
  EXPECT_EQ(Btn(bkNext)->BoundsRect(), Bounds(0, 0, 75, 0));
  EXPECT_EQ(Pages[0]->Height(), 570);
  Wizard->SetButtonBarHeight(26);
  EXPECT_EQ(Btn(bkNext)->Top(), 570 - 26 + 10);
  EXPECT_EQ(Btn(bkNext)->Height(), 25);
  EXPECT_EQ(Pages[0]->Height(), 570 - 26);
}

// Catches Back left enabled on the first page, or the set restored when the page moves.
TEST_F(WizardTest, BackIsRemovedForGoodFromTheFirstEnabledPage) {
  AddPages(3);
  Load();
  EXPECT_FALSE(Btn(bkBack)->Enabled());
  EXPECT_FALSE(Pages[0]->EnabledButtons().Contains(bkBack));
  Pages[0]->SetEnabled(false);  // now P1 is first; P0 keeps its loss
  Pages[0]->SetEnabled(true);
  EXPECT_FALSE(Pages[0]->EnabledButtons().Contains(bkBack));
  EXPECT_TRUE(Pages[2]->EnabledButtons().Contains(bkBack));
}

// Catches a wrong initial state of the buttons with no active page.
TEST_F(WizardTest, NoActivePageShowsBackNextCancelWithOnlyCancelEnabled) {
  Load();
  Wizard->RefreshButtons();
  EXPECT_TRUE(Btn(bkBack)->Visible());
  EXPECT_TRUE(Btn(bkNext)->Visible());
  EXPECT_TRUE(Btn(bkCancel)->Visible());
  EXPECT_FALSE(Btn(bkFinish)->Visible());
  EXPECT_FALSE(Btn(bkBack)->Enabled());
  EXPECT_FALSE(Btn(bkNext)->Enabled());
  EXPECT_TRUE(Btn(bkCancel)->Enabled());
}

// Catches the default flag given to the wrong button or cleared where it must stay.
TEST_F(WizardTest, DefaultButtonFollowsNextThenFinish) {
  AddPages(3);
  Pages[1]->SetVisibleButtons({bkBack, bkFinish});
  Pages[2]->SetVisibleButtons({bkBack, bkNext, bkCancel});
  Pages[2]->SetEnabledButtons({bkBack, bkCancel});
  Load();
  EXPECT_TRUE(Btn(bkNext)->Default());
  Wizard->SelectNextPage();
  EXPECT_TRUE(Btn(bkFinish)->Default());
  EXPECT_TRUE(Btn(bkNext)->Default()) << "nothing clears a default flag";
  Wizard->SelectNextPage();
  Wizard->SetDefaultButtons(false);
  EXPECT_TRUE(Btn(bkFinish)->Default()) << "Next is disabled and Finish hidden: no flag touched";
}

// Catches a veto that still sets the modal result, fires the wizard event or navigates.
TEST_F(WizardTest, StopVetoesEverythingAfterThePageHandler) {
  AddPages(2);
  Load();
  int wizardLevel = 0;
  Wizard->SetOnNextButtonClick([&](TObject*) { ++wizardLevel; });
  Pages[0]->OnNextButtonClick = [&](TObject*, bool& stop) { stop = true; };
  Form->SetModalResult(77);
  Click(bkNext);
  EXPECT_EQ(Wizard->ActivePage(), Pages[0]);
  EXPECT_EQ(wizardLevel, 0);
  EXPECT_EQ(Form->ModalResult(), 77);
  Pages[0]->OnNextButtonClick = [&](TObject* sender, bool&) { EXPECT_EQ(sender, Pages[0]); };
  Click(bkNext);
  EXPECT_EQ(Wizard->ActivePage(), Pages[1]);
  EXPECT_EQ(wizardLevel, 1);
  EXPECT_EQ(Form->ModalResult(), 0);
}

// Catches a Next handler that advances without the click's own step moving on from there.
TEST_F(WizardTest, NextHandlerThatAdvancesMakesTheClickAdvanceTwice) {
  AddPages(4);
  Load();
  Pages[0]->OnNextButtonClick = [&](TObject*, bool&) { Wizard->SelectNextPage(); };
  Click(bkNext);
  EXPECT_EQ(Wizard->ActivePage(), Pages[2]);
  Pages[2]->OnBackButtonClick = [&](TObject*, bool&) { Pages[3]->Show(); };
  Click(bkBack);
  EXPECT_EQ(Wizard->ActivePage(), Pages[2]) << "Back from the page the handler showed";
}

// Catches Cancel and Finish that navigate, or fire in the wrong order.
TEST_F(WizardTest, CancelAndFinishOrder) {
  AddPages(2);
  Pages[0]->SetVisibleButtons({bkFinish, bkCancel});
  Load();
  TLog order;
  Pages[0]->OnFinishButtonClick = [&](TObject*, bool&) { order.push_back("page finish"); };
  Wizard->SetOnFinishButtonClick([&](TObject* sender) {
    order.push_back("wizard finish");
    EXPECT_EQ(sender, Btn(bkFinish));
  });
  Wizard->SetOnCancelButtonClick([&](TObject*) { order.push_back("wizard cancel"); });
  Click(bkFinish);
  Click(bkCancel);
  EXPECT_EQ(order, (TLog{"page finish", "wizard finish", "wizard cancel"}));
  EXPECT_EQ(Form->ModalResult(), mrCancel);
  EXPECT_EQ(Wizard->ActivePage(), Pages[0]);
}

// Catches Help that ignores a page handler, or asks for context 0.
TEST_F(WizardTest, HelpPaths) {
  AddPages(1);
  Pages[0]->SetVisibleButtons({bkHelp, bkCancel});
  Load();
  Application->HelpContext(0);
  int wizardLevel = 0;
  Wizard->SetOnHelpButtonClick([&](TObject*) { ++wizardLevel; });
  Click(bkHelp);
  EXPECT_EQ(Application->LastHelpContext(), 0) << "context 0 asks for nothing";
  EXPECT_EQ(wizardLevel, 0) << "without a page handler the wizard event is not fired";
  Pages[0]->SetHelpContext(42);
  Click(bkHelp);
  EXPECT_EQ(Application->LastHelpContext(), 42);
  Pages[0]->OnHelpButtonClick = [&](TObject*, bool&) {};
  Click(bkHelp);
  EXPECT_EQ(wizardLevel, 1) << "with a page handler the common protocol runs";
}

// Catches keys that bypass the default and cancel flags, or that reach them while the wizard
// itself holds the focus.
TEST_F(WizardTest, KeysReachDefaultAndCancel) {
  AddPages(3);
  Load();
  int cancels = 0;
  Wizard->SetOnCancelButtonClick([&](TObject*) { ++cancels; });
  Pages[0]->SetFocus();
  PostKey(*Form, VK_RETURN);
  Pump();
  EXPECT_EQ(Wizard->ActivePage(), Pages[1]) << "Enter clicks the default Next";
  PostKey(*Form, VK_ESCAPE);
  Pump();
  EXPECT_EQ(cancels, 1);
  PostAltChar(*Form, 'b');
  Pump();
  EXPECT_EQ(Wizard->ActivePage(), Pages[0]) << "Alt+B clicks Back";
  Wizard->SetFocus();
  PostKey(*Form, VK_RETURN);
  PostKey(*Form, VK_ESCAPE);
  Pump();
  EXPECT_EQ(Wizard->ActivePage(), Pages[0]);
  EXPECT_EQ(cancels, 1);
}

// Catches a navigate wrapper that changes nothing or does not re-arrange the bar.
TEST_F(WizardTest, WrapperForwardsToControl) {
  AddPages(1);
  Load();
  Wizard->ButtonNext().SetCaption("&Go");
  EXPECT_EQ(Btn(bkNext)->Caption(), "&Go");
  Wizard->ButtonNext().SetWidth(100);
  EXPECT_EQ(Btn(bkNext)->BoundsRect(), Bounds(526 - 75 - 10 - 100, 538, 100, 25));
  EXPECT_EQ(Btn(bkBack)->Left(), 526 - 75 - 10 - 100 - 2 - 75);
  EXPECT_EQ(Wizard->ButtonCancel().ModalResult(), mrCancel);
  TUiWizardNavigateButton none(nullptr);
  EXPECT_EQ(none.Caption(), "");
  none.SetWidth(5);
  EXPECT_EQ(none.Width(), 0);
}
