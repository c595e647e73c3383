// The glyph rasteriser on Linux: fontconfig finds a face file, FreeType renders grayscale
// glyphs from its outlines.
//
// Lookup: the asked-for family if installed, else Liberation Sans, else DejaVu Sans, else
// whatever fontconfig offers for "sans-serif". Bold and italic pick the family's own styles;
// a family without them gets synthetic emboldening or slant.
//
// Size: TFont::Height is the Windows "character height", the em square in pixels, so the face
// is set to a pixel size of |Height| (a Windows font of height -11 renders exactly as
// FT_Set_Pixel_Sizes(0, 11)). Ascent and descent are the face's, scaled and rounded up; their
// sum is the cell height that text extents report.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
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
    if ((familyMatches || acceptAny) && scalable &&
        FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
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

// A face with no ink, for a machine without a single usable font: text still measures and
// lays out, so a missing font never turns a paint into a failure.
class TBlankFace final : public TGlyphFace {
 public:
  explicit TBlankFace(int32_t px) : FAscent(px), FDescent(std::max(1, px / 4)) {
    FGlyph.Advance = std::max(1, px / 2);
  }
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

class TFreeTypeFace final : public TGlyphFace {
 public:
  TFreeTypeFace(FT_Face face, std::string family, int32_t px, bool synthBold, bool synthItalic)
      : FFace(face), FFamily(std::move(family)), FSynthBold(synthBold), FSynthItalic(synthItalic) {
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
    FUnderline = RoundPixels(centre26 - FThickness * 32);
    FUnderline = std::clamp(FUnderline, 1, std::max(1, FDescent - FThickness));
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(FFace, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->yStrikeoutPosition > 0)
      FStrikeOut = RoundPixels(FT_MulFix(os2->yStrikeoutPosition, yScale));
    else
      FStrikeOut = std::max(1, FAscent * 3 / 10);
  }
  ~TFreeTypeFace() override { FT_Done_Face(FFace); }
  TFreeTypeFace(const TFreeTypeFace&) = delete;
  TFreeTypeFace& operator=(const TFreeTypeFace&) = delete;

  const std::string& FamilyName() const override { return FFamily; }
  int32_t Ascent() const override { return FAscent; }
  int32_t Descent() const override { return FDescent; }
  int32_t UnderlinePosition() const override { return FUnderline; }
  int32_t LineThickness() const override { return FThickness; }
  int32_t StrikeOutPosition() const override { return FStrikeOut; }

  const TGlyph& Glyph(uint8_t b) override {
    if (!FLoaded[b]) Load(b);
    return FGlyphs[b];
  }

 private:
  void Load(uint8_t b) {
    FLoaded[b] = true;
    TGlyph& g = FGlyphs[b];
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
    std::vector<uint8_t>& cov = FCoverage[b];
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

  FT_Face FFace;
  std::string FFamily;
  bool FSynthBold;
  bool FSynthItalic;
  FT_Pos FEmbolden = 0;
  int32_t FAscent = 0;
  int32_t FDescent = 0;
  int32_t FUnderline = 1;
  int32_t FThickness = 1;
  int32_t FStrikeOut = 1;
  std::array<bool, 256> FLoaded{};
  std::array<TGlyph, 256> FGlyphs{};
  std::array<std::vector<uint8_t>, 256> FCoverage;
};

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
    auto key = std::make_tuple(name, px, styleBits);
    auto it = FFaces.find(key);
    if (it != FFaces.end()) return *it->second;
    auto face = MakeFace(name, px, (styleBits & fsBold) != 0, (styleBits & fsItalic) != 0);
    TGlyphFace& ref = *face;
    FFaces.emplace(std::move(key), std::move(face));
    return ref;
  }

 private:
  std::unique_ptr<TGlyphFace> MakeFace(const std::string& name, int32_t px, bool bold, bool italic) {
    std::optional<TFaceFile> file;
    for (const char* family : {name.c_str(), "Liberation Sans", "DejaVu Sans"}) {
      file = FFontconfig.Match(family, bold, italic, false);
      if (file) break;
    }
    if (!file) file = FFontconfig.Match("sans-serif", bold, italic, true);
    FT_Face face = nullptr;
    if (!file || !FLibrary || FT_New_Face(FLibrary, file->Path.c_str(), file->Index, &face) != 0)
      return std::make_unique<TBlankFace>(px);
    return std::make_unique<TFreeTypeFace>(face, file->Family, px, bold && !file->Bold,
                                           italic && !file->Italic);
  }

  FT_Library FLibrary = nullptr;
  TFontconfig FFontconfig;
  std::map<std::tuple<std::string, int32_t, TFontStyles>, std::unique_ptr<TGlyphFace>> FFaces;
};

}  // namespace

TGlyphRasterizer& GlyphRasterizer() {
  static TFreeTypeRasterizer instance;
  return instance;
}
