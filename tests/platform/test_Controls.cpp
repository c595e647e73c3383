// The standard controls, driven headless through injected input: radio group rules, label
// sizing, edit typing and focus, button key routing, tab order, can-take-focus, the show
// request, and the pixels they leave on the form.
#include <gtest/gtest.h>

#include "Button.h"
#include "Edit.h"
#include "Headless.h"
#include "Input.h"
#include "Label.h"
#include "RadioGroup.h"

namespace {

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureHeadlessApplication();
    Form = new TForm(nullptr);
    Form->SetClientSize(400, 300);
    Form->SetCaption("Controls");
  }
  void TearDown() override {
    delete Form;
    Pump();
  }
  void ShowForm() {
    Form->Show();
    Pump();
  }
  template <class C>
  C* Add(int l, int t, int w, int h, TWinControl* parent = nullptr) {
    C* c = new C(Form);
    c->SetParent(parent ? parent : Form);
    c->SetBounds(l, t, w, h);
    return c;
  }
  TForm* Form = nullptr;
};

// A radio group whose clicks are counted together with the index seen inside the handler.
struct TGroupProbe {
  std::vector<int> IndexAtClick;
  void Bind(TRadioGroup* g) {
    g->OnClick = [this, g](TObject*) { IndexAtClick.push_back(g->ItemIndex()); };
  }
};

}  // namespace

// Catches a group that runs its handler before recording the index, or not at all, when an
// item is checked by code.
TEST_F(ControlsTest, RadioGroupCheckingByCodeRecordsIndexThenRunsHandler) {
  auto* g = Add<TRadioGroup>(10, 10, 200, 73);
  g->SetItems({"One", "Two"});
  TGroupProbe p;
  p.Bind(g);
  g->Buttons(1)->SetChecked(true);
  EXPECT_EQ(p.IndexAtClick, (std::vector<int>{1}));
  g->SetItemIndex(0);
  EXPECT_EQ(p.IndexAtClick, (std::vector<int>{1, 0}));
  EXPECT_TRUE(g->Buttons(0)->Checked());
  EXPECT_FALSE(g->Buttons(1)->Checked()) << "checking one item unchecks the others";
}

// Catches clearing that runs the click handler or leaves a button checked.
TEST_F(ControlsTest, RadioGroupClearingRunsNoHandler) {
  auto* g = Add<TRadioGroup>(10, 10, 200, 73);
  g->SetItems({"One", "Two"});
  g->SetItemIndex(1);
  TGroupProbe p;
  p.Bind(g);
  g->SetItemIndex(-1);
  EXPECT_TRUE(p.IndexAtClick.empty());
  EXPECT_EQ(g->ItemIndex(), -1);
  EXPECT_FALSE(g->Buttons(1)->Checked());
  g->SetItemIndex(0);
  g->Buttons(0)->SetChecked(false);
  EXPECT_EQ(p.IndexAtClick.size(), 1u) << "unchecking by code runs nothing";
}

// Catches a user click that does not check the item, and a click on the checked item that
// runs the handler again.
TEST_F(ControlsTest, RadioGroupUserClicksAndRepeatedClick) {
  auto* g = Add<TRadioGroup>(10, 10, 200, 73);
  g->SetItems({"One", "Two"});
  TGroupProbe p;
  p.Bind(g);
  ShowForm();
  PostClick(*g->Buttons(1));
  Pump();
  EXPECT_EQ(p.IndexAtClick, (std::vector<int>{1}));
  PostClick(*g->Buttons(1));
  Pump();
  EXPECT_EQ(p.IndexAtClick.size(), 1u) << "a click on the checked item runs nothing";
  EXPECT_TRUE(g->Buttons(1)->Focused());
  // Arrow keys move the check within the group.
  PostKey(*Form, VK_UP);
  Pump();
  EXPECT_EQ(g->ItemIndex(), 0);
  EXPECT_EQ(p.IndexAtClick, (std::vector<int>{1, 0}));
}

// Catches a label that does not fit its text, or ignores line breaks and wrapping.
TEST_F(ControlsTest, LabelAutoSizeAndWordWrap) {
  auto* l = Add<TLabel>(10, 10, 10, 10);
  l->SetCaption("Short");
  int32_t w1 = l->Width(), h1 = l->Height();
  l->SetCaption("A considerably longer caption");
  EXPECT_GT(l->Width(), w1);
  EXPECT_EQ(l->Height(), h1);
  l->SetCaption("Line one\r\nLine two");
  EXPECT_GE(l->Height(), 2 * h1 - 2) << "two lines are two line heights";
  auto* wrap = Add<TLabel>(10, 60, 80, 10);
  wrap->SetAutoSize(false);
  wrap->SetWordWrap(true);
  wrap->SetCaption("several words that cannot fit on one line");
  wrap->SetAutoSize(true);
  EXPECT_EQ(wrap->Width(), 80) << "a wrapping label keeps its width";
  EXPECT_GT(wrap->Height(), 2 * h1);
  auto* fixed = Add<TLabel>(10, 150, 50, 20);
  fixed->SetAutoSize(false);
  fixed->SetCaption("a long text in a fixed label");
  EXPECT_EQ(fixed->Width(), 50);
  EXPECT_EQ(fixed->Height(), 20);
}

// Catches a label text that keeps what follows a NUL byte.
TEST_F(ControlsTest, TextEndsAtFirstNul) {
  auto* l = Add<TLabel>(10, 10, 10, 10);
  l->SetCaption(std::string("abc\0def", 7));
  EXPECT_EQ(l->Caption(), "abc");
}

// Catches an edit that loses keystrokes, mishandles Backspace and selection, or the clipboard.
TEST_F(ControlsTest, EditTypingFocusAndClipboard) {
  auto* e = Add<TEdit>(10, 10, 121, 21);
  auto* other = Add<TButton>(10, 50, 75, 25);
  ShowForm();
  PostClick(*e);
  Pump();
  ASSERT_TRUE(e->Focused());
  PostText(*Form, "10.1.1.9");
  PostChar(*Form, '\b');
  PostText(*Form, "7");
  Pump();
  EXPECT_EQ(e->Text(), "10.1.1.7");
  PostKey(*Form, 'A', ssCtrl);
  PostKey(*Form, 'C', ssCtrl);
  PostKey(*Form, VK_END);
  PostKey(*Form, VK_LEFT, ssShift);
  PostKey(*Form, VK_LEFT, ssShift);
  PostText(*Form, "x");
  Pump();
  EXPECT_EQ(e->Text(), "10.1.1x");
  EXPECT_EQ(Display().ClipboardText(), "10.1.1.7");
  PostKey(*Form, 'A', ssCtrl);
  PostKey(*Form, 'V', ssCtrl);
  Pump();
  EXPECT_EQ(e->Text(), "10.1.1.7");
  other->SetFocus();
  EXPECT_FALSE(e->Focused());
}

// Catches Enter and Escape going to the wrong button, or reaching a disabled or hidden one.
TEST_F(ControlsTest, EnterAndEscapeRouteToDefaultAndCancel) {
  auto* e = Add<TEdit>(10, 10, 121, 21);
  auto* ok = Add<TButton>(10, 50, 75, 25);
  auto* cancel = Add<TButton>(100, 50, 75, 25);
  auto* other = Add<TButton>(200, 50, 75, 25);
  ok->SetDefault(true);
  cancel->SetCancel(true);
  cancel->SetModalResult(mrCancel);
  std::vector<std::string> clicks;
  ok->OnClick = [&](TObject*) { clicks.push_back("ok"); };
  cancel->OnClick = [&](TObject*) { clicks.push_back("cancel"); };
  other->OnClick = [&](TObject*) { clicks.push_back("other"); };
  ShowForm();
  e->SetFocus();
  PostKey(*Form, VK_RETURN);
  PostKey(*Form, VK_ESCAPE);
  Pump();
  EXPECT_EQ(clicks, (std::vector<std::string>{"ok", "cancel"}));
  EXPECT_EQ(Form->ModalResult(), mrCancel) << "the button gives the form its modal result";
  clicks.clear();
  other->SetFocus();
  PostKey(*Form, VK_RETURN);
  Pump();
  EXPECT_EQ(clicks, (std::vector<std::string>{"other"})) << "a focused push button takes Enter itself";
  clicks.clear();
  e->SetFocus();
  ok->SetEnabled(false);
  cancel->SetVisible(false);
  PostKey(*Form, VK_RETURN);
  PostKey(*Form, VK_ESCAPE);
  PostKey(*Form, VK_RETURN, ssShift);
  Pump();
  EXPECT_TRUE(clicks.empty()) << "disabled or hidden buttons take no keys";
}

// Catches accelerators that click the wrong control or ignore letter case.
TEST_F(ControlsTest, AltAcceleratorClicksButton) {
  auto* next = Add<TButton>(10, 50, 75, 25);
  next->SetCaption("&Next >");
  auto* both = Add<TButton>(100, 50, 75, 25);
  both->SetCaption("Save && E&xit");
  int n = 0, x = 0;
  next->OnClick = [&](TObject*) { ++n; };
  both->OnClick = [&](TObject*) { ++x; };
  ShowForm();
  PostAltChar(*Form, 'n');
  PostAltChar(*Form, 'X');
  PostAltChar(*Form, 'e');  // "&&" is a literal ampersand, not an accelerator
  Pump();
  EXPECT_EQ(n, 1);
  EXPECT_EQ(x, 1);
}

// Catches a tab order that follows creation instead of TabOrder, or lands on controls that
// cannot take the focus.
TEST_F(ControlsTest, TabOrderSkipsUnfocusableControls) {
  auto* a = Add<TEdit>(10, 10, 50, 21);
  auto* b = Add<TEdit>(10, 40, 50, 21);
  auto* c = Add<TEdit>(10, 70, 50, 21);
  auto* d = Add<TButton>(10, 100, 50, 21);
  c->SetTabOrder(0);  // order is now c, a, b, d
  b->SetVisible(false);
  ShowForm();
  c->SetFocus();
  PostKey(*Form, VK_TAB);
  Pump();
  EXPECT_TRUE(a->Focused());
  PostKey(*Form, VK_TAB);
  Pump();
  EXPECT_TRUE(d->Focused()) << "the hidden edit is skipped";
  PostKey(*Form, VK_TAB);
  Pump();
  EXPECT_TRUE(c->Focused()) << "the order wraps around";
  PostKey(*Form, VK_TAB, ssShift);
  Pump();
  EXPECT_TRUE(d->Focused());
}

// Catches CanFocus that looks only at the control and not at its parents.
TEST_F(ControlsTest, CanFocusNeedsVisibleEnabledParents) {
  auto* panel = Add<TCustomControl>(0, 0, 200, 200);
  auto* e = Add<TEdit>(10, 10, 50, 21, panel);
  ShowForm();
  EXPECT_TRUE(e->CanFocus());
  panel->SetEnabled(false);
  EXPECT_FALSE(e->CanFocus());
  panel->SetEnabled(true);
  panel->SetVisible(false);
  EXPECT_FALSE(e->CanFocus());
  panel->SetVisible(true);
  Form->Hide();
  EXPECT_FALSE(e->CanFocus());
}

namespace {
class TShowRecorder : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<std::string>* Log = nullptr;
  void ShowControl(TControl* c) override {
    Log->push_back("ask:" + c->Name() + (c->Visible() ? ":visible" : ":hidden"));
    TCustomControl::ShowControl(c);
  }
};
}  // namespace

// Catches a show request that makes the control visible before its parent is asked.
TEST_F(ControlsTest, ShowAsksParentFirst) {
  std::vector<std::string> log;
  auto* outer = Add<TShowRecorder>(0, 0, 300, 300);
  outer->Log = &log;
  auto* inner = Add<TShowRecorder>(0, 0, 200, 200, outer);
  inner->Log = &log;
  inner->SetName("inner");
  auto* leaf = Add<TLabel>(1, 1, 10, 10, inner);
  leaf->SetName("leaf");
  leaf->SetVisible(false);
  inner->SetVisible(false);
  leaf->Show();
  EXPECT_EQ(log, (std::vector<std::string>{"ask:leaf:hidden", "ask:inner:hidden"}));
  EXPECT_TRUE(leaf->Visible());
  EXPECT_FALSE(inner->Visible()) << "the base request only forwards upwards";
  leaf->Hide();
  log.clear();
  leaf->SetVisible(true);
  EXPECT_TRUE(log.empty()) << "setting Visible alone asks nobody";
}

// Catches input that reaches disabled or invisible controls.
TEST_F(ControlsTest, InputToDisabledControlsIsDropped) {
  auto* b = Add<TButton>(10, 10, 75, 25);
  int clicks = 0;
  b->OnClick = [&](TObject*) { ++clicks; };
  ShowForm();
  b->SetEnabled(false);
  PostClick(*b);
  Pump();
  EXPECT_EQ(clicks, 0);
  b->SetEnabled(true);
  PostClick(*b);
  Pump();
  EXPECT_EQ(clicks, 1);
}

// Catches a paint that leaves stale pixels, draws hidden controls, or ignores the colours.
TEST_F(ControlsTest, PixelsOfFormAndButton) {
  Form->SetColor(clBtnFace);
  Add<TEdit>(200, 200, 50, 21);  // takes the focus, so the button wears no focus frame
  auto* b = Add<TButton>(100, 100, 75, 25);
  b->SetCaption("OK");
  auto* hidden = Add<TLabel>(10, 10, 50, 20);
  hidden->SetAutoSize(false);
  hidden->SetColor(clRed);
  hidden->SetVisible(false);
  ShowForm();
  const TSurface& s = Form->Surface();
  EXPECT_EQ(s.Pixel(20, 20), ColorToPixel(clBtnFace)) << "hidden label painted";
  EXPECT_EQ(s.Pixel(100, 100), ColorToPixel(clBtnHighlight)) << "button's raised top-left edge";
  EXPECT_EQ(s.Pixel(174, 124), ColorToPixel(cl3DDkShadow)) << "button's bottom-right edge";
  bool ink = false;
  for (int y = 105; y < 120; ++y)
    for (int x = 110; x < 165; ++x)
      if ((s.Pixel(x, y) & 0xFF) < 100) ink = true;  // dark enough to be text on the face
  EXPECT_TRUE(ink) << "the caption is drawn";
  hidden->SetVisible(true);
  Pump();
  EXPECT_EQ(s.Pixel(20, 20), ColorToPixel(clRed));
  b->Hide();
  Pump();
  EXPECT_EQ(s.Pixel(100, 100), ColorToPixel(clBtnFace)) << "a hidden button leaves the form colour";
}

namespace {
// Paints its whole area in one colour, and counts its paints.
class TOpaqueBlock : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  bool IsOpaque() const override { return true; }
  TColor Fill = clRed;
  int Paints = 0;

 protected:
  void Paint(TCanvas& c) override {
    ++Paints;
    c.Brush.Color = Fill;
    c.FillRect(ClientRect());
  }
};
class TCountingPanel : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  int Paints = 0;

 protected:
  void Paint(TCanvas& c) override {
    ++Paints;
    c.Brush.Color = clBtnFace;
    c.FillRect(ClientRect());
  }
};
}  // namespace

// Catches an opaque control's immediate repaint that paints over a control lying above it, or
// that repaints its parents when nothing overlaps it.
TEST_F(ControlsTest, OpaqueRepaintRespectsWhatLiesAbove) {
  auto* panel = Add<TCountingPanel>(0, 0, 300, 200);
  auto* block = Add<TOpaqueBlock>(10, 10, 100, 30, panel);
  ShowForm();
  int panelPaints = panel->Paints;
  block->Fill = clBlue;
  block->Repaint();
  EXPECT_EQ(panel->Paints, panelPaints) << "nothing overlaps: the parent is not painted again";
  EXPECT_EQ(Form->Surface().Pixel(50, 20), ColorToPixel(clBlue));
  auto* above = Add<TOpaqueBlock>(40, 15, 20, 10, panel);
  above->Fill = clLime;
  Pump();
  block->Fill = clRed;
  block->Repaint();
  EXPECT_EQ(Form->Surface().Pixel(45, 20), ColorToPixel(clLime)) << "the control above stays on top";
  EXPECT_EQ(Form->Surface().Pixel(20, 20), ColorToPixel(clRed));
}
