// TCanvas text: extents, TextOut and DrawText (layout into lines, alignment, clipping,
// accelerator underlines, ellipsis).
//
// Glyphs come from the canvas's current face, whose glyphs are cached, so drawing a text
// allocates nothing once its characters have been seen. DrawText makes one pass over the
// bytes to lay out lines (kept in a reused buffer) and one to draw them.
#include <algorithm>

#include "GlyphRasterizer.h"
#include "Graphics.h"

namespace {

// What a run of source bytes shows: "&&" is '&', "&x" an underlined x, a final lone '&'
// nothing (Ch < 0). Without prefix processing every byte is itself.
struct TDisplayChar {
  size_t Next;
  int Ch;
  bool Underlined;
};

TDisplayChar ReadDisplayChar(const std::string& s, size_t i, size_t end, bool prefix) {
  const auto c = static_cast<uint8_t>(s[i]);
  if (!prefix || c != '&') return {i + 1, c, false};
  if (i + 1 >= end) return {end, -1, false};
  const auto n = static_cast<uint8_t>(s[i + 1]);
  return {i + 2, n, n != '&'};
}

bool IsBreak(int ch) { return ch == '\r' || ch == '\n'; }

// Coverage-weighted mix of ink over the pixel, per channel, rounded.
inline uint32_t Blend(uint32_t dst, uint32_t ink, uint32_t a) {
  const uint32_t na = 255 - a;
  auto ch = [&](int shift) {
    const uint32_t v = ((ink >> shift) & 0xFF) * a + ((dst >> shift) & 0xFF) * na + 128;
    return ((v + (v >> 8)) >> 8) << shift;
  };
  return ch(16) | ch(8) | ch(0);
}

// Draws a glyph whose bitmap's top-left is (x, y) in surface coordinates.
void BlendGlyph(TSurface& surface, const TRect& clip, int32_t x, int32_t y, const TGlyph& g, uint32_t ink) {
  if (!g.Coverage) return;
  const int32_t x0 = std::max(x, clip.Left), x1 = std::min(x + g.Width, clip.Right);
  const int32_t y0 = std::max(y, clip.Top), y1 = std::min(y + g.Height, clip.Bottom);
  for (int32_t yy = y0; yy < y1; ++yy) {
    const uint8_t* cov =
        g.Coverage + static_cast<size_t>(yy - y) * static_cast<size_t>(g.Width) + static_cast<size_t>(x0 - x);
    uint32_t* row = surface.Row(yy) + x0;
    for (int32_t k = 0; k < x1 - x0; ++k) {
      const uint32_t a = cov[k];
      if (a == 0) continue;
      row[k] = a == 255 ? ink : Blend(row[k], ink, a);
    }
  }
}

int32_t TabStop(TGlyphFace& face) {
  // Eight average characters, the width of 'x' standing for the average.
  return std::max(1, 8 * face.Advance('x'));
}

}  // namespace

TGlyphFace& TCanvas::CurrentFace() {
  TGlyphRasterizer& rasterizer = GlyphRasterizer();
  if (!FFace || FFaceHeight != FFont.Height() || FFaceStyle != FFont.Style() || FFaceName != FFont.Name() ||
      FFaceGeneration != rasterizer.Generation()) {
    FFace = &rasterizer.Face(FFont.Name(), FFont.Height(), FFont.Style());
    FFaceGeneration = rasterizer.Generation();
    FFaceName = FFont.Name();
    FFaceHeight = FFont.Height();
    FFaceStyle = FFont.Style();
  }
  return *FFace;
}

TSize TCanvas::TextExtent(const std::string& text) {
  TGlyphFace& face = CurrentFace();
  int32_t w = 0;
  for (char c : text) w += face.Advance(static_cast<uint8_t>(c));
  return TSize{w, face.LineHeight()};
}

void TCanvas::DrawTextDecorations(int32_t x, int32_t top, int32_t width, const TRect& clip, uint32_t px) {
  TGlyphFace& face = CurrentFace();
  const int32_t baseline = top + face.Ascent();
  const int32_t t = face.LineThickness();
  if (FFont.Style() & fsUnderline) {
    const int32_t y = baseline + face.UnderlinePosition();
    FillSurfaceRect(IntersectRect(TRect{x, y, x + width, y + t}, clip), px);
  }
  if (FFont.Style() & fsStrikeOut) {
    const int32_t y = baseline - face.StrikeOutPosition();
    FillSurfaceRect(IntersectRect(TRect{x, y, x + width, y + t}, clip), px);
  }
}

void TCanvas::TextOut(int32_t x, int32_t y, const std::string& text) {
  const TSize ext = TextExtent(text);
  FPenPos = TPoint{x + ext.cx, y};
  if (!FSurface) return;
  TGlyphFace& face = CurrentFace();
  const TRect clip = SurfaceClip();
  const int32_t sx = x + FOrigin.X, sy = y + FOrigin.Y;
  if (Brush.Style != bsClear)
    FillSurfaceRect(IntersectRect(TRect{sx, sy, sx + ext.cx, sy + ext.cy}, clip), ColorToPixel(Brush.Color));
  const uint32_t ink = ColorToPixel(FFont.Color());
  const int32_t baseline = sy + face.Ascent();
  int32_t pen = sx;
  for (char c : text) {
    const TGlyph& g = face.Glyph(static_cast<uint8_t>(c));
    BlendGlyph(*FSurface, clip, pen + g.Left, baseline - g.Top, g, ink);
    pen += g.Advance;
  }
  DrawTextDecorations(sx, sy, ext.cx, clip, ink);
}

void TCanvas::LayoutLines(const std::string& text, int32_t width, uint32_t format) {
  FLines.clear();
  if (text.empty()) return;
  TGlyphFace& face = CurrentFace();
  const bool prefix = !(format & DT_NOPREFIX);
  const bool single = (format & DT_SINGLELINE) != 0;
  const bool wrap = !single && (format & DT_WORDBREAK);
  const bool tabs = (format & DT_EXPANDTABS) != 0;
  const int32_t tabStop = tabs ? TabStop(face) : 1;
  constexpr size_t kNone = static_cast<size_t>(-1);

  const size_t n = text.size();
  size_t lineStart = 0;
  int32_t lineW = 0;
  bool inBlank = false;
  size_t contentEnd = kNone;  // where the text before the latest blank run ends: a wrap point
  int32_t contentW = 0;
  size_t wordStart = 0;  // where the word after that blank run starts
  int32_t wordStartW = 0;
  for (size_t i = 0; i < n;) {
    const size_t at = i;
    const TDisplayChar c = ReadDisplayChar(text, i, n, prefix);
    i = c.Next;
    if (c.Ch < 0) continue;
    if (IsBreak(c.Ch)) {
      if (single) continue;
      FLines.push_back(TTextLine{lineStart, at, lineW});
      if (c.Ch == '\r' && i < n && text[i] == '\n') ++i;
      lineStart = i;
      lineW = 0;
      inBlank = false;
      contentEnd = kNone;
      continue;
    }
    const bool tab = tabs && c.Ch == '\t';
    const int32_t adv = tab ? tabStop - lineW % tabStop : face.Advance(static_cast<uint8_t>(c.Ch));
    if (c.Ch == ' ' || tab) {
      if (!inBlank) {
        inBlank = true;
        contentEnd = at;
        contentW = lineW;
      }
      lineW += adv;
      continue;
    }
    if (inBlank) {
      inBlank = false;
      wordStart = at;
      wordStartW = lineW;
    }
    lineW += adv;
    if (wrap && lineW > width && contentEnd != kNone) {
      // Blanks that only led the line are dropped rather than given a line of their own.
      if (contentEnd > lineStart) FLines.push_back(TTextLine{lineStart, contentEnd, contentW});
      lineStart = wordStart;
      lineW -= wordStartW;
      contentEnd = kNone;
    }
  }
  FLines.push_back(TTextLine{lineStart, n, lineW});
}

void TCanvas::DrawLine(const std::string& text, const TTextLine& line, bool ellipsis, int32_t x, int32_t top,
                       uint32_t format, const TRect& clip, uint32_t ink) {
  TGlyphFace& face = CurrentFace();
  const bool prefix = !(format & DT_NOPREFIX);
  const bool tabs = (format & DT_EXPANDTABS) != 0;
  const int32_t tabStop = tabs ? TabStop(face) : 1;
  const int32_t baseline = top + face.Ascent();
  int32_t pen = x;
  for (size_t i = line.Start; i < line.End;) {
    const TDisplayChar c = ReadDisplayChar(text, i, line.End, prefix);
    i = c.Next;
    if (c.Ch < 0 || IsBreak(c.Ch)) continue;
    if (tabs && c.Ch == '\t') {
      pen += tabStop - (pen - x) % tabStop;
      continue;
    }
    const TGlyph& g = face.Glyph(static_cast<uint8_t>(c.Ch));
    BlendGlyph(*FSurface, clip, pen + g.Left, baseline - g.Top, g, ink);
    if (c.Underlined) {
      const int32_t y = baseline + face.UnderlinePosition();
      FillSurfaceRect(IntersectRect(TRect{pen, y, pen + g.Advance, y + face.LineThickness()}, clip), ink);
    }
    pen += g.Advance;
  }
  if (ellipsis) {
    const TGlyph& dot = face.Glyph('.');
    for (int k = 0; k < 3; ++k, pen += dot.Advance)
      BlendGlyph(*FSurface, clip, pen + dot.Left, baseline - dot.Top, dot, ink);
  }
  DrawTextDecorations(x, top, pen - x, clip, ink);
}

TCanvas::TTextLine TCanvas::FitWithEllipsis(const std::string& text, TTextLine line, int32_t width, uint32_t format) {
  TGlyphFace& face = CurrentFace();
  const bool prefix = !(format & DT_NOPREFIX);
  const bool tabs = (format & DT_EXPANDTABS) != 0;
  const int32_t tabStop = tabs ? TabStop(face) : 1;
  const int32_t ellipsisW = 3 * face.Advance('.');
  int32_t w = 0;
  size_t end = line.Start;
  for (size_t i = line.Start; i < line.End;) {
    const TDisplayChar c = ReadDisplayChar(text, i, line.End, prefix);
    int32_t adv = 0;
    if (tabs && c.Ch == '\t')
      adv = tabStop - w % tabStop;
    else if (c.Ch >= 0 && !IsBreak(c.Ch))
      adv = face.Advance(static_cast<uint8_t>(c.Ch));
    if (w + adv + ellipsisW > width) break;
    w += adv;
    i = c.Next;
    end = i;
  }
  line.End = end;
  line.Width = w + ellipsisW;
  return line;
}

int32_t TCanvas::DrawText(const std::string& text, TRect& r, uint32_t format) {
  LayoutLines(text, r.Width(), format);
  TGlyphFace& face = CurrentFace();
  const int32_t lineHeight = face.LineHeight();
  const int32_t height = lineHeight * static_cast<int32_t>(FLines.size());
  const bool single = (format & DT_SINGLELINE) != 0;

  if (format & DT_CALCRECT) {
    int32_t widest = 0;
    for (const TTextLine& l : FLines) widest = std::max(widest, l.Width);
    const bool keepWidth = !single && (format & DT_WORDBREAK) && FLines.size() > 1;
    r.Right = r.Left + (keepWidth ? std::max(r.Width(), widest) : widest);
    r.Bottom = r.Top + height;
    return height;
  }
  if (FLines.empty() || !FSurface) return height;

  int32_t top = r.Top;
  if (single && (format & DT_VCENTER))
    top = r.Top + (r.Height() - lineHeight) / 2;
  else if (single && (format & DT_BOTTOM))
    top = r.Bottom - lineHeight;
  TRect clip = SurfaceClip();
  if (!(format & DT_NOCLIP)) clip = IntersectRect(clip, OffsetRect(r, FOrigin.X, FOrigin.Y));
  if (clip.IsEmpty()) return height;

  const uint32_t ink = ColorToPixel(FFont.Color());
  int32_t y = top + FOrigin.Y;
  for (const TTextLine& full : FLines) {
    if (y >= clip.Bottom) break;
    const bool ellipsis = (format & DT_END_ELLIPSIS) && full.Width > r.Width();
    const TTextLine line = ellipsis ? FitWithEllipsis(text, full, r.Width(), format) : full;
    int32_t x = r.Left;
    if (format & DT_CENTER)
      x = r.Left + (r.Width() - line.Width) / 2;
    else if (format & DT_RIGHT)
      x = r.Right - line.Width;
    if (y + lineHeight > clip.Top) DrawLine(text, line, ellipsis, x + FOrigin.X, y, format, clip, ink);
    y += lineHeight;
  }
  return height;
}
