// Test support: whether the raster "MS Sans Serif" that the pages are drawn in is installed
// (from Debian's fonts-wine on Linux; on Windows, and under Wine, the system's own). Defined out
// of line (RasterFont.cpp), so that no test sees a host header.
#pragma once

bool RasterSansSerifInstalled();
