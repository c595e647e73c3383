// The reference decoder for differential tests and benches: Debian's giflib, reading a file
// from memory frame by frame through its line interface, rows put in picture order here.
// Used only by tests and benchmarks, never by the program.
//
// Any input is safe to hand it: a refusal always comes with a reason (giflib leaves some
// failures without an error code, and has no text for those), and a frame over kMaxPixels is
// refused before anything is allocated for it.
#pragma once
#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace giflibref {

// The decoder under test refuses frames over 64 megapixels too; a descriptor may claim 4 Gi.
constexpr uint64_t kMaxPixels = uint64_t{64} * 1024 * 1024;

struct TFrame {
  int Width = 0, Height = 0;
  bool Interlaced = false;
  bool LocalTable = false;
  int TransparentIndex = -1;
  std::vector<uint8_t> Indices;  // top row first
  std::vector<uint8_t> Table;    // red, green, blue per entry
};

struct TSource {
  const uint8_t* Data;
  size_t Size;
  size_t Pos = 0;
};

inline int ReadFromMemory(GifFileType* gif, GifByteType* buf, int n) {
  auto* s = static_cast<TSource*>(gif->UserData);
  const size_t k = std::min(static_cast<size_t>(n), s->Size - s->Pos);
  std::memcpy(buf, s->Data + s->Pos, k);
  s->Pos += k;
  return static_cast<int>(k);
}

// giflib's text for an error code; it has none for 0, which some of its failures leave.
inline std::string ErrorText(int code) {
  const char* text = GifErrorString(code);
  return text ? text : "giflib failed without an error code (" + std::to_string(code) + ")";
}

// Decodes up to maxFrames frames; false (with the reason) when giflib refuses the file or a
// frame is over kMaxPixels.
// Test code, read as one script like the tests' own; the bench includes it under the product's
// checks. NOLINTNEXTLINE(readability-function-cognitive-complexity)
inline bool Decode(const std::string& bytes, std::vector<TFrame>& frames, int maxFrames, std::string* error = nullptr) {
  frames.clear();
  TSource src{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
  int err = 0;
  GifFileType* gif = DGifOpen(&src, ReadFromMemory, &err);
  if (!gif) {
    if (error) *error = ErrorText(err);
    return false;
  }
  std::string tooLarge;
  bool ok = true;
  int transparent = -1;
  std::vector<GifPixelType> line;
  GifRecordType type;
  while (ok && static_cast<int>(frames.size()) < maxFrames) {
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
      ok = false;
      break;
    }
    if (type == TERMINATE_RECORD_TYPE) break;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(gif, &code, &ext) == GIF_ERROR) {
        ok = false;
        break;
      }
      if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) transparent = (ext[1] & 1) ? ext[4] : -1;
      while (ext) {
        if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR) {
          ok = false;
          break;
        }
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(gif) == GIF_ERROR) {
      ok = false;
      break;
    }
    TFrame f;
    f.Width = gif->Image.Width;
    f.Height = gif->Image.Height;
    if (static_cast<uint64_t>(f.Width) * static_cast<uint64_t>(f.Height) > kMaxPixels) {
      tooLarge = "frame of " + std::to_string(f.Width) + " x " + std::to_string(f.Height) +
                 " pixels is over the reference's limit of " + std::to_string(kMaxPixels);
      ok = false;
      break;
    }
    f.Interlaced = gif->Image.Interlace;
    f.LocalTable = gif->Image.ColorMap != nullptr;
    f.TransparentIndex = transparent;
    transparent = -1;
    const ColorMapObject* map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
    if (map)
      for (int i = 0; i < map->ColorCount; ++i) {
        f.Table.push_back(map->Colors[i].Red);
        f.Table.push_back(map->Colors[i].Green);
        f.Table.push_back(map->Colors[i].Blue);
      }
    f.Indices.assign(static_cast<size_t>(f.Width) * static_cast<size_t>(f.Height), 0);
    line.resize(static_cast<size_t>(f.Width));
    // Rows in stream order, placed by pass when interlaced.
    std::vector<int> order;
    if (f.Interlaced) {
      const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < f.Height; y += step[pass]) order.push_back(y);
    } else {
      for (int y = 0; y < f.Height; ++y) order.push_back(y);
    }
    for (int y : order) {
      if (DGifGetLine(gif, line.data(), f.Width) == GIF_ERROR) {
        ok = false;
        break;
      }
      std::memcpy(f.Indices.data() + static_cast<size_t>(y) * static_cast<size_t>(f.Width), line.data(),
                  static_cast<size_t>(f.Width));
    }
    if (ok) frames.push_back(std::move(f));
  }
  if (!ok && error) *error = tooLarge.empty() ? ErrorText(gif->Error) : tooLarge;
  DGifCloseFile(gif, &err);
  return ok;
}

}  // namespace giflibref
