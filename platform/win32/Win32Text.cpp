#include "Win32Text.h"

#include <cstdint>

#include "Cp1252.h"

std::wstring WideFromCp1252(const std::string& text) {
  std::wstring out;
  out.reserve(text.size());
  for (const char c : text) out += static_cast<wchar_t>(Cp1252ToUnicode(static_cast<uint8_t>(c)));
  return out;
}

std::string Cp1252FromWide(const wchar_t* text, size_t length) {
  std::string out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    const int b = UnicodeToCp1252(text[i]);
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}
