// The loopback guard's checks, each returning what went wrong (empty when all went well). Each
// also asks the layer whether its socket got bound: a connect or send that reached the system
// binds it, so an unbound socket shows that no system call was made. The POSIX tests run them
// in a child that cannot send at all; the Windows tests, which have no such sandbox, run them
// directly.
#pragma once
#include <string>

#include "Winsock.h"

namespace WinsockTest {

inline void Check(std::string& report, bool ok, const std::string& what) {
  if (!ok) report += what + "\n";
}

inline std::string ConnectOutsideLoopbackIsRefused() {
  using namespace Winsock;
  std::string r;
  TSocket t = Socket(AF_INET, SOCK_STREAM, 0);
  Check(r, Connect(t, TSockAddrIn{InetAddr("10.1.1.1"), 23}) == SOCKET_ERROR, "TCP connect to 10.1.1.1 succeeded");
  Check(r, GetLastError() == WSAENETUNREACH, "TCP connect: error " + std::to_string(GetLastError()));
  TSockAddrIn local;
  Check(r, GetSockName(t, local) == SOCKET_ERROR && GetLastError() == WSAEINVAL,
        "the TCP socket got bound: connect reached the system");
  TSocket u = Socket(AF_INET, SOCK_DGRAM, 0);
  Check(r, Connect(u, TSockAddrIn{InetAddr("192.168.1.1"), 69}) == SOCKET_ERROR, "UDP connect succeeded");
  Check(r, GetLastError() == WSAENETUNREACH, "UDP connect: error " + std::to_string(GetLastError()));
  return r;
}

inline std::string SendToOutsideLoopbackIsRefused() {
  using namespace Winsock;
  std::string r;
  TSocket u = Socket(AF_INET, SOCK_DGRAM, 0);
  int on = 1;
  // Only the guard is under test: the sends below are refused whether this took or not.
  (void)SetSockOpt(u, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  for (const char* to : {"192.168.1.1", "10.1.1.2", "255.255.255.255", "0.0.0.0"}) {
    SetLastError(0);
    Check(r, SendTo(u, "x", 1, 0, TSockAddrIn{InetAddr(to), 69}) == SOCKET_ERROR,
          std::string("SendTo ") + to + " succeeded");
    Check(r, GetLastError() == WSAENETUNREACH,
          std::string("SendTo ") + to + ": error " + std::to_string(GetLastError()));
  }
  TSockAddrIn local;
  Check(r, GetSockName(u, local) == SOCKET_ERROR && GetLastError() == WSAEINVAL,
        "the UDP socket got bound: sendto reached the system");
  return r;
}

inline std::string NamesAreAnsweredWithoutTheNetwork() {
  using namespace Winsock;
  std::string r;
  uint32_t addr = 0;
  Check(r, GetHostByName("localhost", addr) == 0 && addr == Htonl(0x7F000001u), "localhost");
  int e = GetHostByName("no-such-host.invalid", addr);
  Check(r, e == WSAHOST_NOT_FOUND, "unknown name: " + std::to_string(e));
  Check(r, GetHostByName("192.168.1.1", addr) == 0 && addr == InetAddr("192.168.1.1"), "dotted name");
  return r;
}

}  // namespace WinsockTest
