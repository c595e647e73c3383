// The application object: title rule, the standard error report and its full-stop rule, the
// loop going on after a failing handler, modal boxes answered headless, termination by the
// main form's title-bar close, and shell execute of a program by name.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Display.h"
#include "Headless.h"
#include "MessageForm.h"

// Catches a title that keeps the directory or extension, or changes the first letter's case.
TEST(Application, TitleFromProgramFileName) {
  EXPECT_EQ(TApplication::TitleFromFileName("/opt/wizard/PROJECT1.EXE"), "Project1");
  EXPECT_EQ(TApplication::TitleFromFileName("C:\\Tools\\upgrade.wizard.exe"), "upgrade");
  EXPECT_EQ(TApplication::TitleFromFileName("project1"), "project1");
  EXPECT_EQ(TApplication::TitleFromFileName("/bin/Xy"), "Xy");
  EXPECT_EQ(TApplication::TitleFromFileName(""), "");
}

// Catches a full stop added where the last character sorts before or at '.', or missing after.
TEST(Application, ErrorReportFullStopRule) {
  EXPECT_EQ(TApplication::ErrorReportText("File not found"), "File not found.");
  EXPECT_EQ(TApplication::ErrorReportText("Done."), "Done.");
  EXPECT_EQ(TApplication::ErrorReportText("What!"), "What!") << "'!' sorts before '.'";
  EXPECT_EQ(TApplication::ErrorReportText("Line\r\n"), "Line\r\n");
  EXPECT_EQ(TApplication::ErrorReportText("count 9"), "count 9.") << "'9' sorts after '.'";
  EXPECT_EQ(TApplication::ErrorReportText(""), "");
}

// Catches a loop that dies on a failing handler instead of reporting it and going on.
TEST(Application, LoopReportsExceptionAndContinues) {
  EnsureHeadlessApplication();
  DropQuit();
  std::vector<TMessageBoxRecord> boxes;
  Application->OnMessageBox = [&](const TMessageBoxRecord& r) {
    boxes.push_back(r);
    return IDOK;
  };
  int after = 0;
  HWND h = AllocateHWnd([&](HWND, uint32_t m, WPARAM, LPARAM) -> LRESULT {
    if (m == WM_USER) throw EInOutError(2, "File not found");
    if (m == WM_USER + 1) ++after;
    return 0;
  });
  PostMessage(h, WM_USER, 0, 0);
  PostMessage(h, WM_USER + 1, 0, 0);
  Application->ProcessMessages();
  DeallocateHWnd(h);
  Application->OnMessageBox = nullptr;
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text, "File not found.");
  EXPECT_EQ(boxes[0].Caption, Application->Title());
  EXPECT_EQ(after, 1) << "the next message is still dispatched";
}

// Catches a message box that cannot be answered without a screen, or loses its texts.
TEST(Application, ModalBoxAnsweredHeadless) {
  EnsureHeadlessApplication();
  std::string seenText, seenCaption;
  Application->OnMessageBox = [&](const TMessageBoxRecord& r) {
    seenText = r.Text;
    seenCaption = r.Caption;
    return IDOK;
  };
  int r = Application->MessageBox(std::string("Press Ok\0hidden", 15), "Title");
  Application->OnMessageBox = nullptr;
  EXPECT_EQ(r, IDOK);
  EXPECT_EQ(seenText, "Press Ok") << "a text handed to a box ends at its first NUL";
  EXPECT_EQ(seenCaption, "Title");
  EXPECT_EQ(Application->MessageBox("Unanswered", "T"), IDOK) << "headless boxes answer OK by themselves";
}

// Catches a title-bar close of the main form that does not end the application.
TEST(Application, ClosingMainFormTerminates) {
  EnsureHeadlessApplication();
  DropQuit();
  TApplication app;
  TCustomForm* saved = Application->MainForm();
  TApplication* global = Application;
  Application = &app;
  TForm* f = app.CreateForm<TForm>();
  f->SetClientSize(100, 100);
  f->Show();
  bool closing = false;
  f->OnClose = [&](TObject*, TCloseAction&) { closing = true; };
  PostMessage(f->Handle(), WM_CLOSE, 0, 0);
  uint32_t t0 = GetTickCount();
  while (!app.Terminated() && GetTickCount() - t0 < 3000) app.HandleMessage();
  EXPECT_TRUE(closing);
  EXPECT_TRUE(app.Terminated());
  EXPECT_FALSE(f->Visible());
  Application = global;
  Application->SetMainForm(saved);
  DropQuit();
}

namespace {
// A display whose windows record what the program asks of them: sizes, owners, placement.
struct TSizeRecordingDisplay : TDisplay {
  struct TWindow : TNativeWindow {
    explicit TWindow(std::vector<TSize>& asked) : Asked(asked) {}
    void SetTitle(const std::string&) override {}
    void SetIcon(const TSurface&) override {}
    void SetClientSize(int32_t w, int32_t h) override { Asked.push_back(TSize{w, h}); }
    void SetDialogOwner(TNativeWindow& owner) override { Owner = &owner; }
    void Show(bool centre) override { Centred.push_back(centre); }
    void Hide() override {}
    void Present(const TSurface&, const TRect&) override {}
    std::vector<TSize>& Asked;
    TNativeWindow* Owner = nullptr;
    std::vector<bool> Centred;
  };
  std::unique_ptr<TNativeWindow> CreateNativeWindow(HWND, int32_t, int32_t, const std::string&) override {
    auto w = std::make_unique<TWindow>(Asked);
    Windows.push_back(w.get());
    return w;
  }
  TSize ScreenSize() const override { return TSize{1024, 768}; }
  void SetClipboardText(const std::string&) override {}
  std::string ClipboardText() override { return ""; }
  bool IsHeadless() const override { return true; }
  std::vector<TSize> Asked;
  std::vector<TWindow*> Windows;  // in creation order; owned by their forms
};
}  // namespace

// Catches a form that ignores the user's resize, or sends it back to the window: with two
// resizes queued, the older one sent back would shrink the window again (and, under a window
// manager, raise its minimum size).
TEST(FormSize, FollowsTheUsersResizeWithoutSendingItBack) {
  auto owned = std::make_unique<TSizeRecordingDisplay>();
  TSizeRecordingDisplay& display = *owned;
  SetDisplay(std::move(owned));
  {
    TForm f(nullptr);
    f.SetClientSize(534, 570);
    f.Show();
    display.Asked.clear();
    PostMessage(f.Handle(), WM_SIZE, 0, MakeLParam(600, 620));
    PostMessage(f.Handle(), WM_SIZE, 0, MakeLParam(700, 660));
    TMsg m;
    while (PeekMessage(m)) DispatchMessage(m);
    EXPECT_EQ(f.ClientRect(), Rect(0, 0, 700, 660));
    EXPECT_EQ(f.Surface().Width(), 700);
    EXPECT_TRUE(display.Asked.empty()) << "the window already has the size";
    f.SetClientSize(640, 480);
    ASSERT_EQ(display.Asked.size(), 1u) << "a resize by the program still goes to the window";
    EXPECT_EQ(display.Asked[0].cx, 640);
  }
  SetDisplay(CreateHeadlessDisplay());
}

// Catches a message box shown as an ordinary window (not a dialog of the form it interrupts,
// so a window manager neither keeps it above that form nor centres it there), a box that
// Return or Escape does not close, and a box made the dialog of a form that is not on screen
// (the start-up error comes before the main form is shown).
TEST(MessageForm, ModalBoxIsADialogOfTheMainFormClosedByReturnOrEscape) {
  auto owned = std::make_unique<TSizeRecordingDisplay>();
  TSizeRecordingDisplay& display = *owned;
  SetDisplay(std::move(owned));
  {
    TScopedApplication app;
    TForm* main = Application->CreateForm<TForm>();
    main->SetClientSize(534, 570);
    {
      TMessageForm early("Before the main form is shown", "Title", MB_OK | MB_ICONERROR);
      PostMessage(early.Handle(), WM_KEYDOWN, VK_RETURN, 0);
      EXPECT_EQ(early.ShowModal(), mrOk);
      EXPECT_EQ(display.Windows.back()->Owner, nullptr) << "a hidden form cannot own a dialog";
    }
    main->Show();
    auto* mainWindow = display.Windows.back();
    for (uint16_t key : {VK_RETURN, VK_ESCAPE}) {
      TMessageForm box("There was a problem", "Title", MB_OK);
      PostMessage(box.Handle(), WM_KEYDOWN, key, 0);
      EXPECT_EQ(box.ShowModal(), mrOk) << "key " << key;
      EXPECT_FALSE(box.Visible());
      ASSERT_NE(display.Windows.back(), mainWindow) << "the box has a window of its own";
      EXPECT_EQ(display.Windows.back()->Owner, mainWindow) << "key " << key;
      EXPECT_EQ(display.Windows.back()->Centred, std::vector<bool>{true});
    }
  }
  SetDisplay(CreateHeadlessDisplay());
}

// Catches the error icon missing, drawn where the text is, or unrecognisable (a red disc with
// a white cross), and a box without the error flag that still leaves room for one.
TEST(MessageForm, ErrorFlagPutsTheIconLeftOfTheText) {
  EnsureHeadlessApplication();
  TMessageForm error("File not found.", "Project1", MB_OK | MB_ICONERROR);
  ASSERT_NE(error.Icon(), nullptr);
  const TRect icon = error.Icon()->BoundsRect();
  const TRect text = error.Text()->BoundsRect();
  EXPECT_EQ(icon.Width(), 32);
  EXPECT_GE(text.Left, icon.Right + 8) << "text beside the icon, not over it";
  EXPECT_NEAR((text.Top + text.Bottom) / 2, (icon.Top + icon.Bottom) / 2, 1) << "one line centred on the icon";
  EXPECT_GE(error.Ok()->Top(), icon.Bottom) << "the button below the icon";
  error.Show();
  error.PaintNow(error.ClientRect());
  auto px = [&](int x, int y) { return error.Surface().Row(icon.Top + y)[icon.Left + x] & 0xFFFFFF; };
  EXPECT_EQ(px(16, 16), 0xFFFFFFu) << "the cross's centre";
  EXPECT_EQ(px(11, 11), 0xFFFFFFu) << "the cross's arm";
  EXPECT_EQ(px(16, 5), 0xD42020u) << "the disc above the cross";
  EXPECT_EQ(px(5, 16), 0xD42020u) << "the disc left of the cross";
  EXPECT_EQ(px(0, 0), ColorToPixel(clBtnFace)) << "the corner outside the disc";

  TMessageForm plain("File not found.", "Project1", MB_OK | MB_ICONINFORMATION);
  EXPECT_EQ(plain.Icon(), nullptr);
  EXPECT_EQ(plain.Text()->Left(), icon.Left) << "no room kept for an icon";
  EXPECT_LT(plain.Height(), error.Height()) << "one line of text is lower than the icon";
}
