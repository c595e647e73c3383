// Internal: PNG encoding of a surface's pixels (libpng), kept apart so that the surface itself
// does not depend on the encoder. Any thread, one file per call.
#pragma once
#include <cstdint>
#include <string>

// Writes width x height pixels of 0x00RRGGBB, rows top to bottom without padding, as an 8-bit
// RGB PNG. Failures raise as TSurface::SavePng describes; a partly written file is removed.
void WritePngFile(const std::string& fileName, int32_t width, int32_t height, const uint32_t* xrgb);
