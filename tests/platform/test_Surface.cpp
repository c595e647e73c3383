// TSurface: resizing, reading pixels, and PNG files read back by another decoder.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "Graphics.h"
#include "PngRead.h"

namespace {

// Catches a resize that loses the overlap, scrambles rows (stride change) or leaves garbage.
TEST(Surface, ResizeKeepsTheOverlapAndWhitensNewPixels) {
  TSurface s(3, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) s.Row(y)[x] = static_cast<uint32_t>(10 * y + x);
  s.Resize(5, 4);
  ASSERT_EQ(s.Width(), 5);
  ASSERT_EQ(s.Height(), 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(s.Pixel(x, y), x < 3 && y < 2 ? static_cast<uint32_t>(10 * y + x) : 0xFFFFFFu) << x << "," << y;
  s.Resize(2, 1);
  EXPECT_EQ(s.Pixel(1, 0), 1u);
}

// Catches reads outside the surface that touch memory instead of answering 0.
TEST(Surface, PixelOutsideIsZero) {
  TSurface s(2, 2);
  s.Fill(0xABCDEF);
  EXPECT_EQ(s.Pixel(1, 1), 0xABCDEFu);
  EXPECT_EQ(s.Pixel(-1, 0), 0u);
  EXPECT_EQ(s.Pixel(2, 0), 0u);
  EXPECT_EQ(s.Pixel(0, 2), 0u);
}

// Catches a size that would wrap or exhaust memory being attempted.
TEST(Surface, AbsurdSizeRaisesOutOfResources) {
  TSurface s(4, 4);
  EXPECT_THROW(s.Resize(100000, 100000), EOutOfResources);
  EXPECT_EQ(s.Width(), 4) << "a failed resize leaves the surface as it was";
  s.Resize(-3, 7);
  EXPECT_EQ(s.Width(), 0);
}

std::string TempPath(const char* name) { return testing::TempDir() + name; }

// Catches channel order swapped (BGR), rows flipped, or the pad byte written as alpha.
TEST(SurfacePng, WrittenFileReadsBackPixelExact) {
  TSurface s(7, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x)
      s.Row(y)[x] = (static_cast<uint32_t>(30 * x) << 16) | (static_cast<uint32_t>(80 * y) << 8) | 0x11;
  const std::string path = TempPath("surface_roundtrip.png");
  s.SavePng(path);

  const TDecodedPng image = DecodePngFile(path);
  ASSERT_EQ(image.Error, "");
  ASSERT_EQ(image.Width, 7u);
  ASSERT_EQ(image.Height, 3u);
  EXPECT_FALSE(image.Alpha) << "no alpha channel";
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) {
      const uint8_t* p = &image.Rgb[static_cast<size_t>(y * 7 + x) * 3];
      EXPECT_EQ(p[0], 30 * x) << "red at " << x << "," << y;
      EXPECT_EQ(p[1], 80 * y) << "green at " << x << "," << y;
      EXPECT_EQ(p[2], 0x11) << "blue at " << x << "," << y;
    }
  std::remove(path.c_str());
}

// Catches a failure to create the file being swallowed or reported as the wrong class.
TEST(SurfacePng, UncreatableFileRaisesInOutError) {
  TSurface s(2, 2);
  try {
    s.SavePng("/nonexistent-directory-for-test/shot.png");
    FAIL() << "no exception";
  } catch (const EInOutError& e) {
    // A missing folder: POSIX hosts have one error for it and a missing file, Windows its own.
    EXPECT_TRUE((e.ErrorCode == 2 && e.Message() == "File not found") ||
                (e.ErrorCode == 3 && e.Message() == "Path not found"))
        << e.ErrorCode << " " << e.Message();
  }
}

// Catches an empty surface handed to the encoder (which cannot store 0 x 0).
TEST(SurfacePng, EmptySurfaceRaises) {
  TSurface s;
  EXPECT_THROW(s.SavePng(TempPath("empty.png")), EInvalidGraphicOperation);
}

}  // namespace
