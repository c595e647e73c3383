// The peers' host calls over POSIX sockets and poll(2).
#include "PeerHost.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "PeerHostAddress.h"

namespace PeerHost {

namespace {

TSocket Bound(int type, const TEndpoint& at, std::string& failure, bool reuseAddress) {
  if (!RequireLoopback(at.Address, failure)) return TSocket();
  TSocket s(::socket(AF_INET, type | SOCK_CLOEXEC, 0));
  if (s.Handle() < 0) {
    failure = "socket: " + LastErrorText();
    return TSocket();
  }
  const int fd = static_cast<int>(s.Handle());
  const int one = 1;
  if (reuseAddress) ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  const sockaddr_in a = HostAddress(at);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
    failure = "bind " + AddressText(at.Address) + ":" + std::to_string(at.Port) + ": " + LastErrorText();
    return TSocket();
  }
  return s;
}

}  // namespace

void TSocket::Close() {
  if (FHandle != kNoSocket) ::close(static_cast<int>(FHandle));
  FHandle = kNoSocket;
}

TSocket OpenDatagram(const TEndpoint& at, std::string& failure, bool reuseAddress) {
  return Bound(SOCK_DGRAM, at, failure, reuseAddress);
}

TSocket Listen(const TEndpoint& at, int backlog, std::string& failure, bool reuseAddress) {
  TSocket s = Bound(SOCK_STREAM, at, failure, reuseAddress);
  if (s.Valid() && ::listen(static_cast<int>(s.Handle()), backlog) != 0) {
    failure = "listen: " + LastErrorText();
    return TSocket();
  }
  return s;
}

TSocket BindStream(const TEndpoint& at, std::string& failure) { return Bound(SOCK_STREAM, at, failure, false); }

TSocket Connect(const TEndpoint& to, std::string& failure) {
  if (!RequireLoopback(to.Address, failure)) return TSocket();
  TSocket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_in a = HostAddress(to);
  if (s.Handle() < 0 || ::connect(static_cast<int>(s.Handle()), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
    failure = "connect: " + LastErrorText();
    return TSocket();
  }
  return s;
}

TSocket Accept(THandle listener) {
  const int fd = ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
  return TSocket(fd < 0 ? kNoSocket : fd);
}

TEndpoint LocalEndpoint(THandle s) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  if (::getsockname(static_cast<int>(s), reinterpret_cast<sockaddr*>(&a), &len) != 0) return TEndpoint{0, 0};
  return Endpoint(a);
}

bool BroadcastFlag(THandle s) {
  int on = 0;
  socklen_t len = sizeof on;
  ::getsockopt(static_cast<int>(s), SOL_SOCKET, SO_BROADCAST, &on, &len);
  return on != 0;
}

int WaitReadable(std::initializer_list<THandle> sockets, int timeoutMs) {
  pollfd p[4];
  nfds_t n = 0;
  for (THandle s : sockets)
    if (n < 4) p[n++] = pollfd{static_cast<int>(s), POLLIN, 0};  // poll skips a negative descriptor
  int r;
  do {
    r = ::poll(p, n, timeoutMs);
  } while (r < 0 && errno == EINTR);
  for (nfds_t i = 0; r > 0 && i < n; ++i)
    if (p[i].revents & (POLLIN | POLLHUP | POLLERR)) return static_cast<int>(i);
  return -1;
}

bool WaitWritable(THandle s, int timeoutMs) {
  pollfd p{static_cast<int>(s), POLLOUT, 0};
  int r;
  do {
    r = ::poll(&p, 1, timeoutMs);
  } while (r < 0 && errno == EINTR);
  return r == 1;
}

int ReceiveFrom(THandle s, char* buffer, size_t size, TEndpoint* from) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  const ssize_t n = ::recvfrom(static_cast<int>(s), buffer, size, 0, reinterpret_cast<sockaddr*>(&a), &len);
  if (n >= 0 && from) *from = Endpoint(a);
  return static_cast<int>(n);
}

bool SendTo(THandle s, const char* data, size_t size, const TEndpoint& to) {
  const sockaddr_in a = HostAddress(to);
  return ::sendto(static_cast<int>(s), data, size, 0, reinterpret_cast<const sockaddr*>(&a), sizeof a) ==
         static_cast<ssize_t>(size);
}

int Send(THandle s, const char* data, size_t size) {
  return static_cast<int>(::send(static_cast<int>(s), data, size, MSG_NOSIGNAL));
}

int Receive(THandle s, char* buffer, size_t size) {
  return static_cast<int>(::recv(static_cast<int>(s), buffer, size, 0));
}

bool ResetOnClose(THandle s) {
  const linger l{1, 0};
  return ::setsockopt(static_cast<int>(s), SOL_SOCKET, SO_LINGER, &l, sizeof l) == 0;
}

std::string LastErrorText() { return std::strerror(errno); }

uint32_t ProcessId() { return static_cast<uint32_t>(::getpid()); }

std::string HostName() {
  char name[256] = {};
  return ::gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

}  // namespace PeerHost
