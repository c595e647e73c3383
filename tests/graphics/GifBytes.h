// Building GIF files byte by byte in tests: each helper is one part of the file, named after
// it, so that a test reads as an annotated byte array. Codes are given with the width they are
// read at and packed least significant bit first.
#pragma once
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "Streams.h"
#include "UiGIF.h"

namespace gifbytes {

using Bytes = std::string;

inline Bytes B(std::initializer_list<int> v) {
  Bytes s;
  for (int b : v) s += static_cast<char>(b);
  return s;
}
inline Bytes Le16(int v) { return B({v & 0xFF, (v >> 8) & 0xFF}); }

// Logical screen descriptor: size, packed byte (0x80 | bits - 1 with a global table),
// background index, aspect ratio.
inline Bytes Screen(int w, int h, int packed, int background = 0, int aspect = 0) {
  return Le16(w) + Le16(h) + B({packed, background, aspect});
}
inline Bytes Table(std::initializer_list<std::array<int, 3>> colours) {
  Bytes s;
  for (const auto& c : colours) s += B({c[0], c[1], c[2]});
  return s;
}
// n entries (i, i, i) x 16, distinct and easy to read back.
inline Bytes GreyTable(int n) {
  Bytes s;
  for (int i = 0; i < n; ++i) s += B({(i * 16) & 0xFF, (i * 16) & 0xFF, (i * 16) & 0xFF});
  return s;
}
// Image descriptor with its "," separator; packed 0x40 interlaced, 0x80 | bits - 1 local table.
inline Bytes Image(int w, int h, int packed = 0, int left = 0, int top = 0) {
  return "," + Le16(left) + Le16(top) + Le16(w) + Le16(h) + B({packed});
}
inline Bytes GraphicControl(int flags, int delay, int transparentIndex) {
  return B({'!', 0xF9, 4, flags}) + Le16(delay) + B({transparentIndex, 0});
}
// Payload cut into sub-blocks of at most 255 bytes, then the zero-size terminator.
inline Bytes SubBlocks(const Bytes& payload) {
  Bytes s;
  for (size_t i = 0; i < payload.size(); i += 255) {
    const Bytes chunk = payload.substr(i, 255);
    s += static_cast<char>(chunk.size());
    s += chunk;
  }
  return s + '\0';
}
inline Bytes Comment(std::initializer_list<const char*> blocks) {
  Bytes s = B({'!', 0xFE});
  for (const char* b : blocks) s += static_cast<char>(Bytes(b).size()) + Bytes(b);
  return s + '\0';
}

using TCodes = std::vector<std::pair<uint32_t, int>>;  // (code, width)

inline Bytes Pack(const TCodes& codes) {
  Bytes out;
  uint64_t acc = 0;
  int n = 0;
  for (const auto& [code, width] : codes) {
    acc |= static_cast<uint64_t>(code) << n;
    n += width;
    while (n >= 8) {
      out += static_cast<char>(acc & 0xFF);
      acc >>= 8;
      n -= 8;
    }
  }
  if (n) out += static_cast<char>(acc & 0xFF);
  return out;
}

// Pixels as root codes at code size m, a clear code before the table would widen the codes:
// every pixel is its own code, so the expected picture is the input.
inline TCodes RootCodes(const std::vector<int>& pixels, int m) {
  const uint32_t clear = 1u << m;
  const size_t perGroup = (size_t{1} << m) - 2;
  TCodes codes;
  for (size_t i = 0; i < pixels.size(); ++i) {
    if (i % perGroup == 0) codes.push_back({clear, m + 1});
    codes.push_back({static_cast<uint32_t>(pixels[i]), m + 1});
  }
  codes.push_back({clear + 1, m + 1});
  return codes;
}

// Image data: code size byte, then the packed codes in sub-blocks.
inline Bytes Data(int m, const TCodes& codes) { return B({m}) + SubBlocks(Pack(codes)); }

// A whole file: header, screen with a global grey table of 2^bits entries, body, trailer.
inline Bytes File(const Bytes& body, int w, int h, int bits = 2, const Bytes& header = "GIF89a") {
  return header + Screen(w, h, 0x80 | (bits - 1)) + GreyTable(1 << bits) + body + ";";
}

inline std::string Counted(const Bytes& data) {
  const auto n = static_cast<uint32_t>(data.size());
  return B({static_cast<int>(n & 0xFF), static_cast<int>((n >> 8) & 0xFF), static_cast<int>((n >> 16) & 0xFF),
            static_cast<int>(n >> 24)}) +
         data;
}

inline void Load(TUiGIFImage& g, const Bytes& data) { g.LoadFromBytes(data.data(), data.size()); }

// Palette indices of the current frame's bitmap, top row first, row after row.
inline std::vector<int> Indices(TUiGIFImage& g) {
  std::vector<int> out;
  if (g.FrameCount() == 0) return out;
  const TDIBitmap& d = g.Frames(0).Bitmap();
  for (int32_t y = 0; y < d.Height(); ++y)
    for (int32_t x = 0; x < d.Width(); ++x) out.push_back(d.Index(x, y));
  return out;
}

}  // namespace gifbytes
