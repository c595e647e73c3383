// The component TTnTelnet: construction with and without an engine, the defaults it writes,
// exceptions ("code: text") through its factory. Event conversion against peers is in
// test_TnTelnetPeers.cpp.
#include "TnTelnet.h"
#include "TnTestSupport.h"

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

}  // namespace
}  // namespace TnTest
