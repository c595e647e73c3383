// The real main window, driven headless with clicks and keys: the start state, the seven pages
// as screenshots and pixels, the button bar per page, the connection choice and its address,
// the roads between pages that need no network, and the ways out.
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "Input.h"
#include "ShownMainWindow.h"
#include "UiGIF.h"

namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Window = std::make_unique<TShownMainWindow>();
    F = Window->F;
  }
  void TearDown() override { Window.reset(); }
  int Page() const { return F->UiWizard1->ActivePageIndex(); }
  TUiWizardButtonControl* Btn(TUiWizardButtonKind k) { return F->UiWizard1->Button(k).Control(); }
  void Click(TControl* c) {
    PostClick(*c);
    Pump();
  }
  void ClickButton(TUiWizardButtonKind k) { Click(Btn(k)); }
  // Visible buttons of the bar, as a set.
  TUiWizardButtonSet ShownButtons() {
    TUiWizardButtonSet s;
    for (int k = 0; k < kUiWizardButtonKindCount; ++k) {
      auto kind = static_cast<TUiWizardButtonKind>(k);
      if (Btn(kind)->Visible() && Btn(kind)->Height() > 0) s = s + kind;
    }
    return s;
  }
  bool NoneSelected() {
    for (TRadioGroup* g : {F->RadioGroup1, F->RadioGroup2, F->RadioGroup3}) {
      if (g->ItemIndex() != -1) return false;
      for (int i = 0; i < g->ButtonCount(); ++i)
        if (g->Buttons(i)->Checked()) return false;
    }
    return true;
  }
  std::unique_ptr<TShownMainWindow> Window;
  TForm1* F = nullptr;
};

}  // namespace

// Catches a start on any page but the welcome page, extra buttons, a preselected choice or a
// wrong initial address.
TEST_F(MainWindowTest, StartState) {
  EXPECT_EQ(Page(), 0);
  EXPECT_EQ(ShownButtons(), (TUiWizardButtonSet{bkNext, bkCancel}));
  EXPECT_TRUE(Btn(bkNext)->Enabled());
  EXPECT_TRUE(NoneSelected());
  EXPECT_EQ(F->Edit1->Text(), "10.1.1.1");
  EXPECT_FALSE(F->Edit1->Visible());
  EXPECT_TRUE(F->Label5->Visible());
  EXPECT_EQ(F->Label5->Caption(), "");
  for (TLabel* l : {F->Label11, F->Label12, F->Label16, F->Label17, F->Label18})
    EXPECT_FALSE(l->Visible()) << l->Name();
  EXPECT_EQ(F->Caption(), "Pelko Norvane Firmware Upgrade Software");
  EXPECT_EQ(F->ClientRect(), Rect(0, 0, 534, 570));
  EXPECT_EQ(F->UiWizard1->BoundsRect(), Rect(0, 0, 534, 570));
  EXPECT_EQ(F->UiWizard1->Pages().Count(), 7);
  EXPECT_FALSE(F->UiWizard1->ShowRouteMap());
  EXPECT_EQ(F->UiWizard1->ButtonCancel().ModalResult(), mrCancel);
}

// Catches a window without an icon, or with a blank one; the icon is kept beside the
// screenshots for a person to look at.
TEST_F(MainWindowTest, WindowHasTheProgramIcon) {
  const TBitmap* icon = F->Icon();
  ASSERT_NE(icon, nullptr);
  ASSERT_EQ(icon->Width(), 32);
  ASSERT_EQ(icon->Height(), 32);
  std::set<uint32_t> colours;
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 32; ++x) colours.insert(icon->Surface().Pixel(x, y));
  EXPECT_GT(colours.size(), 8u) << "a picture, not a plain square";
  std::filesystem::create_directories(SCREENSHOT_DIR);
  icon->Surface().SavePng(std::string(SCREENSHOT_DIR) + "/icon.png");
}

// Catches a welcome text with a line too few or too many, which moves its last line.
TEST_F(MainWindowTest, WelcomeTextHasSixteenLines) {
  std::vector<std::string> lines;
  const std::string& t = F->UiLabel3->Caption();
  for (size_t from = 0;;) {
    size_t at = t.find("\r\n", from);
    lines.push_back(t.substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (at == std::string::npos) break;
    from = at + 2;
  }
  ASSERT_EQ(lines.size(), 16u);
  EXPECT_EQ(lines[7], "software on any incompatible modems.");
  for (size_t i = 8; i < 15; ++i) EXPECT_EQ(lines[i], "") << "line " << i + 1;
  EXPECT_EQ(lines[15], "Please press 'Next' to continue.");
}

// Catches pages, headers or controls missing from the window; the screenshots are kept in
// the build tree for a person to look at.
TEST_F(MainWindowTest, ScreenshotOfEveryPage) {
  std::filesystem::create_directories(SCREENSHOT_DIR);
  const char* titles[] = {"Welcome",          "Select your connection", "Flashing modem lights",
                          "Important",        "Performing Upgrade",     "Upgrade Complete",
                          "Upgrade Complete."};
  for (int i = 0; i < 7; ++i) {
    TUiWizardCustomPage* p = F->UiWizard1->Pages().Items(i);
    // Activation by code, without the handlers that a click would run.
    p->OnPage = nullptr;
    F->UiWizard1->SetActivePage(p);
    Pump();
    EXPECT_EQ(Page(), i);
    EXPECT_EQ(p->Title().Text(), titles[i]);
    std::string file = std::string(SCREENSHOT_DIR) + "/page" + std::to_string(i) + ".png";
    F->SaveScreenshot(file);
    ASSERT_TRUE(std::filesystem::exists(file)) << file;
    EXPECT_GT(std::filesystem::file_size(file), 1000u) << file;
    const TSurface& s = F->Surface();
    if (i == 0) {
      EXPECT_EQ(s.Pixel(0, 300), ColorToPixel(clWindow));
      EXPECT_EQ(s.Pixel(80, 300), ColorToPixel(clActiveCaption)) << "the welcome page's strip";
      EXPECT_EQ(s.Pixel(163, 300), ColorToPixel(clWindow));
    } else {
      EXPECT_EQ(s.Pixel(200, 68), ColorToPixel(clBtnShadow)) << "header divider, page " << i;
      EXPECT_EQ(s.Pixel(200, 69), ColorToPixel(clBtnHighlight));
    }
    if (i == 4) {
      EXPECT_EQ(ShownButtons(), TUiWizardButtonSet{});
      EXPECT_EQ(p->Height(), 570) << "the upgrade page fills the wizard";
      EXPECT_NE(s.Pixel(200, 528), ColorToPixel(clBtnShadow)) << "no bar divider";
    } else {
      EXPECT_EQ(s.Pixel(200, 528), ColorToPixel(clBtnShadow)) << "bar divider, page " << i;
      EXPECT_EQ(s.Pixel(200, 529), ColorToPixel(clBtnHighlight));
    }
  }
}

// Catches a button bar that does not follow each page's sets.
TEST_F(MainWindowTest, ButtonsPerPage) {
  const TUiWizardButtonSet expected[] = {{bkNext, bkCancel},
                                         {bkBack, bkNext, bkCancel},
                                         {bkBack, bkNext, bkCancel},
                                         {bkBack, bkNext, bkCancel},
                                         {},
                                         {bkBack, bkFinish},
                                         {bkFinish}};
  F->UiWizardInteriorPage1->OnExitPage = nullptr;  // the probe has tests of its own, with a modem
  for (int i = 0; i < 7; ++i) {
    TUiWizardCustomPage* p = F->UiWizard1->Pages().Items(i);
    p->OnPage = nullptr;
    F->UiWizard1->SetActivePage(p);
    EXPECT_EQ(ShownButtons(), expected[i]) << "page " << i;
  }
  F->UiWizard1->SetActivePage(F->UiWizardInteriorPage1);
  EXPECT_EQ(Btn(bkBack)->BoundsRect(), Bounds(289, 538, 75, 25));
  EXPECT_EQ(Btn(bkNext)->BoundsRect(), Bounds(366, 538, 75, 25));
  EXPECT_EQ(Btn(bkCancel)->BoundsRect(), Bounds(451, 538, 75, 25));
  F->UiWizard1->SetActivePage(F->UiWizardInteriorPage6);
  EXPECT_EQ(Btn(bkFinish)->BoundsRect(), Bounds(451, 538, 75, 25));
  EXPECT_EQ(Btn(bkBack)->BoundsRect(), Bounds(375, 538, 75, 25));
}

// Catches a Next from the welcome page that keeps earlier choices.
TEST_F(MainWindowTest, WelcomeNextClearsTheChoices) {
  F->RadioGroup1->SetItemIndex(1);
  ClickButton(bkNext);
  EXPECT_EQ(Page(), 1);
  EXPECT_TRUE(NoneSelected());
  EXPECT_TRUE(F->Label9->Visible());
  EXPECT_FALSE(F->Label6->Visible());
}

// Catches a choice that sets the wrong address, visibility, focus or recovery mode.
TEST_F(MainWindowTest, EachChoiceSetsAddressAndRecoveryMode) {
  ClickButton(bkNext);
  Click(F->RadioGroup3->Buttons(0));
  EXPECT_TRUE(F->RecoveryMode());
  EXPECT_EQ(F->Edit1->Text(), "192.168.1.1");
  EXPECT_FALSE(F->Edit1->Visible());
  Click(F->RadioGroup1->Buttons(0));
  EXPECT_FALSE(F->RecoveryMode());
  EXPECT_EQ(F->Edit1->Text(), "10.1.1.1");
  EXPECT_EQ(F->RadioGroup3->ItemIndex(), -1);
  Click(F->RadioGroup1->Buttons(1));
  EXPECT_EQ(F->Edit1->Text(), "10.1.1.2");
  EXPECT_FALSE(F->Edit1->Visible());
  Click(F->RadioGroup2->Buttons(0));
  EXPECT_EQ(F->Edit1->Text(), "");
  EXPECT_TRUE(F->Edit1->Visible());
  EXPECT_TRUE(F->Edit1->Focused());
  EXPECT_EQ(F->RadioGroup1->ItemIndex(), -1);
  PostText(*F, "127.0.0.9");
  Pump();
  EXPECT_EQ(F->Edit1->Text(), "127.0.0.9");
  Click(F->RadioGroup2->Buttons(0));
  EXPECT_EQ(F->Edit1->Text(), "127.0.0.9") << "a second click on the checked item changes nothing";
  Click(F->RadioGroup3->Buttons(0));
  EXPECT_EQ(F->Edit1->Text(), "192.168.1.1");
  EXPECT_FALSE(F->Edit1->Visible());
  EXPECT_TRUE(F->RecoveryMode());
}

// Catches Back from the connection page going anywhere but the welcome page.
TEST_F(MainWindowTest, BackFromConnectionPageReturnsToWelcome) {
  ClickButton(bkNext);
  Click(F->RadioGroup3->Buttons(0));  // recovery: leaving the page probes nothing
  ClickButton(bkBack);
  EXPECT_EQ(Page(), 0);
  ClickButton(bkNext);
  EXPECT_EQ(Page(), 1);
  EXPECT_TRUE(NoneSelected());
}

// Catches the recovery road not reaching the flashing-lights page, and Back from there not
// landing on a cleared connection page.
TEST_F(MainWindowTest, RecoveryRoadAndBack) {
  ClickButton(bkNext);
  Click(F->RadioGroup3->Buttons(0));
  ClickButton(bkNext);
  EXPECT_EQ(Page(), 2);
  ClickButton(bkBack);
  EXPECT_EQ(Page(), 1);
  EXPECT_TRUE(NoneSelected());
  EXPECT_EQ(F->Edit1->Text(), "192.168.1.1") << "clearing does not touch the address";
}

// Catches Back on the verdict page that does not select recovery and return to page 1.
TEST_F(MainWindowTest, BackOnImportantPageSelectsRecoveryAndReturns) {
  F->UiWizard1->SetActivePage(F->UiWizardInteriorPage4);
  F->Label12->Show();
  F->Label11->Show();
  F->UiWizardInteriorPage4->SetVisibleButtons({bkBack, bkCancel});
  ClickButton(bkBack);
  EXPECT_EQ(Page(), 1);
  EXPECT_TRUE(NoneSelected());
  EXPECT_EQ(F->Edit1->Text(), "192.168.1.1");
  EXPECT_FALSE(F->Edit1->Visible());
  EXPECT_FALSE(F->Label11->Visible());
  EXPECT_FALSE(F->Label12->Visible());
  EXPECT_EQ(F->UiWizardInteriorPage4->VisibleButtons(), (TUiWizardButtonSet{bkBack, bkNext, bkCancel}));
}

// Catches Cancel, Escape or the title-bar close not ending the program.
TEST_F(MainWindowTest, CancelEscapeAndCloseEndTheProgram) {
  ClickButton(bkCancel);
  EXPECT_TRUE(Application->Terminated());
}

TEST_F(MainWindowTest, EscapeClicksCancel) {
  PostKey(*F, VK_ESCAPE);
  Pump();
  EXPECT_TRUE(Application->Terminated());
}

TEST_F(MainWindowTest, TitleBarCloseEndsTheProgram) {
  PostMessage(F->Handle(), WM_CLOSE, 0, 0);
  Pump();
  EXPECT_TRUE(Application->Terminated());
}

// Catches Enter and Alt+N not reaching the Next button.
TEST_F(MainWindowTest, EnterAndAltNClickNext) {
  PostKey(*F, VK_RETURN);
  Pump();
  EXPECT_EQ(Page(), 1);
  Click(F->RadioGroup3->Buttons(0));
  PostAltChar(*F, 'n');
  Pump();
  EXPECT_EQ(Page(), 2);
  EXPECT_FALSE(Application->Terminated());
}

// Catches a page without its logo, a logo drawn elsewhere than (448, 16), or one that is not
// the embedded 65 x 33 picture.
TEST_F(MainWindowTest, EveryPageShowsTheLogo) {
  TImage* logos[] = {F->Image2, F->Image1, F->Image3, F->Image4, F->Image5, F->Image6, F->Image7};
  for (int i = 0; i < 7; ++i) {
    TUiWizardCustomPage* p = F->UiWizard1->Pages().Items(i);
    p->OnPage = nullptr;
    F->UiWizard1->SetActivePage(p);
    F->PaintNow(F->ClientRect());
    auto* gif = dynamic_cast<TUiGIFImage*>(logos[i]->Picture().Graphic());
    ASSERT_NE(gif, nullptr) << "page " << i;
    ASSERT_EQ(gif->Width(), 65);
    ASSERT_EQ(gif->Height(), 33);
    const TDIBitmap& dib = gif->Frames(0).Bitmap();
    const TSurface& s = F->Surface();
    int wrong = 0;
    std::set<uint32_t> colours;
    for (int y = 0; y < 33; ++y)
      for (int x = 0; x < 65; ++x) {
        wrong += s.Pixel(448 + x, 16 + y) != dib.PixelOf(x, y);
        colours.insert(s.Pixel(448 + x, 16 + y));
      }
    EXPECT_EQ(wrong, 0) << "logo pixels off on page " << i;
    EXPECT_GT(colours.size(), 100u) << "a real picture, not a plain fill, on page " << i;
  }
}

// Catches the progress bar missing from the upgrade page, misplaced, out of creation order, or
// not drawn with its settings (10 % of a white-to-blue solid fill in a sunken frame).
TEST_F(MainWindowTest, UpgradePageProgressBar) {
  TUiSpecialProgress* bar = F->ProgressBar;
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->Parent(), F->UiWizardInteriorPage2);
  EXPECT_EQ(bar->BoundsRect(), Bounds(80, 280, 369, 33));
  int label2 = -1, self = -1, uiLabel2 = -1;
  for (int i = 0; i < F->ComponentCount(); ++i) {
    if (F->Components(i) == F->Label2) label2 = i;
    if (F->Components(i) == bar) self = i;
    if (F->Components(i) == F->UiLabel2) uiLabel2 = i;
  }
  EXPECT_EQ(self, label2 + 1);
  EXPECT_EQ(uiLabel2, self + 1);
  EXPECT_EQ(bar->Position(), 10);
  EXPECT_EQ(bar->Maximum(), 100);
  EXPECT_EQ(bar->TextOption(), toPercent);

  F->UiWizardInteriorPage2->OnPage = nullptr;
  F->UiWizard1->SetActivePage(F->UiWizardInteriorPage2);
  F->PaintNow(F->ClientRect());
  const TPoint o = bar->FormOrigin();
  const TSurface& s = F->Surface();
  EXPECT_EQ(s.Pixel(o.X + 100, o.Y + 1), ColorToPixel(clBtnShadow)) << "sunken frame";
  EXPECT_EQ(s.Pixel(o.X + 10, o.Y + 16), 0xBFBFFFu) << "column 10 of a 36-column fill: 255 - 9 x 255 / 36";
  EXPECT_EQ(s.Pixel(o.X + 100, o.Y + 16), ColorToPixel(clBtnFace)) << "the unfilled part in the page's colour";
}
