// The Windows-1252 code page: every text in the system is a byte string in it. Mapping to and
// from Unicode code points for glyph lookup and for the display's clipboard and titles.
#pragma once
#include <cstdint>
#include <string>

uint32_t Cp1252ToUnicode(uint8_t c);
// The byte for a code point, or -1 when the code page has none.
int UnicodeToCp1252(uint32_t cp);
std::string Cp1252ToUtf8(const std::string& s);
// Characters the code page lacks become '?'.
std::string Utf8ToCp1252(const std::string& s);
