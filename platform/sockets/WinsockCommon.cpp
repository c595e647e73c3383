// What the socket layer does alike on every host.
//
// Sections: errors and start-up; the loopback guard; descriptor sets; dotted addresses and byte
// order; host names.
#include "WinsockCommon.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>
#include <string_view>

#include "HostFile.h"
#include "HostsFile.h"
#include "SysUtils.h"

namespace Winsock {

using namespace Detail;

// ---- errors and start-up ----

namespace Detail {

int Fail(int wsaError) {
  SetLastError(wsaError);
  return SOCKET_ERROR;
}

namespace {
constexpr uint16_t MakeVersion(uint8_t major, uint8_t minor) { return static_cast<uint16_t>(major | (minor << 8)); }
}  // namespace

int GrantVersion(uint16_t versionRequested, TWSAData& data) {
  const uint8_t major = versionRequested & 0xFF;
  const uint8_t minor = versionRequested >> 8;
  data.wHighVersion = MakeVersion(2, 2);
  if (major < 1 || (major == 1 && minor < 1)) {
    data.wVersion = MakeVersion(2, 2);
    return WSAVERNOTSUPPORTED;
  }
  if (major > 2 || (major == 2 && minor >= 2))
    data.wVersion = MakeVersion(2, 2);
  else if (major == 2)
    data.wVersion = MakeVersion(2, minor);
  else
    data.wVersion = MakeVersion(1, 1);
  return 0;
}

TStartCount& StartCount() {
  static TStartCount* count = new TStartCount();  // lives for the process, like the loop
  return *count;
}

bool IsLoopbackAddress(uint32_t addrNetworkOrder) { return (Ntohl(addrNetworkOrder) >> 24) == 127; }

}  // namespace Detail

bool IsStarted() { return StartCount().Count.load() > 0; }

// ---- the loopback guard ----

namespace {
std::atomic<bool>& GuardSwitch() {
  static std::atomic<bool> on{false};
  return on;
}
}  // namespace

void SetLoopbackGuard(bool on) { GuardSwitch().store(on); }
bool LoopbackGuard() { return GuardSwitch().load(); }

// ---- descriptor sets ----

void FdZero(TFdSet& set) { set.fd_count = 0; }

bool FdSet(TSocket s, TFdSet& set) {
  if (FdIsSet(s, set)) return true;
  if (set.fd_count >= static_cast<uint32_t>(FD_SETSIZE)) return false;
  set.fd_array[set.fd_count++] = s;
  return true;
}

bool FdIsSet(TSocket s, const TFdSet& set) {
  const uint32_t n = std::min<uint32_t>(set.fd_count, FD_SETSIZE);
  return std::find(set.fd_array, set.fd_array + n, s) != set.fd_array + n;
}

// ---- dotted addresses and byte order ----

namespace {

// The host-order address of `count` parts, the last filling the bytes that remain; nothing when
// a part is too large for its bytes.
std::optional<uint32_t> HostFromParts(const uint64_t (&parts)[4], int count) {
  switch (count) {
    case 1: return static_cast<uint32_t>(parts[0]);
    case 2:
      if (parts[0] > 0xFF || parts[1] > 0xFFFFFF) return std::nullopt;
      return static_cast<uint32_t>(parts[0] << 24 | parts[1]);
    case 3:
      if (parts[0] > 0xFF || parts[1] > 0xFF || parts[2] > 0xFFFF) return std::nullopt;
      return static_cast<uint32_t>(parts[0] << 24 | parts[1] << 16 | parts[2]);
    default:
      for (int k = 0; k < 4; ++k)
        if (parts[k] > 0xFF) return std::nullopt;
      return static_cast<uint32_t>(parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3]);
  }
}

// The address forms Windows' inet_addr reads: one to four parts, each decimal, octal (leading 0)
// or hex (0x); the last part fills the bytes that remain ("10.257" is 10.0.1.1). A blank ends
// the text.
bool ParseInetAddr(std::string_view t, uint32_t& addrNetworkOrder) {
  uint64_t parts[4];
  int count = 0;
  size_t i = 0;
  for (;;) {
    if (i >= t.size() || t[i] < '0' || t[i] > '9') return false;
    int base = 10;
    bool digits = false;
    if (t[i] == '0') {
      base = 8;
      digits = true;
      ++i;
      if (i < t.size() && (t[i] == 'x' || t[i] == 'X')) {
        base = 16;
        digits = false;
        ++i;
      }
    }
    uint64_t v = 0;
    for (int d; i < t.size() && (d = DigitValue(t[i], base)) >= 0; ++i) {
      v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
      if (v > 0xFFFFFFFFu) return false;
      digits = true;
    }
    if (!digits || count == 4) return false;
    parts[count++] = v;
    if (i == t.size() || t[i] == ' ' || t[i] == '\t') break;
    if (t[i] != '.') return false;
    ++i;
  }
  const std::optional<uint32_t> host = HostFromParts(parts, count);
  if (!host) return false;
  addrNetworkOrder = Htonl(*host);
  return true;
}

}  // namespace

uint32_t InetAddr(const std::string& dotted) {
  uint32_t a = 0;
  return ParseInetAddr(dotted.substr(0, dotted.find('\0')), a) ? a : INADDR_NONE;
}

std::string InetNtoa(uint32_t addrNetworkOrder) {
  uint8_t b[4];
  std::memcpy(b, &addrNetworkOrder, 4);
  return Format("%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
}

uint16_t Htons(uint16_t v) {
  if constexpr (std::endian::native == std::endian::little) return __builtin_bswap16(v);
  return v;
}
uint16_t Ntohs(uint16_t v) { return Htons(v); }
uint32_t Htonl(uint32_t v) {
  if constexpr (std::endian::native == std::endian::little) return __builtin_bswap32(v);
  return v;
}
uint32_t Ntohl(uint32_t v) { return Htonl(v); }

// ---- host names ----

namespace {

std::string ReadWholeFile(const std::string& path) {
  std::string text;
  THostFile f;
  if (!f.Open(path, THostFile::haRead)) return text;
  char buf[4096];
  for (int32_t n; (n = f.Read(buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
  return text;
}

int Answer(int error) {
  SetLastError(error);
  return error;
}

// Under the guard no query may leave the machine: the hosts file answers, or nobody does.
int LookupWithoutNetwork(const std::string& name, uint32_t& addr) {
  if (SameText(name, "localhost")) {
    addr = Htonl(0x7F000001u);
    return 0;
  }
  uint32_t a = 0;
  switch (LookupHostsText(ReadWholeFile(HostsFilePath()), name, a)) {
    case THostsAnswer::haFound: addr = a; return 0;
    case THostsAnswer::haNoIPv4: return Answer(WSANO_DATA);
    case THostsAnswer::haNotListed: break;
  }
  return Answer(WSAHOST_NOT_FOUND);
}

}  // namespace

int GetHostByName(const std::string& name, uint32_t& addr) {
  if (!IsStarted()) return Answer(WSANOTINITIALISED);
  const std::string cName = name.substr(0, name.find('\0'));  // the C text the call is given
  uint32_t a = 0;
  if (ParseInetAddr(cName, a)) {
    addr = a;
    return 0;
  }
  return LoopbackGuard() ? LookupWithoutNetwork(cName, addr) : LookupWithResolver(cName, addr);
}

}  // namespace Winsock
