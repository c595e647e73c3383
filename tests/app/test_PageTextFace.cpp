// The flashing-lights page's padded address table in the raster "MS Sans Serif" (fonts-wine's
// on Linux, the system's own on Windows), which its blanks were counted for.
#include <algorithm>
#include <string>
#include <vector>

#include "RasterFont.h"
#include "ShownMainWindow.h"

namespace {

// Catches a face whose metrics break the flashing-lights page's padded table: with the bitmap
// face the three address values start within a pixel of each other, less than one blank.
TEST(PageTextBitmapFace, AddressValuesLineUp) {
  if (!RasterSansSerifInstalled()) GTEST_SKIP() << "the raster MS Sans Serif is not installed";
  TShownMainWindow window;
  TForm1* f = window.F;
  TCanvas measure;
  measure.Font().Assign(&f->UiLabel4->Font());
  const std::string& t = f->UiLabel4->Caption();
  std::vector<int32_t> starts;
  for (const char* key : {"IP address:", "Subnet mask:", "Gateway:"}) {
    const size_t at = t.find(key);
    ASSERT_NE(at, std::string::npos) << key;
    const size_t value = t.find_first_of("0123456789", at);
    starts.push_back(measure.TextWidth(t.substr(at, value - at)));
  }
  const auto [lo, hi] = std::minmax_element(starts.begin(), starts.end());
  EXPECT_LE(*hi - *lo, 1) << starts[0] << " " << starts[1] << " " << starts[2];
  EXPECT_LT(*hi - *lo, measure.TextWidth(" "));
}

}  // namespace
