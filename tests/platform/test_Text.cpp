// Text on the canvas, asserted on pixels: extents, TextOut with and without a background,
// and DrawText's wrapping, line breaks, alignment, clipping, accelerators and measuring.
// Layouts are checked against the same words drawn by TextOut at the expected places, so the
// tests hold for whichever installed face the font falls back to.
#include <gtest/gtest.h>

#include "Graphics.h"
#include "SurfaceProbe.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kGreen = 0x00FF00;

struct TextSheet {
  explicit TextSheet(int32_t w = 240, int32_t h = 80, uint32_t bg = kWhite) : Surface(w, h), Canvas(&Surface) {
    Surface.Fill(bg);
    Canvas.Font().SetColor(clBlack);
    Canvas.Brush.Style = bsClear;
  }
  int32_t LineHeight() { return Canvas.TextHeight("Wg"); }
  TSurface Surface;
  TCanvas Canvas;
};

// ---- extents ----

// Catches an extent that ignores characters or measures height from the text.
TEST(TextExtent, WidthGrowsWithTextHeightIsTheLine) {
  TextSheet s;
  const TSize a = s.Canvas.TextExtent("Wizard");
  const TSize b = s.Canvas.TextExtent("Wizard page");
  EXPECT_GT(a.cx, 0);
  EXPECT_GT(b.cx, a.cx);
  EXPECT_EQ(s.Canvas.TextWidth("Wizard page"), s.Canvas.TextWidth("Wizard") + s.Canvas.TextWidth(" page"))
      << "widths add up: no kerning, whole-pixel advances";
  EXPECT_EQ(a.cy, b.cy);
  EXPECT_EQ(s.Canvas.TextExtent("").cx, 0);
  EXPECT_EQ(s.Canvas.TextExtent("").cy, a.cy) << "an empty text is still one line high";
}

// Catches a size rule other than "Height is the em in pixels": the cell must be a little
// taller than the em, and double the em roughly doubles it.
TEST(TextExtent, LineHeightIsTheCellOfTheCharacterHeight) {
  TextSheet s;
  s.Canvas.Font().SetHeight(11);
  const int32_t h11 = s.Canvas.TextHeight("x");
  EXPECT_GE(h11, 12) << "cell = em + internal leading";
  EXPECT_LE(h11, 16);
  s.Canvas.Font().SetHeight(22);
  const int32_t h22 = s.Canvas.TextHeight("x");
  EXPECT_GE(h22, 2 * h11 - 3);
  EXPECT_LE(h22, 2 * h11 + 1);
  s.Canvas.Font().SetHeight(-22);
  EXPECT_EQ(s.Canvas.TextHeight("x"), h22) << "the sign of a character height does not matter";
}

// Catches bold being ignored (the face's bold style not picked).
TEST(TextExtent, BoldIsWider) {
  TextSheet s;
  const int32_t regular = s.Canvas.TextWidth("Firmware successfully installed");
  s.Canvas.Font().SetStyle(fsBold);
  EXPECT_GT(s.Canvas.TextWidth("Firmware successfully installed"), regular);
}

// Catches '&' being treated as an accelerator prefix by TextExtent.
TEST(TextExtent, AmpersandIsMeasuredLiterally) {
  TextSheet s;
  EXPECT_EQ(s.Canvas.TextWidth("&&"), 2 * s.Canvas.TextWidth("&"));
  EXPECT_GT(s.Canvas.TextWidth("&"), 0);
}

// ---- TextOut ----

// Catches a transparent TextOut that paints its background.
TEST(TextOut, TransparentLeavesTheBackground) {
  TextSheet s(120, 40, kGreen);
  s.Canvas.TextOut(5, 5, "Hello");
  const TSize ext = s.Canvas.TextExtent("Hello");
  const TRect cell = Bounds(5, 5, ext.cx, ext.cy);
  const int untouched = probe::Count(s.Surface, kGreen, cell);
  EXPECT_GT(untouched, ext.cx * ext.cy / 2) << "most of the cell keeps the background";
  EXPECT_LT(untouched, ext.cx * ext.cy) << "some ink";
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 120; ++x) {
      const uint32_t px = s.Surface.Pixel(x, y);
      ASSERT_EQ(px & 0xFF00FFu, 0u) << "only mixes of black ink and green at " << x << "," << y;
      if (!cell.Contains(TPoint{x, y})) {
        ASSERT_EQ(px, kGreen) << "outside the cell at " << x << "," << y;
      }
    }
}

// Catches an opaque TextOut that leaves the cell's background, or fills beyond the cell.
TEST(TextOut, OpaqueFillsTheCellWithTheBrush) {
  TextSheet s(120, 40, kGreen);
  s.Canvas.Brush.Style = bsSolid;
  s.Canvas.Brush.Color = clWhite;
  s.Canvas.TextOut(5, 5, "Hello");
  const TSize ext = s.Canvas.TextExtent("Hello");
  EXPECT_EQ(probe::Count(s.Surface, kGreen, Bounds(5, 5, ext.cx, ext.cy)), 0);
  EXPECT_EQ(probe::InkBounds(s.Surface, kGreen), Bounds(5, 5, ext.cx, ext.cy));
}

// Catches ink in the wrong colour or outside the text's cell, and a pen left behind.
TEST(TextOut, InkIsTheFontColourWithinTheCell) {
  TextSheet s;
  s.Canvas.Font().SetColor(clRed);
  s.Canvas.TextOut(10, 20, "HIM");
  const TSize ext = s.Canvas.TextExtent("HIM");
  int strong = 0;
  for (int32_t y = 0; y < 80; ++y)
    for (int32_t x = 0; x < 240; ++x) {
      const uint32_t px = s.Surface.Pixel(x, y);
      ASSERT_EQ(px >> 16, 0xFFu) << "only mixes of red ink and white at " << x << "," << y;
      ASSERT_EQ((px >> 8) & 0xFF, px & 0xFF) << "only mixes of red ink and white at " << x << "," << y;
      strong += (px & 0xFF) < 64;
    }
  EXPECT_GT(strong, 10) << "stems close to the font colour";
  const TRect ink = probe::InkBounds(s.Surface, kWhite);
  EXPECT_FALSE(ink.IsEmpty());
  EXPECT_EQ(IntersectRect(ink, Bounds(10, 20, ext.cx, ext.cy)), ink) << probe::Str(ink);
  EXPECT_EQ(s.Canvas.PenPos(), (TPoint{10 + ext.cx, 20}));
}

// Catches the underline style being ignored.
TEST(TextOut, UnderlineStyleDrawsARowAcrossTheText) {
  TextSheet s;
  s.Canvas.Font().SetStyle(fsUnderline);
  s.Canvas.TextOut(10, 10, "Wizard");
  const TSize ext = s.Canvas.TextExtent("Wizard");
  bool found = false;
  for (int32_t y = 10; y < 10 + ext.cy; ++y)
    found |= probe::Count(s.Surface, 0x000000, Rect(10, y, 10 + ext.cx, y + 1)) == ext.cx;
  EXPECT_TRUE(found) << probe::Picture(s.Surface, kWhite, Bounds(10, 10, ext.cx, ext.cy));
}

// ---- DrawText ----

// The reference: each line drawn by TextOut at its expected position, with a transparent
// background, optionally clipped.
struct Reference {
  explicit Reference(TextSheet& like) : Sheet(like.Surface.Width(), like.Surface.Height(), kWhite) {
    Sheet.Canvas.Font().Assign(&like.Canvas.Font());
  }
  void Line(int32_t x, int32_t y, const std::string& text) { Sheet.Canvas.TextOut(x, y, text); }
  TextSheet Sheet;
};

// Catches a narrow rectangle that does not move the second word to a second line.
TEST(DrawText, NarrowRectangleWrapsTheSecondWord) {
  TextSheet s;
  const int32_t w = std::max(s.Canvas.TextWidth("Upgrade"), s.Canvas.TextWidth("firmware")) + 2;
  ASSERT_LT(w, s.Canvas.TextWidth("Upgrade firmware"));
  TRect r = Rect(10, 5, 10 + w, 75);
  const int32_t height = s.Canvas.DrawText("Upgrade firmware", r, DT_WORDBREAK);

  Reference ref(s);
  ref.Line(10, 5, "Upgrade");
  ref.Line(10, 5 + s.LineHeight(), "firmware");
  EXPECT_EQ(probe::CountDiffering(s.Surface, ref.Sheet.Surface), 0)
      << probe::Picture(s.Surface, kWhite, Rect(0, 0, 80, 40));
  EXPECT_EQ(height, 2 * s.LineHeight());
}

// Catches wrapping where it is not needed, or text drawn away from the rectangle's corner.
TEST(DrawText, WideRectangleKeepsOneLine) {
  TextSheet s;
  TRect r = Rect(10, 5, 230, 75);
  EXPECT_EQ(s.Canvas.DrawText("Upgrade firmware", r, DT_WORDBREAK), s.LineHeight());
  Reference ref(s);
  ref.Line(10, 5, "Upgrade firmware");
  EXPECT_EQ(probe::CountDiffering(s.Surface, ref.Sheet.Surface), 0);
}

// Catches "\r\n" counted as two breaks, a lone "\n" or "\r" not breaking, or a break that
// leaves a visible glyph behind.
TEST(DrawText, CrLfAndLoneLfOrCrBreakLines) {
  TextSheet s;
  TRect r = Rect(4, 4, 230, 78);
  EXPECT_EQ(s.Canvas.DrawText("Ethernet\r\nUSB\nCustom\rDone", r, DT_LEFT), 4 * s.LineHeight());
  Reference ref(s);
  ref.Line(4, 4, "Ethernet");
  ref.Line(4, 4 + s.LineHeight(), "USB");
  ref.Line(4, 4 + 2 * s.LineHeight(), "Custom");
  ref.Line(4, 4 + 3 * s.LineHeight(), "Done");
  EXPECT_EQ(probe::CountDiffering(s.Surface, ref.Sheet.Surface), 0);
}

// Catches tabs drawn as a glyph or as a fixed width instead of advancing to a common stop.
TEST(DrawText, ExpandedTabsAlignAtTabStops) {
  TextSheet a;
  TRect r = Rect(0, 0, 230, 30);
  a.Canvas.DrawText("a\tZ", r, DT_EXPANDTABS);
  r = Rect(0, 30, 230, 60);
  a.Canvas.DrawText("aa\tZ", r, DT_EXPANDTABS);
  const TRect first = probe::InkBounds(a.Surface, kWhite, Rect(a.Canvas.TextWidth("a") + 1, 0, 240, 30));
  const TRect second = probe::InkBounds(a.Surface, kWhite, Rect(a.Canvas.TextWidth("aa") + 1, 30, 240, 60));
  EXPECT_FALSE(first.IsEmpty());
  EXPECT_EQ(first.Left, second.Left) << "the Z after the tab starts at the same stop";
  EXPECT_GT(first.Left, a.Canvas.TextWidth("aa ")) << "the stop lies beyond a blank";
}

// Catches single-line mode that still breaks at line feeds.
TEST(DrawText, SingleLineIgnoresLineBreaks) {
  TextSheet s;
  TRect r = Rect(4, 4, 230, 78);
  s.Canvas.DrawText("Ether\r\nnet", r, DT_SINGLELINE);
  Reference ref(s);
  ref.Line(4, 4, "Ethernet");
  EXPECT_EQ(probe::CountDiffering(s.Surface, ref.Sheet.Surface), 0);
}

// Catches wrong centring or right alignment (off by the text width, or by rounding).
TEST(DrawText, CentreAndRightAlignment) {
  for (uint32_t align : {DT_CENTER, DT_RIGHT}) {
    TextSheet s;
    TRect r = Rect(10, 10, 210, 40);
    s.Canvas.DrawText("Next >", r, align);
    const int32_t w = s.Canvas.TextWidth("Next >");
    Reference ref(s);
    ref.Line(align == DT_CENTER ? 10 + (200 - w) / 2 : 210 - w, 10, "Next >");
    EXPECT_EQ(probe::CountDiffering(s.Surface, ref.Sheet.Surface), 0) << "alignment " << align;
    const TRect ink = probe::InkBounds(s.Surface, kWhite);
    if (align == DT_CENTER)
      EXPECT_NEAR((ink.Left + ink.Right) / 2.0, 110.0, 3.0) << probe::Str(ink);
    else
      EXPECT_NEAR(ink.Right, 210, 2) << probe::Str(ink);
  }
}

// Catches wrapped lines centred by the whole paragraph's width or with their trailing blank.
TEST(DrawText, WrappedLinesAreCentredOneByOne) {
  TextSheet s;
  const int32_t w1 = s.Canvas.TextWidth("Upgrade"), w2 = s.Canvas.TextWidth("firmware");
  const int32_t w = std::max(w1, w2) + 10;
  TRect r = Rect(0, 0, w, 60);
  s.Canvas.DrawText("Upgrade firmware", r, DT_WORDBREAK | DT_CENTER);
  Reference ref(s);
  ref.Line((w - w1) / 2, 0, "Upgrade");
  ref.Line((w - w2) / 2, s.LineHeight(), "firmware");
  EXPECT_EQ(probe::CountDiffering(s.Surface, ref.Sheet.Surface), 0);
}

// Catches text that spills outside its rectangle, and DT_NOCLIP that still clips.
TEST(DrawText, ClipsToTheRectangleUnlessNoClip) {
  TextSheet s;
  const TRect box = Rect(20, 20, 45, 20 + s.LineHeight() / 2);
  TRect r = box;
  s.Canvas.DrawText("Wizard page title", r, DT_LEFT);
  const TRect ink = probe::InkBounds(s.Surface, kWhite);
  EXPECT_FALSE(ink.IsEmpty()) << "part of the text shows";
  EXPECT_EQ(IntersectRect(ink, box), ink) << "ink " << probe::Str(ink);

  TextSheet t;
  r = box;
  t.Canvas.DrawText("Wizard page title", r, DT_LEFT | DT_NOCLIP);
  EXPECT_GT(probe::InkBounds(t.Surface, kWhite).Right, box.Right);
  EXPECT_GT(probe::InkBounds(t.Surface, kWhite).Bottom, box.Bottom);
}

// Catches a missing accelerator underline, or one under the wrong character.
TEST(DrawText, AmpersandUnderlinesTheNextCharacter) {
  TextSheet plain, accel;
  TRect r1 = Rect(10, 10, 200, 60), r2 = r1;
  plain.Canvas.DrawText("Next", r1, DT_LEFT);
  accel.Canvas.DrawText("&Next", r2, DT_LEFT);
  const int32_t nWidth = plain.Canvas.TextWidth("N");
  const TRect textInk = probe::InkBounds(plain.Surface, kWhite);
  int differing = 0;
  TRect diff{1000, 1000, -1, -1};
  for (int32_t y = 0; y < 80; ++y)
    for (int32_t x = 0; x < 240; ++x)
      if (plain.Surface.Pixel(x, y) != accel.Surface.Pixel(x, y)) {
        ++differing;
        diff = UnionRect(diff.Right < 0 ? TRect{x, y, x + 1, y + 1} : diff, TRect{x, y, x + 1, y + 1});
      }
  EXPECT_GE(differing, nWidth - 1) << "an underline about as wide as the 'N'";
  EXPECT_GE(diff.Left, 10);
  EXPECT_LE(diff.Right, 10 + nWidth) << "diff " << probe::Str(diff);
  EXPECT_GE(diff.Top, textInk.Bottom) << "below the letters; diff " << probe::Str(diff) << " text "
                                      << probe::Str(textInk);
  EXPECT_LT(diff.Top, 10 + plain.LineHeight()) << "within the line";
}

// Catches "&&" not shown as one '&', and DT_NOPREFIX still treating '&' as a prefix.
TEST(DrawText, DoubleAmpersandAndNoPrefixShowAmpersands) {
  TextSheet s;
  TRect r = Rect(10, 10, 230, 40);
  s.Canvas.DrawText("Save && exit", r, DT_LEFT);
  Reference ref(s);
  ref.Line(10, 10, "Save & exit");
  EXPECT_EQ(probe::CountDiffering(s.Surface, ref.Sheet.Surface), 0);

  TextSheet t;
  r = Rect(10, 10, 230, 40);
  t.Canvas.DrawText("&Next", r, DT_LEFT | DT_NOPREFIX);
  Reference ref2(t);
  ref2.Line(10, 10, "&Next");
  EXPECT_EQ(probe::CountDiffering(t.Surface, ref2.Sheet.Surface), 0);
}

// Catches DT_CALCRECT that draws, or measures the wrong width or height.
TEST(DrawText, CalcRectMeasuresWithoutDrawing) {
  TextSheet s;
  const int32_t lh = s.LineHeight();
  TRect r = Rect(5, 6, 200, 7);
  EXPECT_EQ(s.Canvas.DrawText("Modem", r, DT_CALCRECT), lh);
  EXPECT_EQ(r, Rect(5, 6, 5 + s.Canvas.TextWidth("Modem"), 6 + lh));
  EXPECT_EQ(probe::Count(s.Surface, kWhite), 240 * 80) << "nothing drawn";

  const int32_t w = std::max(s.Canvas.TextWidth("Upgrade"), s.Canvas.TextWidth("firmware")) + 4;
  r = Rect(0, 0, w, 1);
  EXPECT_EQ(s.Canvas.DrawText("Upgrade firmware", r, DT_CALCRECT | DT_WORDBREAK), 2 * lh);
  EXPECT_EQ(r, Rect(0, 0, w, 2 * lh)) << "wrapped text keeps the width it was given";

  r = Rect(0, 0, 10, 1);
  s.Canvas.DrawText("Firmware", r, DT_CALCRECT | DT_WORDBREAK);
  EXPECT_EQ(r, Rect(0, 0, s.Canvas.TextWidth("Firmware"), lh)) << "a word wider than the rectangle widens it";

  r = Rect(3, 3, 50, 50);
  EXPECT_EQ(s.Canvas.DrawText("", r, DT_CALCRECT), 0);
  EXPECT_EQ(r, Rect(3, 3, 3, 3));
}

// Catches a word wider than the rectangle being split, merged with its neighbours, or lost.
TEST(DrawText, LongWordKeepsItsOwnLine) {
  TextSheet s;
  const int32_t w = s.Canvas.TextWidth("a b") + 1;
  TRect r = Rect(10, 2, 10 + w, 78);
  s.Canvas.DrawText("a Titanium b", r, DT_WORDBREAK | DT_NOCLIP);
  Reference ref(s);
  ref.Line(10, 2, "a");
  ref.Line(10, 2 + s.LineHeight(), "Titanium");
  ref.Line(10, 2 + 2 * s.LineHeight(), "b");
  EXPECT_EQ(probe::CountDiffering(s.Surface, ref.Sheet.Surface), 0)
      << probe::Picture(s.Surface, kWhite, Rect(0, 0, 80, 50));
}

// Catches DT_VCENTER or DT_BOTTOM placing a single line wrongly.
TEST(DrawText, VerticalPlacementOfASingleLine) {
  for (uint32_t v : {DT_VCENTER, DT_BOTTOM}) {
    TextSheet s;
    const int32_t lh = s.LineHeight();
    TRect r = Rect(10, 10, 200, 10 + 3 * lh + 1);
    s.Canvas.DrawText("50%", r, DT_SINGLELINE | v);
    Reference ref(s);
    ref.Line(10, v == DT_VCENTER ? 10 + (3 * lh + 1 - lh) / 2 : r.Bottom - lh, "50%");
    EXPECT_EQ(probe::CountDiffering(s.Surface, ref.Sheet.Surface), 0) << "flag " << v;
  }
}

// Catches DrawText ignoring the canvas origin.
TEST(DrawText, FollowsTheOrigin) {
  TextSheet s;
  s.Canvas.SetOrigin(TPoint{7, 9});
  TRect r = Rect(0, 0, 150, 40);
  s.Canvas.DrawText("Welcome", r, DT_LEFT);
  Reference ref(s);
  ref.Line(7, 9, "Welcome");
  EXPECT_EQ(probe::CountDiffering(s.Surface, ref.Sheet.Surface), 0);
}

// Catches empty text that draws or counts a line.
TEST(DrawText, EmptyTextDrawsNothing) {
  TextSheet s;
  TRect r = Rect(0, 0, 100, 40);
  EXPECT_EQ(s.Canvas.DrawText("", r, DT_WORDBREAK), 0);
  EXPECT_EQ(probe::Count(s.Surface, kWhite), 240 * 80);
}

// Catches an ellipsis that lets the text run past the rectangle.
TEST(DrawText, EndEllipsisFitsTheLineIntoTheRectangle) {
  TextSheet s;
  TRect r = Rect(10, 10, 70, 40);
  s.Canvas.DrawText("Please wait while connecting...", r, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOCLIP);
  const TRect ink = probe::InkBounds(s.Surface, kWhite);
  EXPECT_FALSE(ink.IsEmpty());
  EXPECT_LE(ink.Right, 70) << probe::Str(ink);
  EXPECT_GT(ink.Right, 50) << "the line is filled up to the edge";
}

}  // namespace
