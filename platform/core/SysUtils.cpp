#include "SysUtils.h"

#include <cxxabi.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <typeinfo>

std::string ExceptionClassName(const std::exception& e) { return DemangledTypeName(typeid(e)); }

std::string DemangledTypeName(const std::type_info& t) {
  const char* mangled = t.name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  return status == 0 && demangled ? std::string(demangled.get()) : std::string(mangled);
}

void RaiseInOutError(int inOutCode) {
  switch (inOutCode) {
    case 2: throw EInOutError(2, "File not found");
    case 3: throw EInOutError(3, "Path not found");
    case 4: throw EInOutError(4, "Too many open files");
    case 5: throw EInOutError(5, "File access denied");
    case 6: throw EInOutError(6, "Invalid file handle");
    case 101: throw EInOutError(101, "Disk write error");
    case 103: throw EInOutError(103, "File not open");
    default: throw EInOutError(100, "Disk read error");
  }
}

std::string Format(const char* pattern, ...) {
  va_list ap;
  va_start(ap, pattern);
  va_list ap2;
  va_copy(ap2, ap);
  int n = std::vsnprintf(nullptr, 0, pattern, ap);
  va_end(ap);
  std::string out;
  if (n > 0) {
    out.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(out.data(), out.size(), pattern, ap2);
    out.resize(static_cast<size_t>(n));
  }
  va_end(ap2);
  return out;
}

std::string IntToStr(int64_t v) { return std::to_string(v); }

int DigitValue(char c, int base) {
  int d = 99;
  if (c >= '0' && c <= '9')
    d = c - '0';
  else if (c >= 'a' && c <= 'f')
    d = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F')
    d = c - 'A' + 10;
  return d < base ? d : -1;
}

namespace {

// The value of a run of digits, or -1 when a character is no digit or the value passes
// `limit` (checked as it grows, so no run is too long).
int64_t DigitRunValue(std::string_view digits, int base, int64_t limit) {
  int64_t v = 0;
  for (const char c : digits) {
    const int d = DigitValue(c, base);
    if (d < 0) return -1;
    v = v * base + d;
    if (v > limit) return -1;
  }
  return v;
}

}  // namespace

bool TryStrToInt(const std::string& s, int32_t& out) {
  size_t i = 0, n = s.size();
  while (i < n && s[i] == ' ') ++i;
  while (n > i && s[n - 1] == ' ') --n;
  if (i == n) return false;
  bool neg = false;
  if (s[i] == '-' || s[i] == '+') {
    neg = s[i] == '-';
    ++i;
  }
  if (i == n) return false;
  const bool hex = s[i] == '$' || (n - i > 2 && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X'));
  if (hex) {
    i += s[i] == '$' ? 1 : 2;
    if (i == n) return false;
  }
  // Hexadecimal spans all 32 bits; decimal reaches one past the largest int for "-2147483648".
  const int64_t run =
      DigitRunValue(std::string_view(s).substr(i, n - i), hex ? 16 : 10, hex ? 0xFFFFFFFFll : 2147483648ll);
  if (run < 0) return false;
  const int64_t v = neg ? -run : run;
  if (hex) {
    out = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
  }
  if (v > 2147483647ll) return false;
  out = static_cast<int32_t>(v);
  return true;
}

int32_t StrToInt(const std::string& s) {
  int32_t v = 0;
  if (!TryStrToInt(s, v)) throw EConvertError(Format("'%s' is not a valid integer value", s.c_str()));
  return v;
}

std::string UpperCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return r;
}

std::string LowerCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return r;
}

bool SameTextChar(char a, char b) {
  if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 32);
  if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
  return a == b;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (!SameTextChar(a[i], b[i])) return false;
  return true;
}

std::string CutAtNul(const std::string& s) {
  size_t p = s.find('\0');
  return p == std::string::npos ? s : s.substr(0, p);
}
