// Windows-Sockets-style calls as the system's own ws2_32 calls. The interface's numbers, option
// values and set layout are the system's, so the calls pass straight through; the backend adds
// the loopback guard, its choice about port-unreachable reports, and the start count, which
// every call consults first (not every system refuses calls made outside a start).
//
// Sections: start-up; the socket calls (create, close, bind, connect, transfer, names of the
// ends, blocking mode); select; options; names.
#include <cstring>
#include <mutex>
#include <string>

#include "Win32Text.h"
#include "Win32WinsockInternal.h"
#include "Winsock.h"
#include "WinsockCommon.h"

#include "WinPrelude.h"  // last: see there

namespace Winsock {

using namespace Detail;

namespace {

SOCKET Handle(TSocket s) { return static_cast<SOCKET>(s); }

sockaddr_in ToSystem(const TSockAddrIn& a) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = a.Addr;
  sa.sin_port = Htons(a.Port);
  return sa;
}

TSockAddrIn FromSystem(const sockaddr_in& sa) { return TSockAddrIn{sa.sin_addr.s_addr, Ntohs(sa.sin_port)}; }

}  // namespace

// ---- start-up ----

int GetLastError() { return WSAGetLastError(); }
void SetLastError(int error) { WSASetLastError(error); }

int Startup(uint16_t versionRequested, TWSAData& data) {
  if (int e = GrantVersion(versionRequested, data)) return e;
  std::lock_guard<std::mutex> g(StartCount().Lock);
  WSADATA sys{};
  if (int e = WSAStartup(data.wVersion, &sys)) return e;
  data.szDescription = sys.szDescription;
  data.szSystemStatus = sys.szSystemStatus;
  data.iMaxSockets = sys.iMaxSockets;
  data.iMaxUdpDg = sys.iMaxUdpDg;
  StartCount().Count.fetch_add(1);
  return 0;
}

int Cleanup() {
  std::lock_guard<std::mutex> g(StartCount().Lock);
  if (StartCount().Count.load() == 0) return Fail(WSANOTINITIALISED);
  // The system's last clean-up closes every socket still open; their routes go with them.
  if (WSACleanup() != 0) return SOCKET_ERROR;
  if (StartCount().Count.fetch_sub(1) == 1) AllSocketsClosed();
  return 0;
}

// ---- the socket calls ----

namespace {

// Port-unreachable answers to datagrams. Windows reports one as WSAECONNRESET on the socket's
// next receive, whichever earlier datagram drew it; Linux reports none on an unconnected
// socket, Wine none at all. The TFTP client ends its transfer on any receive error, and its one
// socket talks to two ports of a server (the request port, then the transfer port), so a late
// answer about an earlier exchange would end a transfer that is going well. The reports are
// switched off on every datagram socket: a lost reply is the client's time-out to judge, alike
// on both hosts. A system without such reports has nothing to switch off; its refusal is no
// reason to refuse the socket.
void StopPortUnreachableReports(SOCKET s) {
  BOOL report = FALSE;
  DWORD returned = 0;
  (void)WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);
}

// Whether the guard refuses to send on `s` because it is connected outside loopback: a
// datagram socket connected before the guard was switched on still must not send out.
bool GuardRefusesPeer(SOCKET s) {
  sockaddr_in peer{};
  int len = sizeof peer;
  return getpeername(s, reinterpret_cast<sockaddr*>(&peer), &len) == 0 && peer.sin_family == AF_INET &&
         !IsLoopbackAddress(peer.sin_addr.s_addr);
}

}  // namespace

TSocket Socket(int af, int type, int protocol) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  // Only what the interface can address: IPv4 streams and datagrams (23 would be IPv6 here).
  if (af != AF_INET) return Fail(WSAEAFNOSUPPORT);
  if (type != SOCK_STREAM && type != SOCK_DGRAM) return Fail(WSAESOCKTNOSUPPORT);
  // Not inherited: a program the shell starts must not hold the modem's connection open.
  const SOCKET s = WSASocketW(af, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) return SOCKET_ERROR;
  if (type == SOCK_DGRAM) StopPortUnreachableReports(s);
  return static_cast<TSocket>(s);
}

int CloseSocket(TSocket s) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  if (closesocket(Handle(s)) != 0) return SOCKET_ERROR;
  SocketClosed(s);
  return 0;
}

int Shutdown(TSocket s, int how) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  return shutdown(Handle(s), how);
}

int Bind(TSocket s, const TSockAddrIn& addr) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  const sockaddr_in sa = ToSystem(addr);
  return bind(Handle(s), reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
}

int Connect(TSocket s, const TSockAddrIn& addr) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  if (LoopbackGuard() && !IsLoopbackAddress(addr.Addr)) return Fail(WSAENETUNREACH);
  const sockaddr_in sa = ToSystem(addr);
  return connect(Handle(s), reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
}

int Send(TSocket s, const void* buf, int len, int flags) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  if (LoopbackGuard() && GuardRefusesPeer(Handle(s))) return Fail(WSAENETUNREACH);
  return send(Handle(s), static_cast<const char*>(buf), len, flags);
}

int Recv(TSocket s, void* buf, int len, int flags) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  return recv(Handle(s), static_cast<char*>(buf), len, flags);
}

int SendTo(TSocket s, const void* buf, int len, int flags, const TSockAddrIn& to) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  if (LoopbackGuard() && !IsLoopbackAddress(to.Addr)) return Fail(WSAENETUNREACH);
  const sockaddr_in sa = ToSystem(to);
  return sendto(Handle(s), static_cast<const char*>(buf), len, flags, reinterpret_cast<const sockaddr*>(&sa),
                sizeof sa);
}

int RecvFrom(TSocket s, void* buf, int len, int flags, TSockAddrIn* from) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  sockaddr_in sa{};
  int salen = sizeof sa;
  const int n = recvfrom(Handle(s), static_cast<char*>(buf), len, flags, reinterpret_cast<sockaddr*>(&sa), &salen);
  // The sender is reported also with WSAEMSGSIZE, when the system names one.
  if (from && sa.sin_family == AF_INET) *from = FromSystem(sa);
  return n;
}

namespace {

// getsockname or getpeername: they take the same arguments.
int NameOfEnd(int(WSAAPI* call)(SOCKET, sockaddr*, int*), TSocket s, TSockAddrIn& addr) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  sockaddr_in sa{};
  int len = sizeof sa;
  if (call(Handle(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0) return SOCKET_ERROR;
  addr = FromSystem(sa);
  return 0;
}

}  // namespace

int GetSockName(TSocket s, TSockAddrIn& addr) { return NameOfEnd(getsockname, s, addr); }
int GetPeerName(TSocket s, TSockAddrIn& addr) { return NameOfEnd(getpeername, s, addr); }

int SetNonBlocking(TSocket s, bool on) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  u_long mode = on ? 1 : 0;
  return ioctlsocket(Handle(s), FIONBIO, &mode);
}

// ---- select ----

int Select(TFdSet* readSet, TFdSet* writeSet, TFdSet* errorSet, const TTimeVal* timeout) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  TFdSet* const sets[3] = {readSet, writeSet, errorSet};
  fd_set system[3];
  fd_set* given[3] = {};
  for (int k = 0; k < 3; ++k) {
    if (!sets[k]) continue;
    if (sets[k]->fd_count > static_cast<uint32_t>(FD_SETSIZE)) return Fail(WSAEINVAL);
    system[k].fd_count = sets[k]->fd_count;
    for (uint32_t i = 0; i < sets[k]->fd_count; ++i) system[k].fd_array[i] = Handle(sets[k]->fd_array[i]);
    given[k] = &system[k];
  }
  timeval tv{};
  if (timeout) {
    tv.tv_sec = timeout->tv_sec;
    tv.tv_usec = timeout->tv_usec;
  }
  const int n = select(0, given[0], given[1], given[2], timeout ? &tv : nullptr);
  if (n == SOCKET_ERROR) return SOCKET_ERROR;
  for (int k = 0; k < 3; ++k) {
    if (!given[k]) continue;
    sets[k]->fd_count = system[k].fd_count;
    for (uint32_t i = 0; i < system[k].fd_count; ++i)
      sets[k]->fd_array[i] = static_cast<TSocket>(system[k].fd_array[i]);
  }
  return n;
}

// ---- options ----

int SetSockOpt(TSocket s, int level, int optname, const void* optval, int optlen) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  return setsockopt(Handle(s), level, optname, static_cast<const char*>(optval), optlen);
}

int GetSockOpt(TSocket s, int level, int optname, void* optval, int* optlen) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  return getsockopt(Handle(s), level, optname, static_cast<char*>(optval), optlen);
}

// ---- names ----

std::string Detail::HostsFilePath() {
  wchar_t dir[MAX_PATH];
  const UINT n = GetSystemDirectoryW(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::string();
  return Cp1252FromWide(dir, n) + "\\drivers\\etc\\hosts";
}

int Detail::LookupWithResolver(const std::string& name, uint32_t& addr) {
  const hostent* h = gethostbyname(name.c_str());
  if (!h) return WSAGetLastError();
  if (h->h_addrtype != AF_INET || h->h_length != 4 || !h->h_addr_list[0]) {
    SetLastError(WSANO_DATA);
    return WSANO_DATA;
  }
  std::memcpy(&addr, h->h_addr_list[0], 4);
  return 0;
}

int GetHostName(std::string& name) {
  if (!IsStarted()) return Fail(WSANOTINITIALISED);
  char buf[256] = {};
  if (gethostname(buf, sizeof buf - 1) != 0) return SOCKET_ERROR;
  name = buf;
  return 0;
}

}  // namespace Winsock
