// The engine through its C entry points against peers that run as processes of their own: a
// real busybox telnetd, and the scripted peer as an odd telnet server.
#include "TnPeerProcesses.h"  // first: brings the host's socket headers in order

#include "Messages.h"

namespace TnTest {
namespace {

// Connections to busybox telnetd, whose login program prints a greeting.
class TnEngineTelnetd : public TEngineTest {
 protected:
  void SetUp() override {
    const std::string e = Server.Start("Welcome to Titanium");
    ASSERT_TRUE(e.empty()) << e;
    ASSERT_EQ(E.Set(tnpRemotePort, Server.Port), 0);
  }
  TTelnetServer Server;
  TEngine E;
};

// Catches the greeting read before Disconnect, lost, or delivered after OnDisconnected.
TEST_F(TnEngineTelnetd, GreetingArrivesInsideDisconnectBeforeTheCloseEvents) {
  ASSERT_EQ(E.Connect("127.0.0.1"), 0) << E.LastError();
  EXPECT_EQ(E.Get(tnpConnected), 1);
  EXPECT_EQ(Join(E.Shown()), "Status(Remote host connection complete.,0,OK) | Connected(0,OK)");
  ::usleep(2000 * 1000);  // the application's pause: nothing is pumped
  EXPECT_FALSE(E.Has(tnevDataIn)) << "bytes stay in the socket during the pause";
  const size_t before = E.Events.size();
  ASSERT_EQ(E.Disconnect(), 0) << E.LastError();
  std::vector<std::string> after;
  for (size_t i = before; i < E.Events.size(); ++i) after.push_back(E.Events[i].Show());
  ASSERT_GE(after.size(), 3u) << Join(after);
  EXPECT_EQ(after[after.size() - 2], "Status(Remote host disconnected.,0,OK)") << Join(after);
  EXPECT_EQ(after.back(), "Disconnected(0,OK)") << Join(after);
  EXPECT_NE(E.Data().find("Welcome to Titanium"), std::string::npos) << Join(after);
  // Real option negotiation precedes the text, reported and not answered.
  EXPECT_NE(Join(after).find("Do(1)"), std::string::npos) << Join(after);
  EXPECT_NE(Join(after).find("Will(3)"), std::string::npos) << Join(after);
  EXPECT_LT(Join(after).find("Do(1)"), Join(after).find("Welcome")) << Join(after);
  EXPECT_EQ(E.Get(tnpConnected), 0);
}

// Catches a second Connect replacing the live connection instead of being refused.
TEST_F(TnEngineTelnetd, ConnectWhileConnectedIsRefused) {
  ASSERT_EQ(E.Connect("127.0.0.1"), 0) << E.LastError();
  EXPECT_EQ(E.Connect("127.0.0.1"), 101);
  EXPECT_EQ(E.LastError(), "You cannot change the RemoteHost at this time. A connection is in progress.");
  EXPECT_EQ(E.Set(tnpRemotePort, 24), 100);
  EXPECT_EQ(E.Set(tnpLocalPort, 1), 106);
  EXPECT_EQ(E.Config("MaxLineLength=10"), 112);
  EXPECT_EQ(E.LastError(), "You cannot change MaxLineSize at this time. A connection is in progress.");
  EXPECT_EQ(E.Set(tnpConnected, 1), 104) << "opening while a socket exists";
  EXPECT_NE(E.Get(tnpLocalPort), 0) << "the bound port is read back";
  EXPECT_EQ(E.GetText(tnpLocalHost), "127.0.0.1");
  EXPECT_EQ(E.Disconnect(), 0);
}

// Catches data read while the connection is being made (OnDataIn must never fire in Connect)
// and a synthetic read that never comes once receiving is on.
TEST_F(TnEngineTelnetd, DataFlowsThroughTheLoopAfterConnect) {
  bool inConnect = true;
  bool dataInConnect = false;
  E.OnEvent = [&](const TEvent& e) { dataInConnect |= inConnect && e.Id == tnevDataIn; };
  ASSERT_EQ(E.Connect("127.0.0.1"), 0);
  inConnect = false;
  EXPECT_FALSE(dataInConnect);
  EXPECT_TRUE(E.PumpUntil([&] { return E.Data().find("Titanium") != std::string::npos; })) << Join(E.Shown());
  E.Disconnect();
}

// Catches a wait that spins, or a posted message left undispatched until Connect returns.
TEST_F(TnEngineTelnetd, ConnectDispatchesOtherMessagesWhileWaiting) {
  std::vector<std::string> order;
  HWND w = AllocateHWnd([&](HWND, uint32_t m, WPARAM, LPARAM) -> LRESULT {
    if (m == WM_USER + 7) order.push_back("posted");
    return 0;
  });
  E.OnEvent = [&](const TEvent& e) {
    if (e.Id == tnevConnected) order.push_back("connected");
  };
  PostMessage(w, WM_USER + 7, 0, 0);
  ASSERT_EQ(E.Connect("127.0.0.1"), 0);
  DeallocateHWnd(w);
  EXPECT_EQ(Join(order), "posted | connected");
  E.Disconnect();
}

// The scripted peer as an odd telnet server.
class TnEngineScripted : public TEngineTest {
 protected:
  void Start(const std::vector<std::string>& steps) {
    const std::string e = Peer.Start(steps);
    ASSERT_TRUE(e.empty()) << e;
    ASSERT_EQ(E.Set(tnpRemotePort, Peer.Port), 0);
  }
  TScriptedPeer Peer;
  TEngine E;
};

// Catches a reset reported through OnError, or reading that goes on after it.
TEST_F(TnEngineScripted, PeerResetEndsReadingSilentlyThenCloseEvents) {
  Start({"text:hello", "sleep:300", "reset"});
  ASSERT_EQ(E.Connect("127.0.0.1"), 0);
  ASSERT_TRUE(E.PumpUntil([&] { return E.Has(tnevDisconnected); })) << Join(E.Shown());
  EXPECT_EQ(E.Data(), "hello");
  EXPECT_FALSE(E.Has(tnevError)) << Join(E.Shown());
  const auto shown = E.Shown();
  EXPECT_EQ(shown.back(), "Disconnected(10054,[10054] Connection reset by peer)") << Join(shown);
  EXPECT_EQ(E.Get(tnpConnected), 0);
}

// Catches the peer's orderly close not raising the close events with status 0.
TEST_F(TnEngineScripted, PeerCloseRaisesCloseEvents) {
  Start({"text:bye", "close"});
  ASSERT_EQ(E.Connect("127.0.0.1"), 0);
  ASSERT_TRUE(E.PumpUntil([&] { return E.Has(tnevDisconnected); })) << Join(E.Shown());
  EXPECT_EQ(E.Data(), "bye");
  EXPECT_EQ(E.Shown().back(), "Disconnected(0,OK)");
}

// Catches NUL bytes cutting a data event short, and a small buffer losing bytes.
TEST_F(TnEngineScripted, SmallBufferDeliversEveryByteInPieces) {
  ASSERT_EQ(E.Config("MaxLineLength=3"), 0);
  Start({std::string("send:") + "61006263" + "ff" + "ff" + "64656667", "hold"});
  ASSERT_EQ(E.Connect("127.0.0.1"), 0);
  ASSERT_TRUE(E.PumpUntil([&] { return E.Data().size() >= 8; })) << Join(E.Shown());
  EXPECT_EQ(E.Data(), std::string("a\0bc\xff"
                                  "defg",
                                  9)
                          .substr(0, E.Data().size()));
  EXPECT_EQ(E.Data().size(), 9u);
  E.Disconnect();
}

// Catches sends framed wrongly: option verbs, commands, sub-negotiation cut at 1020 bytes.
TEST_F(TnEngineScripted, SendsGoOutFramed) {
  Start({"expect:3", "expect:2", "expect:1026", "expect:3", "expect:3", "expect:5", "hold"});
  ASSERT_EQ(E.Connect("127.0.0.1"), 0);
  EXPECT_EQ(E.Set(tnpSendDo, 1), 0);
  EXPECT_EQ(E.Get(tnpLastSendCount), 3);
  EXPECT_EQ(E.Set(tnpCommandToSend, 241), 0);
  EXPECT_EQ(E.SetBytes(tnpSendSubOption, std::string(1500, '\xff')), 0);
  EXPECT_EQ(E.Get(tnpLastSendCount), 1024);
  EXPECT_EQ(E.Set(tnpSendWill, 3), 0);
  EXPECT_EQ(E.Set(tnpSendWont, 4), 0);
  EXPECT_EQ(E.Send("hello"), 0);
  EXPECT_EQ(E.Send(""), 0);
  EXPECT_EQ(E.Disconnect(), 0);
  const std::string got = Peer.Received();
  std::string want = "\xff\xfd\x01\xff\xf1\xff\xfa" + std::string(1020, '\xff') + "\xff\xf0";
  want += "\xff\xfb\x03\xff\xfc\x04hello";
  EXPECT_EQ(Hex(got), Hex(want));
}

// Catches a close asked for inside OnDataIn tearing down the buffer the parser is reading.
TEST_F(TnEngineScripted, DisconnectInsideDataEventIsFinishedByTheReceiveLoop) {
  Start({"send:61fffd0162", "hold"});
  E.OnEvent = [&](const TEvent& e) {
    if (e.Id == tnevDataIn) {
      EXPECT_EQ(E.Disconnect(), 0);
    }
  };
  ASSERT_EQ(E.Connect("127.0.0.1"), 0);
  ASSERT_TRUE(E.PumpUntil([&] { return E.Has(tnevDisconnected); })) << Join(E.Shown());
  EXPECT_EQ(Join(E.Shown()),
            "Status(Remote host connection complete.,0,OK) | Connected(0,OK) | DataIn(a) | Do(1) | DataIn(b) | "
            "Status(Remote host disconnected.,0,OK) | Disconnected(0,OK)");
}

// Catches a use after free when the instance is destroyed from inside its own event.
TEST_F(TnEngineScripted, DestroyInsideAnEventWaitsForTheCallToEnd) {
  Start({"text:x", "hold"});
  ASSERT_EQ(E.Connect("127.0.0.1"), 0);
  int after = 0;
  E.OnEvent = [&](const TEvent& e) {
    if (e.Id == tnevDataIn) {
      Telnet_Destroy(E.H);
      E.H = nullptr;
    } else if (!E.H) {
      ++after;
    }
  };
  ASSERT_TRUE(E.PumpUntil([&] { return E.H == nullptr; }));
  WinsockTest::TNoteWindow pump;
  pump.Pump(100);
  EXPECT_EQ(after, 0) << "no event after the destroy";
}

// Catches data read while receiving is off, or left unread when it is switched on again.
TEST_F(TnEngineScripted, ReceiveEnabledHoldsDataInTheSocket) {
  Start({"text:later", "hold"});
  ASSERT_EQ(E.Connect("127.0.0.1"), 0);
  E.Set(tnpReceiveEnabled, 0);
  WinsockTest::TNoteWindow pump;
  pump.Pump(300);
  EXPECT_EQ(E.Data(), "");
  E.Set(tnpReceiveEnabled, 1);
  EXPECT_TRUE(E.PumpUntil([&] { return E.Data() == "later"; })) << Join(E.Shown());
  E.Disconnect();
}

// Catches a blocking Send that gives up on a full socket instead of waiting, and the deadline
// ("Timeout.") of a peer that stops reading.
TEST_F(TnEngineScripted, BlockingSendTimesOutOnAPeerThatDoesNotRead) {
  Start({"sleep:5000"});
  ASSERT_EQ(E.Config("OutBufferSize=4096"), 0);
  ASSERT_EQ(E.Connect("127.0.0.1"), 0);
  E.Set(tnpTimeout, 1);
  const std::string big(32 << 20, 'z');  // more than the socket buffers of both ends hold
  EXPECT_EQ(E.Send(big), 301);
  EXPECT_EQ(E.LastError(), "Timeout.");
  E.Set(tnpTimeout, 0);
  E.Set(tnpLinger, 0);
  E.Disconnect();
}

}  // namespace
}  // namespace TnTest
