// The segmented gradient progress bar on a headless form: fill arithmetic (the worked 369 x 33
// example, large ranges, empty ranges, clamping), pixels of the gradient, blocks, gaps, border
// rings and text, loading suppression, and how many times it presents itself.
#include <climits>

#include "Headless.h"
#include "SurfaceProbe.h"
#include "UiSpecialProgress.h"

namespace {

uint32_t Px(TColor c) { return ColorToPixel(c); }
uint32_t Rgb(int r, int g, int b) { return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | b; }

// Counts every on-screen presentation the bar asks for.
class TCountingBar : public TUiSpecialProgress {
 public:
  using TUiSpecialProgress::TUiSpecialProgress;
  void Repaint() override {
    ++Repaints;
    TUiSpecialProgress::Repaint();
  }
  int Repaints = 0;
};

class ProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureHeadlessApplication();
    Form = new TForm(nullptr);
    Form->SetClientSize(420, 120);
    Form->SetColor(clWhite);
    Form->Show();
    Pump();
    Bar = new TCountingBar(Form);
    Bar->SetParent(Form);
    Bar->SetBounds(10, 20, 369, 33);
    Bar->SetColor(clSilver);
  }
  void TearDown() override {
    delete Form;
    Pump();
  }
  const TSurface& Pic() const { return Bar->Picture().Surface(); }
  uint32_t At(int x, int y = 16) const { return Pic().Pixel(x, y); }
  // The worked example's look: white to blue blocks with silver gaps.
  void WhiteToBlueBlocks() {
    Bar->SetStartColor(clWhite);
    Bar->SetEndColor(clBlue);
  }

  TForm* Form = nullptr;
  TCountingBar* Bar = nullptr;
};

}  // namespace

// ---- fill arithmetic ----

// Catches a wrong pitch, block count or filled width in the worked 369 x 33 example, and the
// half-block rule applied the wrong way.
TEST_F(ProgressTest, WorkedExampleBlocks) {
  Bar->SetPosition(50);
  EXPECT_EQ(Bar->BlockPitch(), 22);
  EXPECT_EQ(Bar->BlockCount(), 8) << "raw fill 183 is 8 blocks and 7 pixels, under half a block";
  EXPECT_FALSE(Bar->LastBlockPartial());
  EXPECT_EQ(Bar->FilledWidth(), 176);
  Bar->SetPosition(100);
  EXPECT_EQ(Bar->BlockCount(), 17) << "16 whole blocks and a partial one";
  EXPECT_TRUE(Bar->LastBlockPartial());
  EXPECT_EQ(Bar->PartialBlockWidth(), 15);
  EXPECT_EQ(Bar->FilledWidth(), 367);
  Bar->SetSolid(true);
  EXPECT_EQ(Bar->FilledWidth(), 367);
  Bar->SetPosition(50);
  EXPECT_EQ(Bar->FilledWidth(), 183) << "solid: the raw fill itself";
  // Blocks: a remainder past half a block adds a whole block, exactly half does not.
  Bar->SetSolid(false);
  Bar->SetMaximum(367);
  Bar->SetPosition(22 * 3 + 12);
  EXPECT_EQ(Bar->FilledWidth(), 88);
  Bar->SetPosition(22 * 3 + 11);
  EXPECT_EQ(Bar->FilledWidth(), 66);
}

// Catches 32-bit products: a range of tens of millions (a large firmware file) must still
// fill and count correctly.
TEST_F(ProgressTest, LargeRangesFillIn64Bits) {
  Bar->SetSolid(true);
  Bar->SetTextOption(toPercent);
  Bar->SetMaximum(50'000'000);
  Bar->SetPosition(25'000'000);
  EXPECT_EQ(Bar->Percent(), 50);
  EXPECT_EQ(Bar->FilledWidth(), 183);
  Bar->SetPosition(49'999'999);
  EXPECT_EQ(Bar->Percent(), 99);
  EXPECT_EQ(Bar->FilledWidth(), 366);
  Bar->SetPosition(50'000'000);
  EXPECT_EQ(Bar->Percent(), 100);
  EXPECT_EQ(Bar->FilledWidth(), 367);
  // The whole 32-bit range: differences that do not fit 32 bits either.
  Bar->SetMinimum(INT32_MIN);
  Bar->SetMaximum(INT32_MAX);
  Bar->SetPosition(0);
  EXPECT_EQ(Bar->Percent(), 50) << "2^31 x 100 / (2^32 - 1)";
  EXPECT_EQ(Bar->FilledWidth(), 183);
  Bar->SetPosition(INT32_MAX);
  EXPECT_EQ(Bar->Percent(), 100);
  EXPECT_EQ(Bar->FilledWidth(), 367);
}

// Catches values outside the range being kept, a range that can turn inside out, and an
// empty range that divides by zero or resets the fill.
TEST_F(ProgressTest, Clamping) {
  Bar->SetTextOption(toPercent);
  Bar->SetSolid(true);
  Bar->SetPosition(150);
  EXPECT_EQ(Bar->Position(), 100);
  EXPECT_EQ(Bar->Percent(), 100);
  EXPECT_EQ(Bar->FilledWidth(), 367);
  Bar->SetPosition(-5);
  EXPECT_EQ(Bar->Position(), 0);
  EXPECT_EQ(Bar->FilledWidth(), 0);
  Bar->SetPosition(40);
  Bar->SetMaximum(20);
  EXPECT_EQ(Bar->Position(), 20) << "a lower maximum pulls the position down";
  Bar->SetMinimum(30);
  EXPECT_EQ(Bar->Minimum(), 20) << "a minimum above the maximum becomes the maximum";
  EXPECT_EQ(Bar->Position(), 20);
  Bar->SetMinimum(0);
  Bar->SetMaximum(60);
  Bar->SetPosition(60);
  const int32_t before = Bar->FilledWidth();
  Bar->SetMaximum(-10);
  EXPECT_EQ(Bar->Maximum(), 0) << "a maximum below the minimum becomes the minimum";
  EXPECT_EQ(Bar->Position(), 0);
  EXPECT_EQ(Bar->Percent(), 0) << "an empty range divides by nothing";
  EXPECT_EQ(Bar->FilledWidth(), before) << "an empty range keeps the filled width";
}

// ---- pixels ----

// Catches blocks, gaps or the unfilled part in the wrong columns or colours, and a partial
// block that does not end at the border.
TEST_F(ProgressTest, BlocksGapsAndPartialBlockPixels) {
  WhiteToBlueBlocks();
  Bar->SetPosition(50);
  for (int x = 1; x <= 176; ++x) {
    if (x % 22 == 0)
      EXPECT_EQ(At(x), Px(clSilver)) << "gap at x=" << x;
    else
      EXPECT_NE(At(x), Px(clSilver)) << "block at x=" << x;
  }
  for (int x = 177; x <= 367; ++x) EXPECT_EQ(At(x), Px(clSilver)) << "unfilled at x=" << x;
  // One colour per block, from the running colour: block k is k x 22 steps of -255/176 along.
  EXPECT_EQ(At(1), Rgb(255, 255, 255));
  EXPECT_EQ(At(21), Rgb(255, 255, 255));
  EXPECT_EQ(At(23), Rgb(223, 223, 255)) << "255 - 22 x 255 / 176 = 223.1";

  Bar->SetPosition(100);
  for (int x = 22; x <= 352; x += 22) EXPECT_EQ(At(x), Px(clSilver)) << "gap at x=" << x;
  EXPECT_EQ(At(23), Rgb(240, 240, 255)) << "255 - 22 x 255 / 367 = 239.7";
  for (int x = 353; x <= 367; ++x) EXPECT_EQ(At(x), Rgb(10, 10, 255)) << "partial block at x=" << x;
  for (int y = 1; y <= 31; ++y) EXPECT_EQ(At(200, y), At(200, 16)) << "every interior row alike, y=" << y;
}

// Catches gradient columns that are not start + (x - 1) x step rounded half to even, or a
// gradient that spans the bar instead of the filled part.
TEST_F(ProgressTest, SolidGradientColumns) {
  WhiteToBlueBlocks();
  Bar->SetSolid(true);
  Bar->SetPosition(100);
  EXPECT_EQ(At(1), Rgb(255, 255, 255));
  EXPECT_EQ(At(184), Rgb(128, 128, 255)) << "255 x 184 / 367 = 127.8";
  EXPECT_EQ(At(367), Rgb(1, 1, 255)) << "the last column stops one step short of blue";
  Bar->SetPosition(50);
  EXPECT_EQ(At(92), Rgb(128, 128, 255)) << "the gradient compresses into 183 columns";
  EXPECT_EQ(At(183), Rgb(1, 1, 255));
  EXPECT_EQ(At(184), Px(clSilver));

  // Ties: 0.5, 2.5 and 127.5 go to the even neighbour.
  Bar->SetBounds(10, 20, 4, 5);
  Bar->SetStartColor(static_cast<TColor>(RGB(1, 5, 255)));
  Bar->SetEndColor(clBlack);
  Bar->SetPosition(100);
  Form->PaintNow(Form->ClientRect());
  ASSERT_EQ(Bar->FilledWidth(), 2);
  EXPECT_EQ(At(1, 2), Rgb(1, 5, 255));
  EXPECT_EQ(At(2, 2), Rgb(0, 2, 128));
}

// Catches gradient blocks that are painted in one colour, or that skip the gap's step.
TEST_F(ProgressTest, GradientBlocksShadeEveryColumn) {
  WhiteToBlueBlocks();
  Bar->SetGradientBlocks(true);
  Bar->SetPosition(100);
  EXPECT_EQ(At(1), Rgb(255, 255, 255));
  EXPECT_EQ(At(2), Rgb(254, 254, 255)) << "255 - 255 / 367 = 254.3";
  EXPECT_EQ(At(23), Rgb(240, 240, 255)) << "after 22 steps, the gap included";
  EXPECT_EQ(At(184), Rgb(128, 128, 255));
  EXPECT_EQ(At(367), Rgb(1, 1, 255));
  EXPECT_EQ(At(176), Px(clSilver)) << "gaps stay gaps";
}

// Catches rings in the wrong order or colours, and a missing frame in Color without border.
TEST_F(ProgressTest, BorderRings) {
  Bar->SetBorderStyle(bsSingle);
  EXPECT_EQ(At(100, 0), Px(clBtnFace));
  EXPECT_EQ(At(368, 10), Px(clBtnFace));
  EXPECT_EQ(At(100, 1), Px(clBtnShadow)) << "second ring, top";
  EXPECT_EQ(At(1, 10), Px(clBtnShadow)) << "second ring, left";
  EXPECT_EQ(At(100, 31), Px(clBtnHighlight)) << "second ring, bottom";
  EXPECT_EQ(At(367, 10), Px(clBtnHighlight)) << "second ring, right";
  EXPECT_EQ(At(100, 2), Px(cl3DDkShadow)) << "inner ring, top";
  EXPECT_EQ(At(2, 10), Px(cl3DDkShadow)) << "inner ring, left";
  EXPECT_EQ(At(100, 30), Px(clBtnFace)) << "inner ring, bottom";
  EXPECT_EQ(At(366, 10), Px(clBtnFace)) << "inner ring, right";
  Bar->SetBorderStyle(bsNone);
  for (TPoint p : {TPoint{0, 0}, TPoint{100, 0}, TPoint{368, 32}, TPoint{0, 20}, TPoint{368, 5}})
    EXPECT_EQ(At(p.X, p.Y), Px(clSilver)) << "frame in Color at " << p.X << "," << p.Y;
}

// Catches text that is not centred in the bar (or in the filled part), text of the wrong
// option, and a format pattern that reads arguments it does not have.
TEST_F(ProgressTest, TextOptionsAndPlacement) {
  Bar->SetColor(clWhite);
  Bar->SetStartColor(clWhite);
  Bar->SetEndColor(clWhite);
  Bar->SetSolid(true);
  Bar->SetPosition(50);
  const uint32_t white = Px(clWhite);
  EXPECT_TRUE(probe::InkBounds(Pic(), white).IsEmpty()) << "toNoText draws nothing";

  Bar->SetTextOption(toPercent);
  Bar->SetTextCentered(true);
  TRect ink = probe::InkBounds(Pic(), white);
  ASSERT_FALSE(ink.IsEmpty());
  EXPECT_NEAR((ink.Left + ink.Right) / 2.0, 369 / 2.0, 3.0) << probe::Str(ink);
  EXPECT_NEAR((ink.Top + ink.Bottom) / 2.0, 33 / 2.0, 4.0) << probe::Str(ink);

  Bar->SetTextCentered(false);
  ink = probe::InkBounds(Pic(), white);
  EXPECT_NEAR((ink.Left + ink.Right) / 2.0, 183 / 2.0, 3.0) << "centred in the filled part " << probe::Str(ink);

  // The same pattern through toFormat gives the same picture.
  TBitmap percent;
  percent.Assign(&Bar->Picture());
  Bar->SetCaption("%d%%");
  Bar->SetTextOption(toFormat);
  EXPECT_EQ(probe::CountDiffering(Pic(), percent.Surface()), 0);
  Bar->SetCaption("Done");
  Bar->SetTextOption(toCaption);
  EXPECT_GT(probe::CountDiffering(Pic(), percent.Surface()), 0) << "the caption, not the percent";

  Bar->SetCaption("%s");
  try {
    Bar->SetTextOption(toFormat);
    FAIL() << "a %s pattern must be refused";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Format '%s' invalid or incompatible with argument");
  }
}

// Catches drawing on screen when the bar is too small to show anything sensible.
TEST_F(ProgressTest, ClientBelowThreePixelsPaintsNothing) {
  Bar->SetPosition(100);
  Bar->SetBounds(10, 20, 2, 33);
  Form->PaintNow(Form->ClientRect());
  EXPECT_EQ(Form->Surface().Pixel(10, 30), Px(clWhite)) << "the form shows through";
  EXPECT_EQ(Form->Surface().Pixel(11, 30), Px(clWhite));
  Bar->SetBounds(10, 20, 50, 2);
  Form->PaintNow(Form->ClientRect());
  EXPECT_EQ(Form->Surface().Pixel(30, 20), Px(clWhite));
}

// ---- redraws ----

// Catches redraws for changes that alter nothing on screen, and missing ones for changes
// that do.
TEST_F(ProgressTest, RedrawsOnlyWhenThePictureChanges) {
  Bar->SetBounds(10, 20, 52, 20);  // 50 interior columns: half a column per percent
  Bar->SetSolid(true);
  Bar->SetTextOption(toNoText);
  Bar->Repaints = 0;
  Bar->SetPosition(1);
  EXPECT_EQ(Bar->Repaints, 0) << "width 0.5 -> 0 and no text: nothing moved";
  Bar->SetPosition(2);
  EXPECT_EQ(Bar->Repaints, 1) << "the width moved to 1";
  Bar->SetPosition(3);
  EXPECT_EQ(Bar->Repaints, 1) << "width stays 1, percent not shown";
  Bar->SetTextOption(toPercent);
  Bar->Repaints = 0;
  Bar->SetPosition(4);
  Bar->SetPosition(5);
  EXPECT_EQ(Bar->FilledWidth(), 2);
  EXPECT_EQ(Bar->Repaints, 2) << "4 % moved the width; 5 % only the text, which still redraws";
  Bar->SetPosition(5);
  Bar->SetGradientBlocks(true);  // no effect in solid mode
  Bar->SetCaption("ignored by toPercent");
  EXPECT_EQ(Bar->Repaints, 2);
  Bar->SetTextOption(toNoText);
  Bar->Repaints = 0;
  Bar->SetTextCentered(true);
  EXPECT_EQ(Bar->Repaints, 0) << "centring no text changes nothing";
  Bar->SetColor(clRed);
  EXPECT_EQ(Bar->Repaints, 1);
}

// Catches a redraw that waits for the message loop instead of presenting at once.
TEST_F(ProgressTest, RedrawReachesTheFormWithoutTheLoop) {
  WhiteToBlueBlocks();
  Bar->SetSolid(true);
  Form->PaintNow(Form->ClientRect());
  EXPECT_EQ(Form->Surface().Pixel(10 + 300, 20 + 16), Px(clSilver));
  Bar->SetPosition(100);
  EXPECT_EQ(Form->Surface().Pixel(10 + 300, 20 + 16), At(300)) << "presented before any message ran";
  EXPECT_NE(At(300), Px(clSilver));
}

// Catches drawing while the window description loads, and more than one drawing at its end.
TEST_F(ProgressTest, LoadingSuppressesFillAndRedraw) {
  auto* owner = new TForm(nullptr);
  owner->SetClientSize(400, 60);
  owner->BeginLoading();
  auto* bar = new TCountingBar(owner);
  bar->SetParent(owner);
  bar->SetBounds(0, 0, 369, 33);
  bar->SetSolid(true);
  bar->SetPosition(50);
  bar->SetTextOption(toPercent);
  EXPECT_EQ(bar->Repaints, 0);
  EXPECT_EQ(bar->FilledWidth(), 0) << "no fill computed while loading";
  owner->EndLoading();
  EXPECT_EQ(bar->FilledWidth(), 183);
  EXPECT_EQ(bar->Repaints, 1);
  EXPECT_EQ(bar->Picture().Width(), 369);
  delete owner;
}

// Catches a bar that does not follow a resize when the platform paints it, and a stale filled
// width from a wider bar drawn past a narrower bar's interior.
TEST_F(ProgressTest, PaintAfterResizeRedrawsAtTheNewSize) {
  Bar->SetSolid(true);
  Bar->SetPosition(100);
  Bar->SetBounds(10, 20, 200, 20);
  Form->PaintNow(Form->ClientRect());
  EXPECT_EQ(Pic().Width(), 200);
  EXPECT_EQ(Pic().Height(), 20);
  EXPECT_EQ(Bar->FilledWidth(), 198);
  EXPECT_EQ(Form->Surface().Pixel(10 + 198, 20 + 10), At(198, 10));
  Bar->SetMaximum(0);  // the filled width now keeps 198
  Bar->SetBounds(10, 20, 40, 10);
  Form->PaintNow(Form->ClientRect());
  EXPECT_EQ(Pic().Width(), 40);
  EXPECT_EQ(Form->Surface().Pixel(50, 25), Px(clWhite)) << "nothing drawn right of the bar";
}
