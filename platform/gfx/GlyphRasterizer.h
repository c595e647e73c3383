// Internal: the glyph source under the canvas. A face is one font at one pixel size and
// style; it hands out glyph coverage for Windows-1252 bytes (antialiased, or solid for a bitmap
// face), rasterised on first use and kept for the life of the process. One implementation per
// backend (FreeTypeGlyphs.cpp: bitmap strikes and fontconfig lookup, FreeType rendering;
// Win32Glyphs.cpp: the system's font mapper, GDI rendering); no backend type appears here.
//
// Threads: user-interface thread only. Ownership: the rasteriser owns its faces and a face owns
// its glyphs; references stay valid until the process ends.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Graphics.h"

// One rasterised glyph. Coverage is Width x Height bytes, rows top to bottom, 0 = no ink,
// 255 = full ink. The bitmap's top-left lies Left pixels right of the pen and Top pixels above
// the baseline.
struct TGlyph {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Advance = 0;  // whole pixels from this pen position to the next
  const uint8_t* Coverage = nullptr;
};

class TGlyphFace {
 public:
  virtual ~TGlyphFace() = default;
  // The family actually used, after falling back from the one asked for.
  virtual const std::string& FamilyName() const = 0;
  virtual int32_t Ascent() const = 0;   // rows above the baseline, rounded up
  virtual int32_t Descent() const = 0;  // rows from the baseline down, rounded up
  int32_t LineHeight() const { return Ascent() + Descent(); }
  // The first row of an underline, counted down from the baseline (0 = the baseline row), and
  // its thickness; the strike-out's first row counted up from the baseline.
  virtual int32_t UnderlinePosition() const = 0;
  virtual int32_t LineThickness() const = 0;
  virtual int32_t StrikeOutPosition() const = 0;
  virtual const TGlyph& Glyph(uint8_t cp1252) = 0;
  int32_t Advance(uint8_t cp1252) { return Glyph(cp1252).Advance; }
};

// The cache every backend's faces share: the glyphs of all 256 bytes, each made on first use
// and kept. A backend sets the metrics and makes one glyph in Load.
class TCachedGlyphFace : public TGlyphFace {
 public:
  int32_t Ascent() const override { return FAscent; }
  int32_t Descent() const override { return FDescent; }
  int32_t UnderlinePosition() const override { return FUnderline; }
  int32_t LineThickness() const override { return FThickness; }
  int32_t StrikeOutPosition() const override { return FStrikeOut; }

  const TGlyph& Glyph(uint8_t b) final {
    if (!FLoaded[b]) {
      FLoaded[b] = true;
      Load(b, FGlyphs[b], FCoverage[b]);
    }
    return FGlyphs[b];
  }

 protected:
  // Fills g (all zero on entry) for byte b; g.Coverage points into `coverage`.
  virtual void Load(uint8_t b, TGlyph& g, std::vector<uint8_t>& coverage) = 0;

  int32_t FAscent = 0;
  int32_t FDescent = 0;
  int32_t FUnderline = 1;
  int32_t FThickness = 1;
  int32_t FStrikeOut = 1;

 private:
  std::array<bool, 256> FLoaded{};
  std::array<TGlyph, 256> FGlyphs{};
  std::array<std::vector<uint8_t>, 256> FCoverage;
};

class TGlyphRasterizer {
 public:
  virtual ~TGlyphRasterizer() = default;
  // The face for a font name, a character height (see TFont::Height) and the bold and italic
  // bits of a style. "MS Sans Serif" at a height that its bitmap face has comes from that face;
  // other sizes and names that are not installed fall back to the nearest scalable sans-serif.
  virtual TGlyphFace& Face(const std::string& name, int32_t height, TFontStyles style) = 0;

  // Whether bitmap faces answer at all (on by default). Off, every request gets the scalable
  // fallback, as on a machine without the bitmap face; tests lay the pages out both ways.
  bool BitmapFaces() const { return FBitmapFaces; }
  void SetBitmapFaces(bool v) {
    if (v == FBitmapFaces) return;
    FBitmapFaces = v;
    ++FGeneration;
  }
  // Counts the changes that can give a request another face, so that a holder of a face knows
  // when to ask again.
  uint32_t Generation() const { return FGeneration; }

 private:
  bool FBitmapFaces = true;
  uint32_t FGeneration = 0;
};

// The process-wide rasteriser, made on first use.
TGlyphRasterizer& GlyphRasterizer();
