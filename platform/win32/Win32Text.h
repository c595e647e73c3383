// Internal to the Windows backend: the platform's texts are Windows-1252 bytes, the system's
// wide calls take UTF-16. Characters the code page lacks become '?'. Any thread.
#pragma once
#include <cstddef>
#include <string>

std::wstring WideFromCp1252(const std::string& text);
std::string Cp1252FromWide(const wchar_t* text, size_t length);
