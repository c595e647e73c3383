// Firewall traversal: through real proxies on loopback (dante for SOCKS 4 and 5, microsocks for
// SOCKS 5 with user/password, tinyproxy for the CONNECT tunnel with and without Basic
// authorization) in front of busybox telnetd; and against the scripted proxy for the replies
// that real proxies cannot be made to send.
#include "TnPeerProcesses.h"  // first: brings the host's socket headers in order

#include "TnFirewall.h"

namespace TnTest {
namespace {

// A proxy of our own choosing in front of busybox telnetd.
class TnFirewallRealProxy : public TEngineTest {
 protected:
  void SetUp() override {
    const std::string e = Server.Start("Welcome to Titanium");
    ASSERT_TRUE(e.empty()) << e;
  }
  std::string StartProxy(const std::vector<std::string>& args, uint16_t port) {
    if (std::string e = Proxy.Start(args); !e.empty()) return e;
    if (!WaitListening(port)) return args[0] + " does not listen on port " + std::to_string(port);
    return std::string();
  }
  // Connects through the proxy and waits for the greeting.
  void ExpectGreeting(int type, uint16_t proxyPort, const std::string& host = "127.0.0.1") {
    ASSERT_EQ(E.Set(tnpFirewallType, type), 0);
    ASSERT_EQ(E.SetText(tnpFirewallHost, "127.0.0.1"), 0);
    ASSERT_EQ(E.Set(tnpFirewallPort, proxyPort), 0);
    ASSERT_EQ(E.Set(tnpRemotePort, Server.Port), 0);
    ASSERT_EQ(E.Connect(host), 0) << E.LastError() << " / " << Join(E.Shown());
    EXPECT_EQ(E.Get(tnpConnected), 1);
    EXPECT_TRUE(E.PumpUntil([&] { return E.Data().find("Welcome to Titanium") != std::string::npos; }))
        << Join(E.Shown());
    EXPECT_EQ(E.Disconnect(), 0);
    const std::string shown = Join(E.Shown());
    EXPECT_EQ(shown.find("Status(Firewall connection complete.,0,OK) | Status(Remote host connection complete.,0,OK) | "
                         "Connected(0,OK)"),
              0u)
        << shown;
    EXPECT_NE(shown.find("Status(Firewall host disconnected.,0,OK) | Status(Remote host disconnected.,0,OK) | "
                         "Disconnected(0,OK)"),
              std::string::npos)
        << shown;
  }
  std::string DanteConfig(uint16_t port) {
    return Dir.Write("dante.conf", "logoutput: " + Dir.Path() +
                                       "/danted.log\ninternal: 127.0.0.1 port = " + std::to_string(port) +
                                       "\nexternal: 127.0.0.1\nsocksmethod: none\nclientmethod: none\n"
                                       "user.privileged: root\nuser.unprivileged: root\n"
                                       "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
                                       "socks pass { from: 127.0.0.0/8 to: 0.0.0.0/0 protocol: tcp }\n");
  }
  std::string TinyproxyConfig(uint16_t port, const std::string& auth) {
    return Dir.Write("tinyproxy.conf", "Port " + std::to_string(port) +
                                           "\nListen 127.0.0.1\nTimeout 60\nMaxClients 10\n" + "ConnectPort " +
                                           std::to_string(Server.Port) + "\n" + auth);
  }
  TTelnetServer Server;
  TTempDir Dir;
  TChild Proxy;
  TEngine E;
};

// Catches a wrong SOCKS 4 request (port or address order) or a lost first block of data.
TEST_F(TnFirewallRealProxy, DanteSocks4) {
  const uint16_t port = FreePort();
  const std::string e = StartProxy({FindProgram("danted"), "-f", DanteConfig(port)}, port);
  ASSERT_TRUE(e.empty()) << e;
  ExpectGreeting(tfSOCKS4, port);
}

// Catches a wrong SOCKS 5 greeting or request with a locally resolved address.
TEST_F(TnFirewallRealProxy, DanteSocks5) {
  const uint16_t port = FreePort();
  const std::string e = StartProxy({FindProgram("danted"), "-f", DanteConfig(port)}, port);
  ASSERT_TRUE(e.empty()) << e;
  ExpectGreeting(tfSOCKS5, port);
}

// Catches a name after "*" not handed to the proxy to resolve.
TEST_F(TnFirewallRealProxy, DanteSocks5NameResolvedByTheProxy) {
  const uint16_t port = FreePort();
  const std::string e = StartProxy({FindProgram("danted"), "-f", DanteConfig(port)}, port);
  ASSERT_TRUE(e.empty()) << e;
  ExpectGreeting(tfSOCKS5, port, "*localhost");
}

// Catches a wrong user/password sub-negotiation.
TEST_F(TnFirewallRealProxy, MicrosocksSocks5WithUserAndPassword) {
  const uint16_t port = FreePort();
  const std::string e = StartProxy(
      {FindProgram("microsocks"), "-i", "127.0.0.1", "-p", std::to_string(port), "-u", "alice", "-P", "s3cret"}, port);
  ASSERT_TRUE(e.empty()) << e;
  ASSERT_EQ(E.SetText(tnpFirewallUser, "alice"), 0);
  ASSERT_EQ(E.SetText(tnpFirewallPassword, "s3cret"), 0);
  ExpectGreeting(tfSOCKS5, port);
}

// Catches a wrong password being accepted as success.
TEST_F(TnFirewallRealProxy, MicrosocksRejectsAWrongPassword) {
  const uint16_t port = FreePort();
  const std::string e = StartProxy(
      {FindProgram("microsocks"), "-i", "127.0.0.1", "-p", std::to_string(port), "-u", "alice", "-P", "s3cret"}, port);
  ASSERT_TRUE(e.empty()) << e;
  E.Set(tnpFirewallType, tfSOCKS5);
  E.SetText(tnpFirewallHost, "127.0.0.1");
  E.Set(tnpFirewallPort, port);
  E.Set(tnpRemotePort, Server.Port);
  E.SetText(tnpFirewallUser, "alice");
  E.SetText(tnpFirewallPassword, "wrong");
  EXPECT_EQ(E.Connect("127.0.0.1"), 118);
  EXPECT_EQ(E.LastError().rfind("firewall authentication failed: ", 0), 0u) << E.LastError();
  EXPECT_EQ(E.Get(tnpConnected), 0);
}

// Catches a malformed CONNECT request or a tunnel reply taken for telnet data.
TEST_F(TnFirewallRealProxy, TinyproxyTunnel) {
  const uint16_t port = FreePort();
  const std::string e = StartProxy({FindProgram("tinyproxy"), "-d", "-c", TinyproxyConfig(port, "")}, port);
  ASSERT_TRUE(e.empty()) << e;
  ExpectGreeting(tfTunnel, port);
  EXPECT_EQ(E.Data().find("HTTP/"), std::string::npos) << "the proxy's reply is not telnet data";
}

// Catches a missing or wrongly encoded Proxy-authorization header.
TEST_F(TnFirewallRealProxy, TinyproxyTunnelWithBasicAuth) {
  const uint16_t port = FreePort();
  const std::string e =
      StartProxy({FindProgram("tinyproxy"), "-d", "-c", TinyproxyConfig(port, "BasicAuth bob pa55\n")}, port);
  ASSERT_TRUE(e.empty()) << e;
  ASSERT_EQ(E.SetText(tnpFirewallUser, "bob"), 0);
  ASSERT_EQ(E.SetText(tnpFirewallPassword, "pa55"), 0);
  ExpectGreeting(tfTunnel, port);
}

// Catches a refused tunnel (407 without credentials) reported as a connection.
TEST_F(TnFirewallRealProxy, TinyproxyRefusesWithoutCredentials) {
  const uint16_t port = FreePort();
  const std::string e =
      StartProxy({FindProgram("tinyproxy"), "-d", "-c", TinyproxyConfig(port, "BasicAuth bob pa55\n")}, port);
  ASSERT_TRUE(e.empty()) << e;
  E.Set(tnpFirewallType, tfTunnel);
  E.SetText(tnpFirewallHost, "127.0.0.1");
  E.Set(tnpFirewallPort, port);
  E.Set(tnpRemotePort, Server.Port);
  EXPECT_EQ(E.Connect("127.0.0.1"), 118);
  EXPECT_NE(E.LastError().find("407"), std::string::npos) << E.LastError();
  E.Disconnect();
}

// The scripted proxy: one reply each.
class TnFirewallScripted : public TEngineTest {
 protected:
  void Start(int type, const std::vector<std::string>& steps) {
    const std::string e = Peer.Start(steps);
    ASSERT_TRUE(e.empty()) << e;
    E.Set(tnpFirewallType, type);
    E.SetText(tnpFirewallHost, "127.0.0.1");
    E.Set(tnpFirewallPort, Peer.Port);
    E.Set(tnpRemotePort, 0x1234);
  }
  // Connect must fail with 118 and `text`, through OnError and OnConnected, then close.
  void ExpectFailure(const std::string& host, const std::string& text) { ExpectFailure(E, host, text); }
  static void ExpectFailure(TEngine& e, const std::string& host, const std::string& text) {
    EXPECT_EQ(e.Connect(host), 118);
    EXPECT_EQ(e.LastError(), text);
    EXPECT_EQ(Join(e.Shown()), "Status(Firewall connection complete.,0,OK) | Error(118," + text + ") | Connected(118," +
                                   text +
                                   ") | Status(Firewall host disconnected.,0,OK) | "
                                   "Status(Remote host disconnected.,0,OK) | Disconnected(0,OK)");
    EXPECT_EQ(e.Get(tnpConnected), 0);
    EXPECT_EQ(e.Setting("SocketHandle"), "-1");
  }
  TScriptedPeer Peer;
  TEngine E;
};

const std::string kSocks4Request =
    "04011234"
    "7f000001"
    "00";  // no user

// Catches a SOCKS 4 reply code mapped to the wrong text.
TEST_F(TnFirewallScripted, Socks4ReplyCodes) {
  const std::pair<const char*, const char*> cases[] = {
      {"5b", "firewall request rejected or failed"},
      {"5c", "firewall request rejected because identd is not available"},
      {"5d", "firewall request rejected because identd reports different user"},
      {"07", "unknown firewall error: 7"},
  };
  for (const auto& [code, text] : cases) {
    SCOPED_TRACE(code);
    TScriptedPeer peer;
    ASSERT_TRUE(peer.Start({"expect:9", std::string("send:00") + code + "000000000000", "hold"}).empty());
    TEngine e;
    e.Set(tnpFirewallType, tfSOCKS4);
    e.SetText(tnpFirewallHost, "127.0.0.1");
    e.Set(tnpFirewallPort, peer.Port);
    e.Set(tnpRemotePort, 0x1234);
    EXPECT_EQ(e.Connect("127.0.0.1"), 118);
    EXPECT_EQ(e.LastError(), text);
    EXPECT_EQ(e.Shown().back(), "Disconnected(0,OK)") << Join(e.Shown());
    EXPECT_EQ(Hex(peer.Received()), kSocks4Request);
  }
}

// Catches telnet data glued to a SOCKS 4 reply being dropped or parsed as part of the reply.
TEST_F(TnFirewallScripted, Socks4ReplyFollowedByDataInOneBlock) {
  E.SetText(tnpFirewallUser, "joe");
  Start(tfSOCKS4, {"expect:12",
                   "send:005a000000000000"
                   "6869"
                   "fffb01"
                   "2121",
                   "hold"});
  ASSERT_EQ(E.Connect("127.0.0.1"), 0) << E.LastError();
  EXPECT_FALSE(E.Has(tnevDataIn)) << "no data inside Connect";
  ASSERT_TRUE(E.PumpUntil([&] { return E.Data() == "hi!!"; })) << Join(E.Shown());
  EXPECT_NE(Join(E.Shown()).find("DataIn(hi) | Will(1) | DataIn(!!)"), std::string::npos) << Join(E.Shown());
  E.Disconnect();
  EXPECT_EQ(Hex(Peer.Received()),
            "04011234"
            "7f000001"
            "6a6f65"
            "00");
}

// Catches data glued to the reply being stranded when no Connect waits to post a read (the
// connection started by writing Connected).
TEST_F(TnFirewallScripted, Socks4DataAfterReplyWithoutAWaitingConnect) {
  Start(tfSOCKS4, {"expect:9", "send:005a0000000000006869", "hold"});
  E.SetText(tnpRemoteHost, "127.0.0.1");
  ASSERT_EQ(E.Set(tnpConnected, 1), 0) << E.LastError();
  EXPECT_EQ(E.Get(tnpConnected), 0) << "not up until the negotiation ends";
  ASSERT_TRUE(E.PumpUntil([&] { return E.Data() == "hi"; })) << Join(E.Shown());
  EXPECT_EQ(E.Get(tnpConnected), 1);
  E.Disconnect();
}

// Catches a SOCKS 5 reply code mapped to the wrong text.
TEST_F(TnFirewallScripted, Socks5ReplyCodes) {
  const char* texts[] = {nullptr,
                         "general SOCKS server failure",
                         "connection not allowed by ruleset",
                         "network unreachable",
                         "host unreachable",
                         "connection refused",
                         "TTL expired",
                         "command not supported",
                         "address type not supported",
                         "unknown firewall error: 9"};
  for (int code = 1; code <= 9; ++code) {
    SCOPED_TRACE(code);
    TScriptedPeer peer;
    char reply[64];
    std::snprintf(reply, sizeof reply, "send:05%02x00017f0000010000", code);
    ASSERT_TRUE(peer.Start({"expect:3", "send:0500", "expect:10", reply, "hold"}).empty());
    TEngine e;
    e.Set(tnpFirewallType, tfSOCKS5);
    e.SetText(tnpFirewallHost, "127.0.0.1");
    e.Set(tnpFirewallPort, peer.Port);
    e.Set(tnpRemotePort, 0x1234);
    EXPECT_EQ(e.Connect("127.0.0.1"), 118);
    EXPECT_EQ(e.LastError(), texts[code]);
    EXPECT_EQ(Hex(peer.Received()),
              "050100"
              "05010001"
              "7f000001"
              "1234");
  }
}

// Catches a user without a password still offering the user/password method.
TEST_F(TnFirewallScripted, Socks5UserWithoutPasswordOffersNoAuthenticationOnly) {
  E.SetText(tnpFirewallUser, "joe");
  Start(tfSOCKS5, {"expect:3", "send:05ff", "hold"});
  ExpectFailure("127.0.0.1", "no acceptable firewall authentication methods");
  EXPECT_EQ(Hex(Peer.Received()), "050100");
}

// Catches an unknown method accepted.
TEST_F(TnFirewallScripted, Socks5UnknownMethod) {
  Start(tfSOCKS5, {"expect:3", "send:0503", "hold"});
  ExpectFailure("127.0.0.1", "unknown firewall authentication method");
}

// Catches a refused login accepted, or the wrong bytes of the user/password message.
TEST_F(TnFirewallScripted, Socks5AuthenticationFailure) {
  E.SetText(tnpFirewallUser, "u");
  E.SetText(tnpFirewallPassword, "pw");
  Start(tfSOCKS5, {"expect:4", "send:0502", "expect:6", "send:0101", "hold"});
  ExpectFailure("127.0.0.1", "firewall authentication failed: 1");
  EXPECT_EQ(Hex(Peer.Received()),
            "05020002"
            "010175"
            "027077");
}

// Catches a reply that arrives one byte at a time being judged before it is complete.
TEST_F(TnFirewallScripted, Socks5RepliesOneByteAtATime) {
  E.SetText(tnpFirewallUser, "u");
  E.SetText(tnpFirewallPassword, "pw");
  Start(tfSOCKS5, {"expect:4", "drip:0502", "expect:6", "drip:0100", "expect:10", "drip:05000001000000000000",
                   "text:ok", "hold"});
  ASSERT_EQ(E.Connect("127.0.0.1"), 0) << E.LastError() << Join(E.Shown());
  EXPECT_TRUE(E.PumpUntil([&] { return E.Data() == "ok"; })) << Join(E.Shown());
  E.Disconnect();
}

// Catches a name after "*" not sent as a domain name, and a name too long for its length byte
// being sent with a truncated length instead of failing.
TEST_F(TnFirewallScripted, Socks5NamesAndTheirLimit) {
  Start(tfSOCKS5, {"expect:3", "send:0500", "expect:16", "send:05000001000000000000", "hold"});
  ASSERT_EQ(E.Connect("*example.org"), 0) << E.LastError();
  E.Disconnect();
  EXPECT_EQ(Hex(Peer.Received()),
            "050100"
            "05010003"
            "0b" +
                Hex("example.org") + "1234");

  TScriptedPeer peer;
  ASSERT_TRUE(peer.Start({"expect:3", "send:0500", "hold"}).empty());
  TEngine e;
  e.Set(tnpFirewallType, tfSOCKS5);
  e.SetText(tnpFirewallHost, "127.0.0.1");
  e.Set(tnpFirewallPort, peer.Port);
  EXPECT_EQ(e.Connect("*" + std::string(256, 'n')), 118);
  EXPECT_NE(e.LastError().find("too long"), std::string::npos) << e.LastError();
  EXPECT_EQ(Hex(peer.Received()), "050100") << "no request goes out";
}

// Catches a failed local lookup sent as address 0 instead of failing.
TEST_F(TnFirewallScripted, Socks5LocalLookupFailure) {
  Start(tfSOCKS5, {"expect:3", "send:0500", "hold"});
  EXPECT_EQ(E.Connect("no-such-host.invalid"), 118);
  EXPECT_NE(E.LastError().find("11001"), std::string::npos) << E.LastError();
  EXPECT_EQ(E.Shown().back(), "Disconnected(0,OK)") << Join(E.Shown());
}

// Catches an empty remote host refused locally: like any host text it is resolved (to
// address 0) and the request goes out; the proxy's answer decides.
TEST_F(TnFirewallScripted, EmptyRemoteHostAsksTheProxyForAddressZero) {
  Start(tfSOCKS4, {"expect:9", "send:005b000000000000", "hold"});
  EXPECT_EQ(E.Connect(""), 118);
  EXPECT_EQ(E.LastError(), "firewall request rejected or failed");
  EXPECT_EQ(Hex(Peer.Received()),
            "04011234"
            "00000000"
            "00");

  TScriptedPeer peer;
  ASSERT_TRUE(peer.Start({"expect:3", "send:0500", "expect:10", "send:05040001000000000000", "hold"}).empty());
  TEngine e;
  e.Set(tnpFirewallType, tfSOCKS5);
  e.SetText(tnpFirewallHost, "127.0.0.1");
  e.Set(tnpFirewallPort, peer.Port);
  e.Set(tnpRemotePort, 0x1234);
  EXPECT_EQ(e.Connect(""), 118);
  EXPECT_EQ(e.LastError(), "host unreachable");
  EXPECT_EQ(Hex(peer.Received()),
            "050100"
            "05010001"
            "00000000"
            "1234");
}

// Catches a timed-out negotiation reported as "Interrupted." because a handler of the close
// events that follow made a request of its own.
TEST_F(TnFirewallScripted, TimeoutSurvivesRequestsFromCloseHandlers) {
  Start(tfSOCKS5, {"expect:3", "hold"});  // the greeting is never answered
  E.Set(tnpTimeout, 1);                   // seconds
  E.OnEvent = [&](const TEvent& ev) {
    if (ev.Id == tnevDisconnected) E.Get(tnpConnected), E.Set(tnpReceiveEnabled, 1);
  };
  EXPECT_EQ(E.Connect("127.0.0.1"), 301);
  EXPECT_EQ(E.LastError(), "Timeout.");
  EXPECT_TRUE(E.Has(tnevDisconnected)) << Join(E.Shown());
  E.OnEvent = nullptr;
}

// Catches a proxy that hangs up before its answer is complete reported as "Interrupted."
// instead of a firewall failure, on every road, whether it closes or resets.
TEST_F(TnFirewallScripted, ProxyThatHangsUpIsAFirewallFailure) {
  const struct {
    const char* What;
    int Type;
    std::vector<std::string> Steps;
  } cases[] = {
      {"SOCKS 4, no reply", tfSOCKS4, {"expect:9", "close"}},
      {"SOCKS 5, no reply", tfSOCKS5, {"expect:3", "close"}},
      {"SOCKS 5, reset", tfSOCKS5, {"expect:3", "reset"}},
      {"SOCKS 5, half a reply to the request", tfSOCKS5, {"expect:3", "send:0500", "expect:10", "send:0500", "close"}},
      {"tunnel, no reply", tfTunnel, {"expect-line", "close"}},
      {"tunnel, status line only", tfTunnel, {"expect-line", "text:HTTP/1.0 200 OK\\r\\n", "close"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    TScriptedPeer peer;
    ASSERT_TRUE(peer.Start(c.Steps).empty());
    TEngine e;
    e.Set(tnpFirewallType, c.Type);
    e.SetText(tnpFirewallHost, "127.0.0.1");
    e.Set(tnpFirewallPort, peer.Port);
    e.Set(tnpRemotePort, 0x1234);
    ExpectFailure(e, "127.0.0.1", "firewall closed the connection");
  }
}

// Catches a tunnel success missing the data that followed the reply, or the wrong request.
TEST_F(TnFirewallScripted, TunnelSuccessHandsTheRestToTheParser) {
  Start(tfTunnel, {"expect-line", "text:HTTP/1.0 200 Connection established\\r\\n\\r\\nhello\\xff\\xfd\\x01", "hold"});
  ASSERT_EQ(E.Connect("modem.example"), 0) << E.LastError();
  ASSERT_TRUE(E.PumpUntil([&] { return E.Has(tnevDo); })) << Join(E.Shown());
  EXPECT_EQ(E.Data(), "hello");
  E.Disconnect();
  EXPECT_EQ(Peer.Received(), "CONNECT modem.example:4660 HTTP/1.0\r\n\r\n");
}

// Catches a refused tunnel closing the socket, or reported without the proxy's reply.
TEST_F(TnFirewallScripted, Tunnel403LeavesTheSocketOpen) {
  Start(tfTunnel, {"expect-line", "text:HTTP/1.0 403 Forbidden\\r\\n\\r\\n", "hold"});
  EXPECT_EQ(E.Connect("127.0.0.1"), 118);
  EXPECT_EQ(E.LastError(), "HTTP/1.0 403 Forbidden\r\n\r\n");
  EXPECT_EQ(E.Get(tnpConnected), 1) << "the caller must close it";
  EXPECT_FALSE(E.Has(tnevDisconnected));
  EXPECT_EQ(E.Disconnect(), 0);
  EXPECT_EQ(E.Shown().back(), "Disconnected(0,OK)");
}

// Catches a status judged from an incomplete reply, when the reply comes one byte at a time.
TEST_F(TnFirewallScripted, TunnelReplyOneByteAtATime) {
  E.SetText(tnpFirewallUser, "u");
  Start(tfTunnel, {"expect-line", "drip:" + Hex("HTTP/1.1   200 OK\r\n\r\n"), "hold"});
  ASSERT_EQ(E.Connect("h"), 0) << E.LastError();
  E.Disconnect();
  EXPECT_EQ(Peer.Received(), "CONNECT h:4660 HTTP/1.0\r\nProxy-authorization: Basic dTo=\r\n\r\n");
}

// Catches a reply without its blank line growing the accumulator without end.
TEST_F(TnFirewallScripted, TunnelReplyWithoutEndFailsAfterALimit) {
  Start(tfTunnel, {"expect-line", "text:HTTP/1.0 200 OK\\r\\n", "send:" + Hex(std::string(40000, 'x')), "hold"});
  EXPECT_EQ(E.Connect("h"), 118);
  EXPECT_EQ(E.LastError(), "firewall reply too long");
  EXPECT_EQ(E.Get(tnpConnected), 0);
}

}  // namespace
}  // namespace TnTest
