// Reading GIF files built byte by byte: signature and version, the screen descriptor and
// tables, separators and zero bytes, every extension, comments, frames with local and global
// tables, transparency made unique and left out when drawn, the stored form, registration and
// the error texts.
#include <gtest/gtest.h>

#include "GifBytes.h"

using namespace gifbytes;

namespace {

// 4 x 1 pixels 1 2 3 0 as root codes at code size 2.
const Bytes kPixels = Data(2, RootCodes({1, 2, 3, 0}, 2));

std::string ErrorOf(const Bytes& data) {
  TUiGIFImage g;
  try {
    Load(g, data);
  } catch (const EInvalidGraphicOperation& e) {
    return e.Message();
  }
  return "(no error)";
}

}  // namespace

// Catches a case-sensitive signature or version check, and versions that are not 87a or 89a.
TEST(UiGIFRead, SignatureAndVersion) {
  for (const char* header : {"GIF89a", "gif89a", "GiF87A"}) {
    TUiGIFImage g;
    Load(g, File(Image(4, 1) + kPixels, 4, 1, 2, header));
    EXPECT_EQ(g.FrameCount(), 1) << header;
  }
  TUiGIFImage g;
  Load(g, File(Image(4, 1) + kPixels, 4, 1, 2, "gif87a"));
  EXPECT_EQ(g.Version(), "87a");
  EXPECT_EQ(ErrorOf(File(Image(4, 1) + kPixels, 4, 1, 2, "GIF88a")), "Unknown GIF version");
  EXPECT_EQ(ErrorOf(File(Image(4, 1) + kPixels, 4, 1, 2, "JIF89a")), "Unknown GIF version");
  EXPECT_EQ(ErrorOf("GIF8"), "Unknown GIF version") << "too short for a version";
}

// Catches misread descriptor fields: sizes, bits, colour resolution, background, aspect.
TEST(UiGIFRead, ScreenDescriptorAndGlobalTable) {
  TUiGIFImage g;
  Load(g, "GIF89a" + Screen(300, 2, 0x80 | 0x50 | 1, /*background*/ 2, /*aspect*/ 49) +
              Table({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}}) + Image(4, 1) + kPixels + ";");
  EXPECT_EQ(g.ScreenWidth(), 300);
  EXPECT_EQ(g.ScreenHeight(), 2);
  EXPECT_EQ(g.BitsPerPixel(), 2);
  EXPECT_EQ(g.ColorResolution(), 6);
  EXPECT_EQ(g.AspectRatio(), 49);
  EXPECT_EQ(g.GlobalColorTable().Count, 4);
  EXPECT_EQ(g.BackgroundColor(), static_cast<TColor>(RGB(7, 8, 9)));
  TUiGIFImage outside;
  Load(outside, "GIF89a" + Screen(4, 1, 0x81, /*background*/ 9) + GreyTable(4) + Image(4, 1) + kPixels + ";");
  EXPECT_EQ(outside.BackgroundColor(), kUiGIFNoColor) << "an index past the table names no colour";
}

// Catches zero bytes between blocks being taken as separators.
TEST(UiGIFRead, ZeroBytesBetweenBlocksAreSkipped) {
  TUiGIFImage g;
  Load(g,
       File(Bytes(3, '\0') + GraphicControl(0, 5, 0) + Bytes(2, '\0') + Image(4, 1) + kPixels + Bytes(4, '\0'), 4, 1));
  ASSERT_EQ(g.FrameCount(), 1);
  EXPECT_EQ(Indices(g), (std::vector<int>{1, 2, 3, 0}));
  EXPECT_EQ(g.Frames(0).AnimateInterval(), 50);
}

// Catches a frame that does not take its table, bits and size from the right place.
TEST(UiGIFRead, LocalAndGlobalTablesAndScreenSize) {
  TUiGIFImage g;
  Load(g, File(Image(4, 1) + kPixels + Image(0, 0, 0x80 | 2) + GreyTable(8) + kPixels, 4, 1));
  ASSERT_EQ(g.FrameCount(), 2);
  const TUiGIFFrame& global = g.Frames(0);
  EXPECT_FALSE(global.LocalColors());
  EXPECT_EQ(global.BitsPerPixel(), 2);
  EXPECT_EQ(global.ColorTable().Count, 4);
  EXPECT_EQ(global.ColorTable().ColorOf(3), static_cast<TColor>(RGB(48, 48, 48)));
  const TUiGIFFrame& local = g.Frames(1);
  EXPECT_TRUE(local.LocalColors());
  EXPECT_EQ(local.BitsPerPixel(), 3);
  EXPECT_EQ(local.ColorTable().Count, 8);
  EXPECT_EQ(local.Width(), 4) << "a width of 0 is the screen's";
  EXPECT_EQ(local.Height(), 1);
  EXPECT_FALSE(local.HasBitmap()) << "only the first frame is decoded at once";
  EXPECT_EQ(g.Frames(1).Bitmap().BitsPerPixel(), 4);
}

// Catches a picture that, after its first frame failed to decode, says it has a size of 0
// while it is not empty and still draws.
TEST(UiGIFRead, NextFrameGivesTheSizeWhenTheFirstFailsToDecode) {
  TUiGIFImage g;
  EXPECT_THROW(Load(g, File(Image(65535, 65535) + kPixels + Image(4, 1) + kPixels, 4, 1)), EInvalidGraphicOperation);
  ASSERT_EQ(g.FrameCount(), 1);
  EXPECT_FALSE(g.Empty());
  EXPECT_EQ(g.Width(), 4);
  EXPECT_EQ(g.Height(), 1);
  EXPECT_EQ(Indices(g), (std::vector<int>{1, 2, 3, 0}));

  // A next frame that can never be decoded gives no size to allocate a surface for.
  TUiGIFImage big;
  EXPECT_THROW(Load(big, File(Image(65535, 65535) + kPixels + Image(65535, 65535) + kPixels, 4, 1)),
               EInvalidGraphicOperation);
  EXPECT_EQ(big.Width(), 0);
  EXPECT_EQ(big.Height(), 0);
}

// Catches misread extensions: delay, disposal, looping with its cap, comments, plain text
// dropping what came before it, and unknown labels.
TEST(UiGIFRead, Extensions) {
  const Bytes loop = B({'!', 0xFF, 11}) + "NETSCAPE2.0" + B({3, 1}) + Le16(40000) + B({0});
  const Bytes plainText = B({'!', 0x01, 12}) + Bytes(12, '\x01') + SubBlocks("drawn text");
  TUiGIFImage g;
  Load(g, File(loop + GraphicControl(0x01 | (2 << 2), 7, 1) + Comment({"a", "bc"}) + Image(4, 1) + kPixels +
                   GraphicControl(0x01, 9, 1) + plainText + GraphicControl(0, 3, 0) + Image(4, 1) + kPixels,
               4, 1));
  EXPECT_TRUE(g.Looping());
  EXPECT_EQ(g.RepeatCount(), 30000) << "repeat counts are capped";
  ASSERT_EQ(g.FrameCount(), 2);
  const TUiGIFFrame& f = g.Frames(0);
  EXPECT_EQ(f.AnimateInterval(), 70);
  EXPECT_EQ(f.DisposalMethod(), 2);
  ASSERT_EQ(f.Extensions().size(), 2u);
  const auto* c = dynamic_cast<const TUiGIFCommentExtension*>(f.Extensions()[1].get());
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->Texts, (std::vector<std::string>{"a", "bc"}));
  EXPECT_EQ(g.Frames(1).Extensions().size(), 1u) << "the plain text dropped the extension before it";
  EXPECT_EQ(g.Frames(1).TransparentColor(), kUiGIFNoColor);
  EXPECT_TRUE(g.Comment().empty()) << "comments before an image belong to the image";

  TUiGIFImage anim;
  Load(anim, File(B({'!', 0xFF, 11}) + "ANIMEXTS1.0" + B({3, 1}) + Le16(5) + B({0}) + Image(4, 1) + kPixels, 4, 1));
  EXPECT_TRUE(anim.Looping());
  EXPECT_EQ(anim.RepeatCount(), 5);
  TUiGIFImage other;
  Load(other, File(B({'!', 0xFF, 11}) + "XMP DataXMP" + B({3, 1, 5, 0, 0}) + Image(4, 1) + kPixels, 4, 1));
  EXPECT_FALSE(other.Looping());

  EXPECT_EQ(ErrorOf(File(B({'!', 0x42, 1, 0, 0}) + Image(4, 1) + kPixels, 4, 1)), "Unrecognized extension block: 42");
}

// Catches comment runs that are lost or joined wrongly, and stray bytes that pass silently.
TEST(UiGIFRead, CommentsWithoutImageAndStrayBytes) {
  TUiGIFImage g;
  Load(g, File(Comment({"first"}) + Comment({"sec", "ond"}), 4, 1));
  EXPECT_EQ(g.FrameCount(), 0);
  EXPECT_EQ(g.Comment(), (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(g.CommentText(), "first\r\n\r\nsecond");
  EXPECT_TRUE(g.Empty());
  EXPECT_EQ(g.Width(), 0);
  EXPECT_EQ(ErrorOf(File(B({'x'}) + Image(4, 1) + kPixels, 4, 1)), "Stream read error");
  EXPECT_EQ(ErrorOf(File(Comment({"a"}) + B({'x'}), 4, 1)), "Stream read error") << "a stray byte after a comment";
}

// Catches a transparent entry that shares its colour with another (so drawing would leave out
// both), the blue walk's turn at 0, and drawing that leaves out the wrong pixels.
TEST(UiGIFRead, TransparentColourMadeUniqueAndLeftOut) {
  const Bytes table = Table({{10, 20, 30}, {10, 20, 30}, {10, 20, 29}, {0, 0, 0}});
  TUiGIFImage g;
  Load(g, "GIF89a" + Screen(4, 1, 0x81) + table + GraphicControl(1, 0, 0) + Image(4, 1) +
              Data(2, RootCodes({0, 1, 2, 3}, 2)) + ";");
  const TUiGIFFrame& f = g.Frames(0);
  EXPECT_EQ(f.ColorTable().Colors[0], (TUiGIFColor{10, 20, 28})) << "30 clashes, 29 clashes, 28 is free";
  EXPECT_EQ(f.ColorTable().Colors[1], (TUiGIFColor{10, 20, 30}));
  EXPECT_EQ(f.TransparentColor(), static_cast<TColor>(RGB(10, 20, 28)));
  EXPECT_TRUE(g.Transparent());

  TBitmap canvas(4, 1);
  canvas.Canvas().Brush.Color = clRed;
  canvas.Canvas().FillRect(Rect(0, 0, 4, 1));
  g.Draw(canvas.Canvas(), Rect(0, 0, 4, 1));
  EXPECT_EQ(canvas.Surface().Pixel(0, 0), ColorToPixel(clRed)) << "the transparent index shows the background";
  EXPECT_EQ(canvas.Surface().Pixel(1, 0), 0x0A141Eu) << "the entry it used to equal is drawn";
  EXPECT_EQ(canvas.Surface().Pixel(2, 0), 0x0A141Du);

  g.SetTransparent(false);
  EXPECT_FALSE(g.Transparent());
  g.Draw(canvas.Canvas(), Rect(0, 0, 4, 1));
  EXPECT_EQ(canvas.Surface().Pixel(0, 0), 0x0A141Cu) << "not transparent: every pixel drawn";

  TUiGIFImage black;
  Load(black, "GIF89a" + Screen(4, 1, 0x81) + Table({{0, 0, 0}, {0, 0, 0}, {0, 0, 1}, {9, 9, 9}}) +
                  GraphicControl(1, 0, 1) + Image(4, 1) + kPixels + ";");
  EXPECT_EQ(black.Frames(0).ColorTable().Colors[1], (TUiGIFColor{0, 0, 2})) << "blue 0 turns upwards";

  TUiGIFImage cleared;
  Load(cleared, File(GraphicControl(1, 0, 1) + GraphicControl(0, 0, 1) + Image(4, 1) + kPixels, 4, 1));
  EXPECT_EQ(cleared.Frames(0).TransparentColor(), kUiGIFNoColor) << "a later control without the flag clears it";
  EXPECT_FALSE(cleared.Transparent());
}

// Catches stretched drawing that samples the wrong source pixels or misses the bottom-up rows.
TEST(UiGIFRead, DrawStretched) {
  TUiGIFImage g;
  Load(g, File(Image(2, 2) + Data(2, RootCodes({1, 2, 3, 0}, 2)), 2, 2));
  EXPECT_EQ(g.Width(), 2);
  EXPECT_EQ(g.Height(), 2);
  TBitmap canvas(4, 4);
  g.Draw(canvas.Canvas(), Rect(0, 0, 4, 4));
  const TSurface& s = canvas.Surface();
  EXPECT_EQ(s.Pixel(1, 1), 0x101010u);
  EXPECT_EQ(s.Pixel(2, 1), 0x202020u);
  EXPECT_EQ(s.Pixel(1, 2), 0x303030u);
  EXPECT_EQ(s.Pixel(3, 3), 0x000000u);
}

// Catches a registration under the wrong names, a stored picture not read through the
// class, size changes that are allowed, and copies that share or lose state.
TEST(UiGIFRead, RegistrationStoredFormSizeAndCopy) {
  EXPECT_EQ(FileFormatDescription("gif"), "CompuServe GIF Image");
  EXPECT_EQ(FileFormatClassName("GIF"), "TUiGIFImage");
  EXPECT_EQ(ClipboardFormatClassName("GIF Image"), "TUiGIFImage");

  TPicture p;
  p.LoadStored("TUiGIFImage", Counted(File(Image(4, 1) + kPixels, 4, 1)));
  auto* g = dynamic_cast<TUiGIFImage*>(p.Graphic());
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(p.Width(), 4);
  EXPECT_EQ(Indices(*g), (std::vector<int>{1, 2, 3, 0}));
  TPicture none;
  none.LoadStored("TUiGIFImage", Counted(""));
  ASSERT_NE(none.Graphic(), nullptr);
  EXPECT_TRUE(none.Graphic()->Empty());

  try {
    g->SetWidth(10);
    FAIL() << "the size of a GIF picture is its bitmap's";
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_EQ(e.Message(), "Cannot change the Size of a GIF image");
  }
  EXPECT_THROW(g->SetHeight(10), EInvalidGraphicOperation);

  TPicture copy;
  copy.Assign(&p);
  auto* c = dynamic_cast<TUiGIFImage*>(copy.Graphic());
  ASSERT_NE(c, nullptr);
  ASSERT_NE(c, g);
  EXPECT_EQ(Indices(*c), Indices(*g));
  EXPECT_EQ(c->Frames(0).Owner(), c);
}
