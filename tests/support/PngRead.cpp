#include "PngRead.h"

// The one host difference these tests meet: one whole definition per host.
#ifdef _WIN32
#include <windows.h>

#include <gdiplus.h>

#include <memory>

TDecodedPng DecodePngFile(const std::string& path) {
  TDecodedPng d;
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) {
    d.Error = "GDI+ did not start";
    return d;
  }
  {
    const std::wstring wide(path.begin(), path.end());
    std::unique_ptr<Gdiplus::Bitmap> bitmap(Gdiplus::Bitmap::FromFile(wide.c_str()));
    if (!bitmap || bitmap->GetLastStatus() != Gdiplus::Ok) {
      d.Error = "GDI+ cannot read " + path;
    } else {
      d.Width = bitmap->GetWidth();
      d.Height = bitmap->GetHeight();
      d.Alpha = (bitmap->GetPixelFormat() & PixelFormatAlpha) != 0;
      for (UINT y = 0; y < d.Height; ++y)
        for (UINT x = 0; x < d.Width; ++x) {
          Gdiplus::Color c;
          bitmap->GetPixel(static_cast<INT>(x), static_cast<INT>(y), &c);
          d.Rgb.insert(d.Rgb.end(), {c.GetR(), c.GetG(), c.GetB()});
        }
    }
  }
  Gdiplus::GdiplusShutdown(token);
  return d;
}
#else
#include <png.h>

#include <cstring>

TDecodedPng DecodePngFile(const std::string& path) {
  TDecodedPng d;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str())) {
    d.Width = image.width;
    d.Height = image.height;
    d.Alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = PNG_FORMAT_RGB;
    d.Rgb.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, d.Rgb.data(), 0, nullptr)) return d;
  }
  d.Error = image.message;
  png_image_free(&image);
  return d;
}
#endif
