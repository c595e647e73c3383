#include <new>

#include "Graphics.h"

namespace {
// Far beyond any picture this program shows; a corrupt header cannot make us take more.
constexpr uint64_t kMaxBytes = uint64_t{256} << 20;
}  // namespace

void TDIBitmap::Create(int32_t width, int32_t height, int bitsPerPixel) {
  if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8)
    throw EInvalidGraphicOperation("Invalid pixel format");
  if (width < 0 || height < 0) throw EInvalidGraphicOperation("Invalid image size");
  const uint64_t stride = ((static_cast<uint64_t>(width) * static_cast<uint64_t>(bitsPerPixel) + 31) / 32) * 4;
  const uint64_t bytes = stride * static_cast<uint64_t>(height);
  if (bytes > kMaxBytes) throw EOutOfResources("Out of system resources");
  std::vector<uint8_t> data;
  std::vector<TRGBQuad> palette;
  try {
    data.assign(static_cast<size_t>(bytes), 0);
    palette.assign(size_t{1} << bitsPerPixel, TRGBQuad{128, 128, 128, 0});
  } catch (const std::bad_alloc&) {
    throw EOutOfResources("Out of system resources");
  }
  FData.swap(data);
  FPalette.swap(palette);
  FWidth = width;
  FHeight = height;
  FBits = bitsPerPixel;
  FStride = static_cast<size_t>(stride);
}

uint8_t TDIBitmap::Index(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return 0;
  const uint8_t* row = StoredRow(FHeight - 1 - y);
  switch (FBits) {
    case 8: return row[x];
    case 4: return static_cast<uint8_t>((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F);
    default: return static_cast<uint8_t>((row[x >> 3] >> (7 - (x & 7))) & 0x01);
  }
}

void TDIBitmap::SetIndex(int32_t x, int32_t y, uint8_t v) {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return;
  uint8_t* row = StoredRow(FHeight - 1 - y);
  switch (FBits) {
    case 8: row[x] = v; break;
    case 4: {
      const int shift = (x & 1) ? 0 : 4;
      uint8_t& b = row[x >> 1];
      b = static_cast<uint8_t>((b & ~(0x0F << shift)) | ((v & 0x0F) << shift));
      break;
    }
    default: {
      const int shift = 7 - (x & 7);
      uint8_t& b = row[x >> 3];
      b = static_cast<uint8_t>((b & ~(1 << shift)) | ((v & 1) << shift));
      break;
    }
  }
}

uint32_t TDIBitmap::PixelOf(int32_t x, int32_t y) const {
  const uint8_t i = Index(x, y);
  if (i >= FPalette.size()) return 0;
  const TRGBQuad& q = FPalette[i];
  return (static_cast<uint32_t>(q.Red) << 16) | (static_cast<uint32_t>(q.Green) << 8) | q.Blue;
}
