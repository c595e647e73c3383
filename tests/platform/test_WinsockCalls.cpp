// The socket calls against real loopback peers: start-up, Windows error numbers, datagram
// semantics, options and the names of a socket's ends.
#include "WinsockTestSupport.h"  // first: brings the host's socket headers in order

#include <fcntl.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "WinsockInternal.h"

namespace WinsockTest {
namespace {

// ---- start-up ----

// Catches a wrong version grant (Windows grants the highest it has up to the request).
TEST(WinsockStartup, GrantsTheVersionWindowsWould) {
  struct TCase {
    uint16_t Requested;
    int Result;
    uint16_t Granted;
  } cases[] = {
      {0x0202, 0, 0x0202},
      {0x0101, 0, 0x0101},
      {0x0002, 0, 0x0002},
      {0x0102, 0, 0x0102},
      {0x0302, 0, 0x0202},
      {0x0003, 0, 0x0202},
      {0x0501, 0, 0x0101},
      {0x0001, WSAVERNOTSUPPORTED, 0},
      {0x0000, WSAVERNOTSUPPORTED, 0},
      {0x0100, WSAVERNOTSUPPORTED, 0},
  };
  for (const TCase& c : cases) {
    TWSAData d;
    int r = Startup(c.Requested, d);
    EXPECT_EQ(r, c.Result) << "request 0x" << std::hex << c.Requested;
    EXPECT_EQ(d.wHighVersion, 0x0202) << "request 0x" << std::hex << c.Requested;
    if (r == 0) {
      EXPECT_EQ(d.wVersion, c.Granted) << "request 0x" << std::hex << c.Requested;
      Cleanup();
    }
  }
  EXPECT_FALSE(IsStarted()) << "a refused Startup must not count";
}

// Catches made-up limits or a missing status text in the start-up record.
TEST(WinsockStartup, ReportsHonestLimits) {
  TWSAData d;
  ASSERT_EQ(Startup(0x0202, d), 0);
  rlimit rl{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &rl), 0);
  const uint64_t expect = std::min<uint64_t>(rl.rlim_cur, 65535);
  EXPECT_EQ(d.iMaxSockets, expect) << "iMaxSockets should follow RLIMIT_NOFILE";
  EXPECT_EQ(d.iMaxUdpDg, 65467) << "largest UDP payload over IPv4 with a full IP header";
  EXPECT_EQ(d.szSystemStatus, "Running");
  EXPECT_FALSE(d.szDescription.empty());
  Cleanup();
}

// Catches a start count that is not counted, and calls that work without Startup.
TEST(WinsockStartup, CountsStartsAndRefusesCallsOutsideThem) {
  ASSERT_FALSE(IsStarted()) << "a previous test left the layer started";
  TWSAData d;
  ASSERT_EQ(Startup(0x0202, d), 0);
  ASSERT_EQ(Startup(0x0101, d), 0);
  EXPECT_EQ(Cleanup(), 0);
  EXPECT_TRUE(IsStarted()) << "one Startup is still outstanding";
  EXPECT_EQ(Cleanup(), 0);
  EXPECT_FALSE(IsStarted());
  EXPECT_EQ(Cleanup(), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSANOTINITIALISED);

  SetLastError(0);
  EXPECT_EQ(Socket(AF_INET, SOCK_DGRAM, 0), INVALID_SOCKET);
  EXPECT_EQ(GetLastError(), WSANOTINITIALISED) << "Socket before Startup";
  TFdSet set;
  FdSet(0, set);
  TTimeVal zero;
  SetLastError(0);
  EXPECT_EQ(Select(&set, nullptr, nullptr, &zero), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSANOTINITIALISED) << "Select before Startup";
  uint32_t addr = 0;
  EXPECT_EQ(GetHostByName("localhost", addr), WSANOTINITIALISED);
  std::string name;
  EXPECT_EQ(GetHostName(name), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSANOTINITIALISED) << "GetHostName before Startup";
}

// Catches a last Cleanup that leaves sockets open (Windows closes them).
TEST(WinsockStartup, LastCleanupClosesOpenSockets) {
  TWSAData d;
  ASSERT_EQ(Startup(0x0202, d), 0);
  TSocket s = Socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_NE(s, INVALID_SOCKET) << GetLastError();
  ASSERT_EQ(Cleanup(), 0);
  errno = 0;
  EXPECT_EQ(::fcntl(static_cast<int>(s), F_GETFD), -1) << "socket still open after the last Cleanup";
  EXPECT_EQ(errno, EBADF);
}

// ---- error numbers ----

// Catches a wrong or missing entry in the errno to Windows number table.
TEST(WinsockErrors, MapsHostErrnoToWindowsNumbers) {
  struct {
    int Errno;
    int Wsa;
  } cases[] = {
      {EWOULDBLOCK, 10035},  {EAGAIN, 10035},      {EINPROGRESS, 10035}, {EALREADY, 10037},
      {ENOTSOCK, 10038},     {EBADF, 10038},       {EMSGSIZE, 10040},    {ECONNREFUSED, 10061},
      {ECONNRESET, 10054},   {ENETUNREACH, 10051}, {ETIMEDOUT, 10060},   {EADDRINUSE, 10048},
      {EINVAL, 10022},       {ENOTCONN, 10057},    {EPIPE, 10058},       {ESHUTDOWN, 10058},
      {EHOSTUNREACH, 10065}, {EACCES, 10013},      {EISCONN, 10056},     {ECONNABORTED, 10053},
      {EMFILE, 10024},       {ENOBUFS, 10055},     {EINTR, 10004},       {EADDRNOTAVAIL, 10049},
      {EAFNOSUPPORT, 10047}, {ENOPROTOOPT, 10042}, {EOPNOTSUPP, 10045},  {EFAULT, 10014},
      {EDESTADDRREQ, 10039}, {ENETDOWN, 10050},    {EHOSTDOWN, 10064},   {0, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Winsock::Detail::ErrorFromErrno(c.Errno), c.Wsa)
        << "errno " << c.Errno << " (" << std::strerror(c.Errno) << ")";
  EXPECT_EQ(Winsock::Detail::ErrorFromErrno(EDOM), WSAEINVAL) << "unknown errno values map to WSAEINVAL";
}

using WinsockCalls = TStarted;

// Catches failing calls that do not return SOCKET_ERROR with the Windows number set.
TEST_F(WinsockCalls, FailingCallsSetTheWindowsNumber) {
  uint16_t port = 0;
  THostFd bound = HostBound(::SOCK_STREAM, port, /*listening=*/false);  // bound, nobody listens
  ASSERT_GE(bound.Fd, 0);
  {
    TSock s(SOCK_STREAM);
    EXPECT_EQ(Connect(s, Loopback(port)), SOCKET_ERROR);
    EXPECT_EQ(GetLastError(), WSAECONNREFUSED) << "blocking connect to a port nobody listens on";
  }
  uint16_t lport = 0;
  THostFd listener = HostBound(::SOCK_STREAM, lport);
  ASSERT_GE(listener.Fd, 0);
  {
    TSock s(SOCK_STREAM);
    EXPECT_EQ(Bind(s, Loopback(lport)), SOCKET_ERROR);
    EXPECT_EQ(GetLastError(), WSAEADDRINUSE) << "bind to a port in use";
  }
  {
    TSock s(SOCK_STREAM);
    char b[4];
    EXPECT_EQ(Recv(s, b, sizeof b, 0), SOCKET_ERROR);
    EXPECT_EQ(GetLastError(), WSAENOTCONN) << "receive on an unconnected stream";
    EXPECT_EQ(Shutdown(s, 7), SOCKET_ERROR);
    EXPECT_EQ(GetLastError(), WSAEINVAL) << "shutdown with an unknown direction";
  }
  {
    TSock s(SOCK_STREAM);
    ASSERT_EQ(Connect(s, Loopback(lport)), 0) << GetLastError();
    THostFd peer = AcceptWithin(listener.Fd, 2000);
    ASSERT_GE(peer.Fd, 0);
    ASSERT_EQ(SetNonBlocking(s, true), 0);
    char b[4];
    EXPECT_EQ(Recv(s, b, sizeof b, 0), SOCKET_ERROR);
    EXPECT_EQ(GetLastError(), WSAEWOULDBLOCK) << "non-blocking receive with nothing queued";
    EXPECT_EQ(Connect(s, Loopback(lport)), SOCKET_ERROR);
    EXPECT_EQ(GetLastError(), WSAEISCONN) << "connect on a connected socket";
    ASSERT_EQ(Shutdown(s, SD_SEND), 0);
    EXPECT_EQ(Send(s, "x", 1, 0), SOCKET_ERROR) << "send after shutdown must fail, not raise SIGPIPE";
    EXPECT_EQ(GetLastError(), WSAESHUTDOWN);
  }
  TSocket closed = Socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_EQ(CloseSocket(closed), 0);
  char b[4];
  EXPECT_EQ(Recv(closed, b, sizeof b, 0), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAENOTSOCK) << "receive on a closed socket";
  EXPECT_EQ(Socket(23, SOCK_STREAM, 0), INVALID_SOCKET);
  EXPECT_EQ(GetLastError(), WSAEAFNOSUPPORT);
  EXPECT_EQ(Socket(AF_INET, 5, 0), INVALID_SOCKET);
  EXPECT_EQ(GetLastError(), WSAESOCKTNOSUPPORT);
}

// Catches CloseSocket closing something that is not a socket (Windows refuses with 10038).
TEST_F(WinsockCalls, CloseSocketRefusesOtherDescriptors) {
  int p[2];
  ASSERT_EQ(::pipe2(p, O_CLOEXEC), 0);
  THostFd r(p[0]), w(p[1]);
  EXPECT_EQ(CloseSocket(p[0]), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAENOTSOCK);
  EXPECT_EQ(::fcntl(p[0], F_GETFD) >= 0, true) << "the pipe was closed";
}

// Catches sockets that leak into spawned programs.
TEST_F(WinsockCalls, SocketsAreCloseOnExec) {
  TSock s(SOCK_STREAM);
  ASSERT_NE(s.S, INVALID_SOCKET);
  EXPECT_TRUE(::fcntl(static_cast<int>(s.S), F_GETFD) & FD_CLOEXEC);
}

// Catches a reset connection reported as end of stream or as the host's EPIPE.
TEST_F(WinsockCalls, ReceiveAfterPeerResetGives10054) {
  uint16_t port = 0;
  THostFd listener = HostBound(::SOCK_STREAM, port);
  TSock s(SOCK_STREAM);
  ASSERT_EQ(Connect(s, Loopback(port)), 0) << GetLastError();
  THostFd peer = AcceptWithin(listener.Fd, 2000);
  ASSERT_GE(peer.Fd, 0);
  linger l{1, 0};
  ASSERT_EQ(::setsockopt(peer.Fd, HostNet::SolSocket, HostNet::SoLinger, &l, sizeof l), 0);
  peer = THostFd();  // closing with a zero linger sends a reset
  char b[8];
  ASSERT_TRUE(HostReady(static_cast<int>(s.S), POLLIN, 2000)) << "reset never arrived";
  EXPECT_EQ(Recv(s, b, sizeof b, 0), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAECONNRESET);
}

// ---- datagrams ----

// Catches a too-small receive buffer silently truncating, or leaving the datagram queued.
TEST_F(WinsockCalls, DatagramLargerThanBufferGives10040AndIsConsumed) {
  TSock rx(SOCK_DGRAM);
  ASSERT_EQ(Bind(rx, Loopback(0)), 0) << GetLastError();
  TSockAddrIn rxAddr;
  ASSERT_EQ(GetSockName(rx, rxAddr), 0);
  TSock tx(SOCK_DGRAM);
  std::vector<char> big(600);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i);
  ASSERT_EQ(SendTo(tx, big.data(), 600, 0, rxAddr), 600) << GetLastError();
  ASSERT_EQ(SendTo(tx, "next", 4, 0, rxAddr), 4) << GetLastError();
  TSockAddrIn txAddr;
  ASSERT_EQ(GetSockName(tx, txAddr), 0);

  std::vector<char> buf(516, 0);
  TSockAddrIn from;
  EXPECT_EQ(RecvFrom(rx, buf.data(), 516, 0, &from), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAEMSGSIZE);
  EXPECT_EQ(from.Port, txAddr.Port) << "the sender is reported with the error";
  EXPECT_EQ(from.Addr, LoopbackAddr());
  EXPECT_TRUE(std::equal(buf.begin(), buf.end(), big.begin())) << "the buffer holds the datagram's start";
  char small[16];
  EXPECT_EQ(RecvFrom(rx, small, sizeof small, 0, &from), 4) << "the large datagram must be gone";
  EXPECT_EQ(std::string(small, 4), "next");
}

// Catches truncation detection missing from Recv, and a peek that consumes.
TEST_F(WinsockCalls, PeekAndRecvOfLargeDatagramGive10040) {
  TSock rx(SOCK_DGRAM);
  ASSERT_EQ(Bind(rx, Loopback(0)), 0);
  TSockAddrIn rxAddr;
  ASSERT_EQ(GetSockName(rx, rxAddr), 0);
  TSock tx(SOCK_DGRAM);
  std::vector<char> big(600, 'b');
  ASSERT_EQ(SendTo(tx, big.data(), 600, 0, rxAddr), 600);
  char small[100];
  EXPECT_EQ(Recv(rx, small, sizeof small, MSG_PEEK), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAEMSGSIZE) << "peek";
  std::vector<char> all(1000);
  EXPECT_EQ(Recv(rx, all.data(), 1000, MSG_PEEK), 600) << "a peek leaves the datagram queued";
  EXPECT_EQ(Recv(rx, small, sizeof small, 0), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAEMSGSIZE) << "recv";
  ASSERT_EQ(SetNonBlocking(rx, true), 0);
  EXPECT_EQ(Recv(rx, all.data(), 1000, 0), SOCKET_ERROR) << "recv consumed the datagram";
  EXPECT_EQ(GetLastError(), WSAEWOULDBLOCK);
}

// Catches a zero-length datagram read as "nothing" or losing its sender.
TEST_F(WinsockCalls, ZeroLengthDatagramReturnsZeroWithSender) {
  TSock rx(SOCK_DGRAM);
  ASSERT_EQ(Bind(rx, Loopback(0)), 0);
  TSockAddrIn rxAddr;
  ASSERT_EQ(GetSockName(rx, rxAddr), 0);
  TSock tx(SOCK_DGRAM);
  ASSERT_EQ(SendTo(tx, "", 0, 0, rxAddr), 0) << GetLastError();
  TSockAddrIn txAddr;
  ASSERT_EQ(GetSockName(tx, txAddr), 0);
  char buf[16];
  TSockAddrIn from;
  EXPECT_EQ(RecvFrom(rx, buf, sizeof buf, 0, &from), 0);
  EXPECT_EQ(from.Port, txAddr.Port);
  EXPECT_EQ(from.Addr, LoopbackAddr());
}

// Catches oversized sends passed as some other error, and a refused datagram reported as the
// host's ECONNREFUSED instead of Windows' reset.
TEST_F(WinsockCalls, DatagramErrorsAsWindowsReportsThem) {
  uint16_t port = 0;
  THostFd gone = HostBound(::SOCK_DGRAM, port);
  gone = THostFd();  // the port is now closed: a datagram to it draws "port unreachable"
  TSock s(SOCK_DGRAM);
  std::vector<char> huge(70000, 'h');
  EXPECT_EQ(SendTo(s, huge.data(), 70000, 0, Loopback(port)), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAEMSGSIZE);
  ASSERT_EQ(Connect(s, Loopback(port)), 0) << GetLastError();
  ASSERT_EQ(Send(s, "ping", 4, 0), 4) << GetLastError();
  ASSERT_TRUE(HostReady(static_cast<int>(s.S), POLLIN | POLLERR, 2000)) << "no ICMP answer on loopback";
  char b[8];
  EXPECT_EQ(Recv(s, b, sizeof b, 0), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAECONNRESET);
}

// ---- options ----

// Catches a Windows option value passed to the host unmapped (SOL_SOCKET is 0xFFFF there).
TEST_F(WinsockCalls, BooleanOptionsMapToTheHostOnes) {
  TSock u(SOCK_DGRAM);
  TSock t(SOCK_STREAM);
  struct {
    TSocket S;
    int Level, Name, HostLevel, HostName;
    const char* What;
  } cases[] = {
      {u, SOL_SOCKET, SO_BROADCAST, HostNet::SolSocket, HostNet::SoBroadcast, "SO_BROADCAST"},
      {t, SOL_SOCKET, SO_KEEPALIVE, HostNet::SolSocket, HostNet::SoKeepAlive, "SO_KEEPALIVE"},
      {t, SOL_SOCKET, SO_OOBINLINE, HostNet::SolSocket, HostNet::SoOobInline, "SO_OOBINLINE"},
      {t, SOL_SOCKET, SO_REUSEADDR, HostNet::SolSocket, HostNet::SoReuseAddr, "SO_REUSEADDR"},
      {t, IPPROTO_TCP, TCP_NODELAY, ::IPPROTO_TCP, HostNet::TcpNoDelay, "TCP_NODELAY"},
  };
  for (const auto& c : cases) {
    const int fd = static_cast<int>(c.S);
    int v = -1, len = sizeof v;
    ASSERT_EQ(GetSockOpt(c.S, c.Level, c.Name, &v, &len), 0) << c.What << " " << GetLastError();
    EXPECT_EQ(v, 0) << c.What << " is off by default";
    EXPECT_EQ(len, 4) << c.What;
    int on = 5;  // any non-zero value means TRUE
    ASSERT_EQ(SetSockOpt(c.S, c.Level, c.Name, &on, sizeof on), 0) << c.What << " " << GetLastError();
    int host = 0;
    socklen_t hlen = sizeof host;
    ASSERT_EQ(::getsockopt(fd, c.HostLevel, c.HostName, &host, &hlen), 0);
    EXPECT_NE(host, 0) << c.What << " did not reach the host option";
    ASSERT_EQ(GetSockOpt(c.S, c.Level, c.Name, &v, &len), 0);
    EXPECT_EQ(v, 1) << c.What << " reads back as TRUE";
  }
}

// Catches the Windows linger layout (two 16-bit fields) read as the host's two ints.
TEST_F(WinsockCalls, LingerUsesTheWindowsLayout) {
  TSock t(SOCK_STREAM);
  const int fd = static_cast<int>(t.S);
  const uint16_t set[2] = {1, 7};
  ASSERT_EQ(SetSockOpt(t, SOL_SOCKET, SO_LINGER, set, sizeof set), 0) << GetLastError();
  linger host{};
  socklen_t hlen = sizeof host;
  ASSERT_EQ(::getsockopt(fd, HostNet::SolSocket, HostNet::SoLinger, &host, &hlen), 0);
  EXPECT_EQ(host.l_onoff, 1);
  EXPECT_EQ(host.l_linger, 7);
  uint16_t got[2] = {0, 0};
  int len = sizeof got;
  ASSERT_EQ(GetSockOpt(t, SOL_SOCKET, SO_LINGER, got, &len), 0);
  EXPECT_EQ(len, 4);
  EXPECT_EQ(got[0], 1);
  EXPECT_EQ(got[1], 7);
  int dont = -1;
  len = sizeof dont;
  ASSERT_EQ(GetSockOpt(t, SOL_SOCKET, SO_DONTLINGER, &dont, &len), 0);
  EXPECT_EQ(dont, 0) << "lingering is on";
  dont = 1;
  ASSERT_EQ(SetSockOpt(t, SOL_SOCKET, SO_DONTLINGER, &dont, sizeof dont), 0);
  hlen = sizeof host;
  ASSERT_EQ(::getsockopt(fd, HostNet::SolSocket, HostNet::SoLinger, &host, &hlen), 0);
  EXPECT_EQ(host.l_onoff, 0) << "SO_DONTLINGER switches lingering off";
  EXPECT_EQ(host.l_linger, 7) << "and keeps the time";
  EXPECT_EQ(SetSockOpt(t, SOL_SOCKET, SO_LINGER, set, 2), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAEFAULT) << "a linger value shorter than its struct";
}

// Catches unknown options or levels passed through, and sizes reported in the host's units.
TEST_F(WinsockCalls, OtherOptionsAndRefusals) {
  TSock t(SOCK_STREAM);
  TSock u(SOCK_DGRAM);
  int v = 0, len = sizeof v;
  ASSERT_EQ(GetSockOpt(t, SOL_SOCKET, SO_TYPE, &v, &len), 0);
  EXPECT_EQ(v, SOCK_STREAM);
  ASSERT_EQ(GetSockOpt(u, SOL_SOCKET, SO_TYPE, &v, &len), 0);
  EXPECT_EQ(v, SOCK_DGRAM);
  int size = 32768;
  ASSERT_EQ(SetSockOpt(u, SOL_SOCKET, SO_RCVBUF, &size, sizeof size), 0);
  ASSERT_EQ(GetSockOpt(u, SOL_SOCKET, SO_RCVBUF, &v, &len), 0);
  EXPECT_EQ(v, 32768) << "the size set reads back as set";
  ASSERT_EQ(SetSockOpt(u, SOL_SOCKET, SO_SNDBUF, &size, sizeof size), 0);
  ASSERT_EQ(GetSockOpt(u, SOL_SOCKET, SO_SNDBUF, &v, &len), 0);
  EXPECT_EQ(v, 32768);
  ASSERT_EQ(GetSockOpt(t, SOL_SOCKET, SO_ERROR, &v, &len), 0);
  EXPECT_EQ(v, 0);

  EXPECT_EQ(SetSockOpt(t, SOL_SOCKET, 0x7777, &v, sizeof v), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAENOPROTOOPT) << "unknown SOL_SOCKET option";
  EXPECT_EQ(GetSockOpt(t, IPPROTO_TCP, 0x55, &v, &len), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAENOPROTOOPT) << "unknown TCP option";
  EXPECT_EQ(SetSockOpt(t, 0x1234, SO_BROADCAST, &v, sizeof v), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAEINVAL) << "unknown level";
  EXPECT_EQ(SetSockOpt(t, SOL_SOCKET, 6, &v, sizeof v), SOCKET_ERROR)
      << "the host's own SO_BROADCAST number (6) means nothing here";
  EXPECT_EQ(GetLastError(), WSAENOPROTOOPT);
  EXPECT_EQ(SetSockOpt(t, SOL_SOCKET, SO_KEEPALIVE, &v, 2), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAEFAULT) << "value shorter than an int";
  len = 2;
  EXPECT_EQ(GetSockOpt(t, SOL_SOCKET, SO_KEEPALIVE, &v, &len), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAEFAULT) << "buffer shorter than an int";
}

// ---- names of the ends ----

// Catches an unbound socket named 0.0.0.0:0 (Windows refuses) and a bind that loses its port.
TEST_F(WinsockCalls, SocketNamesAsWindowsGivesThem) {
  TSock u(SOCK_DGRAM);
  TSockAddrIn a;
  EXPECT_EQ(GetSockName(u, a), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAEINVAL) << "unbound socket";
  EXPECT_EQ(GetPeerName(u, a), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAENOTCONN);
  ASSERT_EQ(Bind(u, Loopback(0)), 0);
  ASSERT_EQ(GetSockName(u, a), 0);
  EXPECT_NE(a.Port, 0);
  EXPECT_EQ(a.Addr, LoopbackAddr());
  EXPECT_EQ(HostPort(static_cast<int>(u.S)), a.Port) << "port must be in host order";

  uint16_t port = 0;
  THostFd listener = HostBound(::SOCK_STREAM, port);
  TSock t(SOCK_STREAM);
  ASSERT_EQ(Connect(t, Loopback(port)), 0);
  ASSERT_EQ(GetPeerName(t, a), 0);
  EXPECT_EQ(a.Port, port);
  EXPECT_EQ(a.Addr, LoopbackAddr());
}

// Catches a socket left blocking by SetNonBlocking(true) or the reverse.
TEST_F(WinsockCalls, SetNonBlockingSwitchesTheHostFlag) {
  TSock s(SOCK_STREAM);
  const int fd = static_cast<int>(s.S);
  ASSERT_EQ(SetNonBlocking(s, true), 0);
  EXPECT_TRUE(::fcntl(fd, F_GETFL) & O_NONBLOCK);
  ASSERT_EQ(SetNonBlocking(s, false), 0);
  EXPECT_FALSE(::fcntl(fd, F_GETFL) & O_NONBLOCK);
}

}  // namespace
}  // namespace WinsockTest
