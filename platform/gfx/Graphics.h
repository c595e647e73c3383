// Drawing: a CPU surface of 32-bit pixels, the canvas that draws on it (fills, one-pixel
// lines, text with alignment, word wrap, clipping and transparent background, graphics drawn
// and stretched, drawing with one colour left out), fonts, off-screen bitmaps, palettized
// device-independent bitmaps, graphics and pictures with a registry of graphic classes, and
// image lists.
//
// Threads: user-interface thread only. Ownership: a canvas draws on a surface it does not own
// (a bitmap's, or a form's); a picture owns its graphic; an image list owns its images.
// Texts are Windows-1252 byte strings.
//
// Sections: surface; font; canvas; graphic and picture; bitmap; device-independent bitmap;
// image list.
//
// Glyphs come from a process-wide rasteriser behind GlyphRasterizer.h (one implementation file
// per backend); this header names only its face type, so no backend type reaches the callers.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Classes.h"
#include "Types.h"

class TStream;

// ---- surface ----

// Width x Height pixels, each 0x00RRGGBB in a uint32_t, rows top to bottom, no padding.
class TSurface {
 public:
  TSurface() = default;
  TSurface(int32_t w, int32_t h) { Resize(w, h); }
  // The overlap with the old contents is kept; new pixels are white. Negative sizes count as 0;
  // a size beyond 2^28 pixels raises EOutOfResources.
  void Resize(int32_t w, int32_t h);
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  uint32_t* Row(int32_t y) { return FPixels.data() + static_cast<size_t>(y) * static_cast<size_t>(FWidth); }
  const uint32_t* Row(int32_t y) const { return FPixels.data() + static_cast<size_t>(y) * static_cast<size_t>(FWidth); }
  uint32_t Pixel(int32_t x, int32_t y) const;  // 0 outside
  void Fill(uint32_t xrgb);
  // Saves as an 8-bit RGB PNG file. A file that cannot be created or written raises EInOutError
  // with the platform's text; an empty surface or an encoder failure raises
  // EInvalidGraphicOperation.
  void SavePng(const std::string& fileName) const;

 private:
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  std::vector<uint32_t> FPixels;
};

// 0x00BBGGRR (TColor form) <-> 0x00RRGGBB (surface form).
inline uint32_t ColorToPixel(TColor c) {
  uint32_t bgr = ColorToRGB(c);
  return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}
inline TColor PixelToColor(uint32_t px) {
  return static_cast<TColor>(((px & 0xFF) << 16) | (px & 0xFF00) | ((px >> 16) & 0xFF));
}

// ---- font ----

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = uint8_t;

class TFont : public TPersistent {
 public:
  TFont();
  void Assign(const TPersistent* source) override;
  const std::string& Name() const { return FName; }
  void SetName(const std::string& v);
  // Character height in pixels: the cell height less internal leading, which is the em square.
  // Glyphs are rasterised at an em of |Height| pixels (0: the default 11); the line height that
  // TextExtent reports is the cell, ascent + descent, both rounded up.
  int32_t Height() const { return FHeight; }
  void SetHeight(int32_t v);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles v);
  TColor Color() const { return FColor; }
  void SetColor(TColor v);
  uint8_t Charset() const { return FCharset; }
  void SetCharset(uint8_t v);
  bool operator==(const TFont& o) const {
    return FName == o.FName && FHeight == o.FHeight && FStyle == o.FStyle && FColor == o.FColor &&
           FCharset == o.FCharset;
  }
  TNotifyEvent OnChange;

 private:
  void Changed();
  std::string FName = "MS Sans Serif";
  int32_t FHeight = 11;
  TFontStyles FStyle = 0;
  TColor FColor = clWindowText;
  uint8_t FCharset = 1;  // DEFAULT_CHARSET
};

// ---- canvas ----

class TGraphic;
class TDIBitmap;
class TGlyphFace;

// Text format flags with the platform's values.
enum : uint32_t {
  DT_LEFT = 0x0,
  DT_CENTER = 0x1,
  DT_RIGHT = 0x2,
  DT_VCENTER = 0x4,
  DT_BOTTOM = 0x8,
  DT_WORDBREAK = 0x10,
  DT_SINGLELINE = 0x20,
  DT_EXPANDTABS = 0x40,
  DT_NOCLIP = 0x100,
  DT_CALCRECT = 0x400,
  DT_NOPREFIX = 0x800,
  DT_END_ELLIPSIS = 0x8000
};

enum TBrushStyle : uint8_t { bsSolid, bsClear };

class TBrush {
 public:
  TColor Color = clWhite;
  TBrushStyle Style = bsSolid;
};

class TPen {
 public:
  TColor Color = clBlack;
  int32_t Width = 1;
};

class TCanvas {
 public:
  // Draws on `surface` (not owned). Coordinates are offset by Origin and clipped to ClipRect,
  // which is in surface coordinates.
  explicit TCanvas(TSurface* surface = nullptr);
  void SetSurface(TSurface* surface);
  TSurface* Surface() const { return FSurface; }
  TPoint Origin() const { return FOrigin; }
  void SetOrigin(TPoint p) { FOrigin = p; }
  TRect ClipRect() const;  // in canvas coordinates; the surface's bounds when none is set
  void SetClipRect(const TRect& canvasRect);
  void ResetClip();

  TBrush Brush;
  TPen Pen;
  TFont& Font() { return FFont; }
  const TFont& Font() const { return FFont; }

  void FillRect(const TRect& r);   // Brush.Color; nothing with bsClear
  void FrameRect(const TRect& r);  // one-pixel frame in Brush.Color
  void MoveTo(int32_t x, int32_t y);
  // One-pixel line in Pen.Color from the current position to (x, y): start drawn, end not.
  // A wider pen stamps a Width x Width square at each point.
  void LineTo(int32_t x, int32_t y);
  TPoint PenPos() const { return FPenPos; }
  void SetPixel(int32_t x, int32_t y, TColor c);
  TColor GetPixel(int32_t x, int32_t y) const;  // clNone outside the clip rectangle
  void Ellipse(const TRect& r);                 // filled with Brush (unless bsClear), outlined with Pen

  // Text. Extent is of one line, with '&' taken literally.
  TSize TextExtent(const std::string& text);
  int32_t TextWidth(const std::string& text) { return TextExtent(text).cx; }
  int32_t TextHeight(const std::string& text) { return TextExtent(text).cy; }
  // One line at (x, y), the top-left of its cell; the background is filled with Brush unless
  // Brush.Style is bsClear. The pen moves to the end of the text.
  void TextOut(int32_t x, int32_t y, const std::string& text);
  // Formatted text in r: alignment, word wrap at blanks and at "\r\n" line breaks, clipping to
  // r (unless DT_NOCLIP), '&' marks an underlined accelerator (unless DT_NOPREFIX; "&&" is one
  // '&'). Always transparent. With DT_CALCRECT nothing is drawn and r's Right/Bottom are set to
  // the extent. Returns the height of the text drawn.
  // Details: "\r\n", a lone "\n" and a lone "\r" each break a line (not with DT_SINGLELINE,
  // where they are dropped). With DT_WORDBREAK a word that does not fit moves to the next line;
  // a word wider than r keeps its own line whole and is clipped; blanks at a wrap are dropped.
  // DT_VCENTER and DT_BOTTOM apply to DT_SINGLELINE only. DT_CALCRECT sets Bottom to Top + lines
  // x line height, and Right to Left + the widest line, except that wrapped text of more than
  // one line keeps r's width unless a line is wider. DT_END_ELLIPSIS ends a line that does not
  // fit with "...". Empty text draws nothing and measures 0.
  int32_t DrawText(const std::string& text, TRect& r, uint32_t format);

  // Graphics: at a point unscaled, or stretched into a rectangle.
  void Draw(int32_t x, int32_t y, TGraphic* graphic);
  void StretchDraw(const TRect& r, TGraphic* graphic);
  // Copies a rectangle of a surface (e.g. an off-screen bitmap) here, stretched (nearest
  // neighbour) when the sizes differ; pixels whose colour is `leaveOut` are not drawn.
  void CopyRect(const TRect& dest, const TSurface& source, const TRect& sourceRect, TColor leaveOut = clNone);
  // Stretches a device-independent bitmap into r (nearest neighbour); pixels whose colour is
  // `leaveOut` (TColor; clNone = none) are not drawn.
  void StretchDIB(const TRect& r, const TDIBitmap& dib, TColor leaveOut = clNone);

 private:
  struct TTextLine {
    size_t Start;  // byte range of the source text
    size_t End;
    int32_t Width;
  };
  TRect SurfaceClip() const;                                    // the clip in surface coordinates, within the surface
  void FillSurfaceRect(const TRect& surfaceRect, uint32_t px);  // surfaceRect already clipped
  void PlotPen(int32_t sx, int32_t sy, const TRect& clip, uint32_t px);
  TGlyphFace& CurrentFace();
  void LayoutLines(const std::string& text, int32_t width, uint32_t format);
  // The part of `line` that fits in `width` together with the "..." that replaces the rest.
  TTextLine FitWithEllipsis(const std::string& text, TTextLine line, int32_t width, uint32_t format);
  void DrawLine(const std::string& text, const TTextLine& line, bool ellipsis, int32_t x, int32_t top, uint32_t format,
                const TRect& clip, uint32_t ink);
  void DrawTextDecorations(int32_t x, int32_t top, int32_t width, const TRect& clip, uint32_t px);

  TSurface* FSurface = nullptr;
  TPoint FOrigin;
  TRect FClip;  // surface coordinates
  bool FClipSet = false;
  TPoint FPenPos;
  TFont FFont;
  // The face of the last font used, so that steady-state drawing skips the lookup.
  TGlyphFace* FFace = nullptr;
  std::string FFaceName;
  int32_t FFaceHeight = 0;
  TFontStyles FFaceStyle = 0;
  uint32_t FFaceGeneration = 0;
  std::vector<TTextLine> FLines;  // reused by DrawText
};

// ---- graphic and picture ----

class TGraphic : public TPersistent {
 public:
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  virtual void SetWidth(int32_t v) = 0;
  virtual void SetHeight(int32_t v) = 0;
  virtual bool Empty() const = 0;
  virtual bool Transparent() const { return FTransparent; }
  virtual void SetTransparent(bool v);
  // Draws stretched into r (graphics decide how they honour Transparent).
  virtual void Draw(TCanvas& canvas, const TRect& r) = 0;
  // Reads the whole graphic from the stream's current position to its end.
  virtual void LoadFromStream(TStream& stream) = 0;
  // A new empty graphic of the same class.
  virtual std::unique_ptr<TGraphic> CloneEmpty() const = 0;
  TNotifyEvent OnChange;

 protected:
  void Changed();
  bool FTransparent = false;
};

using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;
// The registry of graphic classes: by class name (for stored pictures), by file extension with
// a description, and by clipboard format name.
void RegisterGraphicClass(const std::string& className, TGraphicFactory factory);
void RegisterFileFormat(const std::string& extension, const std::string& description, const std::string& className);
void RegisterClipboardFormat(const std::string& formatName, const std::string& className);
std::unique_ptr<TGraphic> CreateGraphicByClassName(const std::string& className);
std::string FileFormatDescription(const std::string& extension);  // empty when unknown
std::string FileFormatClassName(const std::string& extension);
std::string ClipboardFormatClassName(const std::string& formatName);

class TPicture : public TPersistent {
 public:
  TGraphic* Graphic() const { return FGraphic.get(); }
  void SetGraphic(std::unique_ptr<TGraphic> g);
  int32_t Width() const { return FGraphic ? FGraphic->Width() : 0; }
  int32_t Height() const { return FGraphic ? FGraphic->Height() : 0; }
  // Stored form: the graphic class name, then a 32-bit little-endian count and that many bytes;
  // `bytes` holds the count and what follows it. The registered class reads the counted bytes
  // through LoadFromStream over a memory stream. An unknown class raises EInvalidGraphic
  // "Unknown picture class %s"; fewer bytes than counted raise EReadError "Stream read error";
  // a count of 0 gives an empty graphic of the class without reading.
  void LoadStored(const std::string& className, const std::string& bytes);
  // Copies a picture or a graphic (a new graphic of the same class, then its Assign: every
  // graphic class accepts Assign from its own class); nullptr empties the picture.
  void Assign(const TPersistent* source) override;
  TNotifyEvent OnChange;

 private:
  void GraphicChanged();
  std::unique_ptr<TGraphic> FGraphic;
};

// ---- bitmap ----

// An off-screen picture with its own canvas.
class TBitmap : public TGraphic {
 public:
  TBitmap();
  TBitmap(int32_t w, int32_t h);
  int32_t Width() const override { return FSurface.Width(); }
  int32_t Height() const override { return FSurface.Height(); }
  void SetWidth(int32_t v) override { SetSize(v, Height()); }
  void SetHeight(int32_t v) override { SetSize(Width(), v); }
  void SetSize(int32_t w, int32_t h);
  bool Empty() const override { return Width() == 0 || Height() == 0; }
  // Transparent bitmaps leave out TransparentColor (default: the bottom-left pixel).
  TColor TransparentColor() const;
  void SetTransparentColor(TColor c) { FTransparentColor = c; }
  void Draw(TCanvas& canvas, const TRect& r) override;
  // Raw bitmap files are not read: raises EInvalidGraphic "Bitmap image is not valid".
  void LoadFromStream(TStream& stream) override;
  std::unique_ptr<TGraphic> CloneEmpty() const override { return std::make_unique<TBitmap>(); }
  // From a bitmap: pixels, transparency and transparent colour; from another graphic: drawn
  // onto white at its own size; nullptr: empty.
  void Assign(const TPersistent* source) override;
  TCanvas& Canvas() { return FCanvas; }
  TSurface& Surface() { return FSurface; }
  const TSurface& Surface() const { return FSurface; }

 private:
  TSurface FSurface;
  TCanvas FCanvas;
  TColor FTransparentColor = clDefault;
};

// ---- device-independent bitmap ----

struct TRGBQuad {
  uint8_t Blue = 0, Green = 0, Red = 0, Reserved = 0;
};

// A palettized bottom-up device-independent bitmap: 1, 4 or 8 bits per pixel, a palette of
// 2^bits entries, rows of ((Width x bits + 31) div 32) x 4 bytes, the last stored row first on
// screen... that is, stored row 0 is the bottom row.
class TDIBitmap {
 public:
  // All indices 0, palette all grey (128, 128, 128). Raises EOutOfResources "Out of system
  // resources" when the pixel bytes would exceed 256 MiB, and EInvalidGraphicOperation for a
  // negative size or a depth other than 1, 4 or 8.
  void Create(int32_t width, int32_t height, int bitsPerPixel);
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  int BitsPerPixel() const { return FBits; }
  size_t Stride() const { return FStride; }
  std::vector<TRGBQuad>& Palette() { return FPalette; }
  const std::vector<TRGBQuad>& Palette() const { return FPalette; }
  uint8_t* StoredRow(int32_t storedIndex) { return FData.data() + static_cast<size_t>(storedIndex) * FStride; }
  const uint8_t* StoredRow(int32_t storedIndex) const {
    return FData.data() + static_cast<size_t>(storedIndex) * FStride;
  }
  // Palette index of the pixel at (x, y), y counted from the top of the picture; 0 outside.
  // 4-bit pixels hold the left pixel in the high nibble, 1-bit pixels the left in the top bit.
  uint8_t Index(int32_t x, int32_t y) const;
  void SetIndex(int32_t x, int32_t y, uint8_t v);  // outside: nothing; v is masked to the depth
  uint32_t PixelOf(int32_t x, int32_t y) const;    // 0x00RRGGBB through the palette

 private:
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  int FBits = 8;
  size_t FStride = 0;
  std::vector<TRGBQuad> FPalette;
  std::vector<uint8_t> FData;
};

// ---- image list ----

class TImageList;
// A subscription to an image list's changes; the list clears Sender when it is destroyed.
class TChangeLink {
 public:
  ~TChangeLink();
  TImageList* Sender = nullptr;
  TNotifyEvent OnChange;
};

class TImageList : public TComponent {
 public:
  explicit TImageList(TComponent* owner, int32_t width = 16, int32_t height = 16);
  ~TImageList() override;
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  int Count() const { return static_cast<int>(FImages.size()); }
  // Adds a copy of the image (scaled to the list's size when it differs); returns its index.
  // Pixels of transparentColor are left out when the image is drawn.
  int Add(const TBitmap& image, TColor transparentColor = clNone);
  void Clear();
  // An index out of range draws nothing. Disabled images are drawn embossed: their shape (the
  // drawn pixels darker than mid grey) in clBtnHighlight one pixel down and right, then in
  // clBtnShadow.
  void Draw(TCanvas& canvas, int32_t x, int32_t y, int index, bool enabled = true);
  void RegisterChanges(TChangeLink* link);
  void UnRegisterChanges(TChangeLink* link);

 private:
  void Changed();
  int32_t FWidth;
  int32_t FHeight;
  std::vector<std::unique_ptr<TBitmap>> FImages;
  std::vector<TColor> FTransparent;
  std::vector<TChangeLink*> FLinks;
};
