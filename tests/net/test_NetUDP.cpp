// The UDP endpoint: Active and BroadcastEnabled rules, loading, the wait values, datagram send
// and receive against a host peer on loopback, and the send and receive failures.
#include "NetTestSupport.h"
#include "NetUDPClient.h"
#include "Winsock.h"

namespace NetTest {
namespace {

class TProbeUDP : public TNetUDPClient {
 public:
  using TNetUDPBase::CurrentSocketHandle;
  using TNetUDPClient::TNetUDPClient;
};

// The layer's socket is the host's own, so the host can be asked what the layer set on it.
PeerHost::THandle HostSocketOf(TProbeUDP& u) { return u.CurrentSocketHandle()->SocketId(); }

bool HostBroadcastFlag(PeerHost::THandle s) { return PeerHost::BroadcastFlag(s); }

// Catches a second socket opened by a repeated Active, a handle kept after Active false, and
// Active reading the handle's existence instead of its socket.
TEST(NetUDPActive, ActiveFollowsTheSocket) {
  TProbeUDP u(nullptr);
  EXPECT_FALSE(u.Active());
  EXPECT_EQ(u.BufferSize(), 8192);
  EXPECT_EQ(u.ReceiveTimeout(), -2);
  EXPECT_EQ(u.CurrentSocketHandle(), nullptr) << "absent until first needed";
  u.SetActive(true);
  ASSERT_NE(u.CurrentSocketHandle(), nullptr);
  const TNetSocket first = u.CurrentSocketHandle()->SocketId();
  u.SetActive(true);
  EXPECT_EQ(u.CurrentSocketHandle()->SocketId(), first) << "one socket for two writes of true";
  u.CurrentSocketHandle()->Close();
  EXPECT_NE(u.CurrentSocketHandle(), nullptr);
  EXPECT_FALSE(u.Active()) << "a closed socket reads inactive although the object exists";
  u.SetActive(true);
  EXPECT_TRUE(u.CurrentSocketHandle()->IsOpen());
  u.SetActive(false);
  EXPECT_EQ(u.CurrentSocketHandle(), nullptr) << "false destroys the socket object";
}

// Catches a socket opened while loading, and a stored Active lost at the end of loading.
TEST(NetUDPActive, StoredActiveOpensWhenLoadingEnds) {
  TComponent owner(nullptr);
  owner.BeginLoading();
  auto* u = new TProbeUDP(&owner);
  u->SetActive(true);
  u->SetBroadcastEnabled(true);
  EXPECT_TRUE(u->Active()) << "reads the stored value while loading";
  owner.EndLoading();
  EXPECT_TRUE(u->Active());
  ASSERT_NE(u->CurrentSocketHandle(), nullptr);
  EXPECT_TRUE(u->CurrentSocketHandle()->IsOpen());
  EXPECT_TRUE(HostBroadcastFlag(HostSocketOf(*u)));
}

// Catches a flag not applied to an open socket, or not applied to each new socket.
TEST(NetUDPActive, BroadcastFlagFollowsEverySocket) {
  TProbeUDP u(nullptr);
  u.SetActive(true);
  EXPECT_FALSE(HostBroadcastFlag(HostSocketOf(u)));
  u.SetBroadcastEnabled(true);
  EXPECT_TRUE(HostBroadcastFlag(HostSocketOf(u))) << "applied at once to the open socket";
  u.CurrentSocketHandle()->Close();
  u.SetActive(true);
  EXPECT_TRUE(HostBroadcastFlag(HostSocketOf(u))) << "applied to the new socket";
  u.SetBroadcastEnabled(false);
  EXPECT_FALSE(HostBroadcastFlag(HostSocketOf(u)));
}

// Catches a zero wait that blocks, a receive that does not open its socket, and a wait that
// ends without a datagram reported with a sender.
TEST(NetUDPReceive, WaitValues) {
  TProbeUDP u(nullptr);
  std::string ip = "x";
  uint16_t port = 7;
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(u.ReceiveDatagram(ip, port, 0), "");
  EXPECT_EQ(ip, "");
  EXPECT_EQ(port, 0);
  EXPECT_LT(MsSince(t0), 1000) << "wait 0 looks once";
  EXPECT_TRUE(u.Active()) << "the receive opened a socket";

  u.SetReceiveTimeout(300);
  t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(u.ReceiveDatagram(ip, port), "") << "wait -1 stands for ReceiveTimeout";
  EXPECT_GE(MsSince(t0), 290) << "returned before ReceiveTimeout ran out";
}

// Catches the wrong sender, a cut datagram, and an empty datagram taken for a wait that ran out
// without its sender.
TEST(NetUDPReceive, DatagramsComeWithTheirSender) {
  TProbeUDP u(nullptr);
  THostPeer peer;
  u.SetHost("127.0.0.1");
  u.SetPort(peer.Port());
  u.SendDatagram("ping");
  std::string got;
  uint16_t clientPort = 0;
  ASSERT_TRUE(peer.Receive(got, clientPort));
  EXPECT_EQ(got, "ping");
  peer.SendTo(clientPort, std::string("po\0ng", 5));
  std::string ip;
  uint16_t port = 0;
  EXPECT_EQ(u.ReceiveDatagram(ip, port, 3000), std::string("po\0ng", 5));
  EXPECT_EQ(ip, "127.0.0.1");
  EXPECT_EQ(port, peer.Port());
  peer.SendTo(clientPort, "");
  ip.clear();
  port = 0;
  EXPECT_EQ(u.ReceiveDatagram(ip, port, 3000), "");
  EXPECT_EQ(ip, "127.0.0.1") << "an empty datagram still names its sender";
  EXPECT_EQ(port, peer.Port());
}

// Catches a datagram longer than the buffer delivered in part instead of failing with 10040.
TEST(NetUDPReceive, LongerThanBufferFailsWith10040) {
  TProbeUDP u(nullptr);
  THostPeer peer;
  u.SendDatagram("127.0.0.1", peer.Port(), "hi");
  std::string got;
  uint16_t clientPort = 0;
  ASSERT_TRUE(peer.Receive(got, clientPort));
  u.SetBufferSize(516);
  peer.SendTo(clientPort, std::string(600, 'x'));
  std::string ip;
  uint16_t port = 0;
  try {
    u.ReceiveDatagram(ip, port, 3000);
    ADD_FAILURE() << "600 bytes into 516 must fail";
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(e.ErrorCode, 10040);
    EXPECT_EQ(e.Message(), "Socket Error # 10040\r\nMessage too long.");
  }
  EXPECT_TRUE(u.Active()) << "the socket stays open after a failure";
}

// Catches a wait on a closed socket that blocks or returns instead of raising.
TEST(NetUDPReceive, WaitOnClosedSocketRaises) {
  TProbeUDP u(nullptr);
  u.SetActive(true);
  TNetSocketHandle* h = u.CurrentSocketHandle();
  h->Close();
  try {
    h->WaitReadable(0);
    ADD_FAILURE() << "must raise";
  } catch (const ENetConnClosedGracefully& e) {
    EXPECT_EQ(e.Message(), "Connection Closed Gracefully.");
  }
}

class TCountingAntiFreeze : public TNetAntiFreezeBase {
 public:
  using TNetAntiFreezeBase::TNetAntiFreezeBase;
  int Runs = 0;
  void ProcessPending() override { ++Runs; }
};

// Catches a wait that holds the user interface for its whole length while an anti-freeze is in effect.
TEST(NetUDPReceive, AntiFreezeCutsTheWaitIntoSlices) {
  TProbeUDP u(nullptr);
  u.SetActive(true);
  TCountingAntiFreeze freeze(nullptr);
  freeze.SetIdleTimeOut(50);
  EXPECT_FALSE(u.CurrentSocketHandle()->WaitReadable(200));
  EXPECT_EQ(freeze.Runs, 4) << "200 ms in slices of 50, the user interface running after each";
}

int GLookups = 0;
class TCountingLookupStack : public TNetStackWindows {
 public:
  std::string LookupHostName(const std::string& hostName) override {
    ++GLookups;
    return TNetStackWindows::LookupHostName(hostName);
  }
};
std::unique_ptr<TNetStack> MakeCountingLookupStack() { return std::make_unique<TCountingLookupStack>(); }

// Catches LOCALHOST sent through the name lookup, and a lookup failure with the wrong text.
TEST(NetUDPSend, LocalhostInAnyCaseSkipsTheLookup) {
  TStackClassScope scope(&MakeCountingLookupStack);
  TProbeUDP u(nullptr);
  THostPeer peer;
  GLookups = 0;
  for (const char* name : {"LOCALHOST", "localhost", "LocalHost"}) {
    u.SendDatagram(name, peer.Port(), name);
    std::string got;
    uint16_t from = 0;
    ASSERT_TRUE(peer.Receive(got, from)) << name;
    EXPECT_EQ(got, name);
  }
  EXPECT_EQ(GLookups, 0);
  try {
    u.SendDatagram("no-such-host.invalid", peer.Port(), "x");
    ADD_FAILURE() << "must raise";
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(e.ErrorCode, 11001);
    EXPECT_EQ(e.Message(), "Socket Error # 11001\r\nHost not found.");
  }
  EXPECT_EQ(GLookups, 1);
}

// A platform that sends 28 bytes fewer than asked, or fails every send with a reset.
int GSendMode = 0;
class TFaultySendStack : public TNetStackWindows {
 public:
  int SendTo(TNetSocket s, const void* b, int len, int flags, const std::string& a, uint16_t p) override {
    if (GSendMode == 1) return TNetStackWindows::SendTo(s, b, len - 28, flags, a, p);
    Winsock::SetLastError(10054);
    return -1;
  }
};
std::unique_ptr<TNetStack> MakeFaultySendStack() { return std::make_unique<TFaultySendStack>(); }

// Catches a short send taken as success, an oversized datagram with the wrong class, and a
// failed send that does not raise the platform's error.
TEST(NetUDPSend, SendFailuresRaiseTheirClasses) {
  {
    TProbeUDP u(nullptr);
    THostPeer peer;
    try {
      u.SendDatagram("127.0.0.1", peer.Port(), std::string(70000, 'x'));
      ADD_FAILURE() << "a 70000-byte datagram cannot be sent";
    } catch (const ENetPackageSizeTooBig& e) {
      EXPECT_EQ(e.Message(), "Package Size Too Big.");
    }
  }
  TStackClassScope scope(&MakeFaultySendStack);
  TProbeUDP u(nullptr);
  GSendMode = 1;
  try {
    u.SendDatagram("127.0.0.1", 9, std::string(1028, 'x'));
    ADD_FAILURE() << "1000 of 1028 bytes is not a success";
  } catch (const ENetNotAllBytesSent& e) {
    EXPECT_EQ(e.Message(), "Not all bytes sent.");
  }
  GSendMode = 2;
  try {
    u.SendDatagram("127.0.0.1", 9, "x");
    ADD_FAILURE() << "must raise";
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(e.ErrorCode, 10054);
    EXPECT_EQ(e.Message(), "Socket Error # 10054\r\nConnection reset by peer.");
  }
}

}  // namespace
}  // namespace NetTest
