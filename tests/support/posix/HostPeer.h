// Test support, POSIX hosts: the peers of the socket layer's tests, made with the host's own
// calls, and the thread's CPU time. win32/HostPeer.h offers the same on Windows; a test that
// holds on both hosts uses only what both offer. Tests that probe this host's internals use
// the host's headers, which this header brings in order (HostSockets.h first).
#pragma once
#include "HostSockets.h"  // first: see there

#include <time.h>

#include <cstdint>
#include <string>

#include "HostFd.h"

namespace WinsockTest {

// What HostReady waits for.
enum : short { hrRead = POLLIN, hrWrite = POLLOUT };

inline void HostClose(intptr_t fd) { ::close(static_cast<int>(fd)); }

inline sockaddr_in HostLoopback(uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = HostNet::AfInet;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sa.sin_port = htons(port);
  return sa;
}

inline uint16_t HostPort(intptr_t fd) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  ::getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&sa), &len);
  return ntohs(sa.sin_port);
}

// A host socket of `type` (the layer's SOCK_STREAM or SOCK_DGRAM, which are the host's numbers
// too) bound to 127.0.0.1 on a free port; listening when it is a stream.
inline THostFd HostBound(int type, uint16_t& port, bool listening = true) {
  THostFd fd(::socket(HostNet::AfInet, type | SOCK_CLOEXEC, 0));
  sockaddr_in sa = HostLoopback(0);
  if (fd.Fd < 0 || ::bind(static_cast<int>(fd.Fd), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) return THostFd();
  if (type == ::SOCK_STREAM && listening && ::listen(static_cast<int>(fd.Fd), 16) != 0) return THostFd();
  port = HostPort(fd.Fd);
  return fd;
}

// Waits up to `ms` for `events` on a host descriptor.
inline bool HostReady(intptr_t fd, short events, int ms) {
  pollfd p{static_cast<int>(fd), events, 0};
  return ::poll(&p, 1, ms) == 1;
}

inline THostFd AcceptWithin(intptr_t listenFd, int ms) {
  if (!HostReady(listenFd, POLLIN, ms)) return THostFd();
  return THostFd(::accept4(static_cast<int>(listenFd), nullptr, nullptr, SOCK_CLOEXEC));
}

inline intptr_t HostSend(intptr_t fd, const void* data, size_t len) {
  return ::send(static_cast<int>(fd), data, len, MSG_NOSIGNAL);
}

inline intptr_t HostSendTo(intptr_t fd, const void* data, size_t len, uint16_t port) {
  const sockaddr_in to = HostLoopback(port);
  return ::sendto(static_cast<int>(fd), data, len, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

inline intptr_t HostRecv(intptr_t fd, void* buf, size_t len) { return ::recv(static_cast<int>(fd), buf, len, 0); }

// Makes closing `fd` reset the connection (a zero linger).
inline bool HostResetOnClose(intptr_t fd) {
  linger l{1, 0};
  return ::setsockopt(static_cast<int>(fd), HostNet::SolSocket, HostNet::SoLinger, &l, sizeof l) == 0;
}

inline std::string HostName() {
  char host[256] = {};
  return ::gethostname(host, sizeof host - 1) == 0 ? std::string(host) : std::string();
}

// A listener whose accept queue is full: the host drops the SYN of any further connect, which
// stays under way. For observing a connect that has not completed.
struct TStuckListener {
  THostFd Listen;
  THostFd Filler;
  uint16_t Port = 0;
  bool Make() {
    Listen = THostFd(::socket(HostNet::AfInet, ::SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in sa = HostLoopback(0);
    if (::bind(static_cast<int>(Listen.Fd), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) return false;
    if (::listen(static_cast<int>(Listen.Fd), 0) != 0) return false;  // room for the filler only
    Port = HostPort(Listen.Fd);
    Filler = THostFd(::socket(HostNet::AfInet, ::SOCK_STREAM | SOCK_CLOEXEC, 0));
    sa = HostLoopback(Port);
    return ::connect(static_cast<int>(Filler.Fd), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
  }
};

inline int64_t ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace WinsockTest
