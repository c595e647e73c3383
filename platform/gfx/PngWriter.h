// Internal: PNG encoding of a surface's pixels, one encoder per host (libpng on Linux, zlib on
// Windows), kept apart so that the surface itself does not depend on an encoder; the surface
// writes the file. Any thread.
#pragma once
#include <cstdint>
#include <vector>

// Encodes width x height (both above 0) pixels of 0x00RRGGBB, rows top to bottom without
// padding, as an 8-bit RGB PNG file's bytes. An encoder failure raises EInvalidGraphicOperation.
std::vector<uint8_t> EncodePng(int32_t width, int32_t height, const uint32_t* xrgb);
