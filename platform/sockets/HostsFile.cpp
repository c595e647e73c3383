#include "HostsFile.h"

#include <cstring>

namespace Winsock::Detail {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// Next blank-separated field of `line` from `pos`; empty at the end.
std::string_view NextField(std::string_view line, size_t& pos) {
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  size_t start = pos;
  while (pos < line.size() && !IsBlank(line[pos])) ++pos;
  return line.substr(start, pos - start);
}

}  // namespace

bool ParseDottedQuad(std::string_view text, uint32_t& addrNetworkOrder) {
  uint8_t bytes[4];
  size_t i = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (i >= text.size() || text[i] != '.') return false;
      ++i;
    }
    unsigned v = 0;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
      v = v * 10 + static_cast<unsigned>(text[i] - '0');
      ++i;
      ++digits;
    }
    if (digits == 0 || digits > 3 || v > 255) return false;
    bytes[part] = static_cast<uint8_t>(v);
  }
  if (i != text.size()) return false;
  std::memcpy(&addrNetworkOrder, bytes, 4);  // byte order as on the wire, whatever the host's
  return true;
}

THostsAnswer LookupHostsText(std::string_view text, std::string_view name, uint32_t& addrNetworkOrder) {
  if (name.empty()) return THostsAnswer::haNotListed;
  THostsAnswer answer = THostsAnswer::haNotListed;
  size_t lineStart = 0;
  while (lineStart < text.size()) {
    size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string_view::npos) lineEnd = text.size();
    std::string_view line = text.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    line = line.substr(0, line.find('#'));
    size_t pos = 0;
    std::string_view address = NextField(line, pos);
    if (address.empty()) continue;
    bool listed = false;
    for (std::string_view n = NextField(line, pos); !n.empty(); n = NextField(line, pos))
      if (SameName(n, name)) listed = true;
    if (!listed) continue;
    uint32_t a;
    if (ParseDottedQuad(address, a)) {
      addrNetworkOrder = a;
      return THostsAnswer::haFound;
    }
    // Only an IPv6 address counts as "listed without IPv4"; a malformed line counts as nothing.
    if (address.find(':') != std::string_view::npos) answer = THostsAnswer::haNoIPv4;
  }
  return answer;
}

}  // namespace Winsock::Detail
