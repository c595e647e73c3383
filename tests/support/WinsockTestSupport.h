// Shared by the socket layer's tests: a fixture that starts the layer, real loopback peers made
// with the host's calls, and a hidden window that collects AsyncSelect notifications while the
// loop is pumped against a deadline.
#pragma once
#include "HostSockets.h"  // first: see there

#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "MessagePump.h"
#include "Messages.h"
#include "Watchdog.h"
#include "Winsock.h"

namespace WinsockTest {

using namespace Winsock;
// Names both the host and the layer declare: the layer's win here, the host's are spelt ::NAME.
using Winsock::IPPROTO_TCP;
using Winsock::IPPROTO_UDP;
using Winsock::MSG_OOB;
using Winsock::MSG_PEEK;
using Winsock::SOCK_DGRAM;
using Winsock::SOCK_STREAM;

// A descriptor made with the host's calls, closed at scope end.
struct THostFd {
  int Fd = -1;
  THostFd() = default;
  explicit THostFd(int fd) : Fd(fd) {}
  THostFd(THostFd&& o) noexcept : Fd(o.Fd) { o.Fd = -1; }
  THostFd& operator=(THostFd&& o) noexcept {
    std::swap(Fd, o.Fd);
    return *this;
  }
  ~THostFd() {
    if (Fd >= 0) ::close(Fd);
  }
};

// A socket of the layer, closed at scope end.
struct TSock {
  TSocket S = INVALID_SOCKET;
  TSock() = default;
  explicit TSock(int type) : S(Socket(AF_INET, type, 0)) {}
  ~TSock() {
    if (S != INVALID_SOCKET) CloseSocket(S);
  }
  operator TSocket() const { return S; }
};

inline uint32_t LoopbackAddr() { return Htonl(0x7F000001u); }
inline TSockAddrIn Loopback(uint16_t port) { return TSockAddrIn{LoopbackAddr(), port}; }

inline sockaddr_in HostLoopback(uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = HostNet::AfInet;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sa.sin_port = htons(port);
  return sa;
}

inline uint16_t HostPort(int fd) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  return ntohs(sa.sin_port);
}

// A host socket of `type` bound to 127.0.0.1 on a free port; listening when it is a stream.
inline THostFd HostBound(int type, uint16_t& port, bool listening = true) {
  THostFd fd(::socket(HostNet::AfInet, type | SOCK_CLOEXEC, 0));
  sockaddr_in sa = HostLoopback(0);
  if (fd.Fd < 0 || ::bind(fd.Fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) return THostFd();
  if (type == ::SOCK_STREAM && listening && ::listen(fd.Fd, 16) != 0) return THostFd();
  port = HostPort(fd.Fd);
  return fd;
}

// Waits up to `ms` for `events` on a host descriptor.
inline bool HostReady(int fd, short events, int ms) {
  pollfd p{fd, events, 0};
  return ::poll(&p, 1, ms) == 1;
}

inline THostFd AcceptWithin(int listenFd, int ms) {
  if (!HostReady(listenFd, POLLIN, ms)) return THostFd();
  return THostFd(::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC));
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
    if (::bind(Listen.Fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) return false;
    if (::listen(Listen.Fd, 0) != 0) return false;  // room for the filler only
    Port = HostPort(Listen.Fd);
    Filler = THostFd(::socket(HostNet::AfInet, ::SOCK_STREAM | SOCK_CLOEXEC, 0));
    sa = HostLoopback(Port);
    return ::connect(Filler.Fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
  }
};

// Starts the layer for one test and ends it afterwards (which closes what the test left open).
// The whole test runs under a watchdog: a call that blocks for good fails it.
class TStarted : public ::testing::Test {
 protected:
  void SetUp() override {
    TWSAData d;
    ASSERT_EQ(Startup(0x0202, d), 0) << "Startup(2.2) failed";
  }
  void TearDown() override { Cleanup(); }

 private:
  TWatchdog FDog{CurrentTestName(), 30};
};

inline int64_t ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

constexpr uint32_t WM_SOCKET = WM_USER + 1;

struct TNote {
  WPARAM Sock;
  uint32_t Event;
  uint32_t Error;
};

// A hidden window that records the socket notifications dispatched to it.
class TNoteWindow {
 public:
  TNoteWindow() {
    FWnd = AllocateHWnd([this](HWND, uint32_t msg, WPARAM w, LPARAM l) -> LRESULT {
      if (msg == WM_SOCKET) Notes.push_back(TNote{w, WSAGetSelectEvent(l), WSAGetSelectError(l)});
      return 0;
    });
  }
  ~TNoteWindow() { DeallocateHWnd(FWnd); }
  HWND Wnd() const { return FWnd; }

  size_t Count(uint32_t event) const {
    size_t n = 0;
    for (const TNote& note : Notes) n += note.Event == event;
    return n;
  }
  const TNote* First(uint32_t event) const {
    for (const TNote& note : Notes)
      if (note.Event == event) return &note;
    return nullptr;
  }

  // Dispatches messages and waits in the loop until `done` holds or `ms` has passed.
  bool PumpUntil(const std::function<bool()>& done, int ms) { return PumpMessagesUntil(done, ms); }
  // Waits until `count` notifications of `event` have arrived (5 s at most).
  bool WaitFor(uint32_t event, size_t count = 1, int ms = 5000) {
    return PumpUntil([&] { return Count(event) >= count; }, ms);
  }
  // Pumps for `ms`, collecting whatever arrives meanwhile.
  void Pump(int ms) {
    PumpUntil([] { return false; }, ms);
  }

  std::vector<TNote> Notes;

 private:
  HWND FWnd = 0;
};

}  // namespace WinsockTest
