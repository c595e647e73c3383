// Test support: the peers of the socket layer's tests, made with the host's own calls through
// the peers' host interface (PeerHost.h), never through the layer under test, on both hosts.
// A test that probes this host's internals includes the host's headers itself.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "PeerHost.h"

namespace WinsockTest {

// A socket made with the host's calls (or, in POSIX-only tests, any descriptor), closed at
// scope end.
using THostFd = PeerHost::TSocket;

// What HostReady waits for.
enum : short { hrRead = 1, hrWrite = 2 };

inline uint16_t HostPort(intptr_t fd) { return PeerHost::LocalEndpoint(fd).Port; }

// A host socket of `type` (the layer's SOCK_STREAM or SOCK_DGRAM, the host's numbers too) bound
// to 127.0.0.1 on a free port; listening when it is a stream, unless `listening` is false.
inline THostFd HostBound(int type, uint16_t& port, bool listening = true) {
  std::string failure;
  const PeerHost::TEndpoint any{PeerHost::kLoopback, 0};
  constexpr int kDatagram = 2;  // SOCK_DGRAM, on both hosts and in the layer
  THostFd s = type == kDatagram ? PeerHost::OpenDatagram(any, failure)
              : listening       ? PeerHost::Listen(any, 16, failure)
                                : PeerHost::BindStream(any, failure);
  port = s.Valid() ? HostPort(s.Handle()) : 0;
  return s;
}

// Waits up to `ms` for `events` (hrRead: data, a connection, the peer's close or a failure;
// hrWrite: room to send, or the end of a connect, failed or not).
inline bool HostReady(intptr_t fd, short events, int ms) {
  return events == hrWrite ? PeerHost::WaitWritable(fd, ms) : PeerHost::WaitReadable({fd}, ms) == 0;
}

inline THostFd AcceptWithin(intptr_t listenFd, int ms) {
  return HostReady(listenFd, hrRead, ms) ? PeerHost::Accept(listenFd) : THostFd();
}

inline intptr_t HostSend(intptr_t fd, const void* data, size_t len) {
  return PeerHost::Send(fd, static_cast<const char*>(data), len);
}

inline intptr_t HostSendTo(intptr_t fd, const void* data, size_t len, uint16_t port) {
  return PeerHost::SendTo(fd, static_cast<const char*>(data), len, PeerHost::TEndpoint{PeerHost::kLoopback, port})
             ? static_cast<intptr_t>(len)
             : -1;
}

inline intptr_t HostRecv(intptr_t fd, void* buf, size_t len) {
  return PeerHost::Receive(fd, static_cast<char*>(buf), len);
}

// Makes closing `fd` reset the connection (under Wine the close sends a FIN all the same, which
// is why the Windows suite skips the tests that need a reset).
inline bool HostResetOnClose(intptr_t fd) { return PeerHost::ResetOnClose(fd); }

inline std::string HostName() { return PeerHost::HostName(); }

// A listener whose accept queue is full: the host drops the SYN of any further connect, which
// stays under way. For observing a connect that has not completed.
struct TStuckListener {
  THostFd Listen;
  THostFd Filler;
  uint16_t Port = 0;
  bool Make() {
    std::string failure;
    Listen = PeerHost::Listen(PeerHost::TEndpoint{}, 0, failure);  // room for the filler only
    if (!Listen.Valid()) return false;
    Port = HostPort(Listen.Handle());
    Filler = PeerHost::Connect(PeerHost::TEndpoint{PeerHost::kLoopback, Port}, failure);
    return Filler.Valid();
  }
};

}  // namespace WinsockTest
