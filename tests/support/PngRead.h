// Test support: a PNG file decoded by a reader that is not ours (libpng on Linux, GDI+ on
// Windows), to 8-bit RGB rows. Defined out of line (PngRead.cpp), so that no test sees a host
// header.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct TDecodedPng {
  std::string Error;  // empty when the file decoded
  uint32_t Width = 0;
  uint32_t Height = 0;
  bool Alpha = false;  // the file has an alpha channel
  std::vector<uint8_t> Rgb;
};

TDecodedPng DecodePngFile(const std::string& path);
