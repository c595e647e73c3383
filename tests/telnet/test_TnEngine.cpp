// The engine through its C entry points: requests and their error codes and texts, the
// settings, and connections to a real busybox telnetd and to the scripted peer on loopback.
#include "TnTestSupport.h"  // first: brings the host's socket headers in order

#include <thread>

#include "Messages.h"

namespace TnTest {
namespace {

using WinsockTest::ThreadCpuMs;

class TnEngineRequests : public TEngineTest {
 protected:
  TEngine E;
};

// Catches wrong defaults: the component relies on RemotePort 23, Linger on, receiving enabled.
TEST_F(TnEngineRequests, DefaultsAfterCreation) {
  ASSERT_NE(E.H, nullptr);
  EXPECT_EQ(E.Get(tnpRemotePort), 23);
  EXPECT_EQ(E.Get(tnpReceiveEnabled), 1);
  EXPECT_EQ(E.Get(tnpLinger), 1);
  EXPECT_EQ(E.Get(tnpKeepAlive), 0);
  EXPECT_EQ(E.Get(tnpFirewallPort), 80);
  EXPECT_EQ(E.Get(tnpFirewallType), 0);
  EXPECT_EQ(E.Get(tnpConnected), 0);
  EXPECT_EQ(E.GetText(tnpRemoteHost), "");
  EXPECT_EQ(E.Setting("MaxLineLength"), "2048");
  EXPECT_EQ(E.Setting("SocketHandle"), "-1");
  EXPECT_EQ(E.Setting("InBufferSize"), "2048");
  EXPECT_EQ(E.Get(99), 0) << "unknown ids read 0";
}

// Catches refusals with the wrong code or text, and unknown ids accepted silently.
TEST_F(TnEngineRequests, FailuresCarryTheirCodesAndTexts) {
  EXPECT_EQ(E.Set(99, 1), -1);
  EXPECT_EQ(E.LastError(), "[-1] (no description available)");
  EXPECT_EQ(E.SetBytes(tnpOutgoingData, "x"), 10057) << "sending needs a connection";
  EXPECT_EQ(E.LastError(), "[10057] Socket is not connected");
  EXPECT_EQ(E.Set(tnpSendDo, 1), 10057);
  EXPECT_EQ(E.Connect(""), 102);
  EXPECT_EQ(E.LastError(), "The RemoteHost address is invalid (0.0.0.0).");
  EXPECT_EQ(Telnet_GetLastErrorCode(E.H), 102);
  E.Set(tnpRemotePort, 0);
  EXPECT_EQ(E.Connect("127.0.0.1"), 116);
  EXPECT_EQ(E.LastError(), "RemotePort can't be zero. Please specify a valid service port number.");
  EXPECT_EQ(E.SetText(tnpRemoteHost, "no-such-host.invalid"), 11001);
  EXPECT_EQ(E.LastError(), "[11001] Host not found");
  EXPECT_EQ(E.Disconnect(), 0) << "closing what never connected succeeds";
  EXPECT_TRUE(E.Events.empty()) << Join(E.Shown());
  EXPECT_EQ(E.Setting("SocketHandle"), "-1") << "an empty host opens no socket";
}

// Catches firewall targets checked against the remote host's texts.
TEST_F(TnEngineRequests, FirewallTargetChecks) {
  E.Set(tnpFirewallType, tfSOCKS5);
  EXPECT_EQ(E.Connect("127.0.0.1"), 102);
  EXPECT_EQ(E.LastError(), "The FirewallHost address is invalid (0.0.0.0).");
  E.SetText(tnpFirewallHost, "127.0.0.1");
  E.Set(tnpFirewallPort, 0);
  EXPECT_EQ(E.Connect("127.0.0.1"), 116);
  EXPECT_EQ(E.LastError(), "The FirewallPort is invalid (0).");
  EXPECT_EQ(E.GetText(tnpFirewallHost), "127.0.0.1");
  EXPECT_EQ(E.GetText(tnpRemoteHost), "127.0.0.1") << "with a firewall the text is kept as written";
  E.Set(tnpFirewallPort, 8080);
  E.Set(tnpFirewallType, tfSOCKS4);
  EXPECT_EQ(E.Get(tnpFirewallPort), 1080);
  E.Set(tnpFirewallType, tfTunnel);
  EXPECT_EQ(E.Get(tnpFirewallPort), 80);
  E.SetText(tnpFirewallUser, std::string(300, 'u'));
  EXPECT_EQ(E.GetText(tnpFirewallUser).size(), 255u) << "credentials are cut to 255";
}

// Catches settings read or written wrongly, and read-only settings accepting writes.
TEST_F(TnEngineRequests, ConfigSettings) {
  std::string r;
  EXPECT_EQ(E.Config("MaxLineLength=100000", &r), 0);
  EXPECT_EQ(E.Setting("maxlinelength"), "65536") << "names ignore case; values cut to 65536";
  EXPECT_EQ(E.Config("AbsoluteTimeout=YES"), 0);
  EXPECT_EQ(E.Setting("AbsoluteTimeout"), "True");
  E.Config("AbsoluteTimeout=2");
  EXPECT_EQ(E.Setting("AbsoluteTimeout"), "False");
  E.Config("CodePage=-1252xyz");
  EXPECT_EQ(E.Setting("CodePage"), "-1252");
  E.Config("CodePage=");
  EXPECT_EQ(E.Setting("CodePage"), "0");
  E.Config("FirewallData=abc");
  EXPECT_EQ(E.Setting("FirewallData"), "");
  EXPECT_EQ(E.Config("Bogus", &r), -1);
  EXPECT_EQ(r, "");
  EXPECT_EQ(E.LastError(), "Unknown config setting.");
  EXPECT_EQ(E.Config("WinsockPath=X"), -1) << "read-only settings are unknown when written";
  EXPECT_EQ(E.Config("SocketHandle=3"), -1);
}

// Catches Winsock settings that do not tell the truth about the socket layer.
TEST_F(TnEngineRequests, WinsockSettingsReportTheSocketLayer) {
  Winsock::TWSAData d;
  ASSERT_EQ(Winsock::Startup(0x0101, d), 0);
  Winsock::Cleanup();
  EXPECT_EQ(E.Setting("WinsockLoaded"), "True");
  EXPECT_EQ(E.Setting("WinsockStatus"), d.szSystemStatus);
  EXPECT_EQ(E.Setting("WinsockInfo"), d.szDescription);
  EXPECT_EQ(E.Setting("WinsockMaxSockets"), std::to_string(d.iMaxSockets));
  EXPECT_EQ(E.Setting("WinsockMaxDatagramSize"), std::to_string(d.iMaxUdpDg));
  EXPECT_EQ(E.Setting("WinsockPath"), "WSOCK32.DLL");
}

// Catches Timeout stored in the wrong unit, and a LocalHost read that is empty when idle.
TEST_F(TnEngineRequests, TimeoutAndLocalHost) {
  E.Set(tnpTimeout, 7);
  EXPECT_EQ(E.Get(tnpTimeout), 7);
  std::string host;
  Winsock::TWSAData d;
  // Checked: an unstarted library would make the Cleanup below unbalance the engine's own.
  ASSERT_EQ(Winsock::Startup(0x0101, d), 0);
  const int nameError = Winsock::GetHostName(host);
  Winsock::Cleanup();
  ASSERT_EQ(nameError, 0);
  EXPECT_EQ(E.GetText(tnpLocalHost), host.substr(0, 100));
  E.SetText(tnpLocalHost, "127.0.0.1");
  EXPECT_EQ(E.GetText(tnpLocalHost), "127.0.0.1");
}

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

// A port that nobody listens on, and a peer that never completes the connection.
class TnEngineConnect : public TEngineTest {
 protected:
  TEngine E;
};

// Catches a refused connection reported as success or without its OnConnected.
TEST_F(TnEngineConnect, ClosedPortGives10061) {
  E.Set(tnpRemotePort, FreePort());
  EXPECT_EQ(E.Connect("127.0.0.1"), 10061);
  EXPECT_EQ(E.LastError(), "[10061] Connection refused");
  EXPECT_EQ(Join(E.Shown()), "Connected(10061,[10061] Connection refused)");
  EXPECT_EQ(E.Setting("SocketHandle"), "-1") << "the failed socket is closed";
  EXPECT_EQ(E.Get(tnpReceiveEnabled), 1);
}

// Catches busy waiting in Connect, and a close-window message that does not end the wait.
TEST_F(TnEngineConnect, WaitUsesNoCpuAndEndsOnCloseWindow) {
  WinsockTest::TStuckListener stuck;
  ASSERT_TRUE(stuck.Make());
  E.Set(tnpRemotePort, stuck.Port);
  HWND w = AllocateHWnd([](HWND, uint32_t, WPARAM, LPARAM) -> LRESULT { return 0; });
  std::thread closer([w] {
    ::usleep(1000 * 1000);
    PostMessage(w, WM_CLOSE, 0, 0);
  });
  const int64_t cpu0 = ThreadCpuMs();
  const uint32_t t0 = GetTickCount();
  const int r = E.Connect("127.0.0.1");
  const int64_t cpu = ThreadCpuMs() - cpu0;
  const uint32_t elapsed = GetTickCount() - t0;
  closer.join();
  DeallocateHWnd(w);
  EXPECT_EQ(r, 301);
  EXPECT_EQ(E.LastError(), "Interrupted.");
  EXPECT_GE(elapsed, 900u);
  EXPECT_LT(cpu, 250) << "CPU ms used during a " << elapsed << " ms wait";
  EXPECT_EQ(E.Setting("SocketHandle"), "-1");
}

// Catches a quit message swallowed by the wait: the application's loop must still see it.
TEST_F(TnEngineConnect, QuitEndsTheWaitAndIsPostedAgain) {
  WinsockTest::TStuckListener stuck;
  ASSERT_TRUE(stuck.Make());
  E.Set(tnpRemotePort, stuck.Port);
  PostQuitMessage(3);
  EXPECT_EQ(E.Connect("127.0.0.1"), 301);
  TMsg m;
  bool quit = false;
  while (PeekMessage(m))
    if (m.message == WM_QUIT) quit = m.wParam == 3;
  EXPECT_TRUE(quit) << "the quit message is in the queue again";
}

// Catches a waiting Disconnect that tears down a connection still being made: only a
// connected instance is closed and waited for.
TEST_F(TnEngineConnect, WaitingDisconnectLeavesAConnectionInProgress) {
  WinsockTest::TStuckListener stuck;
  ASSERT_TRUE(stuck.Make());
  E.Set(tnpRemotePort, stuck.Port);
  E.SetText(tnpRemoteHost, "127.0.0.1");
  ASSERT_EQ(E.Set(tnpConnected, 1), 0) << E.LastError();  // opens without waiting
  const std::string socket = E.Setting("SocketHandle");
  ASSERT_NE(socket, "-1");
  E.Set(tnpTimeout, 5);  // seconds
  EXPECT_EQ(E.Disconnect(), 0);
  EXPECT_EQ(E.Setting("SocketHandle"), socket) << "the connect carries on";
  E.Set(tnpTimeout, 0);
  EXPECT_EQ(E.Disconnect(), 0);
  EXPECT_EQ(E.Setting("SocketHandle"), "-1") << "without a timeout it closes at once";
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
