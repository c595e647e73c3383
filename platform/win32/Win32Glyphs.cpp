// The glyph rasteriser on Windows: the system's font mapper picks the faces and GDI renders
// them, each face in a memory device context of its own.
//
// Sections: opening a font; raster strikes; scalable faces; the rasteriser.
//
// Raster strikes: "MS Sans Serif" at a character height one of the raster face's strikes has
// (sserife.fon, on Windows as under Wine: 11, 13 and 16 px) comes from that strike. Raster
// faces have no outlines, so each glyph is drawn into a DIB section and its ink read back,
// solid; bold is left to GDI, which emboldens a raster face as the pages expect (every glyph
// smeared one pixel to the right, its advance one wider). Italic, and every other size, use a
// scalable face.
//
// Scalable lookup: the asked-for family when the mapper has it as an outline face, else
// Microsoft Sans Serif, Arial, Tahoma, else the mapper's own choice for a sans-serif. The
// raster family itself is not looked up as an outline face: its other sizes go to the same
// fallback as on a machine where it is a raster face only (Wine also installs an outline face
// of that name). Glyphs are GetGlyphOutlineW's 65 levels of grey, spread over 0..255.
//
// Size: TFont::Height is the em in pixels, which is what a negative LOGFONT height asks for.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <tuple>

#include "Cp1252.h"
#include "GlyphRasterizer.h"
#include "SysUtils.h"
#include "Win32Text.h"
#include "WinPrelude.h"  // last: see there

namespace {

constexpr int32_t kDefaultHeight = 11;
const char* const kStrikeFamily = "MS Sans Serif";

// ---- opening a font ----

// A font selected into a memory device context of its own; what the mapper made of the
// request is in Metrics and Family.
class TSelectedFont {
 public:
  TSelectedFont(const std::string& name, int32_t px, bool bold, bool italic, BYTE precision) {
    LOGFONTW lf{};
    lf.lfHeight = -px;
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = italic ? TRUE : FALSE;
    lf.lfCharSet = ANSI_CHARSET;
    lf.lfOutPrecision = precision;
    lf.lfQuality = ANTIALIASED_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
    const std::wstring face = WideFromCp1252(name);
    face.copy(lf.lfFaceName, LF_FACESIZE - 1);
    FFont = CreateFontIndirectW(&lf);
    FDC = CreateCompatibleDC(nullptr);
    FOldFont = SelectObject(FDC, FFont);
    GetTextMetricsW(FDC, &Metrics);
    wchar_t used[LF_FACESIZE] = {};
    const int n = GetTextFaceW(FDC, LF_FACESIZE, used);
    Family = Cp1252FromWide(used, n > 0 ? static_cast<size_t>(n - 1) : 0);
  }
  ~TSelectedFont() {
    SelectObject(FDC, FOldFont);
    DeleteDC(FDC);
    DeleteObject(FFont);
  }
  TSelectedFont(const TSelectedFont&) = delete;
  TSelectedFont& operator=(const TSelectedFont&) = delete;

  HDC DC() const { return FDC; }
  bool Outline() const { return (Metrics.tmPitchAndFamily & (TMPF_VECTOR | TMPF_TRUETYPE)) != 0; }

  TEXTMETRICW Metrics{};
  std::string Family;

 private:
  HFONT FFont;
  HDC FDC;
  HGDIOBJ FOldFont;
};

// A face over one selected font.
class TGdiFace : public TCachedGlyphFace {
 public:
  explicit TGdiFace(std::unique_ptr<TSelectedFont> font) : FFont(std::move(font)) {
    FAscent = FFont->Metrics.tmAscent;
    FDescent = FFont->Metrics.tmHeight - FFont->Metrics.tmAscent;
  }
  const std::string& FamilyName() const override { return FFont->Family; }

 protected:
  int32_t CharWidth(wchar_t ch) const {
    INT w = 0;
    return GetCharWidth32W(FFont->DC(), ch, ch, &w) ? w : 0;
  }

  std::unique_ptr<TSelectedFont> FFont;
};

// ---- raster strikes ----

class TStrikeFace final : public TGdiFace {
 public:
  explicit TStrikeFace(std::unique_ptr<TSelectedFont> font) : TGdiFace(std::move(font)) {
    FUnderline = std::max(1, FDescent / 2);
    FStrikeOut = std::max(1, FAscent * 3 / 10);
    const TEXTMETRICW& tm = FFont->Metrics;
    // Room for the widest glyph and what emboldening adds to it.
    FCellWidth = tm.tmMaxCharWidth + tm.tmOverhang + 1;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = FCellWidth;
    bi.bmiHeader.biHeight = -tm.tmHeight;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    FCell = CreateDIBSection(FFont->DC(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    FBits = static_cast<uint32_t*>(bits);
    FOldCell = SelectObject(FFont->DC(), FCell);
    SetTextColor(FFont->DC(), RGB(255, 255, 255));
    SetBkMode(FFont->DC(), TRANSPARENT);
    SetTextAlign(FFont->DC(), TA_LEFT | TA_TOP | TA_NOUPDATECP);
  }
  ~TStrikeFace() override {
    SelectObject(FFont->DC(), FOldCell);
    DeleteObject(FCell);
  }
  TStrikeFace(const TStrikeFace&) = delete;
  TStrikeFace& operator=(const TStrikeFace&) = delete;

 private:
  void Load(uint8_t b, TGlyph& g, std::vector<uint8_t>& cov) override {
    const auto ch = static_cast<wchar_t>(Cp1252ToUnicode(b));
    g.Advance = CharWidth(ch);
    if (!FBits) return;
    const int32_t rows = FFont->Metrics.tmHeight;
    // A raster glyph's cell is its advance; GDI's emboldening stays inside the wider advance.
    const int32_t w = std::min(g.Advance, FCellWidth);
    if (w <= 0) return;
    std::fill_n(FBits, static_cast<size_t>(FCellWidth) * static_cast<size_t>(rows), 0u);
    TextOutW(FFont->DC(), 0, 0, &ch, 1);
    GdiFlush();
    cov.assign(static_cast<size_t>(w) * static_cast<size_t>(rows), 0);
    for (int32_t y = 0; y < rows; ++y)
      for (int32_t x = 0; x < w; ++x)
        if (FBits[static_cast<size_t>(y) * static_cast<size_t>(FCellWidth) + static_cast<size_t>(x)] & 0xFFFFFFu)
          cov[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] = 255;
    g.Top = FAscent;
    g.Width = w;
    g.Height = rows;
    g.Coverage = cov.data();
  }

  int32_t FCellWidth = 0;
  HBITMAP FCell = nullptr;
  uint32_t* FBits = nullptr;
  HGDIOBJ FOldCell = nullptr;
};

// The strike of the raster family whose character height is px, or null.
std::unique_ptr<TSelectedFont> OpenStrike(int32_t px, bool bold) {
  auto f = std::make_unique<TSelectedFont>(kStrikeFamily, px, bold, false, static_cast<BYTE>(OUT_RASTER_PRECIS));
  const TEXTMETRICW& tm = f->Metrics;
  // The mapper answers with the nearest size and any face of a similar name: only the exact
  // strike will do, in the code page the texts are in.
  if (f->Outline() || !SameText(f->Family, kStrikeFamily) || tm.tmCharSet != ANSI_CHARSET ||
      tm.tmHeight - tm.tmInternalLeading != px)
    return nullptr;
  return f;
}

// ---- scalable faces ----

class TOutlineFace final : public TGdiFace {
 public:
  explicit TOutlineFace(std::unique_ptr<TSelectedFont> font) : TGdiFace(std::move(font)) {
    HDC dc = FFont->DC();
    const UINT size = GetOutlineTextMetricsW(dc, 0, nullptr);
    std::vector<uint8_t> buffer(size);
    auto* otm = reinterpret_cast<OUTLINETEXTMETRICW*>(buffer.data());
    if (size >= sizeof(OUTLINETEXTMETRICW) && GetOutlineTextMetricsW(dc, size, otm)) {
      FThickness = std::max(1, static_cast<int32_t>(otm->otmsUnderscoreSize));
      const int32_t centre = -otm->otmsUnderscorePosition;
      FUnderline = std::clamp(centre - FThickness / 2, 1, std::max(1, FDescent - FThickness));
      FStrikeOut = otm->otmsStrikeoutPosition > 0 ? otm->otmsStrikeoutPosition : std::max(1, FAscent * 3 / 10);
    } else {
      FStrikeOut = std::max(1, FAscent * 3 / 10);
    }
  }

 private:
  void Load(uint8_t b, TGlyph& g, std::vector<uint8_t>& cov) override {
    const auto ch = static_cast<wchar_t>(Cp1252ToUnicode(b));
    static const MAT2 kIdentity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    GLYPHMETRICS gm{};
    const DWORD size = GetGlyphOutlineW(FFont->DC(), ch, GGO_GRAY8_BITMAP, &gm, 0, nullptr, &kIdentity);
    if (size == GDI_ERROR) {
      g.Advance = CharWidth(ch);
      return;
    }
    g.Advance = gm.gmCellIncX;
    if (size == 0) return;  // no ink (a space)
    FScratch.resize(size);
    if (GetGlyphOutlineW(FFont->DC(), ch, GGO_GRAY8_BITMAP, &gm, size, FScratch.data(), &kIdentity) == GDI_ERROR)
      return;
    const auto w = static_cast<int32_t>(gm.gmBlackBoxX);
    const auto h = static_cast<int32_t>(gm.gmBlackBoxY);
    const size_t pitch = (static_cast<size_t>(w) + 3) & ~size_t{3};  // rows are DWORD-aligned
    if (pitch * static_cast<size_t>(h) > size) return;
    cov.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const unsigned level =
            std::min<unsigned>(FScratch[static_cast<size_t>(y) * pitch + static_cast<size_t>(x)], 64);
        cov[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] =
            static_cast<uint8_t>((level * 255 + 32) / 64);
      }
    g.Left = gm.gmptGlyphOrigin.x;
    g.Top = gm.gmptGlyphOrigin.y;
    g.Width = w;
    g.Height = h;
    g.Coverage = cov.data();
  }

  std::vector<uint8_t> FScratch;
};

std::unique_ptr<TGlyphFace> OpenScalable(const std::string& name, int32_t px, bool bold, bool italic) {
  const BYTE precision = static_cast<BYTE>(OUT_OUTLINE_PRECIS);
  const bool rasterFamily = SameText(name, kStrikeFamily);
  for (const std::string& family : {rasterFamily ? std::string() : name, std::string("Microsoft Sans Serif"),
                                    std::string("Arial"), std::string("Tahoma")}) {
    if (family.empty()) continue;
    auto f = std::make_unique<TSelectedFont>(family, px, bold, italic, precision);
    if (f->Outline() && SameText(f->Family, family)) return std::make_unique<TOutlineFace>(std::move(f));
  }
  return std::make_unique<TOutlineFace>(std::make_unique<TSelectedFont>("", px, bold, italic, precision));
}

// ---- the rasteriser ----

class TGdiRasterizer final : public TGlyphRasterizer {
 public:
  TGlyphFace& Face(const std::string& name, int32_t height, TFontStyles style) override {
    const int32_t px = height == 0 ? kDefaultHeight : std::abs(height);
    const auto styleBits = static_cast<TFontStyles>(style & (fsBold | fsItalic));
    const bool bold = (styleBits & fsBold) != 0;
    const bool italic = (styleBits & fsItalic) != 0;
    const bool strike = BitmapFaces() && !italic && SameText(name, kStrikeFamily);
    auto key = std::make_tuple(name, px, styleBits, strike);
    auto it = FFaces.find(key);
    if (it != FFaces.end()) return *it->second;
    std::unique_ptr<TGlyphFace> face;
    if (auto f = strike ? OpenStrike(px, bold) : nullptr)
      face = std::make_unique<TStrikeFace>(std::move(f));
    else
      face = OpenScalable(name, px, bold, italic);
    TGlyphFace& ref = *face;
    FFaces.emplace(std::move(key), std::move(face));
    return ref;
  }

 private:
  // Keyed by the request and by whether a strike could answer it, so that turning strikes off
  // gives new faces and leaves the old ones valid.
  std::map<std::tuple<std::string, int32_t, TFontStyles, bool>, std::unique_ptr<TGlyphFace>> FFaces;
};

}  // namespace

TGlyphRasterizer& GlyphRasterizer() {
  static TGdiRasterizer instance;
  return instance;
}
