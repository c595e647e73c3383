// The POSIX backend's own: its errno table and limits, descriptors that are not sockets, flags
// and option values as the host holds them, refused datagrams, signals, and descriptors past
// the host's fd_set limit. The Windows build leaves this file out: there the numbers and
// values are the system's own.
#include "HostSockets.h"  // first: the host's socket headers, before the layer's names
#include "WinsockTestSupport.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "WinsockInternal.h"

namespace WinsockTest {
namespace {

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
using WinsockSelect = TStarted;

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

// Catches a refused datagram reported as the host's ECONNREFUSED instead of Windows' reset. (The
// Windows backend switches these reports off, and Wine makes none.)
TEST_F(WinsockCalls, RefusedConnectedDatagramGives10054) {
  uint16_t port = 0;
  THostFd gone = HostBound(::SOCK_DGRAM, port);
  gone = THostFd();  // the port is now closed: a datagram to it draws "port unreachable"
  TSock s(SOCK_DGRAM);
  ASSERT_EQ(Connect(s, Loopback(port)), 0) << GetLastError();
  ASSERT_EQ(Send(s, "ping", 4, 0), 4) << GetLastError();
  ASSERT_TRUE(HostReady(s.S, hrRead, 2000)) << "no ICMP answer on loopback";
  char b[8];
  EXPECT_EQ(Recv(s, b, sizeof b, 0), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAECONNRESET);
}

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

// Catches a boolean option read from or written to fewer bytes than the host's int. (Windows
// itself takes such a value from as little as one byte.)
TEST_F(WinsockCalls, ShortBooleanOptionValuesAreRefused) {
  TSock t(SOCK_STREAM);
  int v = 0, len = 2;
  EXPECT_EQ(SetSockOpt(t, SOL_SOCKET, SO_KEEPALIVE, &v, 2), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAEFAULT) << "value shorter than an int";
  EXPECT_EQ(GetSockOpt(t, SOL_SOCKET, SO_KEEPALIVE, &v, &len), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAEFAULT) << "buffer shorter than an int";
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

// Catches AsyncSelect accepting what is not a socket.
TEST_F(WinsockCalls, AsyncSelectRefusesNonSockets) {
  TNoteWindow win;
  int p[2];
  ASSERT_EQ(::pipe2(p, O_CLOEXEC), 0);
  THostFd r(p[0]), w(p[1]);
  EXPECT_EQ(AsyncSelect(p[0], win.Wnd(), WM_SOCKET, FD_READ), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAENOTSOCK) << "a pipe";
}

void IgnoreSignal(int) {}

// Catches a signal ending the wait early: Windows' select knows no signals.
TEST_F(WinsockSelect, SignalDoesNotEndTheWait) {
  struct sigaction sa {
  }, old{};
  sa.sa_handler = IgnoreSignal;  // no SA_RESTART: poll fails with EINTR
  sigemptyset(&sa.sa_mask);
  ASSERT_EQ(sigaction(SIGUSR1, &sa, &old), 0);
  TSock rx(SOCK_DGRAM);
  ASSERT_EQ(Bind(rx, Loopback(0)), 0);
  TSockAddrIn rxAddr;
  ASSERT_EQ(GetSockName(rx, rxAddr), 0);
  TSock tx(SOCK_DGRAM);
  const pthread_t self = pthread_self();

  std::thread poke([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    pthread_kill(self, SIGUSR1);
  });
  TFdSet rd;
  FdSet(rx, rd);
  TTimeVal shortWait{0, 300000};
  const auto t0 = Clock::now();
  EXPECT_EQ(Select(&rd, nullptr, nullptr, &shortWait), 0) << "error " << GetLastError();
  EXPECT_GE(MsSince(t0), 250) << "the signal cut the wait short";
  poke.join();

  std::thread pokeThenSend([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    pthread_kill(self, SIGUSR1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    (void)SendTo(tx, "s", 1, 0, rxAddr);  // a lost datagram shows as the wait timing out
  });
  FdSet(rx, rd);
  TTimeVal longWait{5, 0};
  EXPECT_EQ(Select(&rd, nullptr, nullptr, &longWait), 1) << "error " << GetLastError();
  pokeThenSend.join();
  sigaction(SIGUSR1, &old, nullptr);
}

// Catches a select built on the host's fd_set, which cannot hold descriptors from 1024 up.
TEST_F(WinsockSelect, WorksWithDescriptorsAbove1023) {
  rlimit rl{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &rl), 0);
  if (rl.rlim_cur < 1600) {
    rl.rlim_cur = std::min<rlim_t>(1600, rl.rlim_max);
    setrlimit(RLIMIT_NOFILE, &rl);
  }
  if (rl.rlim_cur < 1600) GTEST_SKIP() << "descriptor limit below 1600";
  TSock rx(SOCK_DGRAM);
  ASSERT_EQ(Bind(rx, Loopback(0)), 0);
  TSockAddrIn rxAddr;
  ASSERT_EQ(GetSockName(rx, rxAddr), 0);
  THostFd high(::dup3(static_cast<int>(rx.S), 1500, O_CLOEXEC));
  ASSERT_EQ(high.Handle(), 1500);
  TSock tx(SOCK_DGRAM);
  ASSERT_EQ(SendTo(tx, "hi", 2, 0, rxAddr), 2);
  TFdSet rd;
  FdSet(1500, rd);
  TTimeVal t{2, 0};
  EXPECT_EQ(Select(&rd, nullptr, nullptr, &t), 1);
  EXPECT_TRUE(FdIsSet(1500, rd));
}

}  // namespace
}  // namespace WinsockTest
