// The glyph rasteriser on Linux: FreeType renders glyphs from a bitmap strike of the raster
// "MS Sans Serif" or from the outlines of a scalable face that fontconfig finds.
//
// Sections: fontconfig lookup; the blank face; the glyph cache; scalable faces; bitmap strikes;
// the rasteriser.
//
// Bitmap strikes: "MS Sans Serif" at a character height that the raster face of Wine's font
// package has (11, 13 and 16 px: the 8, 10 and 12 point strikes, cells of 13, 16 and 20 px)
// comes from that face, opened by path because fontconfig does not index its folder. Its
// metrics are the ones the pages were laid out with. Bold is drawn as Windows draws a bitmap
// face in bold: every glyph smeared one pixel to the right, its advance one wider. Italic, and
// every other size, use the scalable fallback below.
//
// Scalable lookup: the asked-for family if installed, else Liberation Sans, else DejaVu Sans,
// else whatever fontconfig offers for "sans-serif". Bold and italic pick the family's own
// styles; a family without them gets synthetic emboldening or slant.
//
// Size: TFont::Height is the Windows "character height", the em square in pixels, so a
// scalable face is set to a pixel size of |Height| (a Windows font of height -11 renders
// exactly as FT_Set_Pixel_Sizes(0, 11)) and a bitmap strike is the one whose cell less its
// internal leading is |Height|. Ascent and descent are the face's, scaled and rounded up;
// their sum is the cell height that text extents report.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include FT_WINFONTS_H

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

#include "Cp1252.h"
#include "GlyphRasterizer.h"

namespace {

constexpr int32_t kDefaultHeight = 11;

int32_t CeilPixels(FT_Pos v26) { return static_cast<int32_t>((v26 + 63) >> 6); }
int32_t RoundPixels(FT_Pos v26) { return static_cast<int32_t>((v26 + 32) >> 6); }

// ---- fontconfig lookup ----

struct TFaceFile {
  std::string Path;
  int Index = 0;
  std::string Family;
  bool Bold = false;    // the file itself is bold
  bool Italic = false;  // the file itself is slanted
};

class TFontconfig {
 public:
  TFontconfig() : FConfig(FcInitLoadConfigAndFonts()) {}
  ~TFontconfig() {
    if (FConfig) FcConfigDestroy(FConfig);
  }
  TFontconfig(const TFontconfig&) = delete;
  TFontconfig& operator=(const TFontconfig&) = delete;

  // The best scalable face for `family`; unless acceptAny, only one that really carries that
  // family name (fontconfig otherwise answers every request with its nearest face).
  std::optional<TFaceFile> Match(const std::string& family, bool bold, bool italic, bool acceptAny) const {
    if (!FConfig) return std::nullopt;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return std::nullopt;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(FConfig, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(FConfig, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return std::nullopt;

    std::optional<TFaceFile> found;
    FcChar8* name = nullptr;
    bool familyMatches = false;
    std::string firstFamily;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
      std::string n(reinterpret_cast<const char*>(name));
      if (i == 0) firstFamily = n;
      if (SameText(n, family)) familyMatches = true;
    }
    FcChar8* file = nullptr;
    FcBool scalable = FcFalse;
    FcPatternGetBool(match, FC_SCALABLE, 0, &scalable);
    if ((familyMatches || acceptAny) && scalable && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
      TFaceFile f;
      f.Path = reinterpret_cast<const char*>(file);
      FcPatternGetInteger(match, FC_INDEX, 0, &f.Index);
      f.Family = familyMatches ? family : firstFamily;
      int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
      FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
      FcPatternGetInteger(match, FC_SLANT, 0, &slant);
      f.Bold = weight >= FC_WEIGHT_DEMIBOLD;
      f.Italic = slant != FC_SLANT_ROMAN;
      found = std::move(f);
    }
    FcPatternDestroy(match);
    return found;
  }

 private:
  FcConfig* FConfig;
};

// ---- the blank face ----

// A face with no ink, for a machine without a single usable font: text still measures and
// lays out, so a missing font never turns a paint into a failure.
class TBlankFace final : public TGlyphFace {
 public:
  explicit TBlankFace(int32_t px) : FAscent(px), FDescent(std::max(1, px / 4)) { FGlyph.Advance = std::max(1, px / 2); }
  const std::string& FamilyName() const override { return FName; }
  int32_t Ascent() const override { return FAscent; }
  int32_t Descent() const override { return FDescent; }
  int32_t UnderlinePosition() const override { return 1; }
  int32_t LineThickness() const override { return 1; }
  int32_t StrikeOutPosition() const override { return FAscent / 3; }
  const TGlyph& Glyph(uint8_t) override { return FGlyph; }

 private:
  std::string FName;
  int32_t FAscent;
  int32_t FDescent;
  TGlyph FGlyph;
};

// ---- the glyph cache ----

// A FreeType face (owned) with the glyphs of all 256 bytes, each made on first use.
class TCachedFace : public TCachedGlyphFace {
 public:
  explicit TCachedFace(FT_Face face) : FFace(face) {}
  ~TCachedFace() override { FT_Done_Face(FFace); }
  TCachedFace(const TCachedFace&) = delete;
  TCachedFace& operator=(const TCachedFace&) = delete;

 protected:
  FT_Face FFace;
};

// ---- scalable faces ----

class TFreeTypeFace final : public TCachedFace {
 public:
  TFreeTypeFace(FT_Face face, std::string family, int32_t px, bool synthBold, bool synthItalic)
      : TCachedFace(face), FFamily(std::move(family)), FSynthBold(synthBold), FSynthItalic(synthItalic) {
    FT_Set_Pixel_Sizes(FFace, 0, static_cast<FT_UInt>(px));
    const FT_Fixed yScale = FFace->size->metrics.y_scale;
    FAscent = CeilPixels(FT_MulFix(FFace->ascender, yScale));
    FDescent = CeilPixels(FT_MulFix(-FFace->descender, yScale));
    if (FAscent + FDescent <= 0) {
      FAscent = px;
      FDescent = std::max(1, px / 4);
    }
    // Half a pixel of extra stem per 12 pixels of em, the usual synthetic-bold weight.
    FEmbolden = FT_MulFix(FFace->units_per_EM, yScale) / 24;

    const FT_Pos thick26 = FT_MulFix(FFace->underline_thickness, yScale);
    FThickness = std::max(1, RoundPixels(thick26));
    const FT_Pos centre26 = FT_MulFix(-FFace->underline_position, yScale);
    FUnderline = RoundPixels(centre26 - static_cast<FT_Pos>(FThickness) * 32);
    FUnderline = std::clamp(FUnderline, 1, std::max(1, FDescent - FThickness));
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(FFace, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->yStrikeoutPosition > 0)
      FStrikeOut = RoundPixels(FT_MulFix(os2->yStrikeoutPosition, yScale));
    else
      FStrikeOut = std::max(1, FAscent * 3 / 10);
  }

  const std::string& FamilyName() const override { return FFamily; }

 private:
  void Load(uint8_t b, TGlyph& g, std::vector<uint8_t>& cov) override {
    const FT_UInt index = FT_Get_Char_Index(FFace, Cp1252ToUnicode(b));
    if (FT_Load_Glyph(FFace, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return;
    FT_GlyphSlot slot = FFace->glyph;
    FT_Pos advance = slot->advance.x;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
      if (FSynthItalic) {
        FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000};  // about 12 degrees
        FT_Outline_Transform(&slot->outline, &shear);
      }
      if (FSynthBold) {
        FT_Outline_EmboldenXY(&slot->outline, FEmbolden, 0);
        advance += FEmbolden;
      }
    }
    g.Advance = RoundPixels(advance);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return;
    const FT_Bitmap& bm = slot->bitmap;
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY || bm.width == 0 || bm.rows == 0) return;
    cov.resize(static_cast<size_t>(bm.width) * bm.rows);
    for (unsigned y = 0; y < bm.rows; ++y) {
      const uint8_t* src = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
      std::memcpy(cov.data() + static_cast<size_t>(y) * bm.width, src, bm.width);
    }
    g.Left = slot->bitmap_left;
    g.Top = slot->bitmap_top;
    g.Width = static_cast<int32_t>(bm.width);
    g.Height = static_cast<int32_t>(bm.rows);
    g.Coverage = cov.data();
  }

  std::string FFamily;
  bool FSynthBold;
  bool FSynthItalic;
  FT_Pos FEmbolden = 0;
};

// ---- bitmap strikes ----

const char* const kStrikeFamily = "MS Sans Serif";
// Wine's raster "MS Sans Serif": one face per strike, each a Windows font resource that carries
// the cell height and the internal leading that define its character height.
const char* const kStrikeFile = "/usr/share/wine/fonts/sserife.fon";

// The strike of kStrikeFile whose character height is px, with its byte charmap selected;
// nullptr when the file or the size is missing. The caller owns the face.
FT_Face OpenStrike(FT_Library library, int32_t px) {
  for (FT_Long i = 0, count = 1; library && i < count; ++i) {
    FT_Face face = nullptr;
    if (FT_New_Face(library, kStrikeFile, i, &face) != 0) return nullptr;
    count = face->num_faces;
    FT_WinFNT_HeaderRec h{};
    // Only a Windows-1252 strike: its byte codes are the texts' own.
    if (FT_Get_WinFNT_Header(face, &h) == 0 && h.charset == FT_WinFNT_ID_CP1252 &&
        h.pixel_height - h.internal_leading == px && h.ascent <= h.pixel_height && face->num_charmaps > 0 &&
        FT_Set_Charmap(face, face->charmaps[0]) == 0)
      return face;
    FT_Done_Face(face);
  }
  return nullptr;
}

class TStrikeFace final : public TCachedFace {
 public:
  TStrikeFace(FT_Face face, bool bold) : TCachedFace(face), FBold(bold) {
    FT_WinFNT_HeaderRec h{};
    FT_Get_WinFNT_Header(FFace, &h);
    FAscent = h.ascent;
    FDescent = h.pixel_height - h.ascent;
    FUnderline = std::max(1, FDescent / 2);
    FStrikeOut = std::max(1, FAscent * 3 / 10);
  }

  const std::string& FamilyName() const override { return FFamily; }

 private:
  void Load(uint8_t b, TGlyph& g, std::vector<uint8_t>& cov) override {
    if (FT_Load_Glyph(FFace, FT_Get_Char_Index(FFace, b), FT_LOAD_DEFAULT) != 0) return;
    FT_GlyphSlot slot = FFace->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    const int32_t extra = FBold ? 1 : 0;
    g.Advance = static_cast<int32_t>(slot->advance.x >> 6) + extra;
    if (slot->format != FT_GLYPH_FORMAT_BITMAP || bm.pixel_mode != FT_PIXEL_MODE_MONO || bm.width == 0 || bm.rows == 0)
      return;
    const auto w = static_cast<int32_t>(bm.width) + extra;
    const auto rows = static_cast<int32_t>(bm.rows);
    cov.assign(static_cast<size_t>(w) * static_cast<size_t>(rows), 0);
    for (int32_t y = 0; y < rows; ++y) {
      const uint8_t* src = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
      uint8_t* dst = cov.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
      for (int32_t x = 0; x < static_cast<int32_t>(bm.width); ++x)
        if (src[x >> 3] & (0x80 >> (x & 7))) {
          dst[x] = 255;
          if (FBold) dst[x + 1] = 255;
        }
    }
    g.Left = slot->bitmap_left;
    g.Top = slot->bitmap_top;
    g.Width = w;
    g.Height = rows;
    g.Coverage = cov.data();
  }

  std::string FFamily = kStrikeFamily;
  bool FBold;
};

// ---- the rasteriser ----

class TFreeTypeRasterizer final : public TGlyphRasterizer {
 public:
  TFreeTypeRasterizer() {
    if (FT_Init_FreeType(&FLibrary) != 0) FLibrary = nullptr;
  }
  ~TFreeTypeRasterizer() override {
    FFaces.clear();  // faces go before the library that made them
    if (FLibrary) FT_Done_FreeType(FLibrary);
  }

  TGlyphFace& Face(const std::string& name, int32_t height, TFontStyles style) override {
    const int32_t px = height == 0 ? kDefaultHeight : std::abs(height);
    const auto styleBits = static_cast<TFontStyles>(style & (fsBold | fsItalic));
    const bool strike = BitmapFaces() && !(styleBits & fsItalic) && SameText(name, kStrikeFamily);
    auto key = std::make_tuple(name, px, styleBits, strike);
    auto it = FFaces.find(key);
    if (it != FFaces.end()) return *it->second;
    std::unique_ptr<TGlyphFace> face;
    if (FT_Face f = strike ? OpenStrike(FLibrary, px) : nullptr)
      face = std::make_unique<TStrikeFace>(f, (styleBits & fsBold) != 0);
    else
      face = MakeScalableFace(name, px, (styleBits & fsBold) != 0, (styleBits & fsItalic) != 0);
    TGlyphFace& ref = *face;
    FFaces.emplace(std::move(key), std::move(face));
    return ref;
  }

 private:
  std::unique_ptr<TGlyphFace> MakeScalableFace(const std::string& name, int32_t px, bool bold, bool italic) {
    std::optional<TFaceFile> file;
    for (const char* family : {name.c_str(), "Liberation Sans", "DejaVu Sans"}) {
      file = FFontconfig.Match(family, bold, italic, false);
      if (file) break;
    }
    if (!file) file = FFontconfig.Match("sans-serif", bold, italic, true);
    FT_Face face = nullptr;
    if (!file || !FLibrary || FT_New_Face(FLibrary, file->Path.c_str(), file->Index, &face) != 0)
      return std::make_unique<TBlankFace>(px);
    return std::make_unique<TFreeTypeFace>(face, file->Family, px, bold && !file->Bold, italic && !file->Italic);
  }

  FT_Library FLibrary = nullptr;
  TFontconfig FFontconfig;
  // Keyed by the request and by whether a strike could answer it, so that turning strikes off
  // gives new faces and leaves the old ones valid.
  std::map<std::tuple<std::string, int32_t, TFontStyles, bool>, std::unique_ptr<TGlyphFace>> FFaces;
};

}  // namespace

TGlyphRasterizer& GlyphRasterizer() {
  static TFreeTypeRasterizer instance;
  return instance;
}
