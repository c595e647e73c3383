// Host names through the host's resolver, and the host's own name.
#include "HostSockets.h"  // first: see there

#include <cerrno>
#include <cstring>

#include "Winsock.h"
#include "WinsockInternal.h"

namespace Winsock {

using namespace Detail;

namespace {

int Answer(int error) {
  SetLastError(error);
  return error;
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

}  // namespace

std::string Detail::HostsFilePath() { return "/etc/hosts"; }

int Detail::LookupWithResolver(const std::string& name, uint32_t& addr) {
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

int GetHostName(std::string& name) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  char buf[256] = {};
  if (::gethostname(buf, sizeof buf - 1) != 0) return FailErrno(errno);
  name = buf;
  return 0;
}

}  // namespace Winsock
