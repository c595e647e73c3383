// The telnet stream parser: turns the bytes received on a connection into plain data, commands,
// option requests (WILL, WONT, DO, DONT) and sub-negotiations. It only recognises and reports;
// it keeps no option state, answers nothing and sends nothing.
//
// Threads: one parser belongs to one engine instance and is used on that instance's thread.
// Ownership: the parser owns its state and its sub-negotiation buffer; it never keeps a pointer
// to a block it was given. Data is reported as slices of the caller's block (never copied); a
// sub-negotiation is reported as a slice of the parser's own buffer, valid during the call only.
// Both kinds of slice are followed by at least one byte that the hooks may overwrite for the
// duration of the call (the engine puts a temporary NUL there): the caller's block must have one
// writable byte past its end, and the parser's buffer has one spare byte.
//
// Hooks: Parse takes any object with these members (a template, so that the hot loop can inline
// them):
//   int  Data(uint8_t* p, size_t n);       nonzero stops the block
//   int  Command(uint8_t code);            nonzero stops the block
//   int  Will(uint8_t) / Wont / Do / Dont;  nonzero stops the block
//   void SubOption(uint8_t* p, size_t n);  result not looked at
//   void Error(int code, const char* text);
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

enum : uint8_t {
  tcSE = 240,
  tcSB = 250,
  tcWILL = 251,
  tcWONT = 252,
  tcDO = 253,
  tcDONT = 254,
  tcIAC = 255,
};

constexpr int TnSubOptionTooLong = 191;
extern const char* const TnSubOptionTooLongText;  // "SubOption string too long. Truncated."

class TTnParser {
 public:
  static constexpr size_t SubBufferSize = 1023;

  // State: 0 plain data, 1 after IAC, 2 after IAC and a verb or SB, 3 and above inside a
  // sub-negotiation, where the state is also the number of bytes held in the buffer.
  size_t State() const { return FState; }
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool v) { FTransparent = v; }

  // Parses one block; returns 0, or the first nonzero result of a data, command or option hook,
  // which ends the block at once.
  template <class THooks>
  int Parse(uint8_t* block, size_t n, THooks& hooks);

 private:
  template <class THooks>
  int Verb(uint8_t option, THooks& hooks);
  // Inside a sub-negotiation: consumes bytes up to and including SE; returns the new position.
  template <class THooks>
  size_t SubNegotiation(uint8_t* p, size_t i, size_t n, THooks& hooks);

  size_t FState = 0;
  bool FTransparent = false;
  uint8_t FSub[SubBufferSize + 1] = {};  // one spare byte for the hook's temporary NUL
};

template <class THooks>
int TTnParser::Parse(uint8_t* p, size_t n, THooks& hooks) {
  if (FTransparent) {
    FState = 0;
    return n ? hooks.Data(p, n) : 0;
  }
  size_t i = 0;
  while (i < n) {
    switch (FState) {
      case 0: {
        if (p[i] == tcIAC) {
          FSub[0] = tcIAC;
          FState = 1;
          ++i;
          break;
        }
        const size_t start = i;
        const void* hit = std::memchr(p + i, tcIAC, n - i);
        i = hit ? static_cast<size_t>(static_cast<const uint8_t*>(hit) - p) : n;
        if (int r = hooks.Data(p + start, i - start)) return r;
        break;
      }
      case 1: {
        const uint8_t b = p[i];
        if (b < tcSB) {
          FState = 0;
          ++i;
          if (int r = hooks.Command(b)) return r;
        } else if (b == tcIAC) {
          FState = 0;
          ++i;
          if (int r = hooks.Data(p + i - 1, 1)) return r;
        } else {
          FSub[1] = b;
          FState = 2;
          ++i;
        }
        break;
      }
      case 2: {
        const uint8_t b = p[i++];
        if (FSub[1] == tcSB) {
          FSub[2] = b;
          FState = 3;
        } else {
          FState = 0;
          if (int r = Verb(b, hooks)) return r;
        }
        break;
      }
      default:
        i = SubNegotiation(p, i, n, hooks);
        break;
    }
  }
  return 0;
}

template <class THooks>
int TTnParser::Verb(uint8_t option, THooks& hooks) {
  switch (FSub[1]) {
    case tcWILL: return hooks.Will(option);
    case tcWONT: return hooks.Wont(option);
    case tcDO: return hooks.Do(option);
    default: return hooks.Dont(option);
  }
}

template <class THooks>
size_t TTnParser::SubNegotiation(uint8_t* p, size_t i, size_t n, THooks& hooks) {
  const void* hit = std::memchr(p + i, tcSE, n - i);
  const size_t end = hit ? static_cast<size_t>(static_cast<const uint8_t*>(hit) - p) : n;
  size_t take = end - i;
  const size_t room = SubBufferSize - FState;
  const size_t fits = take < room ? take : room;
  std::memcpy(FSub + FState, p + i, fits);
  FState += fits;
  // Each byte that does not fit is reported and dropped; what is held stays for SE.
  for (size_t k = fits; k < take; ++k) hooks.Error(TnSubOptionTooLong, TnSubOptionTooLongText);
  if (!hit) return n;
  const size_t len = FState;
  FState = 0;
  hooks.SubOption(FSub, len);
  return end + 1;
}
