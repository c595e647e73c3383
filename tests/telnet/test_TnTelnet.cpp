// The component TTnTelnet: construction with and without an engine, the defaults it writes,
// exceptions ("code: text") through its factory, event conversion, and the application's probe
// (Connect, a 2000 ms pause, Disconnect) against busybox telnetd.
#include "TnTestSupport.h"  // first: brings the host's socket headers in order

#include "Headless.h"
#include "TnTelnet.h"

namespace TnTest {
namespace {

// Empties the engine table for one scope, as a program whose engine failed to load.
class TNoEngine {
 public:
  TNoEngine() : FSaved(TnEngineEntryPoints()) { TnEngineEntryPoints() = TTnEngineEntryPoints(); }
  ~TNoEngine() { TnEngineEntryPoints() = FSaved; }

 private:
  TTnEngineEntryPoints FSaved;
};

// Sets the engine's RemotePort, which the component does not publish.
void SetRemotePort(TTnTelnet& t, uint16_t port) { ASSERT_EQ(Telnet_Set(t.Handle(), tnpRemotePort, 0, port, 0), 0); }

class TnTelnetComponent : public TEngineTest {};

// Catches a missing engine going unnoticed until the first call.
TEST_F(TnTelnetComponent, MissingEngineFailsConstructionWithMinusOne) {
  TNoEngine none;
  TComponent owner(nullptr);
  try {
    TTnTelnet t(&owner);
    FAIL() << "construction succeeded without an engine";
  } catch (const ETnTelnet& e) {
    EXPECT_EQ(e.Code, -1);
    EXPECT_EQ(e.Message(), "-1: Telnet engine: Error creating component");
  }
  EXPECT_EQ(owner.ComponentCount(), 0) << "the failed component is not left with its owner";
}

// Catches engine calls made through empty slots instead of being skipped.
TEST_F(TnTelnetComponent, MissingEntryPointsAreGuarded) {
  TTnTelnet t(nullptr);
  TTnEngineEntryPoints saved = TnEngineEntryPoints();
  TnEngineEntryPoints().Get = nullptr;
  TnEngineEntryPoints().Set = nullptr;
  TnEngineEntryPoints().Do = nullptr;
  EXPECT_EQ(t.RemoteHost(), "");
  EXPECT_EQ(t.FirewallPort(), 0);
  EXPECT_FALSE(t.Linger());
  EXPECT_NO_THROW(t.SetRemoteHost("x"));
  EXPECT_NO_THROW(t.Connect(""));
  EXPECT_NO_THROW(t.Disconnect());
  TnEngineEntryPoints() = saved;
}

// Catches wrong defaults written at creation, and a FirewallType write that keeps the port.
TEST_F(TnTelnetComponent, DefaultsAndFirewallPortReset) {
  TTnTelnet t(nullptr);
  EXPECT_EQ(t.FirewallHost(), "");
  EXPECT_EQ(t.FirewallPort(), 80);
  EXPECT_EQ(t.FirewallType(), fwNone);
  EXPECT_TRUE(t.Linger());
  EXPECT_FALSE(t.KeepAlive());
  EXPECT_FALSE(t.Transparent());
  EXPECT_EQ(t.Timeout(), 0);
  EXPECT_EQ(t.LocalPort(), 0);
  // An untouched component stores exactly "FirewallPort = 80", as the application's form does.
  auto stored = t.StoredProperties();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0], std::make_pair(std::string("FirewallPort"), std::string("80")));
  t.SetFirewallPort(8080);
  t.SetFirewallType(fwSOCKS4);
  EXPECT_EQ(t.FirewallPort(), 1080);
  t.SetFirewallType(fwTunnel);
  EXPECT_EQ(t.FirewallPort(), 80);
  t.SetFirewallHost("127.0.0.1");
  EXPECT_EQ(t.FirewallHost(), "127.0.0.1");
}

// Catches the wrong exception class or message, and a write failure that does not raise.
TEST_F(TnTelnetComponent, FailuresRaiseETnTelnetWithCodeAndText) {
  TTnTelnet t(nullptr);
  try {
    t.Connect("");
    FAIL() << "an empty host connected";
  } catch (const ETnTelnet& e) {
    EXPECT_EQ(e.Code, 102);
    EXPECT_EQ(e.Message(), "102: The RemoteHost address is invalid (0.0.0.0).");
  }
  try {
    t.SetRemoteHost("no-such-host.invalid");
    FAIL() << "an unknown name was accepted";
  } catch (const ETnError& e) {
    EXPECT_EQ(e.Code, 11001);
    EXPECT_EQ(e.Message(), "11001: [11001] Host not found");
    EXPECT_NE(dynamic_cast<const ETnTelnet*>(&e), nullptr) << "raised through the component's factory";
  }
  EXPECT_NO_THROW(t.Disconnect());
}

// Catches a refused connection reported without its OnConnected or with another text.
TEST_F(TnTelnetComponent, ClosedPortRaises10061AfterOnConnected) {
  TTnTelnet t(nullptr);
  SetRemotePort(t, FreePort());
  std::vector<std::string> seen;
  t.OnConnected = [&](TObject* s, int code, std::string text) {
    EXPECT_EQ(s, &t);
    seen.push_back(std::to_string(code) + " " + text);
  };
  try {
    t.Connect("127.0.0.1");
    FAIL() << "connected to a closed port";
  } catch (const ETnTelnet& e) {
    EXPECT_EQ(e.Code, 10061);
    EXPECT_EQ(e.Message(), "10061: [10061] Connection refused");
  }
  EXPECT_EQ(Join(seen), "10061 [10061] Connection refused");
}

// Catches a handler's exception unwinding through the engine (leaving it mid-receive) instead
// of being raised when the component's call returns.
TEST_F(TnTelnetComponent, HandlerExceptionIsRaisedWhenTheCallReturns) {
  TScriptedPeer peer;
  ASSERT_TRUE(peer.Start({"text:abc", "hold"}).empty());
  TTnTelnet t(nullptr);
  SetRemotePort(t, peer.Port);
  t.OnDataIn = [](TObject*, std::string) { throw Exception("handler failed"); };
  int disconnected = 0;
  t.OnDisconnected = [&](TObject*, int, std::string) { ++disconnected; };
  t.Connect("127.0.0.1");
  ::usleep(300 * 1000);
  try {
    t.Disconnect();
    FAIL() << "the handler's exception was lost";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "handler failed");
  }
  EXPECT_EQ(disconnected, 1) << "the close went on despite the handler";
  EXPECT_NO_THROW(t.Disconnect());
}

// Catches a handler's exception, raised by an event the message loop dispatched, being lost
// instead of reaching the application's standard error report.
TEST_F(TnTelnetComponent, HandlerExceptionInTheLoopReachesTheErrorReport) {
  TScopedApplication app;
  std::vector<std::string> boxes;
  Application->OnMessageBox = [&](const TMessageBoxRecord& r) {
    boxes.push_back(r.Text);
    return IDOK;
  };
  TScriptedPeer peer;
  ASSERT_TRUE(peer.Start({"text:abc", "hold"}).empty());
  TTnTelnet t(nullptr);
  SetRemotePort(t, peer.Port);
  t.OnDataIn = [](TObject*, std::string) { throw Exception("bad data"); };
  t.Connect("127.0.0.1");
  EXPECT_TRUE(PumpUntil([&] { return !boxes.empty(); }, 5000));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "bad data.");
  std::string more;
  t.OnDataIn = [&](TObject*, std::string text) { more += text; };
  EXPECT_NO_THROW(t.Disconnect());
}

// The application's probe against busybox telnetd.
class TnTelnetProbe : public TEngineTest {
 protected:
  void SetUp() override {
    const std::string e = Server.Start("Welcome to Titanium");
    ASSERT_TRUE(e.empty()) << e;
  }
  TTelnetServer Server;
};

// Catches the greeting arriving outside Disconnect or after OnDisconnected, and a second
// Connect that is not refused.
TEST_F(TnTelnetProbe, ConnectPauseDisconnectDeliversTheGreeting) {
  TTnTelnet t(nullptr);
  SetRemotePort(t, Server.Port);
  std::vector<std::string> log;
  bool inDisconnect = false;
  t.OnDataIn = [&](TObject*, std::string text) { log.push_back((inDisconnect ? "in:" : "out:") + text); };
  t.OnDisconnected = [&](TObject*, int code, std::string text) {
    log.push_back("disconnected " + std::to_string(code) + " " + text);
  };
  t.OnWill = [&](TObject*, int o) { log.push_back("will " + std::to_string(o)); };
  t.Connect("127.0.0.1");
  try {
    t.Connect("127.0.0.1");
    FAIL() << "a second Connect was accepted";
  } catch (const ETnTelnet& e) {
    EXPECT_EQ(e.Code, 101);
    EXPECT_EQ(e.Message(), "101: You cannot change the RemoteHost at this time. A connection is in progress.");
  }
  Sleep(2000);
  inDisconnect = true;
  t.Disconnect();
  inDisconnect = false;
  const std::string all = Join(log);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "disconnected 0 OK") << all;
  EXPECT_NE(all.find("will 1"), std::string::npos) << all;
  bool greeting = false;
  for (const std::string& s : log) {
    EXPECT_NE(s.rfind("out:", 0), 0u) << "data outside Disconnect: " << s;
    greeting |= s.find("Welcome to Titanium") != std::string::npos;
  }
  EXPECT_TRUE(greeting) << all;
}

// Catches NUL bytes cutting OnDataIn's text, and Transparent not reaching the parser.
TEST_F(TnTelnetComponent, DataInKeepsNulAndTransparentKeepsIac) {
  TScriptedPeer peer;
  ASSERT_TRUE(peer.Start({"send:4100420dfffb01", "hold"}).empty());
  TTnTelnet t(nullptr);
  SetRemotePort(t, peer.Port);
  t.SetTransparent(true);
  std::string got;
  t.OnDataIn = [&](TObject*, std::string text) { got += text; };
  t.Connect("127.0.0.1");
  EXPECT_TRUE(PumpUntil([&] { return got.size() >= 7; }, 5000));
  EXPECT_EQ(Hex(got), "4100420dfffb01");
  t.Disconnect();
}

// Catches events raised into an empty handler slot.
TEST_F(TnTelnetComponent, UnassignedEventsAreDropped) {
  TScriptedPeer peer;
  ASSERT_TRUE(peer.Start({"send:fffd01fffa1801fff06869", "close"}).empty());
  TTnTelnet t(nullptr);
  SetRemotePort(t, peer.Port);
  EXPECT_NO_THROW(t.Connect("127.0.0.1"));
  std::string sub;
  t.OnSubOption = [&](TObject*, std::string s) { sub = s; };
  EXPECT_TRUE(PumpUntil([&] { return !sub.empty(); }, 5000));
  EXPECT_EQ(Hex(sub), "fffa1801ff");
  t.Disconnect();
}

}  // namespace
}  // namespace TnTest
