#include "PngWriter.h"

#include <png.h>

#include <cstring>
#include <string>

#include "Graphics.h"

std::vector<uint8_t> EncodePng(int32_t width, int32_t height, const uint32_t* xrgb) {
  // libpng's simplified writer takes packed RGB; the surface keeps a pad byte per pixel.
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<uint8_t> rgb(count * 3);
  uint8_t* out = rgb.data();
  for (size_t i = 0; i < count; ++i) {
    const uint32_t p = xrgb[i];
    *out++ = static_cast<uint8_t>(p >> 16);
    *out++ = static_cast<uint8_t>(p >> 8);
    *out++ = static_cast<uint8_t>(p);
  }

  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  std::vector<uint8_t> encoded;
  bool ok = png_image_write_get_memory_size(image, size, 0, rgb.data(), 0, nullptr) != 0;
  if (ok) {
    encoded.resize(size);
    ok = png_image_write_to_memory(&image, encoded.data(), &size, 0, rgb.data(), 0, nullptr) != 0;
  }
  const std::string message = image.message;
  png_image_free(&image);
  if (!ok) throw EInvalidGraphicOperation(message.empty() ? std::string("PNG write error") : message);
  encoded.resize(size);
  return encoded;
}
