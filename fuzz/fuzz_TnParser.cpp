// libFuzzer target for the telnet stream parser. The input is cut into blocks (the first byte
// picks the cut pattern, and one bit of it transparent mode for a block), each handed to the
// parser in its own exactly sized heap buffer plus the one spare byte the contract asks for, so
// that AddressSanitizer sees any read or write outside it. Checks what must always hold:
// slices within their block, at most 1023 sub-negotiation bytes, IAC never in data except as
// the single byte of a doubled IAC, and a state that stays in range.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "TnParser.h"

namespace {

struct THooks {
  const uint8_t* Begin = nullptr;
  const uint8_t* End = nullptr;
  bool Transparent = false;
  void Check(bool ok) {
    if (!ok) std::abort();
  }
  int Data(uint8_t* p, size_t n) {
    Check(n > 0 && p >= Begin && p + n <= End);
    p[n] ^= 0x5A;  // the engine writes a temporary NUL here: the byte must be writable
    p[n] ^= 0x5A;
    if (!Transparent && n > 1) Check(std::memchr(p, 255, n) == nullptr);
    return 0;
  }
  int Command(uint8_t c) {
    Check(c < 250);
    return 0;
  }
  int Will(uint8_t) { return 0; }
  int Wont(uint8_t) { return 0; }
  int Do(uint8_t) { return 0; }
  int Dont(uint8_t) { return 0; }
  void SubOption(uint8_t* p, size_t n) {
    Check(n >= 3 && n <= TTnParser::kSubBufferSize && p[0] == 255 && p[1] == 250);
    p[n] ^= 0x5A;
    p[n] ^= 0x5A;
  }
  void Error(int code, const char*) { Check(code == kTnSubOptionTooLong); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t pattern = data[0];
  ++data;
  --size;
  TTnParser parser;
  THooks hooks;
  size_t pos = 0;
  size_t k = 0;
  while (pos < size) {
    size_t len = (pattern & 0x0F) == 0 ? size - pos : 1 + ((pattern >> 4) + k * 7) % ((pattern & 0x0F) * 3);
    if (len > size - pos) len = size - pos;
    uint8_t* block = static_cast<uint8_t*>(std::malloc(len + 1));
    std::memcpy(block, data + pos, len);
    hooks.Begin = block;
    hooks.End = block + len;
    hooks.Transparent = (pattern & 0x80) && (k % 5 == 4);
    parser.SetTransparent(hooks.Transparent);
    parser.Parse(block, len, hooks);
    if (parser.State() > TTnParser::kSubBufferSize) std::abort();
    std::free(block);
    pos += len;
    ++k;
  }
  return 0;
}
