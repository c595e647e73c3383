// Descriptor sets and select against real loopback sockets: the Windows meaning of the three
// sets and the timeout forms.
#include "WinsockTestSupport.h"

#include <chrono>
#include <thread>

namespace WinsockTest {
namespace {

// Catches a set that grows past its 64 entries or stores a socket twice.
TEST(WinsockFdSet, HoldsAtMost64DistinctSockets) {
  TFdSet set;
  for (TSocket s = 100; s < 164; ++s) ASSERT_TRUE(FdSet(s, set)) << "entry " << s;
  EXPECT_FALSE(FdSet(164, set)) << "the 65th socket must be refused";
  EXPECT_EQ(set.fd_count, 64u);
  EXPECT_TRUE(FdSet(120, set)) << "a member is already in: not a failure";
  EXPECT_EQ(set.fd_count, 64u) << "no duplicate entry";
  EXPECT_TRUE(FdIsSet(163, set));
  EXPECT_FALSE(FdIsSet(164, set));
  FdZero(set);
  EXPECT_EQ(set.fd_count, 0u);
  EXPECT_FALSE(FdIsSet(100, set));
}

using WinsockSelect = TStarted;

// Catches a zero timeout that blocks, and a set not emptied of sockets that are not ready.
TEST_F(WinsockSelect, ZeroWaitReturnsAtOnce) {
  TSock u(SOCK_DGRAM);
  ASSERT_EQ(Bind(u, Loopback(0)), 0);
  TFdSet rd;
  FdSet(u, rd);
  TTimeVal zero;
  const auto t0 = Clock::now();
  EXPECT_EQ(Select(&rd, nullptr, nullptr, &zero), 0);
  EXPECT_LT(MsSince(t0), 2000) << "a zero timeout must not wait";
  EXPECT_EQ(rd.fd_count, 0u) << "a socket that is not ready leaves the set";
}

// Catches readiness reported in the wrong set and a wrong count over several sets.
TEST_F(WinsockSelect, ReportsReadableAndWritableDatagramSockets) {
  TSock rx(SOCK_DGRAM);
  ASSERT_EQ(Bind(rx, Loopback(0)), 0);
  TSockAddrIn rxAddr;
  ASSERT_EQ(GetSockName(rx, rxAddr), 0);
  TSock tx(SOCK_DGRAM);
  ASSERT_EQ(SendTo(tx, "d", 1, 0, rxAddr), 1);
  TFdSet rd, wr;
  FdSet(rx, rd);
  FdSet(tx, rd);
  FdSet(rx, wr);
  TTimeVal t{2, 0};
  EXPECT_EQ(Select(&rd, &wr, nullptr, &t), 2) << "rx readable and rx writable count as two";
  EXPECT_TRUE(FdIsSet(rx, rd));
  EXPECT_FALSE(FdIsSet(tx, rd)) << "nothing was sent to tx";
  EXPECT_TRUE(FdIsSet(rx, wr));
}

// Catches a null timeout treated as "do not wait".
TEST_F(WinsockSelect, NullTimeoutWaitsUntilReady) {
  TSock rx(SOCK_DGRAM);
  ASSERT_EQ(Bind(rx, Loopback(0)), 0);
  TSockAddrIn rxAddr;
  ASSERT_EQ(GetSockName(rx, rxAddr), 0);
  TSock tx(SOCK_DGRAM);
  std::thread late([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    (void)SendTo(tx, "late", 4, 0, rxAddr);  // a lost datagram shows as the wait timing out
  });
  TFdSet rd;
  FdSet(rx, rd);
  {
    TWatchdog dog("Select with a null timeout", 10);
    EXPECT_EQ(Select(&rd, nullptr, nullptr, nullptr), 1);
  }
  late.join();
  EXPECT_TRUE(FdIsSet(rx, rd));
}

// Catches a failed non-blocking connect shown as writable (the host says so; Windows puts it
// in the error set only) and its reason lost.
TEST_F(WinsockSelect, FailedConnectShowsInErrorSetOnly) {
  uint16_t port = 0;
  THostFd bound = HostBound(SOCK_STREAM, port, /*listening=*/false);
  TSock s(SOCK_STREAM);
  ASSERT_EQ(SetNonBlocking(s, true), 0);
  ASSERT_EQ(Connect(s, Loopback(port)), SOCKET_ERROR);
  ASSERT_EQ(GetLastError(), WSAEWOULDBLOCK) << "a non-blocking connect is under way";
  TFdSet wr, er;
  FdSet(s, wr);
  FdSet(s, er);
  TTimeVal t{2, 0};
  EXPECT_EQ(Select(nullptr, &wr, &er, &t), 1);
  EXPECT_TRUE(FdIsSet(s, er)) << "failed connect belongs in the error set";
  EXPECT_FALSE(FdIsSet(s, wr)) << "failed connect is not writable";
  int err = 0, len = sizeof err;
  ASSERT_EQ(GetSockOpt(s, SOL_SOCKET, SO_ERROR, &err, &len), 0);
  EXPECT_EQ(err, WSAECONNREFUSED);
}

// Catches a select that asked about writability only and returns 0 at once for a failed
// connect, before its timeout, or spins on the error until then.
TEST_F(WinsockSelect, FailedConnectAskedAsWritableWaitsOutTheTimeout) {
  uint16_t port = 0;
  THostFd bound = HostBound(SOCK_STREAM, port, /*listening=*/false);
  TSock s(SOCK_STREAM);
  ASSERT_EQ(SetNonBlocking(s, true), 0);
  ASSERT_EQ(Connect(s, Loopback(port)), SOCKET_ERROR);
  ASSERT_TRUE(HostReady(s.S, hrWrite, 2000)) << "connect outcome never came";
  TFdSet wr;
  FdSet(s, wr);
  TTimeVal t{0, 200000};
  const auto t0 = Clock::now();
  const double cpu0 = ThreadCpuMs();
  EXPECT_EQ(Select(nullptr, &wr, nullptr, &t), 0);
  EXPECT_GE(MsSince(t0), 150) << "returned before its timeout";
  EXPECT_LT(ThreadCpuMs() - cpu0, 100) << "select spun on the error instead of sleeping";
}

// Catches a completed connect not shown as writable, or shown as an error.
TEST_F(WinsockSelect, CompletedConnectShowsWritable) {
  uint16_t port = 0;
  THostFd listener = HostBound(SOCK_STREAM, port);
  TSock s(SOCK_STREAM);
  ASSERT_EQ(SetNonBlocking(s, true), 0);
  int r = Connect(s, Loopback(port));
  ASSERT_TRUE(r == 0 || GetLastError() == WSAEWOULDBLOCK) << GetLastError();
  TFdSet wr, er;
  FdSet(s, wr);
  FdSet(s, er);
  TTimeVal t{2, 0};
  EXPECT_EQ(Select(nullptr, &wr, &er, &t), 1);
  EXPECT_TRUE(FdIsSet(s, wr));
  EXPECT_FALSE(FdIsSet(s, er));
}

// Catches a connect under way reported ready, and a second connect not refused with 10037.
TEST_F(WinsockSelect, ConnectUnderWayIsNeitherWritableNorFailed) {
  TStuckListener stuck;
  ASSERT_TRUE(stuck.Make()) << "could not fill the accept queue";
  TSock s(SOCK_STREAM);
  ASSERT_EQ(SetNonBlocking(s, true), 0);
  ASSERT_EQ(Connect(s, Loopback(stuck.Port)), SOCKET_ERROR);
  ASSERT_EQ(GetLastError(), WSAEWOULDBLOCK);
  EXPECT_EQ(Connect(s, Loopback(stuck.Port)), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAEALREADY);
  TFdSet rd, wr, er;
  FdSet(s, rd);
  FdSet(s, wr);
  FdSet(s, er);
  TTimeVal t{0, 100000};
  EXPECT_EQ(Select(&rd, &wr, &er, &t), 0);
}

// Catches a peer's close not shown as readable (Windows: recv would return 0).
TEST_F(WinsockSelect, PeerCloseShowsReadable) {
  uint16_t port = 0;
  THostFd listener = HostBound(SOCK_STREAM, port);
  TSock s(SOCK_STREAM);
  ASSERT_EQ(Connect(s, Loopback(port)), 0);
  THostFd peer = AcceptWithin(listener.Handle(), 2000);
  ASSERT_TRUE(peer.Valid());
  peer = THostFd();
  TFdSet rd;
  FdSet(s, rd);
  TTimeVal t{2, 0};
  EXPECT_EQ(Select(&rd, nullptr, nullptr, &t), 1);
  char b[4];
  EXPECT_EQ(Recv(s, b, sizeof b, 0), 0);
}

// Catches select used as a plain sleep (Windows refuses) and closed sockets not reported.
TEST_F(WinsockSelect, RefusesEmptySetsAndClosedSockets) {
  TFdSet rd;
  TTimeVal t{0, 1000};
  EXPECT_EQ(Select(&rd, nullptr, nullptr, &t), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAEINVAL) << "all sets empty";
  EXPECT_EQ(Select(nullptr, nullptr, nullptr, &t), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAEINVAL) << "no sets";
  TSocket s = Socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_EQ(CloseSocket(s), 0);
  FdSet(s, rd);
  EXPECT_EQ(Select(&rd, nullptr, nullptr, &t), SOCKET_ERROR);
  EXPECT_EQ(GetLastError(), WSAENOTSOCK);
}

}  // namespace
}  // namespace WinsockTest
