// Shared by the socket layer's tests: a fixture that starts the layer, real loopback peers made
// with the host's calls (HostPeer.h), and a hidden window that collects
// AsyncSelect notifications while the loop is pumped against a deadline.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CpuTime.h"
#include "HostPeer.h"
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

// Connects `s` (blocking) to a fresh loopback listener of the host's and returns the peer it
// accepted; its Fd is -1 when a step failed.
inline THostFd ConnectToPeer(TSocket s) {
  uint16_t port = 0;
  THostFd listener = HostBound(SOCK_STREAM, port);
  if (!listener.Valid() || Connect(s, Loopback(port)) != 0) return THostFd();
  return AcceptWithin(listener.Handle(), 2000);
}

using Clock = std::chrono::steady_clock;

inline int64_t MsSince(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

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
