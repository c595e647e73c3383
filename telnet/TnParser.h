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

constexpr int kTnSubOptionTooLong = 191;
extern const char* const kTnSubOptionTooLongText;  // "SubOption string too long. Truncated."

class TTnParser {
 public:
  static constexpr size_t kSubBufferSize = 1023;

  // Where the parser stands between bytes. From psSubNegotiation on, the state is also the
  // number of bytes held in the buffer (IAC, SB, the option, then the parameters).
  enum TState : size_t { psData = 0, psAfterIAC = 1, psAfterVerb = 2, psSubNegotiation = 3 };

  size_t State() const { return FState; }
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool v) { FTransparent = v; }

  // Parses one block; returns 0, or the first nonzero result of a data, command or option hook,
  // which ends the block at once.
  template <class THooks>
  int Parse(uint8_t* block, size_t n, THooks& hooks);

 private:
  // Where a step of the parse ended, and its hook's result.
  struct TStep {
    size_t Next;
    int Result;
  };
  // In plain data (state s): one run of data up to the next IAC, or the IAC itself.
  template <class THooks>
  TStep DataRun(uint8_t* p, size_t i, size_t n, size_t& s, THooks& hooks);
  // The byte after IAC, at `at` in the block: a command, a quoted IAC, or a verb.
  template <class THooks>
  int AfterIAC(uint8_t* at, size_t& s, THooks& hooks);
  // The option byte after WILL, WONT, DO or DONT, or the option of SB.
  template <class THooks>
  int AfterVerb(uint8_t b, size_t& s, THooks& hooks);
  template <class THooks>
  int Verb(uint8_t option, THooks& hooks);
  // Inside a sub-negotiation (state s): consumes bytes up to and including SE; returns the new
  // position.
  template <class THooks>
  size_t SubNegotiation(uint8_t* p, size_t i, size_t n, size_t& s, THooks& hooks);

  size_t FState = psData;
  bool FTransparent = false;
  uint8_t FSub[kSubBufferSize + 1] = {};  // one spare byte for the hook's temporary NUL
};

template <class THooks>
int TTnParser::Parse(uint8_t* p, size_t n, THooks& hooks) {
  if (FTransparent) {
    FState = psData;
    return n ? hooks.Data(p, n) : 0;
  }
  // The state lives in a local while the block is parsed (a hook's byte stores could alias the
  // member and force it through memory) and is written back before every return.
  size_t s = FState;
  size_t i = 0;
  int r = 0;
  while (i < n && r == 0) {
    switch (s) {
      case psData: {
        const TStep step = DataRun(p, i, n, s, hooks);
        i = step.Next;
        r = step.Result;
        break;
      }
      case psAfterIAC: r = AfterIAC(p + i++, s, hooks); break;
      case psAfterVerb: r = AfterVerb(p[i++], s, hooks); break;
      default: i = SubNegotiation(p, i, n, s, hooks); break;
    }
  }
  FState = s;
  return r;
}

template <class THooks>
TTnParser::TStep TTnParser::DataRun(uint8_t* p, size_t i, size_t n, size_t& s, THooks& hooks) {
  if (p[i] == tcIAC) {
    // A doubled IAC inside the block is the common worst case: take it in one step.
    if (i + 1 < n && p[i + 1] == tcIAC) {
      do {
        i += 2;
        if (const int r = hooks.Data(p + i - 1, 1)) return {i, r};
      } while (i + 1 < n && p[i] == tcIAC && p[i + 1] == tcIAC);
      return {i, 0};
    }
    FSub[0] = tcIAC;
    s = psAfterIAC;
    return {i + 1, 0};
  }
  const void* hit = std::memchr(p + i, tcIAC, n - i);
  const size_t end = hit ? static_cast<size_t>(static_cast<const uint8_t*>(hit) - p) : n;
  return {end, hooks.Data(p + i, end - i)};
}

template <class THooks>
int TTnParser::AfterIAC(uint8_t* at, size_t& s, THooks& hooks) {
  const uint8_t b = *at;
  if (b < tcSB) {
    s = psData;
    return hooks.Command(b);
  }
  if (b == tcIAC) {
    s = psData;
    return hooks.Data(at, 1);
  }
  FSub[1] = b;
  s = psAfterVerb;
  return 0;
}

template <class THooks>
int TTnParser::AfterVerb(uint8_t b, size_t& s, THooks& hooks) {
  if (FSub[1] == tcSB) {
    FSub[2] = b;
    s = psSubNegotiation;
    return 0;
  }
  s = psData;
  return Verb(b, hooks);
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
size_t TTnParser::SubNegotiation(uint8_t* p, size_t i, size_t n, size_t& s, THooks& hooks) {
  const void* hit = std::memchr(p + i, tcSE, n - i);
  const size_t end = hit ? static_cast<size_t>(static_cast<const uint8_t*>(hit) - p) : n;
  const size_t take = end - i;
  const size_t room = kSubBufferSize - s;
  const size_t fits = take < room ? take : room;
  std::memcpy(FSub + s, p + i, fits);
  s += fits;
  // Each byte that does not fit is reported and dropped; what is held stays for SE.
  for (size_t k = fits; k < take; ++k) hooks.Error(kTnSubOptionTooLong, kTnSubOptionTooLongText);
  if (!hit) return n;
  const size_t len = s;
  s = psData;
  FState = psData;  // the hook may look; the block goes on either way
  hooks.SubOption(FSub, len);
  return end + 1;
}
