#include "RasterFont.h"

// The one host difference these tests meet: one whole definition per host.
#ifdef _WIN32
#include <windows.h>

bool RasterSansSerifInstalled() {
  LOGFONTW lf{};
  lf.lfCharSet = ANSI_CHARSET;
  lstrcpyW(lf.lfFaceName, L"MS Sans Serif");
  bool raster = false;
  HDC dc = GetDC(nullptr);
  EnumFontFamiliesExW(
      dc, &lf,
      [](const LOGFONTW*, const TEXTMETRICW*, DWORD type, LPARAM found) -> int {
        if (type & RASTER_FONTTYPE) *reinterpret_cast<bool*>(found) = true;
        return 1;
      },
      reinterpret_cast<LPARAM>(&raster), 0);
  ReleaseDC(nullptr, dc);
  return raster;
}
#else
#include <unistd.h>

bool RasterSansSerifInstalled() { return access("/usr/share/wine/fonts/sserife.fon", R_OK) == 0; }
#endif
