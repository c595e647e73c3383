// Sections: registration; the byte reader; reading the picture (header, extensions, frames);
// reading a frame; decoding a frame (LZW, rows, interlace); the picture as a graphic.
#include "UiGIF.h"

#include <algorithm>
#include <cstring>

#include "Streams.h"
#include "SysUtils.h"

// ---- registration ----

bool RegisterUiGIFImage() {
  static const bool done = [] {
    RegisterGraphicClass("TUiGIFImage", [] { return std::make_unique<TUiGIFImage>(); });
    RegisterFileFormat("gif", "CompuServe GIF Image", "TUiGIFImage");
    RegisterClipboardFormat("GIF Image", "TUiGIFImage");
    return true;
  }();
  return done;
}

namespace {

[[noreturn]] void Fail(const std::string& text) { throw EInvalidGraphicOperation(text); }
[[noreturn]] void StreamReadError() { Fail("Stream read error"); }

// Bits per pixel for a colour count: 2, 4, ..., 256 give 1 to 8.
int BitsForCount(int32_t count) {
  for (int bits = 1; bits <= 8; ++bits)
    if (count == (1 << bits)) return bits;
  Fail("Wrong number of colors; must be a power of 2");
}

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

bool SameTextBytes(const uint8_t* p, const char* text, size_t n) {
  return SameText(std::string_view(reinterpret_cast<const char*>(p), n), std::string_view(text, n));
}

}  // namespace

// ---- the byte reader ----

// A cursor over the picture's bytes; every read is checked against the end.
struct TUiGIFReader {
  const uint8_t* Pos;
  const uint8_t* End;

  bool AtEnd() const { return Pos >= End; }
  size_t Remaining() const { return static_cast<size_t>(End - Pos); }
  uint8_t Byte() {
    if (AtEnd()) StreamReadError();
    return *Pos++;
  }
  // n bytes that must all be there.
  const uint8_t* Take(size_t n) {
    if (Remaining() < n) StreamReadError();
    const uint8_t* p = Pos;
    Pos += n;
    return p;
  }
  // Zero bytes are skipped; the first other byte is the separator; the end gives 0.
  uint8_t Separator() {
    while (Pos < End && *Pos == 0) ++Pos;
    return Pos < End ? *Pos++ : 0;
  }
  void ColorTable(TUiGIFColorTable& t, int bits) {
    t.Count = 1 << bits;
    const uint8_t* p = Take(static_cast<size_t>(t.Count) * 3);
    for (int32_t i = 0; i < t.Count; ++i, p += 3) t.Colors[i] = TUiGIFColor{p[0], p[1], p[2]};
  }
  // Data sub-blocks up to a zero-size block, each handed to `each` as a slice; a block that
  // reaches past the end is cut to what remains. Returns false when the data ended first.
  template <typename F>
  bool SubBlocks(F&& each) {
    for (;;) {
      if (AtEnd()) return false;
      const size_t size = *Pos++;
      if (size == 0) return true;
      const size_t n = std::min(size, Remaining());
      each(Pos, n, size);
      Pos += n;
      if (n < size) return false;
    }
  }
};

// ---- reading the picture ----

std::string TUiGIFCommentExtension::Text() const {
  std::string s;
  for (const std::string& t : Texts) s += t;
  return s;
}

TUiGIFImage::TUiGIFImage() { FTransparent = true; }
TUiGIFImage::~TUiGIFImage() = default;
TUiGIFFrame::~TUiGIFFrame() = default;

void TUiGIFImage::Clear() {
  FFrames.clear();
  FCurrentFrame = -1;
  FScreenWidth = FScreenHeight = 0;
  FVersion = "89a";
  FBackgroundColor = kUiGIFNoColor;
  FLooping = false;
  FRepeatCount = 0;
  FComment.clear();
  FBitsPerPixel = FColorResolution = 0;
  FAspectRatio = 0;
  FGlobalColorTable.Count = 0;
}

void TUiGIFImage::LoadFromStream(TStream& stream) {
  std::vector<uint8_t> bytes;
  const int64_t left = stream.Size() - stream.Position();
  if (left > 0) bytes.reserve(static_cast<size_t>(left));
  uint8_t chunk[64 * 1024];
  int32_t n;
  while ((n = stream.Read(chunk, sizeof chunk)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  Parse(bytes);
}

void TUiGIFImage::LoadFromBytes(const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  Parse(std::vector<uint8_t>(p, p + size));
}

void TUiGIFImage::Parse(const std::vector<uint8_t>& bytes) {
  Clear();
  TUiGIFReader in{bytes.data(), bytes.data() + bytes.size()};
  ReadHeader(in);
  ReadBlocks(in);
  if (!FFrames.empty()) {
    FCurrentFrame = 0;
    try {
      FFrames.front()->Decode();
    } catch (...) {
      FFrames.erase(FFrames.begin());
      FCurrentFrame = FFrames.empty() ? -1 : 0;
      throw;
    }
  }
  Changed();
}

void TUiGIFImage::ReadHeader(TUiGIFReader& in) {
  if (in.Remaining() < 6 || !SameTextBytes(in.Pos, "GIF", 3)) Fail("Unknown GIF version");
  if (SameTextBytes(in.Pos + 3, "87a", 3))
    FVersion = "87a";
  else if (SameTextBytes(in.Pos + 3, "89a", 3))
    FVersion = "89a";
  else
    Fail("Unknown GIF version");
  in.Pos += 6;

  const uint8_t* d = in.Take(7);
  FScreenWidth = Le16(d);
  FScreenHeight = Le16(d + 2);
  const uint8_t packed = d[4];
  FBitsPerPixel = (packed & 7) + 1;
  FColorResolution = ((packed >> 4) & 7) + 1;
  FAspectRatio = d[6];
  if (packed & 0x80) {
    in.ColorTable(FGlobalColorTable, FBitsPerPixel);
    if (d[5] < FGlobalColorTable.Count) FBackgroundColor = FGlobalColorTable.ColorOf(d[5]);
  }
}

void TUiGIFImage::ReadBlocks(TUiGIFReader& in) {
  uint8_t sep = in.Separator();
  while (sep != 0 && sep != ';' && !in.AtEnd()) {
    std::vector<std::unique_ptr<TUiGIFExtension>> gathered;
    while (sep == '!') {
      if (!ReadExtension(in, gathered)) {
        sep = 0;
        break;
      }
      sep = in.Separator();
    }
    if (sep == ',') {
      auto frame = std::make_unique<TUiGIFFrame>(this);
      frame->FExtensions = std::move(gathered);
      if (FGlobalColorTable.Count > 0) frame->FBitsPerPixel = BitsForCount(FGlobalColorTable.Count);
      frame->Read(in);
      FFrames.push_back(std::move(frame));
      if (in.AtEnd()) {
        sep = ';';
      } else {
        sep = in.Separator();
        if (sep != '!' && sep != ',' && sep != ';') sep = 0;
      }
    } else if (FComment.empty() && !gathered.empty()) {
      for (const auto& e : gathered)
        if (const auto* c = dynamic_cast<const TUiGIFCommentExtension*>(e.get())) FComment.push_back(c->Text());
    } else if (sep != 0 && sep != ';') {
      StreamReadError();
    }
  }
}

bool TUiGIFImage::ReadExtension(TUiGIFReader& in, std::vector<std::unique_ptr<TUiGIFExtension>>& gathered) {
  if (in.AtEnd()) return false;
  const uint8_t label = in.Byte();
  switch (label) {
    case 0xF9: {
      const uint8_t* b = in.Take(6);
      auto e = std::make_unique<TUiGIFGraphicControlExtension>();
      e->BlockSize = b[0];
      e->Flags = b[1];
      e->Delay = Le16(b + 2);
      e->TransparentIndex = b[4];
      gathered.push_back(std::move(e));
      return true;
    }
    case 0xFE: {
      auto e = std::make_unique<TUiGIFCommentExtension>();
      in.SubBlocks(
          [&e](const uint8_t* p, size_t n, size_t) { e->Texts.emplace_back(reinterpret_cast<const char*>(p), n); });
      gathered.push_back(std::move(e));
      return true;
    }
    case 0x01:
      // A plain-text block is drawn over what came before: earlier extensions no longer apply.
      gathered.clear();
      in.Take(13);
      in.SubBlocks([](const uint8_t*, size_t, size_t) {});
      return true;
    case 0xFF: {
      const uint8_t* id = in.Take(12) + 1;
      const bool loopId = std::memcmp(id, "NETSCAPE2.0", 11) == 0 || std::memcmp(id, "ANIMEXTS1.0", 11) == 0;
      bool first = true;
      in.SubBlocks([&](const uint8_t* p, size_t n, size_t) {
        if (first && loopId && n >= 3 && p[0] == 1) {
          FLooping = true;
          FRepeatCount = std::min<uint16_t>(30000, Le16(p + 1));
        }
        first = false;
      });
      return true;
    }
    default: Fail(Format("Unrecognized extension block: %.2x", label));
  }
}

// ---- reading a frame ----

void TUiGIFFrame::Read(TUiGIFReader& in) {
  const uint8_t* d = in.Take(9);
  FLeft = Le16(d);
  FTop = Le16(d + 2);
  FWidth = Le16(d + 4);
  FHeight = Le16(d + 6);
  const uint8_t packed = d[8];
  FInterlaced = (packed & 0x40) != 0;
  FLocalColors = (packed & 0x80) != 0;
  if (FLocalColors) {
    FBitsPerPixel = (packed & 7) + 1;
    in.ColorTable(FColorTable, FBitsPerPixel);
  } else {
    FColorTable = FOwner->GlobalColorTable();
  }

  if (in.AtEnd()) {
    FCorrupted = true;
  } else {
    // Measure first (hopping over the size bytes), then copy once.
    TUiGIFReader probe = in;
    size_t total = 1;
    probe.Byte();
    probe.SubBlocks([&total](const uint8_t*, size_t n, size_t) { total += 1 + n; });
    FEncodedData.reserve(total);
    FEncodedData.push_back(in.Byte());
    const bool terminated = in.SubBlocks([this](const uint8_t* p, size_t n, size_t size) {
      FEncodedData.push_back(static_cast<uint8_t>(size));
      FEncodedData.insert(FEncodedData.end(), p, p + n);
    });
    if (!terminated) FCorrupted = true;
  }

  if (FWidth == 0) FWidth = FOwner->ScreenWidth();
  if (FHeight == 0) FHeight = FOwner->ScreenHeight();
  ApplyGraphicControl();
}

void TUiGIFFrame::ApplyGraphicControl() {
  for (const auto& e : FExtensions) {
    const auto* gc = dynamic_cast<const TUiGIFGraphicControlExtension*>(e.get());
    if (!gc) continue;
    if (!gc->HasTransparency()) {
      FTransparentColor = kUiGIFNoColor;
    } else if (gc->TransparentIndex < FColorTable.Count) {
      // Drawing leaves out a colour, not an index: make this entry's colour its own, so that
      // no other index disappears with it. The walk over blue values ends: at most 255 other
      // entries can hold the same red and green.
      TUiGIFColor& c = FColorTable.Colors[gc->TransparentIndex];
      auto clashes = [this, &c, gc]() {
        for (int32_t i = 0; i < FColorTable.Count; ++i)
          if (i != gc->TransparentIndex && FColorTable.Colors[i] == c) return true;
        return false;
      };
      int step = -1;
      while (clashes()) {
        if (c.Blue == 0) step = 1;
        if (c.Blue == 255) step = -1;
        c.Blue = static_cast<uint8_t>(c.Blue + step);
      }
      FTransparentColor = FColorTable.ColorOf(gc->TransparentIndex);
    }
    FAnimateInterval = std::max<int32_t>(gc->Delay * 10, FAnimateInterval);
    FDisposalMethod = gc->DisposalMethod();
  }
}

std::unique_ptr<TUiGIFFrame> TUiGIFFrame::Clone(TUiGIFImage* owner) const {
  auto f = std::make_unique<TUiGIFFrame>(owner);
  f->FLeft = FLeft;
  f->FTop = FTop;
  f->FWidth = FWidth;
  f->FHeight = FHeight;
  f->FBitsPerPixel = FBitsPerPixel;
  f->FColorTable = FColorTable;
  f->FLocalColors = FLocalColors;
  f->FInterlaced = FInterlaced;
  f->FCorrupted = FCorrupted;
  f->FTransparentColor = FTransparentColor;
  f->FAnimateInterval = FAnimateInterval;
  f->FDisposalMethod = FDisposalMethod;
  for (const auto& e : FExtensions) f->FExtensions.push_back(e->Clone());
  f->FEncodedData = FEncodedData;
  if (FBitmap) f->FBitmap = std::make_unique<TDIBitmap>(*FBitmap);
  return f;
}

// ---- decoding a frame ----

namespace {

constexpr int kMaxCodeBits = 12;
constexpr int kTableSize = 1 << kMaxCodeBits;
constexpr int kMaxString = 4096;

// Codes taken least significant bit first from the payloads of the data sub-blocks, which
// are read in place: size byte, payload, size byte, ...
class TCodeReader {
 public:
  TCodeReader(const uint8_t* p, const uint8_t* end) : FPos(p), FEnd(end) {}
  // False when the data hold no further whole code.
  bool Next(int width, uint32_t& code) {
    if (FCount < width) {
      Refill();
      if (FCount < width) return false;
    }
    code = static_cast<uint32_t>(FBits & ((uint64_t{1} << width) - 1));
    FBits >>= width;
    FCount -= width;
    return true;
  }

 private:
  void Refill() {
    while (FCount <= 56) {
      if (FBlockLeft == 0) {
        if (FPos >= FEnd) return;
        FBlockLeft = *FPos++;
        if (FBlockLeft == 0) {
          FPos = FEnd;  // the terminator: nothing follows
          return;
        }
        // A block that was cut when it was read is shorter than its size byte says.
        FBlockLeft = std::min<size_t>(FBlockLeft, static_cast<size_t>(FEnd - FPos));
        continue;
      }
      FBits |= static_cast<uint64_t>(*FPos++) << FCount;
      FCount += 8;
      --FBlockLeft;
    }
  }
  const uint8_t* FPos;
  const uint8_t* FEnd;
  size_t FBlockLeft = 0;
  uint64_t FBits = 0;
  int FCount = 0;
};

// Where decoded pixels go: row after row (or pass after pass when interlaced) of the bitmap,
// top row into the last stored row. 8-bit rows are written in place; 1- and 4-bit rows are
// gathered one index per byte and packed when complete.
class TRowSink {
 public:
  TRowSink(TDIBitmap& dib, bool interlaced)
      : FDib(dib),
        FWidth(dib.Width()),
        FHeight(dib.Height()),
        FInterlaced(interlaced),
        FPacked(dib.BitsPerPixel() != 8) {
    FDone = FWidth <= 0 || FHeight <= 0;
    if (FPacked && !FDone) FScratch.assign(static_cast<size_t>(FWidth), 0);
    if (!FDone) SelectRow();
  }
  bool Done() const { return FDone; }
  int32_t Room() const { return FWidth - FX; }
  uint8_t* Cursor() { return FRow + FX; }
  // n pixels were written at the cursor (n <= Room()).
  void Advance(int32_t n) {
    FX += n;
    if (FX == FWidth) NextRow();
  }
  // Packs a row that the data left unfinished.
  void Finish() {
    if (!FDone && FPacked && FX > 0) Pack();
  }

 private:
  void SelectRow() {
    FRow = FPacked ? FScratch.data() : FDib.StoredRow(FHeight - 1 - FY);
    if (FPacked) std::fill(FScratch.begin(), FScratch.end(), 0);
  }
  void Pack() {
    uint8_t* out = FDib.StoredRow(FHeight - 1 - FY);
    const uint8_t* in = FScratch.data();
    if (FDib.BitsPerPixel() == 4) {
      for (int32_t x = 0; x + 1 < FWidth; x += 2) *out++ = static_cast<uint8_t>((in[x] << 4) | in[x + 1]);
      if (FWidth & 1) *out = static_cast<uint8_t>(in[FWidth - 1] << 4);
    } else {
      for (int32_t x = 0; x < FWidth; x += 8) {
        uint8_t b = 0;
        for (int32_t k = 0; k < 8 && x + k < FWidth; ++k) b = static_cast<uint8_t>(b | (in[x + k] << (7 - k)));
        *out++ = b;
      }
    }
  }
  void NextRow() {
    if (FPacked) Pack();
    FX = 0;
    if (!FInterlaced) {
      if (++FY >= FHeight) {
        FDone = true;
        return;
      }
    } else {
      // Passes: rows 0, 8, ...; 4, 12, ...; 2, 6, ...; 1, 3, ...
      static constexpr int32_t kStart[4] = {0, 4, 2, 1};
      static constexpr int32_t kStep[4] = {8, 8, 4, 2};
      FY += kStep[FPass];
      while (FY >= FHeight) {
        if (++FPass >= 4) {
          FDone = true;
          return;
        }
        FY = kStart[FPass];
      }
    }
    SelectRow();
  }

  TDIBitmap& FDib;
  const int32_t FWidth, FHeight;
  const bool FInterlaced, FPacked;
  bool FDone = false;
  int32_t FX = 0, FY = 0;
  int FPass = 0;
  uint8_t* FRow = nullptr;
  std::vector<uint8_t> FScratch;
};

struct TLzwTable {
  uint16_t Prefix[kTableSize];
  uint16_t Length[kTableSize];
  uint8_t Suffix[kTableSize];
  uint8_t First[kTableSize];
};

// Writes the string of `code` (length `len`, then `tail` when `withTail`) to the sink; a string
// longer than the row's room goes through `spill` (kMaxString + 1 bytes).
void EmitString(const TLzwTable& t, uint32_t code, int32_t len, bool withTail, uint8_t tail, TRowSink& sink,
                uint8_t* spill) {
  const int32_t total = len + (withTail ? 1 : 0);
  auto write = [&](uint8_t* d) {
    if (withTail) d[len] = tail;
    if (len == 0) return;
    uint32_t c = code;
    for (int32_t k = len - 1; k > 0; --k) {
      d[k] = t.Suffix[c];
      c = t.Prefix[c];
    }
    d[0] = t.Suffix[c];
  };
  if (total <= sink.Room()) {
    write(sink.Cursor());
    sink.Advance(total);
    return;
  }
  write(spill);
  for (int32_t i = 0; i < total && !sink.Done();) {
    const int32_t n = std::min(sink.Room(), total - i);
    std::memcpy(sink.Cursor(), spill + i, static_cast<size_t>(n));
    sink.Advance(n);
    i += n;
  }
}

// Decodes the encoded data into `sink`; returns false when the data were damaged in a way
// that the frame must record (bad code size, overlong string).
bool DecodeLzw(const std::vector<uint8_t>& data, int bitsPerPixel, TRowSink& sink) {
  if (data.empty()) return false;
  bool intact = true;
  int minSize = data[0];
  if (minSize < 2 || minSize > 9) {
    minSize = std::clamp(minSize, 2, 9);
    intact = false;
  }
  const uint32_t clear = 1u << minSize, endCode = clear + 1;
  const auto mask = static_cast<uint8_t>((1u << bitsPerPixel) - 1);

  // Every entry starts as a one-pixel string, so a code that damaged data name before it was
  // defined still has a finite string inside the table.
  TLzwTable t;
  for (int i = 0; i < kTableSize; ++i) {
    t.Prefix[i] = 0;
    t.Length[i] = 1;
    t.Suffix[i] = t.First[i] = static_cast<uint8_t>(i & mask);
  }

  TCodeReader codes(data.data() + 1, data.data() + data.size());
  int width = minSize + 1;
  uint32_t freeCode = clear + 2;
  int32_t prev = -1;
  uint8_t spill[kMaxString + 1];

  auto emit = [&](uint32_t code, int32_t len, bool withTail, uint8_t tail) {
    EmitString(t, code, len, withTail, tail, sink, spill);
  };

  uint32_t code;
  while (!sink.Done() && codes.Next(width, code)) {
    if (code == clear) {
      width = minSize + 1;
      freeCode = clear + 2;
      prev = -1;
      continue;
    }
    if (code == endCode) break;
    if (prev < 0) {
      // First code after a clear: one pixel, no new entry.
      const uint8_t px = static_cast<uint8_t>(code & mask);
      emit(code, 0, true, px);
      prev = static_cast<int32_t>(code);
      continue;
    }
    const auto p = static_cast<uint32_t>(prev);
    uint8_t first;
    if (code < freeCode) {
      if (t.Length[code] > kMaxString) return false;
      first = t.First[code];
      emit(code, t.Length[code], false, 0);
    } else {
      // The string being defined right now: the previous one and its own first pixel.
      if (t.Length[p] + 1 > kMaxString) return false;
      first = t.First[p];
      emit(p, t.Length[p], true, first);
      code = freeCode;
    }
    if (freeCode < static_cast<uint32_t>(kTableSize)) {
      t.Prefix[freeCode] = static_cast<uint16_t>(p);
      t.Suffix[freeCode] = first;
      t.First[freeCode] = t.First[p];
      t.Length[freeCode] = static_cast<uint16_t>(t.Length[p] + 1);
      ++freeCode;
      if (freeCode == (1u << width) && width < kMaxCodeBits) ++width;
    }
    prev = static_cast<int32_t>(code);
  }
  return intact;
}

}  // namespace

const TDIBitmap& TUiGIFFrame::Bitmap() {
  if (!FBitmap) Decode();
  return *FBitmap;
}

void TUiGIFFrame::Decode() {
  if (FBitsPerPixel > 8) Fail("Wrong number of colors; must be a power of 2");
  const int dibBits = FBitsPerPixel == 1 ? 1 : FBitsPerPixel <= 4 ? 4 : 8;
  if (uint64_t{FWidth} * FHeight > kUiGIFMaxPixels)
    Fail(Format("GIF image too large: %u x %u pixels", static_cast<unsigned>(FWidth), static_cast<unsigned>(FHeight)));
  auto dib = std::make_unique<TDIBitmap>();
  dib->Create(FWidth, FHeight, dibBits);
  auto& palette = dib->Palette();
  const size_t n = std::min(palette.size(), static_cast<size_t>(FColorTable.Count));
  for (size_t i = 0; i < n; ++i) {
    const TUiGIFColor& c = FColorTable.Colors[i];
    palette[i] = TRGBQuad{c.Blue, c.Green, c.Red, 0};
  }
  TRowSink sink(*dib, FInterlaced);
  if (!DecodeLzw(FEncodedData, FBitsPerPixel, sink)) FCorrupted = true;
  sink.Finish();
  FBitmap = std::move(dib);
}

// ---- the picture as a graphic ----

TUiGIFFrame* TUiGIFImage::Current() const {
  if (FCurrentFrame < 0 || FCurrentFrame >= FrameCount()) return nullptr;
  return FFrames[static_cast<size_t>(FCurrentFrame)].get();
}

namespace {
// A frame not decoded yet (the next one, after the first failed to decode) has the size its
// bitmap will have; one that can never be decoded has none, so that nobody sizes a surface
// after it.
bool WillDecode(const TUiGIFFrame& f) {
  return f.BitsPerPixel() <= 8 && uint64_t{f.Width()} * f.Height() <= kUiGIFMaxPixels;
}
}  // namespace

TSize TUiGIFImage::CurrentSize() const {
  const TUiGIFFrame* f = Current();
  if (!f || Empty()) return TSize{0, 0};
  if (f->HasBitmap()) return TSize{f->FBitmap->Width(), f->FBitmap->Height()};
  return WillDecode(*f) ? TSize{f->Width(), f->Height()} : TSize{0, 0};
}

int32_t TUiGIFImage::Width() const { return CurrentSize().cx; }
int32_t TUiGIFImage::Height() const { return CurrentSize().cy; }

void TUiGIFImage::SetWidth(int32_t) { Fail("Cannot change the Size of a GIF image"); }
void TUiGIFImage::SetHeight(int32_t) { Fail("Cannot change the Size of a GIF image"); }

bool TUiGIFImage::Empty() const {
  const TUiGIFFrame* f = Current();
  return !f || (!f->HasBitmap() && f->EncodedData().empty());
}

bool TUiGIFImage::Transparent() const {
  if (!FTransparent) return false;
  return std::any_of(FFrames.begin(), FFrames.end(),
                     [](const auto& f) { return f->TransparentColor() != kUiGIFNoColor; });
}

void TUiGIFImage::Draw(TCanvas& canvas, const TRect& r) {
  TUiGIFFrame* f = Current();
  if (!f || Empty()) return;
  const TDIBitmap& dib = f->Bitmap();
  const bool leaveOut = FTransparent && f->TransparentColor() != kUiGIFNoColor;
  canvas.StretchDIB(r, dib, leaveOut ? f->TransparentColor() : clNone);
}

std::string TUiGIFImage::CommentText() const {
  std::string s;
  for (size_t i = 0; i < FComment.size(); ++i) s += (i ? "\r\n\r\n" : "") + FComment[i];
  return s;
}

void TUiGIFImage::Assign(const TPersistent* source) {
  if (source == this) return;
  const auto* g = dynamic_cast<const TUiGIFImage*>(source);
  if (!g) {
    if (!source) {
      Clear();
      Changed();
      return;
    }
    return TGraphic::Assign(source);
  }
  Clear();
  for (const auto& f : g->FFrames) FFrames.push_back(f->Clone(this));
  FCurrentFrame = g->FCurrentFrame;
  FScreenWidth = g->FScreenWidth;
  FScreenHeight = g->FScreenHeight;
  FVersion = g->FVersion;
  FBackgroundColor = g->FBackgroundColor;
  FLooping = g->FLooping;
  FRepeatCount = g->FRepeatCount;
  FComment = g->FComment;
  FBitsPerPixel = g->FBitsPerPixel;
  FColorResolution = g->FColorResolution;
  FAspectRatio = g->FAspectRatio;
  FGlobalColorTable = g->FGlobalColorTable;
  FTransparent = g->FTransparent;
  Changed();
}
