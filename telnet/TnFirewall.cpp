#include "TnFirewall.h"

#include <cstring>

#include "SysUtils.h"
#include "TnWinsock.h"
#include "Winsock.h"

int TnResolveHost(const std::string& text, uint32_t& addr, bool noDataIsError) {
  addr = 0;
  if (text.empty()) return 0;
  const uint32_t dotted = Winsock::InetAddr(text);
  if (dotted != Winsock::INADDR_NONE) {
    addr = dotted;
    return 0;
  }
  uint32_t found = 0;
  const int r = Winsock::GetHostByName(text, found);
  if (r == 0) {
    addr = found;
    return 0;
  }
  // A valid name without an address: the connect that follows fails on address 0 instead.
  if (r == Winsock::WSANO_DATA && !noDataIsError) return 0;
  return r;
}

void TTnFirewall::SetType(int type) {
  FType = static_cast<TTnFirewallType>(type);
  FPort = (type == tfSOCKS4 || type == tfSOCKS5) ? 1080 : 80;
}

std::string TTnFirewall::Base64(const std::string& plain) {
  static const char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((plain.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= plain.size(); i += 3) {
    const uint32_t v = (uint8_t(plain[i]) << 16) | (uint8_t(plain[i + 1]) << 8) | uint8_t(plain[i + 2]);
    out += Alphabet[v >> 18];
    out += Alphabet[(v >> 12) & 63];
    out += Alphabet[(v >> 6) & 63];
    out += Alphabet[v & 63];
  }
  const size_t rest = plain.size() - i;
  if (rest) {
    uint32_t v = uint8_t(plain[i]) << 16;
    if (rest == 2) v |= uint8_t(plain[i + 1]) << 8;
    out += Alphabet[v >> 18];
    out += Alphabet[(v >> 12) & 63];
    out += rest == 2 ? Alphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

bool TTnFirewall::PeerClosed(TTnFirewallSink& sink) {
  if (!FNegotiating) return false;
  Fail("firewall closed the connection", sink);
  return true;
}

void TTnFirewall::Abort() {
  FNegotiating = false;
  FReply.clear();
  FStep = 0;
}

void TTnFirewall::Fail(const std::string& text, TTnFirewallSink& sink, bool close) {
  FNegotiating = false;
  FReply.clear();
  sink.FirewallFailed(text, close);  // may close and even reconnect: touch nothing afterwards
}

void TTnFirewall::Send(const std::vector<uint8_t>& msg, TTnFirewallSink& sink) {
  if (int e = sink.FirewallSend(msg.data(), msg.size())) Fail(TnErrorText(e), sink);
}

void TTnFirewall::Succeed(size_t replyLength, TTnFirewallSink& sink) {
  FNegotiating = false;
  std::vector<uint8_t> reply;
  reply.swap(FReply);  // the sink may start a new negotiation; it must find a clean slate
  sink.FirewallSucceeded(reply.data() + replyLength, reply.size() - replyLength);
}

void TTnFirewall::DropFront(size_t n) { FReply.erase(FReply.begin(), FReply.begin() + static_cast<std::ptrdiff_t>(n)); }

void TTnFirewall::Begin(const std::string& remoteHost, int remotePort, TTnFirewallSink& sink) {
  FNegotiating = true;
  FReply.clear();
  FStep = 0;
  FStatusChecked = false;
  FScanned = 0;
  FHost = remoteHost;
  FRemotePort = remotePort;
  std::vector<uint8_t> msg;
  switch (FType) {
    case tfTunnel: {
      std::string text;
      if (!FUser.empty() || !FPassword.empty())
        text = Format("CONNECT %s:%d HTTP/1.0\r\nProxy-authorization: Basic %s\r\n\r\n", FHost.c_str(), FRemotePort,
                      Base64(FUser + ":" + FPassword).c_str());
      else
        text = Format("CONNECT %s:%d HTTP/1.0\r\n\r\n", FHost.c_str(), FRemotePort);
      msg.assign(text.begin(), text.end());
      break;
    }
    case tfSOCKS4: {
      uint32_t addr = 0;
      if (int e = TnResolveHost(FHost, addr, true))
        return Fail("cannot resolve the remote host: " + TnErrorText(e), sink);
      msg = {4, 1, uint8_t(FRemotePort >> 8), uint8_t(FRemotePort)};
      const uint8_t* a = reinterpret_cast<const uint8_t*>(&addr);
      msg.insert(msg.end(), a, a + 4);
      msg.insert(msg.end(), FUser.begin(), FUser.end());
      msg.push_back(0);
      break;
    }
    case tfSOCKS5:
      if (!FUser.empty() && !FPassword.empty())
        msg = {5, 2, 0, 2};
      else
        msg = {5, 1, 0};
      FStep = 1;
      break;
    default: return Fail("unknown firewall type", sink);
  }
  Send(msg, sink);
}

void TTnFirewall::Receive(const uint8_t* p, size_t n, TTnFirewallSink& sink) {
  if (!FNegotiating) return;
  FReply.insert(FReply.end(), p, p + n);
  switch (FType) {
    case tfTunnel: Tunnel(sink); break;
    case tfSOCKS4: Socks4(sink); break;
    case tfSOCKS5:
      while (Socks5(sink)) {
      }
      break;
    default: break;
  }
}

void TTnFirewall::Tunnel(TTnFirewallSink& sink) {
  const size_t size = FReply.size();
  const char* r = reinterpret_cast<const char*>(FReply.data());
  if (!FStatusChecked && size > 9) {
    const void* blank = std::memchr(r, ' ', size);
    if (blank) {
      size_t i = static_cast<size_t>(static_cast<const char*>(blank) - r);
      while (i < size && r[i] == ' ') ++i;
      if (i < size) {
        FStatusChecked = true;
        // A refusal leaves the socket open: the caller decides what to do with it.
        if (r[i] != '2') return Fail(std::string(r, size), sink, false);
      }
    }
  }
  size_t end = 0;
  // Only the new bytes are searched: a proxy that sends one byte at a time costs no rescans.
  for (size_t i = FScanned > 1 ? FScanned : 1; i < size && !end; ++i) {
    if (r[i] != '\n') continue;
    // A blank line ends the reply, with or without carriage returns.
    if (r[i - 1] == '\n' || (i >= 3 && r[i - 1] == '\r' && r[i - 2] == '\n' && r[i - 3] == '\r')) end = i + 1;
  }
  FScanned = size;
  if (end) {
    if (!FStatusChecked) return Fail(std::string(r, end), sink, false);
    return Succeed(end, sink);
  }
  if (size >= kReplyLimit) Fail("firewall reply too long", sink);
}

void TTnFirewall::Socks4(TTnFirewallSink& sink) {
  if (FReply.size() < 8) return;
  const uint8_t code = FReply[1];
  switch (code) {
    case 90: return Succeed(8, sink);
    case 91: return Fail("firewall request rejected or failed", sink);
    case 92: return Fail("firewall request rejected because identd is not available", sink);
    case 93: return Fail("firewall request rejected because identd reports different user", sink);
    default: return Fail(Format("unknown firewall error: %d", code), sink);
  }
}

void TTnFirewall::Socks5Request(TTnFirewallSink& sink) {
  std::vector<uint8_t> msg = {5, 1, 0};
  if (!FHost.empty() && FHost[0] == '*') {
    const size_t len = FHost.size() - 1;
    // The length travels in one byte: a longer name cannot be asked for.
    if (len > 255) return Fail("the remote host name is too long for the firewall (more than 255 bytes)", sink);
    msg.push_back(3);
    msg.push_back(uint8_t(len));
    msg.insert(msg.end(), FHost.begin() + 1, FHost.end());
  } else {
    uint32_t addr = 0;
    if (int e = TnResolveHost(FHost, addr, true))
      return Fail("cannot resolve the remote host: " + TnErrorText(e), sink);
    msg.push_back(1);
    const uint8_t* a = reinterpret_cast<const uint8_t*>(&addr);
    msg.insert(msg.end(), a, a + 4);
  }
  msg.push_back(uint8_t(FRemotePort >> 8));
  msg.push_back(uint8_t(FRemotePort));
  FStep = 3;
  Send(msg, sink);
}

bool TTnFirewall::Socks5(TTnFirewallSink& sink) {
  switch (FStep) {
    case 1: {
      if (FReply.size() < 2) return false;
      const uint8_t method = FReply[1];
      if (method == 0) {
        DropFront(2);
        Socks5Request(sink);
      } else if (method == 2) {
        DropFront(2);
        std::vector<uint8_t> msg = {1, uint8_t(FUser.size())};
        msg.insert(msg.end(), FUser.begin(), FUser.end());
        msg.push_back(uint8_t(FPassword.size()));
        msg.insert(msg.end(), FPassword.begin(), FPassword.end());
        FStep = 2;
        Send(msg, sink);
      } else if (method == 255) {
        Fail("no acceptable firewall authentication methods", sink);
      } else {
        Fail("unknown firewall authentication method", sink);
      }
      return FNegotiating;
    }
    case 2: {
      if (FReply.size() < 2) return false;
      if (FReply[1] != 0) {
        Fail(Format("firewall authentication failed: %d", FReply[1]), sink);
        return false;
      }
      FReply.clear();
      Socks5Request(sink);
      return false;  // the accumulator was emptied: nothing left to look at
    }
    case 3: {
      if (FReply.size() < 10) return false;
      static const char* const Texts[] = {nullptr,
                                          "general SOCKS server failure",
                                          "connection not allowed by ruleset",
                                          "network unreachable",
                                          "host unreachable",
                                          "connection refused",
                                          "TTL expired",
                                          "command not supported",
                                          "address type not supported"};
      const uint8_t code = FReply[1];
      if (code == 0)
        Succeed(10, sink);
      else if (code < sizeof Texts / sizeof Texts[0])
        Fail(Texts[code], sink);
      else
        Fail(Format("unknown firewall error: %d", code), sink);
      return false;
    }
    default: return false;
  }
}
