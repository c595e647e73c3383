// Differential test: every GIF of the ImageMagick corpus made at build time decodes to the same
// palette indices, colour tables and transparent colour with our decoder as with giflib, frame
// by frame (the first frame of every file, and the later frames with their local tables).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "GiflibReference.h"
#include "UiGIF.h"

namespace {

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Empty when the frames agree, else what differs first.
std::string Compare(TUiGIFFrame& ours, const giflibref::TFrame& ref) {
  const TDIBitmap& d = ours.Bitmap();
  if (d.Width() != ref.Width || d.Height() != ref.Height)
    return "size " + std::to_string(d.Width()) + "x" + std::to_string(d.Height()) + " vs " + std::to_string(ref.Width) +
           "x" + std::to_string(ref.Height);
  for (int32_t y = 0; y < ref.Height; ++y)
    for (int32_t x = 0; x < ref.Width; ++x) {
      const int want = ref.Indices[static_cast<size_t>(y) * static_cast<size_t>(ref.Width) + static_cast<size_t>(x)];
      if (d.Index(x, y) != want)
        return "index at (" + std::to_string(x) + "," + std::to_string(y) + "): " + std::to_string(d.Index(x, y)) +
               " vs " + std::to_string(want);
    }
  const TUiGIFColorTable& t = ours.ColorTable();
  if (static_cast<size_t>(t.Count) * 3 != ref.Table.size())
    return "table of " + std::to_string(t.Count) + " vs " + std::to_string(ref.Table.size() / 3);
  for (int32_t i = 0; i < t.Count; ++i) {
    const size_t at = 3 * static_cast<size_t>(i);
    const TUiGIFColor want{ref.Table[at], ref.Table[at + 1], ref.Table[at + 2]};
    if (t.Colors[i] == want) continue;
    // The transparent entry may have had its blue moved to make its colour unique.
    const bool movedTransparent =
        i == ref.TransparentIndex && t.Colors[i].Red == want.Red && t.Colors[i].Green == want.Green;
    if (!movedTransparent) return "table entry " + std::to_string(i);
    for (int32_t j = 0; j < t.Count; ++j)
      if (j != i && t.Colors[j] == t.Colors[i]) return "transparent entry not unique";
  }
  if (d.Palette().size() < static_cast<size_t>(t.Count)) return "palette shorter than the table";
  // An index outside the table makes nothing transparent.
  const bool transparent = ref.TransparentIndex >= 0 && ref.TransparentIndex < t.Count;
  const TColor want = transparent ? t.ColorOf(ref.TransparentIndex) : kUiGIFNoColor;
  if (ours.TransparentColor() != want)
    return "transparent colour " + std::to_string(ours.TransparentColor()) + " vs " + std::to_string(want) +
           " (index " + std::to_string(ref.TransparentIndex) + ")";
  return "";
}

bool AnyTransparent(const std::vector<giflibref::TFrame>& frames) {
  return std::any_of(frames.begin(), frames.end(), [](const giflibref::TFrame& f) {
    return f.TransparentIndex >= 0 && static_cast<size_t>(f.TransparentIndex) * 3 < f.Table.size();
  });
}

}  // namespace

// Catches any decoding difference from the reference on real encoder output: LZW edge cases
// (width growth, full tables, clear codes), interlacing, depths, tables, transparency.
TEST(UiGIFDifferential, CorpusMatchesGiflib) {
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(GIF_CORPUS_DIR))
    if (e.path().extension() == ".gif") files.push_back(e.path());
  ASSERT_GE(files.size(), 200u) << "corpus in " << GIF_CORPUS_DIR;

  std::set<int> depths;
  int interlaced = 0, local = 0, transparent = 0, old = 0, frames = 0;
  for (const auto& path : files) {
    SCOPED_TRACE(path.filename().string());
    const std::string bytes = ReadFile(path);
    std::vector<giflibref::TFrame> ref;
    std::string error;
    ASSERT_TRUE(giflibref::Decode(bytes, ref, 16, &error)) << "giflib: " << error;
    TUiGIFImage ours;
    ours.LoadFromBytes(bytes.data(), bytes.size());
    ASSERT_EQ(ours.FrameCount(), static_cast<int>(ref.size()));
    for (size_t i = 0; i < ref.size(); ++i) {
      TUiGIFFrame& f = ours.Frames(static_cast<int>(i));
      const std::string diff = Compare(f, ref[i]);
      EXPECT_EQ(diff, "") << "frame " << i;
      EXPECT_FALSE(f.Corrupted()) << "frame " << i;
      ++frames;
      interlaced += f.Interlaced();
      local += f.LocalColors();
      transparent += f.TransparentColor() != kUiGIFNoColor;
      if (i == 0) depths.insert(f.BitsPerPixel());
    }
    EXPECT_EQ(ours.Transparent(), AnyTransparent(ref)) << "the picture's transparency";
    old += ours.Version() == "87a";
  }
  // The corpus really covers what it claims to.
  EXPECT_EQ(depths, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_GT(interlaced, 20);
  EXPECT_GT(local, 5);
  EXPECT_GT(transparent, 20);
  EXPECT_GT(old, 20);
  std::cout << "[          ] " << files.size() << " files, " << frames << " frames compared with giflib\n";
}

// Catches a reference that crashes on a failure giflib leaves without an error code (no text
// for code 0), or that allocates whatever a descriptor claims: every malformed file is either
// decoded or refused with a reason, and an absurd frame is refused before allocation.
TEST(UiGIFDifferential, ReferenceRefusesMalformedFilesWithAReason) {
  int refused = 0;
  for (const auto& e : std::filesystem::directory_iterator(MALFORMED_DIR)) {
    if (e.path().extension() != ".gif") continue;
    SCOPED_TRACE(e.path().filename().string());
    std::vector<giflibref::TFrame> frames;
    std::string error;
    if (giflibref::Decode(ReadFile(e.path()), frames, 16, &error)) continue;
    ++refused;
    EXPECT_NE(error, "");
  }
  EXPECT_GT(refused, 5);
  std::vector<giflibref::TFrame> frames;
  std::string error;
  EXPECT_FALSE(
      giflibref::Decode(ReadFile(std::filesystem::path(MALFORMED_DIR) / "absurd_dimensions.gif"), frames, 1, &error));
  EXPECT_EQ(error, "frame of 65535 x 65535 pixels is over the reference's limit of 67108864");
  EXPECT_FALSE(
      giflibref::Decode(ReadFile(std::filesystem::path(MALFORMED_DIR) / "no_image_data.gif"), frames, 1, &error));
  EXPECT_EQ(error, "giflib failed without an error code (0)");
}
