// TBitmap (an off-screen picture with its canvas) and TDIBitmap (palettized, bottom-up).
#include <gtest/gtest.h>

#include "Graphics.h"
#include "Streams.h"
#include "SurfaceProbe.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

// ---- bitmap ----

// Catches a bitmap canvas that is not bound to the bitmap's own pixels.
TEST(Bitmap, CanvasDrawsOnTheBitmap) {
  TBitmap b(6, 4);
  b.Canvas().Brush.Color = clRed;
  b.Canvas().FillRect(Rect(1, 1, 3, 3));
  EXPECT_EQ(b.Surface().Pixel(1, 1), 0xFF0000u);
  EXPECT_EQ(b.Surface().Pixel(3, 3), kWhite) << "a new bitmap is white";
}

// Catches a size change that does not notify or loses the pixels.
TEST(Bitmap, SetSizeNotifiesOnceAndKeepsPixels) {
  TBitmap b(2, 2);
  b.Canvas().SetPixel(1, 1, clBlue);
  int changes = 0;
  b.OnChange = [&](TObject*) { ++changes; };
  b.SetSize(4, 3);
  b.SetSize(4, 3);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(b.Surface().Pixel(1, 1), 0x0000FFu);
  b.SetWidth(0);
  EXPECT_TRUE(b.Empty());
}

// Catches transparent drawing that copies the background colour (default: bottom-left pixel).
TEST(Bitmap, TransparentDrawLeavesOutTheBottomLeftColour) {
  TBitmap b(3, 2);
  b.Canvas().Brush.Color = clLime;
  b.Canvas().FillRect(Rect(0, 0, 3, 2));
  b.Canvas().SetPixel(1, 0, clRed);
  b.SetTransparent(true);
  EXPECT_EQ(b.TransparentColor(), clLime);

  TSurface screen(5, 5);
  screen.Fill(kWhite);
  TCanvas c(&screen);
  c.Draw(1, 1, &b);
  EXPECT_EQ(probe::InkBounds(screen, kWhite), Rect(2, 1, 3, 2)) << probe::Picture(screen, kWhite, Rect(0, 0, 5, 5));
  EXPECT_EQ(screen.Pixel(2, 1), 0xFF0000u);

  b.SetTransparentColor(clRed);
  screen.Fill(kWhite);
  c.Draw(1, 1, &b);
  EXPECT_EQ(screen.Pixel(2, 1), kWhite) << "an explicit transparent colour wins";
  EXPECT_EQ(screen.Pixel(1, 1), 0x00FF00u);
}

// Catches an opaque bitmap that leaves some colour out.
TEST(Bitmap, OpaqueDrawCopiesEveryPixel) {
  TBitmap b(3, 2);
  b.Canvas().Brush.Color = clLime;
  b.Canvas().FillRect(Rect(0, 0, 3, 2));
  TSurface screen(5, 5);
  screen.Fill(kWhite);
  TCanvas c(&screen);
  c.Draw(1, 1, &b);
  EXPECT_EQ(probe::Count(screen, 0x00FF00), 6);
}

// Catches StretchDraw drawing unscaled.
TEST(Bitmap, StretchDrawScalesIntoTheRectangle) {
  TBitmap b(2, 1);
  b.Canvas().SetPixel(0, 0, clRed);
  b.Canvas().SetPixel(1, 0, clBlue);
  TSurface screen(8, 4);
  screen.Fill(0);
  TCanvas c(&screen);
  c.StretchDraw(Rect(0, 0, 4, 2), &b);
  EXPECT_EQ(probe::Count(screen, 0xFF0000, Rect(0, 0, 2, 2)), 4);
  EXPECT_EQ(probe::Count(screen, 0x0000FF, Rect(2, 0, 4, 2)), 4);
  EXPECT_EQ(probe::InkBounds(screen, 0), Rect(0, 0, 4, 2));
}

// Catches an Assign that shares pixels with its source or misses the transparency settings.
TEST(Bitmap, AssignMakesAnIndependentCopy) {
  TBitmap a(3, 3);
  a.Canvas().SetPixel(2, 2, clRed);
  a.SetTransparent(true);
  a.SetTransparentColor(clBlue);
  TBitmap b;
  b.Assign(&a);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Surface().Pixel(2, 2), 0xFF0000u);
  EXPECT_TRUE(b.Transparent());
  EXPECT_EQ(b.TransparentColor(), clBlue);
  a.Canvas().SetPixel(2, 2, clLime);
  EXPECT_EQ(b.Surface().Pixel(2, 2), 0xFF0000u);
  b.Assign(nullptr);
  EXPECT_TRUE(b.Empty());
}

// Catches raw stream loading that pretends to succeed.
TEST(Bitmap, LoadFromStreamIsNotSupported) {
  TBitmap b;
  TMemoryStream m(std::string("BM\0\0", 4));
  EXPECT_THROW(b.LoadFromStream(m), EInvalidGraphic);
}

// Catches a tiling caller's pattern going wrong: an off-screen bitmap filled, a picture drawn
// at every multiple of its size (the last ones cut at the edge), then copied to the screen.
TEST(Bitmap, TilingThroughAnOffscreenBitmap) {
  TBitmap tile(3, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      tile.Canvas().SetPixel(x, y,
                             static_cast<TColor>(RGB(static_cast<uint8_t>(40 * x), static_cast<uint8_t>(100 * y), 9)));
  TBitmap off(7, 5);
  off.Canvas().Brush.Color = clBtnFace;
  off.Canvas().FillRect(Rect(0, 0, 7, 5));
  for (int y = 0; y <= 5; y += 2)
    for (int x = 0; x <= 7; x += 3) off.Canvas().Draw(x, y, &tile);
  TSurface screen(12, 10);
  screen.Fill(0);
  TCanvas c(&screen);
  c.CopyRect(Bounds(4, 3, 7, 5), off.Surface(), Rect(0, 0, 7, 5));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x)
      EXPECT_EQ(screen.Pixel(4 + x, 3 + y), tile.Surface().Pixel(x % 3, y % 2)) << x << "," << y;
  EXPECT_EQ(probe::InkBounds(screen, 0), Bounds(4, 3, 7, 5));
}

// ---- device-independent bitmap ----

// Catches a stride that is not rounded up to whole 32-bit words.
TEST(DIBitmap, RowsAreWholeFourByteWords) {
  struct Case {
    int32_t w;
    int bits;
    size_t stride;
  };
  for (const Case& c : {Case{1, 1, 4}, Case{32, 1, 4}, Case{33, 1, 8}, Case{7, 4, 4}, Case{9, 4, 8}, Case{4, 8, 4},
                        Case{65, 8, 68}, Case{0, 8, 0}}) {
    TDIBitmap d;
    d.Create(c.w, 3, c.bits);
    EXPECT_EQ(d.Stride(), c.stride) << c.w << " pixels of " << c.bits << " bits";
  }
}

// Catches top-down storage: the top row of the picture must be the last stored row.
TEST(DIBitmap, RowsAreStoredBottomUp) {
  TDIBitmap d;
  d.Create(4, 3, 8);
  d.SetIndex(1, 0, 7);
  d.SetIndex(2, 2, 9);
  EXPECT_EQ(d.StoredRow(2)[1], 7) << "top row stored last";
  EXPECT_EQ(d.StoredRow(0)[2], 9) << "bottom row stored first";
  EXPECT_EQ(d.Index(1, 0), 7);
  EXPECT_EQ(d.Index(2, 2), 9);
}

// Catches swapped nibbles or bit order, and values spilling into the neighbour.
TEST(DIBitmap, LeftPixelIsTheHighNibbleOrTopBit) {
  TDIBitmap d4;
  d4.Create(3, 1, 4);
  d4.SetIndex(0, 0, 0xA);
  d4.SetIndex(1, 0, 0x5);
  d4.SetIndex(2, 0, 0xFF);  // masked to 0xF
  EXPECT_EQ(d4.StoredRow(0)[0], 0xA5);
  EXPECT_EQ(d4.StoredRow(0)[1], 0xF0);
  EXPECT_EQ(d4.Index(2, 0), 0xF);

  TDIBitmap d1;
  d1.Create(9, 1, 1);
  d1.SetIndex(0, 0, 1);
  d1.SetIndex(7, 0, 1);
  d1.SetIndex(8, 0, 3);  // masked to 1
  EXPECT_EQ(d1.StoredRow(0)[0], 0x81);
  EXPECT_EQ(d1.StoredRow(0)[1], 0x80);
  d1.SetIndex(0, 0, 0);
  EXPECT_EQ(d1.StoredRow(0)[0], 0x01);
}

// Catches a palette of the wrong size or colour, or pixels not starting at index 0.
TEST(DIBitmap, NewBitmapIsIndexZeroWithAGreyPalette) {
  for (int bits : {1, 4, 8}) {
    TDIBitmap d;
    d.Create(5, 2, bits);
    ASSERT_EQ(d.Palette().size(), size_t{1} << bits);
    for (const TRGBQuad& q : d.Palette()) {
      EXPECT_EQ(q.Red, 128);
      EXPECT_EQ(q.Green, 128);
      EXPECT_EQ(q.Blue, 128);
    }
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(d.Index(x, y), 0);
    EXPECT_EQ(d.PixelOf(0, 0), 0x808080u);
  }
}

// Catches PixelOf reading the palette's bytes in the wrong order.
TEST(DIBitmap, PixelOfGoesThroughThePalette) {
  TDIBitmap d;
  d.Create(1, 1, 8);
  d.Palette()[3] = TRGBQuad{0x33, 0x22, 0x11, 0};  // blue, green, red
  d.SetIndex(0, 0, 3);
  EXPECT_EQ(d.PixelOf(0, 0), 0x112233u);
}

// Catches sizes whose byte count overflows or is absurd being allocated, and a failed
// Create that damages the bitmap it was called on.
TEST(DIBitmap, OversizeRaisesOutOfResources) {
  TDIBitmap d;
  d.Create(2, 2, 8);
  d.SetIndex(1, 1, 5);
  for (auto [w, h] : {std::pair{65535, 65535}, std::pair{0x7FFFFFFF, 0x7FFFFFFF}, std::pair{0x7FFFFFFF, 1}}) {
    try {
      d.Create(w, h, 8);
      FAIL() << w << " x " << h << " accepted";
    } catch (const EOutOfResources& e) {
      EXPECT_EQ(e.Message(), "Out of system resources");
    }
  }
  EXPECT_EQ(d.Width(), 2);
  EXPECT_EQ(d.Index(1, 1), 5);
}

// Catches depths the drawing code cannot read being accepted.
TEST(DIBitmap, OnlyOneFourOrEightBits) {
  TDIBitmap d;
  EXPECT_THROW(d.Create(2, 2, 2), EInvalidGraphicOperation);
  EXPECT_THROW(d.Create(2, 2, 24), EInvalidGraphicOperation);
  EXPECT_THROW(d.Create(-1, 2, 8), EInvalidGraphicOperation);
}

}  // namespace
