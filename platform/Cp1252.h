// Internal: the Windows-1252 code page, the encoding of every text the platform draws.
// Pure function; any thread.
#pragma once
#include <cstdint>

// The Unicode code point of a byte. Bytes that the code page leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the code point of the same value.
char32_t Cp1252ToUnicode(uint8_t byte);
