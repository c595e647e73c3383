// The page model: the order of a page change, vetoes and substitutions, searches over
// disabled and jump-skipped pages, removal and disabling of the active page, nested changes,
// loading, and the errors of the page list and of pages of another wizard.
#include <algorithm>

#include "Edit.h"
#include "WizardFixture.h"

// Catches a page change whose steps run in the wrong order or skip the focus and OnPage.
TEST_F(WizardTest, PageChangeRunsItsStepsInOrder) {
  AddPages(2);
  Load();
  LogWizardEvents();
  Log.clear();
  Wizard->SelectNextPage();
  EXPECT_EQ(Log, (TLog{"changing>P1", "exit:P0>P1", "hide:P0", "enter:P1<P0", "show:P1", "focus:P1", "page:P1",
                       "changed=P1"}));
  EXPECT_EQ(Wizard->ActivePage(), Pages[1]);
  EXPECT_FALSE(Pages[0]->Visible());
}

// Catches a focused control inside the old page that keeps the focus through its exit.
TEST_F(WizardTest, FocusMovesToOldPageBeforeItsExit) {
  AddPages(2);
  auto* edit = new TEdit(Form);
  edit->SetParent(Pages[0]);
  edit->SetBounds(10, 100, 100, 21);
  Load();
  edit->SetFocus();
  ASSERT_TRUE(edit->Focused());
  LogWizardEvents();
  Log.clear();
  Wizard->SelectNextPage();
  ASSERT_GE(Log.size(), 3u);
  EXPECT_EQ(Log[0], "changing>P1");
  EXPECT_EQ(Log[1], "focus:P0") << "the old page takes the focus from its child before it exits";
  EXPECT_EQ(Log[2], "exit:P0>P1");
}

// Catches the first activation firing an exit, or an enter that names a page.
TEST_F(WizardTest, FirstActivationEntersFromNone) {
  AddPages(3);
  Pages[0]->SetEnabled(false);
  Load();
  EXPECT_EQ(Wizard->ActivePage(), Pages[1]) << "a loaded wizard opens on its first enabled page";
  EXPECT_EQ(Log, (TLog{"enter:P1<none", "show:P1"})) << "no focus or OnPage while the window is hidden";
}

// Catches an assignment during loading that is not ignored.
TEST_F(WizardTest, AssignmentsDuringLoadingAreIgnored) {
  AddPages(3);
  Wizard->SetActivePage(Pages[2]);
  EXPECT_EQ(Wizard->ActivePage(), nullptr);
  Load();
  EXPECT_EQ(Wizard->ActivePage(), Pages[0]);
}

// Catches OnActivePageChanging vetoes that still run exit or enter, and a change to none
// that forgets the changed event.
TEST_F(WizardTest, ChangingEventCanCancelOrEmpty) {
  AddPages(2);
  Load();
  Wizard->OnActivePageChanging = [&](TObject*, TUiWizardCustomPage*& to) { to = Wizard->ActivePage(); };
  Wizard->OnActivePageChanged = [&](TObject*) { Log.push_back("changed"); };
  Log.clear();
  Wizard->SelectNextPage();
  EXPECT_TRUE(Log.empty());
  EXPECT_EQ(Wizard->ActivePage(), Pages[0]);
  Wizard->OnActivePageChanging = [&](TObject*, TUiWizardCustomPage*& to) { to = nullptr; };
  Wizard->SelectNextPage();
  EXPECT_EQ(Log, (TLog{"exit:P0>none", "hide:P0", "changed"}));
  EXPECT_EQ(Wizard->ActivePage(), nullptr);
  EXPECT_EQ(Wizard->ActivePageIndex(), -1);
}

// Catches a substituted disabled page being activated instead of the nearest enabled one.
TEST_F(WizardTest, ChangingToDisabledPageMovesOnInTheDirectionOfTravel) {
  AddPages(4);
  Load();
  Pages[2]->SetEnabled(false);
  Wizard->OnActivePageChanging = [&](TObject*, TUiWizardCustomPage*& to) {
    if (to == Pages[1]) to = Pages[2];
  };
  Wizard->SelectNextPage();
  EXPECT_EQ(Wizard->ActivePage(), Pages[1]) << "forward from P0: the first enabled page after P0";
  Wizard->OnActivePageChanging = nullptr;
  Wizard->SetActivePage(Pages[3]);
  Wizard->OnActivePageChanging = [&](TObject*, TUiWizardCustomPage*& to) { to = Pages[2]; };
  Wizard->SelectPriorPage();
  EXPECT_EQ(Wizard->ActivePage(), Pages[1]) << "backward from P3 past the disabled P2";
}

// Catches select events that cannot veto or redirect, and searches that fire with no target.
TEST_F(WizardTest, SelectEventsVetoAndRedirect) {
  AddPages(4);
  Load();
  int fired = 0;
  Wizard->OnSelectNextPage = [&](TObject*, TUiWizardCustomPage* from, TUiWizardCustomPage*& to) {
    ++fired;
    EXPECT_EQ(from, Pages[0]);
    to = nullptr;
  };
  Wizard->SelectNextPage();
  EXPECT_EQ(Wizard->ActivePage(), Pages[0]);
  Wizard->OnSelectNextPage = [&](TObject*, TUiWizardCustomPage*, TUiWizardCustomPage*& to) {
    ++fired;
    to = Pages[3];
  };
  Wizard->SelectNextPage();
  EXPECT_EQ(Wizard->ActivePage(), Pages[3]);
  Wizard->SelectNextPage();
  EXPECT_EQ(fired, 2) << "on the last page there is no target and the event does not fire";
}

// Catches searches that stop on disabled pages or skip more than one no-jump page.
TEST_F(WizardTest, SearchesSkipDisabledAndJumpPages) {
  AddPages(5);
  Load();
  Pages[1]->SetEnableJumpToPage(false);
  Pages[2]->SetEnableJumpToPage(false);
  Wizard->SelectNextPage();
  EXPECT_EQ(Wizard->ActivePage(), Pages[2]) << "one no-jump page is skipped, the second is taken";
  Pages[3]->SetEnabled(false);
  Wizard->SelectNextPage();
  EXPECT_EQ(Wizard->ActivePage(), Pages[4]);
  Wizard->SelectFirstPage();
  EXPECT_EQ(Wizard->ActivePage(), Pages[0]);
  Wizard->SelectLastPage();
  EXPECT_EQ(Wizard->ActivePage(), Pages[4]);
  EXPECT_EQ(Wizard->FindPage(-1, 1, false), Pages[0]);
  EXPECT_EQ(Wizard->FindPage(4, -1, true), Pages[2]);
  EXPECT_EQ(Wizard->FindPage(4, 1, true), nullptr);
  // From a disabled page with a zero step the search would never end: it is refused.
  EXPECT_THROW(Wizard->FindPage(3, 0, true), EAssertionFailed);
}

// Catches a page of another wizard or a disabled page accepted by the ActivePage setter.
TEST_F(WizardTest, SetterIgnoresForeignAndDisabledPages) {
  AddPages(2);
  Load();
  auto* other = new TUiWizard(Form);
  other->SetParent(Form);
  auto* foreign = new TUiWizardInteriorPage(Form);
  foreign->SetWizard(other);
  Wizard->SetActivePage(foreign);
  EXPECT_EQ(Wizard->ActivePage(), Pages[0]);
  Pages[1]->SetEnabled(false);
  Wizard->SetActivePage(Pages[1]);
  EXPECT_EQ(Wizard->ActivePage(), Pages[0]);
  // A handler that substitutes a disabled page of another wizard meets the error.
  foreign->SetEnabled(false);
  Wizard->OnActivePageChanging = [&](TObject*, TUiWizardCustomPage*& to) { to = foreign; };
  Pages[1]->SetEnabled(true);
  try {
    Wizard->SetActivePage(Pages[1]);
    FAIL() << "expected EUiWizardError";
  } catch (const EUiWizardError& e) {
    EXPECT_EQ(e.Message(), "The pages belong to another wizard");
  }
  EXPECT_EQ(Wizard->ActivePage(), Pages[0]) << "the old page stays recorded";
  EXPECT_FALSE(Pages[0]->Visible()) << "but it has already been hidden";
}

// Catches disabling or removing the active page without moving on, or moving the wrong way.
TEST_F(WizardTest, DisablingAndRemovingTheActivePage) {
  AddPages(3);
  Load();
  Wizard->SetActivePage(Pages[1]);
  Log.clear();
  Pages[1]->SetEnabled(false);
  EXPECT_EQ(Wizard->ActivePage(), Pages[2]);
  EXPECT_EQ(std::count(Log.begin(), Log.end(), "exit:P1>P2"), 0) << "a disabled page fires no exit";
  Pages[2]->SetEnabled(false);
  EXPECT_EQ(Wizard->ActivePage(), Pages[0]) << "no enabled page after: the previous one";
  Pages[1]->SetEnabled(true);
  Wizard->SetActivePage(Pages[1]);
  Wizard->RemovePage(Pages[1]);
  EXPECT_EQ(Wizard->ActivePage(), nullptr) << "removal looks forward only, and P2 is disabled";
  EXPECT_EQ(Pages[1]->Wizard(), nullptr);
  EXPECT_EQ(Wizard->Pages().Count(), 2);
  EXPECT_EQ(Pages[2]->PageIndex(), 1);
}

// Catches a bad page index that is not reported with the list's own message.
TEST_F(WizardTest, BadIndexRaisesListError) {
  AddPages(2);
  Load();
  try {
    Wizard->Pages().Items(7);
    FAIL() << "expected EListError";
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (7)");
  }
}

// Catches a change started from OnPage that is lost, or a changed event out of order.
TEST_F(WizardTest, NestedChangeFromOnPageCompletesFirst) {
  AddPages(3);
  Load();
  LogWizardEvents();
  Pages[1]->OnPage = [&](TObject*) {
    Log.push_back("page:P1");
    Wizard->SelectNextPage();
  };
  Log.clear();
  Wizard->SelectNextPage();
  EXPECT_EQ(Wizard->ActivePage(), Pages[2]);
  std::vector<std::string> changed;
  for (auto& s : Log)
    if (s.rfind("changed", 0) == 0) changed.push_back(s);
  EXPECT_EQ(changed, (std::vector<std::string>{"changed=P2", "changed=P2"})) << "inner first, then the outer";
}

// Catches showing a page (the platform's show request) not making it the active page.
TEST_F(WizardTest, ShowingAPageActivatesIt) {
  AddPages(3);
  Load();
  LogWizardEvents();
  Log.clear();
  Pages[2]->Show();
  EXPECT_EQ(Wizard->ActivePage(), Pages[2]);
  EXPECT_EQ(Log.front(), "changing>P2");
  Log.clear();
  Pages[2]->Show();
  EXPECT_TRUE(Log.empty()) << "showing the active page fires nothing";
  Pages[0]->SetVisible(true);
  EXPECT_EQ(Wizard->ActivePage(), Pages[2]) << "Visible alone does not change the active page";
}

// Catches a wizard without pages that selects or fires anything.
TEST_F(WizardTest, EmptyWizardDoesNothing) {
  int fired = 0;
  Wizard->OnSelectFirstPage = [&](TObject*, TUiWizardCustomPage*, TUiWizardCustomPage*&) { ++fired; };
  Wizard->OnActivePageChanged = [&](TObject*) { ++fired; };
  Load();
  Wizard->SelectNextPage();
  Wizard->SelectPriorPage();
  Wizard->SelectLastPage();
  Wizard->SelectFirstPage();
  EXPECT_EQ(fired, 0);
  EXPECT_EQ(Wizard->ActivePage(), nullptr);
}

// Catches setters that refresh on an unchanged value or apply sets of an inactive page.
TEST_F(WizardTest, ButtonSetsOfInactivePagesWaitForActivation) {
  AddPages(2);
  Load();
  Pages[1]->SetVisibleButtons({bkFinish});
  EXPECT_TRUE(Btn(bkNext)->Visible()) << "only recorded while P1 is not active";
  Wizard->SelectNextPage();
  EXPECT_TRUE(Btn(bkFinish)->Visible());
  EXPECT_FALSE(Btn(bkNext)->Visible());
  Pages[1]->SetVisibleButtons(TUiWizardButtonSet{});
  EXPECT_EQ(Wizard->ButtonBarHeight(), 0);
  EXPECT_EQ(Pages[1]->Height(), 570) << "a page without buttons fills the wizard";
  Pages[1]->SetVisibleButtons({bkBack});
  EXPECT_EQ(Wizard->ButtonBarHeight(), 42);
  EXPECT_EQ(Pages[1]->Height(), 528);
}

// Catches set arithmetic on the one-byte button set.
TEST(UiWizardButtonSet, BitLayout) {
  EXPECT_EQ(kUiWizardAllButtons.Byte(), 0x7F);
  EXPECT_EQ((TUiWizardButtonSet{bkBack, bkNext, bkCancel}).Byte(), 0x2C);
  EXPECT_EQ((TUiWizardButtonSet{bkBack, bkCancel}).Byte(), 0x24);
  EXPECT_EQ((TUiWizardButtonSet{bkFinish}).Byte(), 0x10);
  EXPECT_EQ((TUiWizardButtonSet{bkBack, bkFinish}).Byte(), 0x14);
  EXPECT_EQ((TUiWizardButtonSet{bkNext, bkCancel}).Byte(), 0x28);
  EXPECT_EQ((kUiWizardAllButtons - bkBack).Byte(), 0x7B);
}
