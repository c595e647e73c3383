// The component TTnTelnet against peers that run as processes of their own: event conversion
// and handler exceptions against the scripted peer, and the application's probe (Connect, a
// 2000 ms pause, Disconnect) against busybox telnetd.
#include "TnPeerProcesses.h"  // first: brings the host's socket headers in order

#include "Headless.h"
#include "TnTelnet.h"

namespace TnTest {
namespace {

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

}  // namespace
}  // namespace TnTest
