#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "Graphics.h"
#include "HostFile.h"
#include "PngWriter.h"

namespace {
// Far beyond any window or picture of this program, and small enough to be honest memory.
constexpr int64_t kMaxPixels = int64_t{1} << 28;
constexpr uint32_t kWhite = 0x00FFFFFF;
}  // namespace

void TSurface::Resize(int32_t w, int32_t h) {
  w = std::max<int32_t>(w, 0);
  h = std::max<int32_t>(h, 0);
  if (w == FWidth && h == FHeight) return;
  if (static_cast<int64_t>(w) * h > kMaxPixels) throw EOutOfResources("Out of system resources");

  std::vector<uint32_t> pixels;
  try {
    pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), kWhite);
  } catch (const std::bad_alloc&) {
    throw EOutOfResources("Out of system resources");
  }
  const int32_t keepW = std::min(w, FWidth);
  const int32_t keepH = keepW > 0 ? std::min(h, FHeight) : 0;  // memcpy takes no null row
  for (int32_t y = 0; y < keepH; ++y)
    std::memcpy(pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(w), Row(y),
                static_cast<size_t>(keepW) * sizeof(uint32_t));
  FPixels.swap(pixels);
  FWidth = w;
  FHeight = h;
}

uint32_t TSurface::Pixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return 0;
  return Row(y)[x];
}

void TSurface::Fill(uint32_t xrgb) { std::fill(FPixels.begin(), FPixels.end(), xrgb & 0x00FFFFFFu); }

void TSurface::SavePng(const std::string& fileName) const {
  if (FWidth <= 0 || FHeight <= 0) throw EInvalidGraphicOperation("Cannot save an empty image");
  // Encoded in memory first, so that the file is written through the host's binary files.
  const std::vector<uint8_t> encoded = EncodePng(FWidth, FHeight, FPixels.data());
  const auto size = static_cast<int32_t>(encoded.size());
  THostFile file;
  if (!file.Open(fileName, THostFile::haCreate)) file.Error().Raise();
  const bool written = file.Write(encoded.data(), size) == size;
  // Closed here, where a failed flush can be seen.
  const bool closed = file.Close();
  if (written && closed) return;
  std::remove(fileName.c_str());
  RaiseInOutError(101);
}
