// Test support, Windows: the peers of the socket layer's tests, made with the system's own
// socket calls, and the thread's CPU time; the same as posix/HostPeer.h offers on POSIX hosts,
// plus two probes of the system that only Windows tests use. No Windows header here: the
// platform's names (HWND, PostMessage, ...) would clash with the system's; HostPeer.cpp holds
// the calls.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "HostFd.h"

namespace WinsockTest {

// What HostReady waits for.
enum : short { hrRead = 1, hrWrite = 2 };

uint16_t HostPort(intptr_t fd);
// A socket of `type` (the layer's SOCK_STREAM or SOCK_DGRAM, the system's numbers) bound to
// 127.0.0.1 on a free port; listening when it is a stream.
THostFd HostBound(int type, uint16_t& port, bool listening = true);
// Waits up to `ms` for `events` on a socket.
bool HostReady(intptr_t fd, short events, int ms);
THostFd AcceptWithin(intptr_t listenFd, int ms);
intptr_t HostSend(intptr_t fd, const void* data, size_t len);
intptr_t HostSendTo(intptr_t fd, const void* data, size_t len, uint16_t port);
intptr_t HostRecv(intptr_t fd, void* buf, size_t len);
// Makes closing `fd` reset the connection (a zero linger; under Wine the close sends a FIN all
// the same, which is why the Windows suite skips the tests that need a reset).
bool HostResetOnClose(intptr_t fd);
std::string HostName();

// A listener whose accept queue is full, so that a further connect stays under way. Under Wine
// the queue is the Linux kernel's (a backlog of 0 holds the filler only).
struct TStuckListener {
  THostFd Listen;
  THostFd Filler;
  uint16_t Port = 0;
  bool Make();
};

int64_t ThreadCpuMs();

// Windows only: whether a child process would inherit the handle `s`.
bool HostInheritable(intptr_t s);
// Windows only: waits up to `ms` until the thread's system queue holds a posted message,
// without taking or dispatching it.
bool SystemMessagePosted(int ms);

}  // namespace WinsockTest
