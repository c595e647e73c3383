#include "PngWriter.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "Scope.h"
#include "SysUtils.h"

void WritePngFile(const std::string& fileName, int32_t width, int32_t height, const uint32_t* xrgb) {
  if (width <= 0 || height <= 0) throw EInvalidGraphicOperation("Cannot save an empty image");

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

  FILE* f = std::fopen(fileName.c_str(), "wb");
  if (!f) RaiseInOutError(errno);
  // Closes the file on every path out, including the raising ones.
  TScopeExit closer([&f] {
    if (f) std::fclose(f);
  });

  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  const int ok = png_image_write_to_stdio(&image, f, 0, rgb.data(), 0, nullptr);
  const bool ioFailed = std::ferror(f) != 0;
  std::string message = image.message;
  png_image_free(&image);
  // Closed here, where a failed flush can be seen; the guard then finds nothing to close.
  const bool closeFailed = std::fclose(std::exchange(f, nullptr)) != 0;
  if (ok && !ioFailed && !closeFailed) return;

  std::remove(fileName.c_str());
  if (ioFailed || closeFailed) throw EInOutError(101, "Disk write error");
  throw EInvalidGraphicOperation(message.empty() ? std::string("PNG write error") : message);
}
