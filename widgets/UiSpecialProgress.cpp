// Sections: properties; fill computation; redraw (fill, text, border); text formatting.
#include "UiSpecialProgress.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Scope.h"

namespace {

struct TChannels {
  int32_t R, G, B;
};

TChannels Channels(uint32_t bgr) { return {GetRValue(bgr), GetGValue(bgr), GetBValue(bgr)}; }

// Steps per channel along the filled width, in floating point as the gradient is defined.
struct TGradient {
  TChannels From;
  double StepR, StepG, StepB;

  TGradient(uint32_t startBgr, uint32_t endBgr, int32_t filled) : From(Channels(startBgr)) {
    const TChannels to = Channels(endBgr);
    const double l = filled;
    StepR = (to.R - From.R) / l;
    StepG = (to.G - From.G) / l;
    StepB = (to.B - From.B) / l;
  }
  // The colour `steps` steps from the start, each channel rounded to nearest, ties to even
  // (nearbyint under the default rounding mode).
  uint32_t PixelAt(int64_t steps) const {
    const double s = static_cast<double>(steps);
    auto channel = [s](int32_t from, double step) {
      const double v = std::nearbyint(from + s * step);
      return static_cast<uint32_t>(std::clamp(v, 0.0, 255.0));
    };
    return (channel(From.R, StepR) << 16) | (channel(From.G, StepG) << 8) | channel(From.B, StepB);
  }
};

uint32_t BgrToPixel(uint32_t bgr) {
  return (static_cast<uint32_t>(GetRValue(bgr)) << 16) | (static_cast<uint32_t>(GetGValue(bgr)) << 8) | GetBValue(bgr);
}

// Fills columns [x0, x1) of one row; the caller has clipped the range to the row.
void FillSpan(uint32_t* row, int32_t x0, int32_t x1, uint32_t px) {
  if (x1 > x0) std::fill(row + x0, row + x1, px);
}

constexpr int kMaxWidth = 1024;  // a caption's pattern cannot ask for an absurd buffer

EConvertError InvalidFormat(const std::string& pattern) {
  return EConvertError(Format("Format '%s' invalid or incompatible with argument", pattern.c_str()));
}

// Moves the digits at pattern[i] (a width or a precision) onto `directive`.
void TakeDigits(const std::string& pattern, size_t& i, std::string& directive) {
  int v = 0;
  while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9') {
    v = v * 10 + (pattern[i] - '0');
    if (v > kMaxWidth) throw InvalidFormat(pattern);
    directive += pattern[i++];
  }
}

// Formats `pattern` with `value` as its one integer argument: "%%" and one d/u/x/X directive
// with flags '-' and '0', a width and a precision. Anything else would read an argument that
// is not there, so it is refused instead of guessed.
std::string FormatOneInteger(const std::string& pattern, int32_t value) {
  auto invalid = [&pattern]() { return InvalidFormat(pattern); };
  std::string out;
  bool used = false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (++i >= pattern.size()) throw invalid();
    if (pattern[i] == '%') {
      out += '%';
      continue;
    }
    std::string directive = "%";
    while (i < pattern.size() && (pattern[i] == '-' || pattern[i] == '0')) directive += pattern[i++];
    TakeDigits(pattern, i, directive);
    if (i < pattern.size() && pattern[i] == '.') {
      directive += pattern[i++];
      TakeDigits(pattern, i, directive);
    }
    if (i >= pattern.size() || used) throw invalid();
    const char conv = pattern[i];
    if (conv != 'd' && conv != 'u' && conv != 'x' && conv != 'X') throw invalid();
    directive += conv;
    used = true;
    char buf[2 * kMaxWidth + 32];
    const int n = conv == 'd' ? std::snprintf(buf, sizeof buf, directive.c_str(), value)
                              : std::snprintf(buf, sizeof buf, directive.c_str(), static_cast<unsigned>(value));
    if (n > 0) out.append(buf, static_cast<size_t>(std::min<int>(n, static_cast<int>(sizeof buf) - 1)));
  }
  return out;
}

}  // namespace

// ---- properties ----

TUiSpecialProgress::TUiSpecialProgress(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 150, 15);
  SetParentColor(true);
  FStartRGB = ColorToRGB(FStartColor);
  FEndRGB = ColorToRGB(FEndColor);
  FPicture.Canvas().Font().Assign(&Font());
}

int32_t TUiSpecialProgress::Percent() const {
  if (FMaximum == FMinimum) return 0;
  // 64 bits: a range of tens of millions (a large firmware file) times 100 must not overflow.
  const int64_t done = int64_t{FPosition} - FMinimum;
  return static_cast<int32_t>(done * 100 / (int64_t{FMaximum} - FMinimum));
}

void TUiSpecialProgress::SetPosition(int32_t v) {
  if (v == FPosition) return;
  const int32_t oldPercent = Percent();
  FPosition = std::clamp(v, FMinimum, FMaximum);
  RangeChanged(oldPercent);
}

void TUiSpecialProgress::SetMaximum(int32_t v) {
  if (v == FMaximum) return;
  const int32_t oldPercent = Percent();
  FMaximum = std::max(v, FMinimum);
  FPosition = std::clamp(FPosition, FMinimum, FMaximum);
  RangeChanged(oldPercent);
}

void TUiSpecialProgress::SetMinimum(int32_t v) {
  if (v == FMinimum) return;
  const int32_t oldPercent = Percent();
  FMinimum = std::min(v, FMaximum);
  FPosition = std::clamp(FPosition, FMinimum, FMaximum);
  RangeChanged(oldPercent);
}

void TUiSpecialProgress::RangeChanged(int32_t oldPercent) {
  if ((FTextOption == toFormat || FTextOption == toPercent) && Percent() != oldPercent) FRedrawPending = true;
  RecomputeFill();
  Redraw();
}

void TUiSpecialProgress::SetSolid(bool v) {
  if (v == FSolid) return;
  FSolid = v;
  FRedrawPending = true;
  RecomputeFill();
  Redraw();
}

void TUiSpecialProgress::SetStartColor(TColor v) {
  if (v == FStartColor) return;
  FStartColor = v;
  FStartRGB = ColorToRGB(v);
  MarkAndRedraw();
}

void TUiSpecialProgress::SetEndColor(TColor v) {
  if (v == FEndColor) return;
  FEndColor = v;
  FEndRGB = ColorToRGB(v);
  MarkAndRedraw();
}

void TUiSpecialProgress::SetBorderStyle(TUiBorderStyle v) {
  if (v == FBorderStyle) return;
  FBorderStyle = v;
  MarkAndRedraw();
}

void TUiSpecialProgress::SetTextOption(TUiTextOption v) {
  if (v == FTextOption) return;
  FTextOption = v;
  MarkAndRedraw();
}

void TUiSpecialProgress::SetTextCentered(bool v) {
  if (v == FTextCentered) return;
  FTextCentered = v;
  if (FTextOption != toNoText) MarkAndRedraw();
}

void TUiSpecialProgress::SetGradientBlocks(bool v) {
  if (v == FGradientBlocks) return;
  FGradientBlocks = v;
  if (!FSolid) MarkAndRedraw();
}

void TUiSpecialProgress::ColorChanged() { MarkAndRedraw(); }

void TUiSpecialProgress::FontChanged() {
  FPicture.Canvas().Font().Assign(&Font());
  if (FTextOption != toNoText) MarkAndRedraw();
}

void TUiSpecialProgress::TextChanged() {
  if (FTextOption == toCaption || FTextOption == toFormat) MarkAndRedraw();
}

void TUiSpecialProgress::Loaded() {
  TGraphicControl::Loaded();
  RecomputeFill();
  Redraw();
}

void TUiSpecialProgress::Paint(TCanvas& canvas) {
  const int32_t w = ClientWidth(), h = ClientHeight();
  if (FPicture.Width() != w || FPicture.Height() != h) {
    // Already painting: draw the picture only, no nested present.
    TTemporaryChange painting(FPainting, true);
    FRedrawPending = true;
    RecomputeFill();
    Redraw();
  }
  if (w < 3 || h < 3) return;
  const TRect all{0, 0, w, h};
  canvas.CopyRect(all, FPicture.Surface(), all);
}

// ---- fill computation ----

void TUiSpecialProgress::RecomputeFill() {
  const int32_t w = ClientWidth(), h = ClientHeight();
  if (IsLoading() || FMaximum == FMinimum || w < 2) return;
  // 64 bits: (W - 2) x (Position - Minimum) overflows 32 bits once the range passes millions.
  const int64_t raw64 = int64_t{w - 2} * (int64_t{FPosition} - FMinimum) / (int64_t{FMaximum} - FMinimum);
  const auto raw = static_cast<int32_t>(raw64);
  int32_t filled;
  if (FSolid) {
    filled = raw;
  } else {
    const int32_t pitch = (2 * h) / 3;
    FBlockPitch = pitch;
    if (pitch == 0) {
      filled = 0;
      FBlockCount = 0;
      FLastBlockPartial = false;
    } else {
      int32_t count = raw / pitch;
      const int32_t whole = count * pitch;
      const int32_t space = std::min(pitch, w - whole - 2);
      if (space < 2 * (raw % pitch)) {
        ++count;
        FLastBlockPartial = space < pitch;
        FPartialBlockWidth = space;
        filled = FLastBlockPartial ? w - 2 : count * pitch;
      } else {
        FLastBlockPartial = false;
        filled = whole;
      }
      FBlockCount = count;
    }
  }
  if (filled != FFilledWidth) {
    FFilledWidth = filled;
    FRedrawPending = true;
    Redraw();
  }
}

// ---- redraw ----

void TUiSpecialProgress::MarkAndRedraw() {
  FRedrawPending = true;
  Redraw();
}

void TUiSpecialProgress::Redraw() {
  if (!FRedrawPending || IsLoading()) return;
  const int32_t w = ClientWidth(), h = ClientHeight();
  // The text first: a bad format pattern raises before anything changes.
  const std::string text = (w > 0 && h > 0) ? TextToShow() : std::string();
  FRedrawPending = false;
  if (w <= 0 || h <= 0) return;

  FPicture.SetSize(w, h);
  PaintFill(w, h);
  if (!text.empty()) {
    TCanvas& c = FPicture.Canvas();
    const TSize ext = c.TextExtent(text);
    const int32_t across = FTextCentered ? w : FFilledWidth;
    c.Brush.Style = bsClear;
    c.TextOut(std::max(0, (across - ext.cx) / 2), std::max(0, (h - ext.cy) / 2), text);
  }
  PaintBorder(w, h);
  if (!FPainting) Repaint();
}

void TUiSpecialProgress::PaintFill(int32_t w, int32_t h) {
  // The filled width keeps its value while the fill is not recomputed (an empty range), so it
  // may be stale for the present size: never draw past the interior.
  const int32_t inner = std::max(0, w - 2);
  const int32_t filled = std::clamp(FFilledWidth, 0, inner);
  if (h > 2 && inner > 0) {
    uint32_t* row = FPicture.Surface().Row(1);
    // The unfilled part and the gaps; the fill goes over it.
    FillSpan(row, 1, w - 1, ColorToPixel(Color()));
    if (FSolid)
      PaintSolid(filled);
    else
      PaintBlocks(w, filled);
    // Every interior row is the same: draw one, copy it.
    for (int32_t y = 2; y < h - 1; ++y)
      std::memcpy(FPicture.Surface().Row(y) + 1, row + 1, static_cast<size_t>(inner) * sizeof(uint32_t));
  }
}

void TUiSpecialProgress::PaintSolid(int32_t filled) {
  if (filled == 0) return;
  uint32_t* row = FPicture.Surface().Row(1);
  if (FStartRGB == FEndRGB) {
    FillSpan(row, 1, filled + 1, BgrToPixel(FStartRGB));
    return;
  }
  const TGradient g(FStartRGB, FEndRGB, FFilledWidth);
  for (int32_t x = 1; x <= filled; ++x) row[x] = g.PixelAt(x - 1);
}

void TUiSpecialProgress::PaintBlocks(int32_t w, int32_t filled) {
  const int32_t pitch = FBlockPitch;
  if (filled == 0 || pitch == 0) return;
  uint32_t* row = FPicture.Surface().Row(1);
  const int32_t last = w - 1;  // first column past the interior
  const int32_t whole = std::max(0, FBlockCount - (FLastBlockPartial ? 1 : 0));
  const bool equal = FStartRGB == FEndRGB;
  const TGradient g(FStartRGB, FEndRGB, std::max(1, FFilledWidth));
  // Block k starts at 1 + k x P and is P - 1 columns wide; the partial block follows the last
  // whole block and is S columns wide. In gradient blocks every column, gaps included, is one
  // step further than the one before it, so column x is x - 1 steps from the start.
  auto paintBlock = [&](int32_t x0, int32_t width, int64_t firstStep) {
    const int32_t x1 = std::min(x0 + width, last);
    if (equal) {
      FillSpan(row, x0, x1, BgrToPixel(FStartRGB));
    } else if (FGradientBlocks) {
      for (int32_t x = x0; x < x1; ++x) row[x] = g.PixelAt(x - 1);
    } else {
      FillSpan(row, x0, x1, g.PixelAt(firstStep));
    }
  };
  for (int32_t k = 0; k < whole && 1 + k * pitch < last; ++k) paintBlock(1 + k * pitch, pitch - 1, int64_t{k} * pitch);
  if (FLastBlockPartial) paintBlock(1 + whole * pitch, FPartialBlockWidth, int64_t{whole} * pitch);
  const uint32_t gap = ColorToPixel(Color());
  for (int32_t k = 0; k < whole; ++k) {
    const int32_t x = (k + 1) * pitch;
    if (x >= last) break;
    row[x] = gap;
  }
}

void TUiSpecialProgress::PaintBorder(int32_t w, int32_t h) {
  TSurface& s = FPicture.Surface();
  // One ring: the top-left colour on the top row and the left column, the bottom-right colour
  // on the right column and the bottom row, corners as the platform's own frames draw them.
  auto ring = [&s](int32_t i, int32_t wid, int32_t hei, TColor topLeft, TColor bottomRight) {
    const int32_t l = i, t = i, r = wid - 1 - i, b = hei - 1 - i;
    if (r < l || b < t) return;
    const uint32_t tl = ColorToPixel(topLeft), br = ColorToPixel(bottomRight);
    FillSpan(s.Row(t), l, r, tl);
    for (int32_t y = t; y <= b; ++y) {
      s.Row(y)[l] = tl;
      s.Row(y)[r] = br;
    }
    FillSpan(s.Row(b), l + 1, r + 1, br);
    s.Row(b)[l] = tl;
  };
  if (FBorderStyle == bsSingle) {
    ring(0, w, h, clBtnFace, clBtnFace);
    ring(1, w, h, clBtnShadow, clBtnHighlight);
    ring(2, w, h, cl3DDkShadow, clBtnFace);
  } else {
    ring(0, w, h, Color(), Color());
  }
}

// ---- text ----

std::string TUiSpecialProgress::TextToShow() const {
  switch (FTextOption) {
    case toCaption: return Caption();
    case toFormat: return FormatOneInteger(Caption(), Percent());
    case toPercent: {
      char buf[16];
      const int n = std::snprintf(buf, sizeof buf, "%d%%", Percent());
      return std::string(buf, static_cast<size_t>(n));
    }
    case toNoText: break;
  }
  return std::string();
}
