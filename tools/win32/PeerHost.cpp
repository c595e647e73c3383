// The peers' host calls over Windows Sockets 2 (ws2_32), called directly: the peers do not go
// through the platform's backend, whose prelude exists for the product's own names.
#include "PeerHost.h"

#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>

#include <mswsock.h>

#include "PeerHostAddress.h"

namespace PeerHost {

namespace {

SOCKET Raw(THandle s) { return static_cast<SOCKET>(s); }

// A socket of the given type that holds a start-up of the library; its Close ends both.
TSocket NewSocket(int type, std::string& failure) {
  WSADATA d;
  if (::WSAStartup(MAKEWORD(2, 2), &d) != 0) {
    failure = "WSAStartup failed";
    return TSocket();
  }
  const SOCKET s = ::socket(AF_INET, type, 0);
  if (s == INVALID_SOCKET) {
    failure = "socket: " + LastErrorText();
    ::WSACleanup();
    return TSocket();
  }
  return TSocket(static_cast<THandle>(s));
}

TSocket Bound(int type, const TEndpoint& at, std::string& failure, bool reuseAddress) {
  if (!RequireLoopback(at.Address, failure)) return TSocket();
  TSocket s = NewSocket(type, failure);
  if (!s.Valid()) return s;
  const BOOL one = TRUE;
  if (reuseAddress)
    ::setsockopt(Raw(s.Handle()), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one), sizeof one);
  const sockaddr_in a = HostAddress(at);
  if (::bind(Raw(s.Handle()), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
    failure = "bind " + AddressText(at.Address) + ":" + std::to_string(at.Port) + ": " + LastErrorText();
    return TSocket();
  }
  return s;
}

}  // namespace

void TSocket::Close() {
  if (FHandle != kNoSocket) {
    ::closesocket(Raw(FHandle));
    ::WSACleanup();
  }
  FHandle = kNoSocket;
}

TSocket OpenDatagram(const TEndpoint& at, std::string& failure, bool reuseAddress) {
  TSocket s = Bound(SOCK_DGRAM, at, failure, reuseAddress);
  // As on Linux, a port-unreachable answer to an earlier datagram does not fail a later receive.
  BOOL report = FALSE;
  DWORD returned = 0;
  if (s.Valid())
    ::WSAIoctl(Raw(s.Handle()), SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);
  return s;
}

TSocket Listen(const TEndpoint& at, int backlog, std::string& failure, bool reuseAddress) {
  TSocket s = Bound(SOCK_STREAM, at, failure, reuseAddress);
  if (s.Valid() && ::listen(Raw(s.Handle()), backlog) != 0) {
    failure = "listen: " + LastErrorText();
    return TSocket();
  }
  return s;
}

TSocket BindStream(const TEndpoint& at, std::string& failure) { return Bound(SOCK_STREAM, at, failure, false); }

TSocket Connect(const TEndpoint& to, std::string& failure) {
  if (!RequireLoopback(to.Address, failure)) return TSocket();
  TSocket s = NewSocket(SOCK_STREAM, failure);
  const sockaddr_in a = HostAddress(to);
  if (s.Valid() && ::connect(Raw(s.Handle()), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
    failure = "connect: " + LastErrorText();
    return TSocket();
  }
  return s;
}

TSocket Accept(THandle listener) {
  WSADATA d;
  if (::WSAStartup(MAKEWORD(2, 2), &d) != 0) return TSocket();
  const SOCKET s = ::accept(Raw(listener), nullptr, nullptr);
  if (s == INVALID_SOCKET) {
    ::WSACleanup();
    return TSocket();
  }
  return TSocket(static_cast<THandle>(s));
}

TEndpoint LocalEndpoint(THandle s) {
  sockaddr_in a{};
  int len = sizeof a;
  if (::getsockname(Raw(s), reinterpret_cast<sockaddr*>(&a), &len) != 0) return TEndpoint{0, 0};
  return Endpoint(a);
}

bool BroadcastFlag(THandle s) {
  BOOL on = FALSE;
  int len = sizeof on;
  ::getsockopt(Raw(s), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<char*>(&on), &len);
  return on != FALSE;
}

int WaitReadable(std::initializer_list<THandle> sockets, int timeoutMs) {
  fd_set read;
  fd_set failed;  // a connection that could not be made reports here
  FD_ZERO(&read);
  FD_ZERO(&failed);
  for (THandle s : sockets) {
    if (s == kNoSocket) continue;
    FD_SET(Raw(s), &read);
    FD_SET(Raw(s), &failed);
  }
  timeval limit{timeoutMs / 1000, timeoutMs % 1000 * 1000};
  if (::select(0, &read, nullptr, &failed, timeoutMs < 0 ? nullptr : &limit) <= 0) return -1;
  int index = 0;
  for (THandle s : sockets) {
    if (s != kNoSocket && (FD_ISSET(Raw(s), &read) || FD_ISSET(Raw(s), &failed))) return index;
    ++index;
  }
  return -1;
}

bool WaitWritable(THandle s, int timeoutMs) {
  fd_set write;
  fd_set failed;  // a connect that failed reports here, not as writable
  FD_ZERO(&write);
  FD_ZERO(&failed);
  FD_SET(Raw(s), &write);
  FD_SET(Raw(s), &failed);
  timeval limit{timeoutMs / 1000, timeoutMs % 1000 * 1000};
  return ::select(0, nullptr, &write, &failed, timeoutMs < 0 ? nullptr : &limit) == 1;
}

int ReceiveFrom(THandle s, char* buffer, size_t size, TEndpoint* from) {
  sockaddr_in a{};
  int len = sizeof a;
  const int n = ::recvfrom(Raw(s), buffer, static_cast<int>(size), 0, reinterpret_cast<sockaddr*>(&a), &len);
  if (n >= 0 && from) *from = Endpoint(a);
  return n;
}

bool SendTo(THandle s, const char* data, size_t size, const TEndpoint& to) {
  const sockaddr_in a = HostAddress(to);
  return ::sendto(Raw(s), data, static_cast<int>(size), 0, reinterpret_cast<const sockaddr*>(&a), sizeof a) ==
         static_cast<int>(size);
}

int Send(THandle s, const char* data, size_t size) { return ::send(Raw(s), data, static_cast<int>(size), 0); }

int Receive(THandle s, char* buffer, size_t size) { return ::recv(Raw(s), buffer, static_cast<int>(size), 0); }

bool ResetOnClose(THandle s) {
  const linger l{1, 0};
  return ::setsockopt(Raw(s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l) == 0;
}

std::string LastErrorText() { return "Windows Sockets error " + std::to_string(::WSAGetLastError()); }

uint32_t ProcessId() { return static_cast<uint32_t>(::GetCurrentProcessId()); }

std::string HostName() {
  WSADATA d;
  if (::WSAStartup(MAKEWORD(2, 2), &d) != 0) return std::string();
  char name[256] = {};
  const bool known = ::gethostname(name, sizeof name - 1) == 0;
  ::WSACleanup();
  return known ? std::string(name) : std::string();
}

}  // namespace PeerHost
