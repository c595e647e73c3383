// The canvas's shapes and block copies, asserted on the pixels of an in-memory surface:
// fills, frames, one-pixel lines, pixels, ellipses, copies and device-independent bitmaps.
#include <gtest/gtest.h>

#include "Graphics.h"
#include "SurfaceProbe.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kBlack = 0x000000;

struct Sheet {
  explicit Sheet(int32_t w = 20, int32_t h = 20, uint32_t bg = kWhite) : Surface(w, h), Canvas(&Surface) {
    Surface.Fill(bg);
  }
  TSurface Surface;
  TCanvas Canvas;
};

// ---- fills ----

// Catches a fill that includes the Right column or the Bottom row of a half-open rectangle.
TEST(CanvasFill, FillsExactlyTheHalfOpenRectangle) {
  Sheet s;
  s.Canvas.Brush.Color = clRed;
  s.Canvas.FillRect(Rect(2, 3, 5, 7));
  EXPECT_EQ(probe::InkBounds(s.Surface, kWhite), Rect(2, 3, 5, 7))
      << probe::Picture(s.Surface, kWhite, Rect(0, 0, 8, 9));
  EXPECT_EQ(probe::Count(s.Surface, kRed), 12) << "every pixel of the rectangle in the brush colour";
}

// Catches an origin that is not applied, or a clip rectangle taken in the wrong coordinates.
TEST(CanvasFill, OriginShiftsAndClipLimits) {
  Sheet s;
  s.Canvas.SetOrigin(TPoint{3, 2});
  s.Canvas.SetClipRect(Rect(0, 0, 4, 4));  // canvas coordinates: the surface's (3,2)-(7,6)
  s.Canvas.Brush.Color = clRed;
  s.Canvas.FillRect(Rect(-50, -50, 100, 100));
  EXPECT_EQ(probe::InkBounds(s.Surface, kWhite), Rect(3, 2, 7, 6))
      << probe::Picture(s.Surface, kWhite, Rect(0, 0, 10, 10));
}

// Catches a clip rectangle that is reported in surface coordinates or moves with the origin.
TEST(CanvasFill, ClipRectStaysOnTheSurfaceWhenTheOriginMoves) {
  Sheet s(30, 30);
  EXPECT_EQ(s.Canvas.ClipRect(), Rect(0, 0, 30, 30)) << "no clip: the whole surface";
  s.Canvas.SetOrigin(TPoint{3, 2});
  s.Canvas.SetClipRect(Rect(0, 0, 4, 4));
  EXPECT_EQ(s.Canvas.ClipRect(), Rect(0, 0, 4, 4));
  s.Canvas.SetOrigin(TPoint{0, 0});
  EXPECT_EQ(s.Canvas.ClipRect(), Rect(3, 2, 7, 6)) << "the clip is fixed on the surface";
  s.Canvas.ResetClip();
  EXPECT_EQ(s.Canvas.ClipRect(), Rect(0, 0, 30, 30));
}

// Catches a clip rectangle that reaches past the surface (out-of-bounds writes under ASan).
TEST(CanvasFill, ClipLargerThanTheSurfaceIsCutToIt) {
  Sheet s(6, 6);
  s.Canvas.SetClipRect(Rect(-10, -10, 100, 100));
  s.Canvas.Brush.Color = clRed;
  s.Canvas.FillRect(Rect(-20, -20, 200, 200));
  EXPECT_EQ(probe::Count(s.Surface, kRed), 36);
}

// Catches a clear brush that still paints.
TEST(CanvasFill, ClearBrushPaintsNothing) {
  Sheet s;
  s.Canvas.Brush.Color = clRed;
  s.Canvas.Brush.Style = bsClear;
  s.Canvas.FillRect(Rect(0, 0, 10, 10));
  s.Canvas.FrameRect(Rect(0, 0, 10, 10));
  EXPECT_EQ(probe::Count(s.Surface, kWhite), 400);
}

// Catches system colours written as their raw 0x800000nn value instead of the palette colour.
TEST(CanvasFill, SystemColoursResolveToTheClassicPalette) {
  Sheet s;
  s.Canvas.Brush.Color = clBtnFace;
  s.Canvas.FillRect(Rect(0, 0, 1, 1));
  EXPECT_EQ(s.Surface.Pixel(0, 0), 0xD4D0C8u) << std::hex << s.Surface.Pixel(0, 0);
  EXPECT_EQ(s.Canvas.GetPixel(0, 0), static_cast<TColor>(RGB(212, 208, 200)));
}

// Catches a frame that fills its inside or spills past Right/Bottom.
TEST(CanvasFill, FrameRectDrawsOnlyTheBorder) {
  Sheet s;
  s.Canvas.Brush.Color = clRed;
  s.Canvas.FrameRect(Rect(2, 2, 7, 6));
  EXPECT_EQ(probe::InkBounds(s.Surface, kWhite), Rect(2, 2, 7, 6));
  EXPECT_EQ(probe::Count(s.Surface, kRed), 14) << probe::Picture(s.Surface, kWhite, Rect(0, 0, 9, 8));
  EXPECT_EQ(s.Surface.Pixel(4, 4), kWhite) << "inside untouched";
}

// ---- lines ----

// Catches a line that draws its end point or skips its start, left to right and back.
TEST(CanvasLine, HorizontalDrawsStartNotEnd) {
  Sheet s;
  s.Canvas.MoveTo(2, 5);
  s.Canvas.LineTo(7, 5);
  EXPECT_EQ(probe::InkBounds(s.Surface, kWhite), Rect(2, 5, 7, 6));
  EXPECT_EQ(probe::Count(s.Surface, kBlack), 5);

  Sheet back;
  back.Canvas.MoveTo(7, 5);
  back.Canvas.LineTo(2, 5);
  EXPECT_EQ(probe::InkBounds(back.Surface, kWhite), Rect(3, 5, 8, 6)) << "right to left: x 7 down to 3";
}

// Catches the same fault vertically, top to bottom and back.
TEST(CanvasLine, VerticalDrawsStartNotEnd) {
  Sheet s;
  s.Canvas.MoveTo(4, 1);
  s.Canvas.LineTo(4, 9);
  EXPECT_EQ(probe::InkBounds(s.Surface, kWhite), Rect(4, 1, 5, 9));

  Sheet up;
  up.Canvas.MoveTo(4, 9);
  up.Canvas.LineTo(4, 1);
  EXPECT_EQ(probe::InkBounds(up.Surface, kWhite), Rect(4, 2, 5, 10));
}

// Catches a diagonal that steps unevenly or includes its end, in both diagonal directions.
TEST(CanvasLine, DiagonalTakesOnePixelPerStep) {
  Sheet s;
  s.Canvas.MoveTo(1, 1);
  s.Canvas.LineTo(5, 5);
  for (int i = 1; i < 5; ++i) EXPECT_EQ(s.Surface.Pixel(i, i), kBlack) << "pixel " << i;
  EXPECT_EQ(s.Surface.Pixel(5, 5), kWhite) << "end excluded";
  EXPECT_EQ(probe::Count(s.Surface, kBlack), 4);

  Sheet anti;
  anti.Canvas.MoveTo(8, 1);
  anti.Canvas.LineTo(4, 5);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(anti.Surface.Pixel(8 - i, 1 + i), kBlack) << "pixel " << i;
  EXPECT_EQ(probe::Count(anti.Surface, kBlack), 4);
}

// Catches a shallow line with gaps or doubled columns.
TEST(CanvasLine, ShallowLineHasOnePixelPerColumn) {
  Sheet s;
  s.Canvas.MoveTo(0, 0);
  s.Canvas.LineTo(12, 4);
  for (int x = 0; x < 12; ++x) EXPECT_EQ(probe::Count(s.Surface, kBlack, Rect(x, 0, x + 1, 20)), 1) << "column " << x;
  EXPECT_EQ(s.Surface.Pixel(0, 0), kBlack);
  EXPECT_EQ(probe::Count(s.Surface, kBlack, Rect(12, 0, 13, 20)), 0) << "end column excluded";
}

// Catches a pen position that is not moved, which would break connected polylines.
TEST(CanvasLine, PolylineClosesWithEveryCornerDrawnOnce) {
  Sheet s;
  s.Canvas.Pen.Color = clRed;
  s.Canvas.MoveTo(2, 2);
  s.Canvas.LineTo(8, 2);
  s.Canvas.LineTo(8, 6);
  s.Canvas.LineTo(2, 6);
  s.Canvas.LineTo(2, 2);
  EXPECT_EQ(s.Canvas.PenPos(), (TPoint{2, 2}));
  EXPECT_EQ(probe::InkBounds(s.Surface, kWhite), Rect(2, 2, 9, 7));
  EXPECT_EQ(probe::Count(s.Surface, kRed), 20) << probe::Picture(s.Surface, kWhite, Rect(0, 0, 10, 8));
}

// Catches a wrong etched-divider look: a caller draws highlight lines, then shadow lines one
// pixel up and left, and expects a shadow row over a highlight row offset by one column.
TEST(CanvasLine, EtchedDividerDrawnByACaller) {
  Sheet s(40, 20, 0xD4D0C8);
  const TRect r = Rect(0, 10, 40, 20);
  const TRect rb = Rect(r.Left + 1, r.Top + 1, r.Right, r.Bottom);
  s.Canvas.Pen.Color = clBtnHighlight;
  s.Canvas.MoveTo(rb.Left, rb.Top);
  s.Canvas.LineTo(rb.Right, rb.Top);
  const TRect ra = OffsetRect(rb, -1, -1);
  s.Canvas.Pen.Color = clBtnShadow;
  s.Canvas.MoveTo(ra.Left, ra.Top);
  s.Canvas.LineTo(ra.Right, ra.Top);

  EXPECT_EQ(probe::Count(s.Surface, 0xFFFFFF, Rect(0, 10, 40, 11)), 0) << "no highlight on the shadow row";
  EXPECT_EQ(probe::Count(s.Surface, 0x808080, Rect(0, 10, 40, 11)), 39) << "shadow x 0..38";
  EXPECT_EQ(s.Surface.Pixel(39, 10), 0xD4D0C8u) << "shadow row ends one short";
  EXPECT_EQ(probe::Count(s.Surface, 0xFFFFFF, Rect(0, 11, 40, 12)), 39) << "highlight x 1..39";
  EXPECT_EQ(s.Surface.Pixel(0, 11), 0xD4D0C8u) << "highlight row starts one in";
  EXPECT_EQ(probe::InkBounds(s.Surface, 0xD4D0C8), Rect(0, 10, 40, 12));
}

// Catches lines that write outside the clip or the surface (ASan would report the latter).
TEST(CanvasLine, ClippedLineStaysInside) {
  Sheet s(10, 10);
  s.Canvas.SetClipRect(Rect(2, 2, 8, 8));
  s.Canvas.MoveTo(-100, -100);
  s.Canvas.LineTo(100, 100);
  s.Canvas.MoveTo(-5, 5);
  s.Canvas.LineTo(50, 5);
  EXPECT_EQ(probe::InkBounds(s.Surface, kWhite), Rect(2, 2, 8, 8));
  EXPECT_EQ(probe::Count(s.Surface, kBlack), 6 + 5) << probe::Picture(s.Surface, kWhite, probe::Whole(s.Surface));
}

// Catches a wide pen drawn one pixel thin.
TEST(CanvasLine, WidePenDrawsASquarePerPoint) {
  Sheet s;
  s.Canvas.Pen.Width = 3;
  s.Canvas.MoveTo(5, 5);
  s.Canvas.LineTo(10, 5);
  EXPECT_EQ(probe::InkBounds(s.Surface, kWhite), Rect(4, 4, 11, 7));
}

// ---- pixels ----

// Catches SetPixel/GetPixel that ignore the origin or the clip.
TEST(CanvasPixel, SetAndGetThroughOriginAndClip) {
  Sheet s;
  s.Canvas.SetOrigin(TPoint{5, 6});
  s.Canvas.SetPixel(1, 1, clRed);
  EXPECT_EQ(s.Surface.Pixel(6, 7), kRed);
  EXPECT_EQ(s.Canvas.GetPixel(1, 1), clRed);
  EXPECT_EQ(s.Canvas.GetPixel(100, 100), clNone) << "outside the surface";
  s.Canvas.SetClipRect(Rect(0, 0, 2, 2));
  s.Canvas.SetPixel(3, 3, clRed);
  EXPECT_EQ(s.Surface.Pixel(8, 9), kWhite) << "outside the clip: not drawn";
  EXPECT_EQ(s.Canvas.GetPixel(3, 3), clNone);
}

// ---- ellipse ----

// Catches an ellipse that leaves its bounding rectangle, is lopsided, or is not filled.
TEST(CanvasEllipse, FilledWithBrushOutlinedWithPenInsideItsBounds) {
  Sheet s;
  s.Canvas.Brush.Color = clRed;
  s.Canvas.Pen.Color = clBlack;
  s.Canvas.Ellipse(Rect(2, 3, 14, 11));
  EXPECT_EQ(probe::InkBounds(s.Surface, kWhite), Rect(2, 3, 14, 11))
      << probe::Picture(s.Surface, kWhite, Rect(0, 0, 16, 13));
  EXPECT_EQ(s.Surface.Pixel(8, 7), kRed) << "centre filled";
  EXPECT_EQ(s.Surface.Pixel(2, 3), kWhite) << "corner outside";
  EXPECT_EQ(s.Surface.Pixel(2, 7), kBlack) << "left edge outlined";
  for (int y = 3; y < 11; ++y)
    for (int x = 2; x < 14; ++x) {
      ASSERT_EQ(s.Surface.Pixel(x, y), s.Surface.Pixel(2 + 13 - x, y)) << "mirror left/right at " << x << "," << y;
      ASSERT_EQ(s.Surface.Pixel(x, y), s.Surface.Pixel(x, 3 + 10 - y)) << "mirror top/bottom at " << x << "," << y;
    }
  // A closed outline: no brush pixel touches the background.
  for (int y = 3; y < 11; ++y)
    for (int x = 2; x < 14; ++x)
      if (s.Surface.Pixel(x, y) == kRed) {
        ASSERT_NE(s.Surface.Pixel(x - 1, y), kWhite) << x << "," << y;
        ASSERT_NE(s.Surface.Pixel(x + 1, y), kWhite) << x << "," << y;
        ASSERT_NE(s.Surface.Pixel(x, y - 1), kWhite) << x << "," << y;
        ASSERT_NE(s.Surface.Pixel(x, y + 1), kWhite) << x << "," << y;
      }
}

// Catches a clear brush that still fills the ellipse.
TEST(CanvasEllipse, ClearBrushLeavesTheInside) {
  Sheet s;
  s.Canvas.Brush.Style = bsClear;
  s.Canvas.Ellipse(Rect(2, 2, 14, 14));
  EXPECT_EQ(s.Surface.Pixel(8, 8), kWhite);
  EXPECT_GT(probe::Count(s.Surface, kBlack), 20);
}

// ---- block copies ----

TSurface Pattern(int32_t w, int32_t h) {
  TSurface p(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) p.Row(y)[x] = static_cast<uint32_t>(0x010000 * (x + 1) + 0x000100 * (y + 1));
  return p;
}

// Catches an unscaled copy that shifts, flips or misses pixels.
TEST(CanvasCopy, CopyRectUnscaledIsExact) {
  Sheet s;
  const TSurface p = Pattern(4, 3);
  s.Canvas.CopyRect(Rect(5, 6, 9, 9), p, Rect(0, 0, 4, 3));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(s.Surface.Pixel(5 + x, 6 + y), p.Pixel(x, y)) << x << "," << y;
  EXPECT_EQ(probe::InkBounds(s.Surface, kWhite), Rect(5, 6, 9, 9));
}

// Catches a copy that ignores the clip or writes a source part that lies outside the source.
TEST(CanvasCopy, CopyRectClipsBothSides) {
  Sheet s(10, 10);
  const TSurface p = Pattern(4, 4);
  s.Canvas.SetClipRect(Rect(0, 0, 7, 7));
  s.Canvas.CopyRect(Rect(5, 5, 9, 9), p, Rect(0, 0, 4, 4));
  EXPECT_EQ(probe::InkBounds(s.Surface, kWhite), Rect(5, 5, 7, 7));
  EXPECT_EQ(s.Surface.Pixel(6, 6), p.Pixel(1, 1));

  Sheet t(10, 10);
  t.Canvas.CopyRect(Rect(0, 0, 6, 6), p, Rect(-2, -2, 4, 4));  // source reaches past its top-left
  EXPECT_EQ(probe::InkBounds(t.Surface, kWhite), Rect(2, 2, 6, 6));
  EXPECT_EQ(t.Surface.Pixel(2, 2), p.Pixel(0, 0));
}

// Catches nearest-neighbour stretching that blurs, shifts or mis-sizes the blocks.
TEST(CanvasCopy, StretchTwiceRepeatsEachPixelInATwoByTwoBlock) {
  Sheet s;
  const TSurface p = Pattern(2, 2);
  s.Canvas.CopyRect(Rect(4, 4, 8, 8), p, Rect(0, 0, 2, 2));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(s.Surface.Pixel(4 + x, 4 + y), p.Pixel(x / 2, y / 2)) << x << "," << y;
}

// Catches shrinking that samples an edge instead of the pixel centre.
TEST(CanvasCopy, ShrinkSamplesTheMiddle) {
  Sheet s;
  const TSurface p = Pattern(3, 3);
  s.Canvas.CopyRect(Rect(0, 0, 1, 1), p, Rect(0, 0, 3, 3));
  EXPECT_EQ(s.Surface.Pixel(0, 0), p.Pixel(1, 1));
}

// Catches a leave-out colour that is still copied (or that hides other colours).
TEST(CanvasCopy, LeaveOutColourShowsTheBackground) {
  Sheet s(4, 1);
  TSurface p(4, 1);
  p.Row(0)[0] = 0x0000FF;
  p.Row(0)[1] = kRed;
  p.Row(0)[2] = 0x00FF00;
  p.Row(0)[3] = kRed;
  s.Canvas.CopyRect(Rect(0, 0, 4, 1), p, Rect(0, 0, 4, 1), clRed);
  EXPECT_EQ(s.Surface.Pixel(0, 0), 0x0000FFu);
  EXPECT_EQ(s.Surface.Pixel(1, 0), kWhite);
  EXPECT_EQ(s.Surface.Pixel(2, 0), 0x00FF00u);
  EXPECT_EQ(s.Surface.Pixel(3, 0), kWhite);
}

// Catches an overlapping copy within one surface that smears rows (copying in the wrong order).
TEST(CanvasCopy, OverlappingCopyWithinOneSurface) {
  TSurface p = Pattern(3, 5);
  const TSurface original = Pattern(3, 5);
  TCanvas c(&p);
  c.CopyRect(Rect(0, 1, 3, 5), p, Rect(0, 0, 3, 4));
  for (int y = 1; y < 5; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(p.Pixel(x, y), original.Pixel(x, y - 1)) << x << "," << y;
}

// ---- device-independent bitmaps ----

// A palette of distinct colours: index i is (i, 255 - i, 7).
TDIBitmap Dib(int32_t w, int32_t h, int bits) {
  TDIBitmap d;
  d.Create(w, h, bits);
  for (size_t i = 0; i < d.Palette().size(); ++i)
    d.Palette()[i] = TRGBQuad{7, static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i), 0};
  return d;
}
uint32_t PaletteColour(int i) { return (static_cast<uint32_t>(i) << 16) | (static_cast<uint32_t>(255 - i) << 8) | 7; }

// Catches a bottom-up bitmap drawn upside down.
TEST(CanvasDib, TopRowOfThePictureIsDrawnAtTheTop) {
  Sheet s;
  TDIBitmap d = Dib(2, 2, 8);
  d.SetIndex(0, 0, 9);
  s.Canvas.StretchDIB(Rect(3, 3, 5, 5), d);
  EXPECT_EQ(s.Surface.Pixel(3, 3), PaletteColour(9));
  EXPECT_EQ(s.Surface.Pixel(3, 4), PaletteColour(0));
  EXPECT_EQ(s.Surface.Pixel(4, 3), PaletteColour(0));
}

// Catches a stretch that is not nearest neighbour or that lands off the rectangle.
TEST(CanvasDib, StretchTwiceNearest) {
  Sheet s;
  TDIBitmap d = Dib(2, 2, 8);
  d.SetIndex(0, 0, 1);
  d.SetIndex(1, 0, 2);
  d.SetIndex(0, 1, 3);
  d.SetIndex(1, 1, 4);
  s.Canvas.StretchDIB(Rect(2, 2, 6, 6), d);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(s.Surface.Pixel(2 + x, 2 + y), PaletteColour(1 + x / 2 + 2 * (y / 2))) << x << "," << y;
  EXPECT_EQ(probe::InkBounds(s.Surface, kWhite), Rect(2, 2, 6, 6));
}

// Catches a leave-out that compares indices instead of colours, or that leaves out nothing.
TEST(CanvasDib, PixelsOfTheLeaveOutColourAreNotDrawn) {
  Sheet s(3, 1);
  TDIBitmap d = Dib(3, 1, 8);
  d.Palette()[5] = d.Palette()[4];  // two indices, one colour
  d.SetIndex(0, 0, 4);
  d.SetIndex(1, 0, 5);
  d.SetIndex(2, 0, 6);
  s.Canvas.StretchDIB(Rect(0, 0, 3, 1), d, PixelToColor(PaletteColour(4)));
  EXPECT_EQ(s.Surface.Pixel(0, 0), kWhite);
  EXPECT_EQ(s.Surface.Pixel(1, 0), kWhite);
  EXPECT_EQ(s.Surface.Pixel(2, 0), PaletteColour(6));
}

// Catches wrong nibble or bit order when drawing 4- and 1-bit pictures.
TEST(CanvasDib, FourAndOneBitPixelsDrawTheirOwnColours) {
  for (int bits : {1, 4}) {
    Sheet s(10, 1);
    TDIBitmap d = Dib(10, 1, bits);
    for (int x = 0; x < 10; ++x) d.SetIndex(x, 0, static_cast<uint8_t>((x * 3) % (1 << bits)));
    s.Canvas.StretchDIB(Rect(0, 0, 10, 1), d);
    for (int x = 0; x < 10; ++x)
      EXPECT_EQ(s.Surface.Pixel(x, 0), PaletteColour((x * 3) % (1 << bits))) << bits << " bits, x " << x;
  }
}

}  // namespace
