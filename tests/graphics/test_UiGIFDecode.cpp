// Decoding frames into bitmaps: LZW strings from the table (including a code that is being
// defined), interlaced row order, early ends, 1-, 4- and 8-bit rows, and the directory of
// malformed files, each of which must fail with its text or load and be marked as the
// decoder found it, never crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "GifBytes.h"

using namespace gifbytes;

// Catches strings built wrongly from the table: a code already defined, a code equal to the
// free code (previous string + its own first pixel), and the width growing to 4 bits.
TEST(UiGIFDecode, LzwStringsFromTheTable) {
  const TCodes codes = {
      {4, 3},  // clear
      {1, 3},  // 1                      (first after clear: no entry)
      {6, 3},  // 1 1   = the free code  (entry 6 = 1 1)
      {6, 3},  // 1 1                    (entry 7 = 1 1 1; free 8 widens codes to 4 bits)
      {2, 4},  // 2                      (entry 8 = 1 1 2)
      {8, 4},  // 1 1 2                  (entry 9 = 2 1)
      {5, 4},  // end
  };
  TUiGIFImage g;
  Load(g, File(Image(9, 1) + Data(2, codes), 9, 1));
  EXPECT_EQ(Indices(g), (std::vector<int>{1, 1, 1, 1, 1, 2, 1, 1, 2}));
  EXPECT_FALSE(g.Frames(0).Corrupted());
}

// Catches interlaced rows written in stream order, or passes that do not skip start rows
// past the height.
TEST(UiGIFDecode, InterlacedRowOrder) {
  TUiGIFImage three;
  Load(three, File(Image(1, 3, 0x40) + Data(2, RootCodes({1, 2, 3}, 2)), 1, 3));
  EXPECT_EQ(Indices(three), (std::vector<int>{1, 3, 2})) << "rows 0, 2, 1";

  // Row r of ten holds the pass order's position of r: 0, 8, 4, 2, 6, 1, 3, 5, 7, 9.
  TUiGIFImage ten;
  Load(ten, File(Image(1, 10, 0x40) + Data(4, RootCodes({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 4)), 1, 10, 4));
  EXPECT_EQ(Indices(ten), (std::vector<int>{0, 5, 3, 6, 2, 7, 4, 8, 1, 9}));
}

// Catches data that end before the picture does: the decoded part stays, the rest is index 0.
TEST(UiGIFDecode, EarlyEndLeavesIndexZero) {
  TUiGIFImage g;
  Load(g, File(Image(4, 2) + Data(2, {{4, 3}, {1, 3}, {2, 3}, {3, 3}}), 4, 2));
  EXPECT_EQ(Indices(g), (std::vector<int>{1, 2, 3, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(g.Frames(0).Corrupted()) << "a short stream is not a damaged one";
}

// Catches rows packed wrongly for 1- and 4-bit bitmaps, odd widths, and an 8-bit logo-sized
// picture whose palette is not its 256-colour table.
TEST(UiGIFDecode, RowLayoutPerDepth) {
  TUiGIFImage one;
  Load(one, File(Image(10, 1) + Data(2, RootCodes({1, 0, 1, 1, 0, 0, 1, 0, 1, 1}, 2)), 10, 1, 1));
  const TDIBitmap& b1 = one.Frames(0).Bitmap();
  ASSERT_EQ(b1.BitsPerPixel(), 1);
  EXPECT_EQ(b1.Stride(), 4u);
  EXPECT_EQ(b1.StoredRow(0)[0], 0b10110010);
  EXPECT_EQ(b1.StoredRow(0)[1], 0b11000000);

  TUiGIFImage four;
  Load(four, File(Image(3, 2) + Data(3, RootCodes({5, 6, 7, 1, 2, 3}, 3)), 3, 2, 3));
  const TDIBitmap& b4 = four.Frames(0).Bitmap();
  ASSERT_EQ(b4.BitsPerPixel(), 4);
  EXPECT_EQ(b4.StoredRow(1)[0], 0x56) << "the top row is the last stored row";
  EXPECT_EQ(b4.StoredRow(1)[1], 0x70);
  EXPECT_EQ(b4.StoredRow(0)[0], 0x12);
  EXPECT_EQ(b4.Palette()[9].Red, 128) << "entries past the table are grey";

  std::vector<int> logo(size_t{65} * 33);
  for (size_t i = 0; i < logo.size(); ++i) logo[i] = static_cast<int>((i * 7) % 256);
  Bytes table;
  for (int i = 0; i < 256; ++i) table += B({i, 255 - i, (i * 3) & 0xFF});
  TUiGIFImage g;
  Load(g, "GIF89a" + Screen(65, 33, 0x87) + table + Image(65, 33) + Data(8, RootCodes(logo, 8)) + ";");
  const TDIBitmap& b8 = g.Frames(0).Bitmap();
  ASSERT_EQ(b8.BitsPerPixel(), 8);
  EXPECT_EQ(b8.Width(), 65);
  EXPECT_EQ(b8.Height(), 33);
  EXPECT_EQ(b8.Stride(), 68u);
  for (int i = 0; i < 256; ++i) {
    const TRGBQuad& q = b8.Palette()[static_cast<size_t>(i)];
    ASSERT_TRUE(q.Red == i && q.Green == 255 - i && q.Blue == ((i * 3) & 0xFF)) << "palette entry " << i;
  }
  EXPECT_EQ(Indices(g), logo);
}

// ---- malformed files ----

namespace {

struct TExpected {
  std::string Error;       // empty: loads
  bool Corrupted = false;  // when it loads
};

// What each file in the malformed directory must do.
const std::map<std::string, TExpected>& MalformedExpectations() {
  static const std::map<std::string, TExpected> m = {
      {"code_size_1.gif", {"", true}},
      {"code_size_12.gif", {"", true}},
      {"full_table_no_clear.gif", {"", false}},
      {"codes_beyond_free.gif", {"", false}},
      {"absurd_dimensions.gif", {"GIF image too large: 65535 x 65535 pixels"}},
      {"absurd_screen_size.gif", {"GIF image too large: 40000 x 40000 pixels"}},
      {"truncated_subblock.gif", {"", true}},
      {"unterminated_data.gif", {"", true}},
      {"unknown_extension.gif", {"Unrecognized extension block: 42"}},
      {"truncated_screen_descriptor.gif", {"Stream read error"}},
      {"truncated_color_table.gif", {"Stream read error"}},
      {"truncated_image_descriptor.gif", {"Stream read error"}},
      {"truncated_graphic_control.gif", {"Stream read error"}},
      {"stray_byte_after_header.gif", {"Stream read error"}},
      {"overlong_string.gif", {"", true}},
      {"stale_code_after_clear.gif", {"", false}},
      {"transparent_index_beyond_table.gif", {"", false}},
      {"empty_file.gif", {"Unknown GIF version"}},
      {"bad_version.gif", {"Unknown GIF version"}},
      {"no_image_data.gif", {"", true}},
      {"garbage_after_image.gif", {"", false}},
  };
  return m;
}

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

}  // namespace

// Catches a malformed file that crashes, fails with the wrong text, or is tolerated without
// the corrupted mark (or marked when it is sound); and a file added without an expectation.
TEST(UiGIFDecode, MalformedDirectory) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(MALFORMED_DIR))
    if (e.path().extension() == ".gif") files[e.path().filename().string()] = ReadFile(e.path());
  for (const auto& [name, expected] : MalformedExpectations())
    EXPECT_TRUE(files.count(name)) << name << " is missing from " << MALFORMED_DIR;
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    auto it = MalformedExpectations().find(name);
    ASSERT_NE(it, MalformedExpectations().end()) << name << " has no expectation";
    TUiGIFImage g;
    std::string error;
    try {
      Load(g, bytes);
    } catch (const EInvalidGraphicOperation& e) {
      error = e.Message();
    }
    EXPECT_EQ(error, it->second.Error);
    if (!error.empty()) {
      EXPECT_EQ(g.FrameCount(), 0) << "a frame that failed is not kept";
      continue;
    }
    ASSERT_EQ(g.FrameCount(), 1);
    EXPECT_EQ(g.Frames(0).Corrupted(), it->second.Corrupted);
    EXPECT_EQ(g.Width(), g.Frames(0).Width());
    TBitmap canvas(8, 8);
    g.Draw(canvas.Canvas(), Rect(0, 0, 8, 8));  // drawing damaged pictures must be safe too
  }
}

// Catches the tolerated files decoding to something other than what their codes say.
TEST(UiGIFDecode, MalformedFilesDecodeWhatTheirCodesSay) {
  auto load = [](const char* name) {
    auto g = std::make_unique<TUiGIFImage>();
    Load(*g, ReadFile(std::filesystem::path(MALFORMED_DIR) / name));
    return g;
  };
  EXPECT_EQ(Indices(*load("codes_beyond_free.gif")), (std::vector<int>{1, 1, 1}))
      << "a code past the free code is the free code";
  EXPECT_EQ(Indices(*load("code_size_1.gif")), (std::vector<int>{1, 2, 3, 0})) << "clamped to 2";
  const std::vector<int> full = Indices(*load("full_table_no_clear.gif"));
  EXPECT_EQ(std::count(full.begin(), full.end(), 1), 64 * 128) << "codes stay 12 bits wide once the table is full";
  EXPECT_EQ(Indices(*load("truncated_subblock.gif")), (std::vector<int>{1, 0, 0, 0})) << "what the one byte held";
  EXPECT_EQ(load("transparent_index_beyond_table.gif")->Frames(0).TransparentColor(), kUiGIFNoColor);
  auto overlong = load("overlong_string.gif");
  const TDIBitmap& d = overlong->Frames(0).Bitmap();
  EXPECT_EQ(d.Index(4095, 2099), 0) << "decoding stopped before the last row";
}
