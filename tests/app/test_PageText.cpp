// The texts of the real main window against the boxes they are laid out in: every page in
// every display state its handlers give it, once with the bitmap "MS Sans Serif" and once
// with the scalable fallback. A screenshot of each state is kept for a person to look at.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "GlyphRasterizer.h"
#include "ShownMainWindow.h"

namespace {

// The face the fixture lays the window out with, and back to the default afterwards.
class PageTextTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    GlyphRasterizer().SetBitmapFaces(GetParam());
    Window = std::make_unique<TShownMainWindow>();
    F = Window->F;
  }
  void TearDown() override {
    Window.reset();
    GlyphRasterizer().SetBitmapFaces(true);
  }
  std::string Face() const { return GetParam() ? "bitmap" : "fallback"; }
  void Activate(int index) {
    TUiWizardCustomPage* p = F->UiWizard1->Pages().Items(index);
    p->OnPage = nullptr;  // the upgrade page's upload has tests of its own
    F->UiWizard1->SetActivePage(p);
  }
  std::unique_ptr<TShownMainWindow> Window;
  TForm1* F = nullptr;
};

// Where a label's text lies on its page: its lines as the label lays them out in its width,
// their height, and their width (or the box's, for wrapped or centred text).
struct TTextBox {
  TRect Text;
  int32_t Widest = 0;
};

TTextBox LaidOut(TLabel& l) {
  TCanvas measure;
  measure.Font().Assign(&l.Font());
  uint32_t flags = DT_EXPANDTABS | DT_CALCRECT;
  if (l.WordWrap()) flags |= DT_WORDBREAK;
  if (!l.ShowAccelChar()) flags |= DT_NOPREFIX;
  TRect r = Rect(0, 0, l.Width(), 0);
  measure.DrawText(l.Caption(), r, flags);
  TTextBox b;
  b.Widest = r.Width();
  const bool fullWidth = l.WordWrap() || l.Alignment() != taLeftJustify;
  b.Text = Bounds(l.Left(), l.Top(), fullWidth ? std::max(l.Width(), r.Width()) : r.Width(), r.Height());
  return b;
}

// Faults of the page shown now: a label whose text is cut at its right edge or its bottom, or
// runs off the page or over another visible control; a radio item cut at its button's edge.
std::vector<std::string> Faults(TUiWizardCustomPage& page) {
  std::vector<std::string> out;
  std::vector<std::pair<TControl*, TRect>> shown;
  for (int i = 0; i < page.ControlCount(); ++i) {
    TControl* c = page.Controls(i);
    if (!c->Visible()) continue;
    if (auto* l = dynamic_cast<TLabel*>(c)) {
      const TTextBox b = LaidOut(*l);
      if (b.Widest > l->Width())
        out.push_back(l->Name() + ": a line of " + std::to_string(b.Widest) + " px in a box " +
                      std::to_string(l->Width()) + " wide");
      if (b.Text.Height() > l->Height())
        out.push_back(l->Name() + ": " + std::to_string(b.Text.Height()) + " px of lines in a box " +
                      std::to_string(l->Height()) + " high");
      if (b.Text.IsEmpty()) continue;  // an empty caption shows nothing
      if (IntersectRect(b.Text, page.ClientRect()) != b.Text) out.push_back(l->Name() + ": text off the page");
      shown.emplace_back(c, b.Text);
    } else if (!dynamic_cast<TImage*>(c)) {
      shown.emplace_back(c, c->BoundsRect());
    }
    if (auto* g = dynamic_cast<TRadioGroup*>(c)) {
      TCanvas measure;
      measure.Font().Assign(&g->Font());
      for (int k = 0; k < g->ButtonCount(); ++k) {
        // The item's text starts after the 12-px circle and a 5-px gap.
        const int32_t room = g->Buttons(k)->Width() - 17;
        const int32_t w = measure.TextWidth(g->Items()[static_cast<size_t>(k)]);
        if (w > room)
          out.push_back(g->Name() + " item " + std::to_string(k) + ": " + std::to_string(w) + " px in " +
                        std::to_string(room));
      }
    }
  }
  for (size_t a = 0; a < shown.size(); ++a)
    for (size_t b = a + 1; b < shown.size(); ++b) {
      const bool aLabel = dynamic_cast<TLabel*>(shown[a].first) != nullptr;
      const bool bLabel = dynamic_cast<TLabel*>(shown[b].first) != nullptr;
      if ((aLabel || bLabel) && !IntersectRect(shown[a].second, shown[b].second).IsEmpty())
        out.push_back(shown[a].first->Name() + " and " + shown[b].first->Name() + " overlap");
    }
  return out;
}

struct TState {
  const char* Name;
  int Page;
  std::function<void(TForm1&)> Enter;  // run before the page is activated
  std::function<void(TForm1&)> After;  // run once it is active
};

void Greet(TForm1& f, const char* text) { f.tnTelnet1DataIn(&f, text); }

// Catches a text cut at the right edge or the bottom of its label (the installation notice
// cut in its longest line), a radio item running past its button, or a text over
// another control, in any page and display state and with either face.
TEST_P(PageTextTest, EveryTextFitsItsBoxInEveryState) {
  const char* ready = "Welcome to Titanium\r\nLogin: ";
  const char* current = "Welcome to Titanium R2.01M.B06.PK_021206a_T93.3.44";
  auto probeFails = [](TForm1& f) {
    f.Edit1->SetText("");
    f.UiWizardInteriorPage1ExitPage(&f, nullptr);
  };
  const std::vector<TState> states = {
      {"welcome", 0, nullptr, nullptr},
      {"connection", 1, nullptr, nullptr},
      {"connection-custom-address", 1, nullptr, [](TForm1& f) { f.RadioGroup2->SetItemIndex(0); }},
      {"connection-connecting", 1, nullptr,
       [](TForm1& f) {
         f.Label9->SetVisible(false);
         f.Label6->SetVisible(true);
       }},
      {"flashing-lights", 2, nullptr, nullptr},
      {"important-initial", 3, nullptr, nullptr},
      {"important-cannot-detect", 3, probeFails, nullptr},
      {"important-wrong-modem", 3, [](TForm1& f) { Greet(f, "Login: "); }, nullptr},
      {"important-ready", 3, [=](TForm1& f) { Greet(f, ready); }, nullptr},
      {"important-up-to-date", 3, [=](TForm1& f) { Greet(f, current); }, nullptr},
      // Label16 is kept from the up-to-date verdict in these two.
      {"important-ready-after-up-to-date", 3, [=](TForm1& f) { Greet(f, ready); }, nullptr},
      {"important-cannot-detect-after-ready", 3, probeFails, nullptr},
      {"upgrading", 4, nullptr, nullptr},
      {"recovery-complete", 5, nullptr, nullptr},
      {"complete", 6, nullptr, nullptr},
  };
  // Pages are visited in turn; the probe runs only where a state asks for it.
  F->UiWizardInteriorPage1->OnExitPage = nullptr;
  std::filesystem::create_directories(SCREENSHOT_DIR);
  for (const TState& s : states) {
    if (s.Enter) s.Enter(*F);
    Activate(s.Page);
    if (s.After) s.After(*F);
    Pump();
    if (std::string(s.Name).find("after") != std::string::npos) {
      EXPECT_TRUE(F->Label16->Visible()) << s.Name;
    }
    for (const std::string& fault : Faults(*F->UiWizard1->Pages().Items(s.Page)))
      ADD_FAILURE() << Face() << " face, " << s.Name << ": " << fault;
    F->PaintNow(F->ClientRect());
    F->SaveScreenshot(std::string(SCREENSHOT_DIR) + "/text-" + Face() + "-" + s.Name + ".png");
  }
}

INSTANTIATE_TEST_SUITE_P(Faces, PageTextTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Bitmap" : "Fallback"; });

}  // namespace
