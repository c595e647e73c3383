// Firewall traversal for one engine instance: the firewall settings and the negotiation that
// runs over a freshly connected socket before the telnet connection counts as established —
// an HTTP/1.0 CONNECT tunnel (optionally with Basic proxy authorization), SOCKS 4, or SOCKS 5
// with the user/password method. It is a state machine fed with the bytes that arrive; it sends
// and reports through a sink that the instance implements, and owns no socket.
//
// Threads: the instance's thread. Ownership: the instance owns its TTnFirewall; the firewall
// owns its settings and its reply accumulator, which is bounded (kReplyLimit) so that a proxy
// cannot make it grow without end.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum TTnFirewallType : int { tfNone = 0, tfTunnel = 1, tfSOCKS4 = 2, tfSOCKS5 = 3 };

constexpr int kTnFirewallFailure = 118;

// What the negotiation asks of its instance.
class TTnFirewallSink {
 public:
  virtual ~TTnFirewallSink() = default;
  // One send attempt on the connected socket; 0 or the socket error.
  virtual int FirewallSend(const uint8_t* p, size_t n) = 0;
  // The negotiation succeeded; `rest` is what followed the firewall's reply (telnet data).
  virtual void FirewallSucceeded(const uint8_t* rest, size_t n) = 0;
  // The negotiation failed with code 118 and `text`; `close` says whether the socket goes.
  virtual void FirewallFailed(const std::string& text, bool close) = 0;
};

class TTnFirewall {
 public:
  static constexpr size_t kMaxCredential = 255;
  // A proxy reply longer than this without its end is a failure.
  static constexpr size_t kReplyLimit = 16384;

  TTnFirewallType Type() const { return FType; }
  // Sets the type and resets the port: 1080 for the SOCKS types, else 80.
  void SetType(int type);
  uint32_t Addr() const { return FAddr; }
  void SetAddr(uint32_t addrNetworkOrder) { FAddr = addrNetworkOrder; }
  int Port() const { return FPort; }
  void SetPort(int port) { FPort = port; }
  const std::string& User() const { return FUser; }
  void SetUser(const std::string& v) { FUser = v.substr(0, kMaxCredential); }
  const std::string& Password() const { return FPassword; }
  void SetPassword(const std::string& v) { FPassword = v.substr(0, kMaxCredential); }

  bool Negotiating() const { return FNegotiating; }
  void SetNegotiating(bool v) { FNegotiating = v; }

  // The TCP connection to the firewall is up: sends the first message of the negotiation.
  void Begin(const std::string& remoteHost, int remotePort, TTnFirewallSink& sink);
  // Bytes from the firewall while negotiating.
  void Receive(const uint8_t* p, size_t n, TTnFirewallSink& sink);
  // The firewall closed the connection. Before the negotiation ended that is a firewall
  // failure (which closes through the sink); returns whether it was one.
  bool PeerClosed(TTnFirewallSink& sink);
  // Forgets a negotiation under way (the connection closed).
  void Abort();

  // RFC 2045 alphabet, no line breaks.
  static std::string Base64(const std::string& plain);

 private:
  void Fail(const std::string& text, TTnFirewallSink& sink, bool close = true);
  void Send(const std::vector<uint8_t>& msg, TTnFirewallSink& sink);
  void Succeed(size_t replyLength, TTnFirewallSink& sink);
  void Tunnel(TTnFirewallSink& sink);
  void Socks4(TTnFirewallSink& sink);
  // Returns true when a step ended and what remains may hold the next reply.
  bool Socks5(TTnFirewallSink& sink);
  void Socks5Request(TTnFirewallSink& sink);
  void DropFront(size_t n);

  TTnFirewallType FType = tfNone;
  uint32_t FAddr = 0;
  int FPort = 80;
  std::string FUser;
  std::string FPassword;
  bool FNegotiating = false;
  int FStep = 0;  // SOCKS 5: 1 greeting sent, 2 credentials sent, 3 request sent
  bool FStatusChecked = false;
  size_t FScanned = 0;  // tunnel: reply bytes already searched for the blank line
  std::string FHost;
  int FRemotePort = 0;
  std::vector<uint8_t> FReply;
};

// Host resolution as the engine does it: empty text gives 0; a dotted address is taken as it
// is; otherwise the name is looked up and its first address taken. Returns 0 or the lookup's
// error; with `noDataIsError` false a name without an address record (11004) gives address 0
// and no error.
int TnResolveHost(const std::string& text, uint32_t& addr, bool noDataIsError);
