// Test support: a socket or descriptor made with the host's own calls, closed at scope end by
// HostClose, which each host's HostPeer.h provides (posix/, win32/).
#pragma once
#include <cstdint>
#include <utility>

namespace WinsockTest {

void HostClose(intptr_t fd);

struct THostFd {
  intptr_t Fd = -1;
  THostFd() = default;
  explicit THostFd(intptr_t fd) : Fd(fd) {}
  THostFd(THostFd&& o) noexcept : Fd(o.Fd) { o.Fd = -1; }
  THostFd& operator=(THostFd&& o) noexcept {
    std::swap(Fd, o.Fd);
    return *this;
  }
  ~THostFd() {
    if (Fd >= 0) HostClose(Fd);
  }
};

}  // namespace WinsockTest
