// The reference decoder for differential tests and benches: Debian's giflib, reading a file
// from memory frame by frame through its line interface, rows put in picture order here.
// Used only by tests and benchmarks, never by the program.
#pragma once
#include <gif_lib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace giflibref {

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

// Decodes up to maxFrames frames; false (with the giflib error) when giflib refuses the file.
inline bool Decode(const std::string& bytes, std::vector<TFrame>& frames, int maxFrames, std::string* error = nullptr) {
  frames.clear();
  TSource src{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
  int err = 0;
  GifFileType* gif = DGifOpen(&src, ReadFromMemory, &err);
  if (!gif) {
    if (error) *error = GifErrorString(err);
    return false;
  }
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
  if (!ok && error) *error = GifErrorString(gif->Error);
  DGifCloseFile(gif, &err);
  return ok;
}

}  // namespace giflibref
