// The glyph source under the canvas: the Windows-1252 mapping, the choice of an installed face
// for a font that is missing, the em-size rule, the glyph cache, and the bitmap strikes of
// "MS Sans Serif".
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "Cp1252.h"
#include "GlyphRasterizer.h"
#include "Graphics.h"
#include "RasterFont.h"

namespace {

// ---- code page ----

// Catches a wrong table entry in the range where the code page differs from Latin-1.
TEST(Cp1252, HighControlRangeMapsToTypographicCharacters) {
  EXPECT_EQ(Cp1252ToUnicode(0x80), U'\u20AC') << "euro sign";
  EXPECT_EQ(Cp1252ToUnicode(0x85), U'\u2026') << "ellipsis";
  EXPECT_EQ(Cp1252ToUnicode(0x92), U'\u2019') << "right single quote";
  EXPECT_EQ(Cp1252ToUnicode(0x96), U'\u2013') << "en dash";
  EXPECT_EQ(Cp1252ToUnicode(0x99), U'\u2122') << "trade mark";
  EXPECT_EQ(Cp1252ToUnicode(0x9F), U'\u0178') << "Y diaeresis";
}

// Catches undefined bytes mapped to a replacement character instead of themselves.
TEST(Cp1252, UndefinedBytesMapToThemselves) {
  for (uint8_t b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(Cp1252ToUnicode(b), char32_t{b}) << std::hex << int{b};
}

// Catches a table that shifts Latin-1 or ASCII.
TEST(Cp1252, OutsideTheHighControlRangeIsLatin1) {
  for (int b = 0; b < 256; ++b)
    if (b < 0x80 || b > 0x9F) {
      ASSERT_EQ(Cp1252ToUnicode(static_cast<uint8_t>(b)), char32_t(b)) << b;
    }
  EXPECT_EQ(Cp1252ToUnicode(0xE9), U'\u00E9');
}

// ---- faces ----

// Catches a fallback order other than Liberation Sans, then DejaVu Sans, then any sans-serif,
// judged by which of them this machine has.
TEST(GlyphFaces, MissingFamilyFallsBackInOrder) {
  TGlyphRasterizer& r = GlyphRasterizer();
  const bool liberation = r.Face("Liberation Sans", 11, 0).FamilyName() == "Liberation Sans";
  const bool dejavu = r.Face("DejaVu Sans", 11, 0).FamilyName() == "DejaVu Sans";
  const std::string got = r.Face("No Such Family 1234", 11, 0).FamilyName();
  if (liberation)
    EXPECT_EQ(got, "Liberation Sans");
  else if (dejavu)
    EXPECT_EQ(got, "DejaVu Sans");
  else
    EXPECT_FALSE(got.empty()) << "some sans-serif face";
  const std::string msSansSerif = r.Face("MS Sans Serif", 11, 0).FamilyName();
  EXPECT_TRUE(msSansSerif == "MS Sans Serif" || msSansSerif == got) << msSansSerif;
}

// Catches a size rule that fits the whole cell (ascent + descent) into the height instead of
// the em: a capital is then about 0.6 of the height rather than about 0.7.
TEST(GlyphFaces, HeightIsTheEmInPixels) {
  TGlyphFace& face = GlyphRasterizer().Face("MS Sans Serif", 40, 0);
  const TGlyph& h = face.Glyph('H');
  EXPECT_GE(h.Height, 26) << face.FamilyName();
  EXPECT_LE(h.Height, 31) << face.FamilyName();
  EXPECT_EQ(h.Top, h.Height) << "a capital sits on the baseline";
  EXPECT_GT(face.LineHeight(), 40) << "the cell is taller than the em";
  EXPECT_LE(face.LineHeight(), 50);
}

// Catches glyphs rasterised again on every use (the cache must hand back the same bitmap).
TEST(GlyphFaces, GlyphsAreCachedPerFace) {
  TGlyphFace& face = GlyphRasterizer().Face("MS Sans Serif", 13, 0);
  const TGlyph& first = face.Glyph('A');
  const uint8_t* coverage = first.Coverage;
  for (int c = 32; c < 256; ++c) face.Glyph(static_cast<uint8_t>(c));
  EXPECT_EQ(&face.Glyph('A'), &first);
  EXPECT_EQ(face.Glyph('A').Coverage, coverage);
  EXPECT_EQ(&GlyphRasterizer().Face("MS Sans Serif", 13, 0), &face) << "one face per name, size and style";
  EXPECT_NE(&GlyphRasterizer().Face("MS Sans Serif", 13, fsBold), &face);
  EXPECT_EQ(&GlyphRasterizer().Face("MS Sans Serif", 13, fsUnderline), &face) << "underline is not a face";
}

// Catches bytes looked up as Unicode directly (0x80 would then be a missing control glyph).
TEST(GlyphFaces, EuroSignByteDrawsTheEuroGlyph) {
  TGlyphFace& face = GlyphRasterizer().Face("MS Sans Serif", 20, 0);
  const TGlyph& euro = face.Glyph(0x80);
  const TGlyph& missing = face.Glyph(0x81);  // U+0081: in no font, so the face's missing glyph
  ASSERT_NE(euro.Coverage, nullptr);
  const bool same = euro.Width == missing.Width && euro.Height == missing.Height && missing.Coverage &&
                    std::memcmp(euro.Coverage, missing.Coverage,
                                static_cast<size_t>(euro.Width) * static_cast<size_t>(euro.Height)) == 0;
  EXPECT_FALSE(same) << "the euro sign is a glyph of its own";
}

// Catches a bold request answered with the regular face.
TEST(GlyphFaces, BoldGlyphsCarryMoreInk) {
  auto ink = [](TGlyphFace& f) {
    const TGlyph& g = f.Glyph('W');
    long sum = 0;
    for (int i = 0; i < g.Width * g.Height; ++i) sum += g.Coverage[i];
    return sum;
  };
  EXPECT_GT(ink(GlyphRasterizer().Face("MS Sans Serif", 20, fsBold)),
            ink(GlyphRasterizer().Face("MS Sans Serif", 20, 0)));
}

// ---- bitmap strikes ----

// Catches a strike picked by its cell instead of its character height (cell less internal
// leading), scaled outlines standing in for the strike, or a size without a strike that is
// not handed to the fallback. Windows gives this face at 8 pt cells of 13 px and dialog base
// units of 6 x 13.
TEST(BitmapFaces, CharacterHeightsPickTheStrikesWithTheirMetrics) {
  if (!RasterSansSerifInstalled()) GTEST_SKIP() << "the raster MS Sans Serif is not installed";
  const struct { int32_t Height, Ascent, Cell; } strikes[] = {{11, 11, 13}, {13, 13, 16}, {16, 16, 20}};
  for (const auto& s : strikes) {
    TGlyphFace& face = GlyphRasterizer().Face("ms sans serif", -s.Height, 0);
    EXPECT_EQ(face.FamilyName(), "MS Sans Serif") << s.Height;
    EXPECT_EQ(face.Ascent(), s.Ascent) << s.Height;
    EXPECT_EQ(face.LineHeight(), s.Cell) << s.Height;
    for (int c = 32; c < 256; ++c) {
      const TGlyph& g = face.Glyph(static_cast<uint8_t>(c));
      for (int i = 0; i < g.Width * g.Height; ++i)
        ASSERT_TRUE(g.Coverage[i] == 0 || g.Coverage[i] == 255) << "height " << s.Height << " byte " << c;
    }
  }
  TCanvas canvas;
  canvas.Font().SetHeight(11);
  const int32_t letters = canvas.TextWidth("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  EXPECT_EQ((letters / 26 + 1) / 2, 6) << "average width, rounded as Windows rounds it";
  EXPECT_EQ(canvas.TextHeight("x"), 13);
  for (int32_t noStrike : {12, 19, 24})
    EXPECT_NE(GlyphRasterizer().Face("MS Sans Serif", noStrike, 0).FamilyName(), "MS Sans Serif") << noStrike;
  EXPECT_NE(GlyphRasterizer().Face("MS Sans Serif", 11, fsItalic).FamilyName(), "MS Sans Serif")
      << "italic comes from a scalable face";
}

// Catches bold taken from a scalable face, or drawn otherwise than Windows draws a bitmap face
// in bold: each glyph smeared one pixel to the right and advancing one pixel further.
TEST(BitmapFaces, BoldSmearsOnePixelToTheRight) {
  if (!RasterSansSerifInstalled()) GTEST_SKIP() << "the raster MS Sans Serif is not installed";
  TGlyphFace& regular = GlyphRasterizer().Face("MS Sans Serif", 13, 0);
  TGlyphFace& bold = GlyphRasterizer().Face("MS Sans Serif", 13, fsBold);
  ASSERT_EQ(bold.FamilyName(), "MS Sans Serif");
  EXPECT_EQ(bold.LineHeight(), regular.LineHeight());
  for (int c = 33; c < 256; ++c) {
    const TGlyph& r = regular.Glyph(static_cast<uint8_t>(c));
    const TGlyph& b = bold.Glyph(static_cast<uint8_t>(c));
    ASSERT_EQ(b.Advance, r.Advance + 1) << c;
    ASSERT_EQ(b.Width, r.Width + 1) << c;
    ASSERT_EQ(b.Height, r.Height) << c;
    ASSERT_EQ(b.Left, r.Left) << c;
    ASSERT_EQ(b.Top, r.Top) << c;
    for (int y = 0; y < r.Height; ++y)
      for (int x = 0; x < b.Width; ++x) {
        const uint8_t here = x < r.Width ? r.Coverage[y * r.Width + x] : 0;
        const uint8_t left = x > 0 ? r.Coverage[y * r.Width + x - 1] : 0;
        ASSERT_EQ(b.Coverage[y * b.Width + x], std::max(here, left)) << c << " at " << x << "," << y;
      }
  }
}

// Catches the switch to the fallback reaching only new canvases: a canvas that has drawn with
// the strike must draw with the fallback's antialiased glyphs once strikes are off, and back.
TEST(BitmapFaces, SwitchingThemOffReachesExistingCanvases) {
  if (!RasterSansSerifInstalled()) GTEST_SKIP() << "the raster MS Sans Serif is not installed";
  TSurface surface(120, 30);
  TCanvas canvas(&surface);
  canvas.Brush.Style = bsClear;
  canvas.Font().SetColor(clBlack);
  auto grays = [&] {
    surface.Fill(0xFFFFFF);
    canvas.TextOut(2, 2, "Wizard");
    int n = 0;
    for (int32_t y = 0; y < 30; ++y)
      for (int32_t x = 0; x < 120; ++x) n += surface.Pixel(x, y) != 0xFFFFFF && surface.Pixel(x, y) != 0;
    return n;
  };
  EXPECT_EQ(grays(), 0) << "the strike has no antialiasing";
  GlyphRasterizer().SetBitmapFaces(false);
  EXPECT_GT(grays(), 0) << "the fallback has";
  EXPECT_NE(GlyphRasterizer().Face("MS Sans Serif", 11, 0).FamilyName(), "MS Sans Serif");
  GlyphRasterizer().SetBitmapFaces(true);
  EXPECT_EQ(grays(), 0);
}

}  // namespace
