// Host names, dotted addresses and byte order.
#include "HostSockets.h"  // first: see there

#include <bit>
#include <cerrno>
#include <cstring>
#include <optional>

#include "HostsFile.h"
#include "SysUtils.h"
#include "Winsock.h"
#include "WinsockInternal.h"

namespace Winsock {

using namespace Detail;

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

bool ReadWholeFile(const char* path, std::string& text) {
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[4096];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
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
  std::string text;
  ReadWholeFile("/etc/hosts", text);
  uint32_t a = 0;
  switch (LookupHostsText(text, name, a)) {
    case THostsAnswer::haFound: addr = a; return 0;
    case THostsAnswer::haNoIPv4: return Answer(WSANO_DATA);
    case THostsAnswer::haNotListed: break;
  }
  return Answer(WSAHOST_NOT_FOUND);
}

bool ResolvesInAnyFamily(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = ::SOCK_STREAM;
  addrinfo* res = nullptr;
  if (::getaddrinfo(name.c_str(), nullptr, &hints, &res) != 0) return false;
  ::freeaddrinfo(res);
  return true;
}

int LookupWithResolver(const std::string& name, uint32_t& addr) {
  addrinfo hints{};
  hints.ai_family = HostNet::AfInet;
  hints.ai_socktype = ::SOCK_STREAM;  // one answer per address
  addrinfo* res = nullptr;
  int r = ::getaddrinfo(name.c_str(), nullptr, &hints, &res);
  if (r == 0) {
    sockaddr_in sa{};
    std::memcpy(&sa, res->ai_addr, sizeof sa);
    ::freeaddrinfo(res);
    addr = sa.sin_addr.s_addr;
    return 0;
  }
  switch (r) {
    case EAI_NONAME: return Answer(ResolvesInAnyFamily(name) ? WSANO_DATA : WSAHOST_NOT_FOUND);
    case EAI_NODATA:
    case EAI_ADDRFAMILY: return Answer(WSANO_DATA);
    case EAI_AGAIN: return Answer(WSATRY_AGAIN);
    case EAI_MEMORY: return Answer(WSAENOBUFS);
    case EAI_SYSTEM: return Answer(ErrorFromErrno(errno));
    default: return Answer(WSANO_RECOVERY);
  }
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

int GetHostName(std::string& name) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  char buf[256] = {};
  if (::gethostname(buf, sizeof buf - 1) != 0) return FailErrno(errno);
  name = buf;
  return 0;
}

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

}  // namespace Winsock
