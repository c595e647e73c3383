// PNG files on Windows, put together here over the zlib the Windows build links statically:
// the signature, the header, one data chunk of the deflated rows (each without a filter), the
// end. Screenshots are flat user-interface colours, which deflate well without row filters.
#include <zlib.h>

#include "Graphics.h"
#include "PngWriter.h"

namespace {

void PutBig32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char (&type)[5], const uint8_t* data, size_t size) {
  PutBig32(out, static_cast<uint32_t>(size));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data, data + size);
  // The checksum covers the type and the data.
  PutBig32(out, static_cast<uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(size + 4))));
}

}  // namespace

std::vector<uint8_t> EncodePng(int32_t width, int32_t height, const uint32_t* xrgb) {
  const size_t rowBytes = static_cast<size_t>(width) * 3 + 1;
  std::vector<uint8_t> rows(rowBytes * static_cast<size_t>(height));
  uint8_t* out = rows.data();
  for (int32_t y = 0; y < height; ++y) {
    *out++ = 0;  // filter type: none
    const uint32_t* row = xrgb + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int32_t x = 0; x < width; ++x) {
      *out++ = static_cast<uint8_t>(row[x] >> 16);
      *out++ = static_cast<uint8_t>(row[x] >> 8);
      *out++ = static_cast<uint8_t>(row[x]);
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()), Z_DEFAULT_COMPRESSION) !=
      Z_OK)
    throw EInvalidGraphicOperation("PNG write error");

  // Width, height, 8 bits per channel, truecolour (RGB), deflate, adaptive filtering, no interlace.
  std::vector<uint8_t> header;
  PutBig32(header, static_cast<uint32_t>(width));
  PutBig32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});
  static const uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> png(kSignature, kSignature + sizeof kSignature);
  png.reserve(png.size() + header.size() + packedSize + 3 * 12);
  PutChunk(png, "IHDR", header.data(), header.size());
  PutChunk(png, "IDAT", packed.data(), packedSize);
  PutChunk(png, "IEND", nullptr, 0);
  return png;
}
