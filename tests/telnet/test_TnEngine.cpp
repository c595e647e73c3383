// The engine through its C entry points: requests and their error codes and texts, the
// settings, and connections that are refused or never complete. Connections to real and
// scripted peers are in test_TnEnginePeers.cpp.
#include <chrono>
#include <thread>

#include "CpuTime.h"
#include "Messages.h"
#include "TnTestSupport.h"
#include "Winsock.h"

namespace TnTest {
namespace {

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
  TStuckListener stuck;
  ASSERT_TRUE(stuck.Make());
  E.Set(tnpRemotePort, stuck.Port);
  HWND w = AllocateHWnd([](HWND, uint32_t, WPARAM, LPARAM) -> LRESULT { return 0; });
  std::thread closer([w] {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    PostMessage(w, WM_CLOSE, 0, 0);
  });
  const double cpu0 = ProcessCpuMs();
  const uint32_t t0 = GetTickCount();
  const int r = E.Connect("127.0.0.1");
  const double cpu = ProcessCpuMs() - cpu0;
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
  TStuckListener stuck;
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
  TStuckListener stuck;
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

}  // namespace
}  // namespace TnTest
