// Requests of an instance: property reads and writes, the methods, the configuration settings
// and the mapping of every result to its error text.
#include <climits>
#include <new>

#include "SysUtils.h"
#include "TnInstance.h"
#include "TnWinsock.h"

using namespace Winsock;

namespace {

std::string TextArg(intptr_t v) { return v ? std::string(reinterpret_cast<const char*>(v)) : std::string(); }

// An optional "-" and the decimal digits up to the first other character; no digits give 0.
int SettingNumber(const std::string& s) {
  size_t i = 0;
  const bool negative = !s.empty() && s[0] == '-';
  if (negative) ++i;
  int64_t v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    v = v * 10 + (s[i] - '0');
    if (v > INT_MAX) v = static_cast<int64_t>(INT_MAX) + 1;  // saturates; cut below
  }
  if (negative) v = -v;
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  return static_cast<int>(v);
}

const char* BoolText(bool v) { return v ? "True" : "False"; }

// The settings that can only be read: the connection's socket and the socket library's state.
// False for any other name.
bool ReadOnlySetting(const std::string& name, TSocket socket, std::string& result) {
  const TTnWinsockState& ws = TnWinsock();
  if (SameText(name, "SocketHandle"))
    result = IntToStr(socket == INVALID_SOCKET ? -1 : static_cast<int64_t>(socket));
  else if (SameText(name, "WinsockLoaded"))
    result = BoolText(ws.Loaded);
  else if (SameText(name, "WinsockMaxDatagramSize"))
    result = IntToStr(ws.MaxDatagramSize);
  else if (SameText(name, "WinsockInfo"))
    result = ws.Description;
  else if (SameText(name, "WinsockMaxSockets"))
    result = IntToStr(ws.MaxSockets);
  else if (SameText(name, "WinsockPath"))
    result = ws.Path;
  else if (SameText(name, "WinsockStatus"))
    result = ws.Status;
  else
    return false;
  return true;
}

}  // namespace

const char* TTnInstance::Text(std::string s) {
  FReturnedText = std::move(s);
  return FReturnedText.c_str();
}

// ---- reads ----

intptr_t TTnInstance::Get(int id) {
  FLastErrorCode = 0;  // a read is a request too
  switch (id) {
    case tnpReceiveEnabled: return FReceiveEnabled;
    case tnpLastSendCount: return FLastSendCount;
    case tnpConnected: return ConnectedRead();
    case tnpFirewallHost:
      return reinterpret_cast<intptr_t>(Text(FFirewall.Addr() ? InetNtoa(FFirewall.Addr()) : std::string()));
    case tnpFirewallPassword: return reinterpret_cast<intptr_t>(Text(FFirewall.Password()));
    case tnpFirewallPort: return FFirewall.Port();
    case tnpFirewallType: return FFirewall.Type();
    case tnpFirewallUser: return reinterpret_cast<intptr_t>(Text(FFirewall.User()));
    case tnpKeepAlive: return FKeepAlive;
    case tnpLinger: return FLinger;
    case tnpLocalHost: {
      TSockAddrIn a;
      if (FSocket != INVALID_SOCKET && FConnected && GetSockName(FSocket, a) == 0)
        return reinterpret_cast<intptr_t>(Text(InetNtoa(a.Addr)));
      if (FLocalAddr) return reinterpret_cast<intptr_t>(Text(InetNtoa(FLocalAddr)));
      std::string name;
      if (GetHostName(name) != 0) name.clear();
      return reinterpret_cast<intptr_t>(Text(name.substr(0, 100)));
    }
    case tnpLocalPort: {
      TSockAddrIn a;
      if (FSocket != INVALID_SOCKET) return GetSockName(FSocket, a) == 0 ? a.Port : 0;
      return FLocalPort;
    }
    case tnpRemoteHost:
      if (FFirewall.Type() != tfNone) return reinterpret_cast<intptr_t>(Text(FRemoteHost));
      return reinterpret_cast<intptr_t>(Text(FRemoteAddr ? InetNtoa(FRemoteAddr) : std::string()));
    case tnpRemotePort: return FRemotePort;
    case tnpTimeout: return FTimeoutMs / 1000;
    case tnpTransparent: return FParser.Transparent();
    default: return 0;
  }
}

// ---- writes ----

int TTnInstance::Set(int id, intptr_t value, int length) {
  ClearLastError();
  FTimedOut = false;
  return MapResult(SetProperty(id, value, length));
}

int TTnInstance::SetRemoteHost(const std::string& text) {
  if (FFirewall.Type() != tfNone) {
    FRemoteHost = text;  // the firewall is given the text
    return 0;
  }
  if (FSocket != INVALID_SOCKET)
    return SetError(101, "You cannot change the RemoteHost at this time. A connection is in progress.");
  FRemoteHost = text;
  return TnResolveHost(text, FRemoteAddr, false);
}

int TTnInstance::SetRemotePort(int port) {
  if (FSocket != INVALID_SOCKET)
    return SetError(100, "You cannot change the RemotePort at this time. A connection is in progress.");
  FRemotePort = port;
  return 0;
}

int TTnInstance::SetProperty(int id, intptr_t value, int length) {
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(value);
  const size_t count = bytes && length > 0 ? static_cast<size_t>(length) : 0;
  const int number = static_cast<int>(value);
  switch (id) {
    case tnpReceiveEnabled: SetReceiveEnabled(value != 0); return 0;
    case tnpCommandToSend: return SendFrame({tcIAC, uint8_t(value)});
    case tnpConnected:
      if (value == 0) return Close(0);
      if (FTimeoutMs > 0) return ConnectAndWait();
      return Open();
    case tnpOutgoingData: return SendAll(bytes, count);
    case tnpSendDont: return SendFrame({tcIAC, tcDONT, uint8_t(value)});
    case tnpSendDo: return SendFrame({tcIAC, tcDO, uint8_t(value)});
    case tnpSendSubOption: return SendSubOption(bytes, count);
    case tnpFirewallHost: {
      uint32_t addr = 0;
      const int r = TnResolveHost(TextArg(value), addr, false);
      FFirewall.SetAddr(addr);
      return r;
    }
    case tnpFirewallPassword: FFirewall.SetPassword(TextArg(value)); return 0;
    case tnpFirewallPort: FFirewall.SetPort(number); return 0;
    case tnpFirewallType: FFirewall.SetType(number); return 0;
    case tnpFirewallUser: FFirewall.SetUser(TextArg(value)); return 0;
    case tnpKeepAlive: FKeepAlive = value != 0; return ApplyKeepAlive();
    case tnpLinger: return ApplyLinger(value != 0);
    case tnpLocalHost: FLocalHost = TextArg(value); return TnResolveHost(FLocalHost, FLocalAddr, false);
    case tnpLocalPort:
      if (FSocket != INVALID_SOCKET)
        return SetError(106, "You cannot change the LocalPort at this time. A connection is in progress.");
      FLocalPort = number;
      return 0;
    case tnpRemoteHost: return SetRemoteHost(TextArg(value));
    case tnpRemotePort: return SetRemotePort(number);
    case tnpTimeout: {
      const int64_t ms = static_cast<int64_t>(value) * 1000;
      FTimeoutMs = ms > INT_MAX ? INT_MAX : ms < INT_MIN ? INT_MIN : static_cast<int>(ms);
      FDeadline = 0;
      return 0;
    }
    case tnpTransparent: FParser.SetTransparent(value != 0); return 0;
    case tnpOutOfBandData: {
      if (FSocket != INVALID_SOCKET) {
        const int on = 1;
        // Best effort, as at connect: the send below reports what matters.
        (void)SetSockOpt(FSocket, SOL_SOCKET, SO_OOBINLINE, &on, sizeof on);
      }
      return SendOnce(bytes, count, MSG_OOB);
    }
    case tnpSendWill: return SendFrame({tcIAC, tcWILL, uint8_t(value)});
    case tnpSendWont: return SendFrame({tcIAC, tcWONT, uint8_t(value)});
    default: return -1;
  }
}

// ---- methods ----

int TTnInstance::Do(int id, int argc, intptr_t* argv, int* argl) {
  ClearLastError();
  FTimedOut = false;
  return MapResult(DoMethod(id, argc, argv, argl));
}

int TTnInstance::Disconnect() {
  if (FTimeoutMs <= 0) return Close(0);
  FInterrupt = false;
  if (!FConnected) return 0;  // a connection still being made carries on
  const int r = Close(0);
  // Only a close deferred to a receive loop further up can leave the connection up here, and
  // that loop cannot finish while this call waits inside it: so the wait ends with it.
  while (FConnected && !FCloseRecorded && !FClosePending && FSocket != INVALID_SOCKET)
    if (!WaitStep(10)) return kTnStopped;
  return r;
}

int TTnInstance::DoMethod(int id, int argc, intptr_t* argv, int* argl) {
  switch (id) {
    case tnmConfigSetting: {
      std::string result;
      const int r = ConfigSetting(argc > 0 && argv ? TextArg(argv[0]) : std::string(), result);
      if (argv) argv[1] = reinterpret_cast<intptr_t>(Text(std::move(result)));
      return r;
    }
    case tnmConnect: {
      if (int r = SetRemoteHost(argc > 0 && argv ? TextArg(argv[0]) : std::string())) return r;
      if (int r = SetRemotePort(FRemotePort)) return r;
      return ConnectAndWait();
    }
    case tnmDisconnect: return Disconnect();
    case tnmProcessEvents: WaitStep(20); return 0;
    case tnmSend: {
      const uint8_t* p = argc > 0 && argv ? reinterpret_cast<const uint8_t*>(argv[0]) : nullptr;
      const int n = p && argl ? argl[0] : 0;
      return SendAll(p, n > 0 ? static_cast<size_t>(n) : 0);
    }
    default: return -1;
  }
}

// ---- configuration settings ----

int TTnInstance::SetMaxLineLength(int value) {
  if (FSocket != INVALID_SOCKET)
    return SetError(112, "You cannot change MaxLineSize at this time. A connection is in progress.");
  if (value > kMaxLineLengthLimit) value = kMaxLineLengthLimit;
  // A buffer without room would make every receive look like the end of the stream.
  if (value < 1) value = 1;
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[static_cast<size_t>(value) + 1]);
  if (!buffer) return kTnOutOfMemory;
  FIn = std::move(buffer);
  FInCapacity = static_cast<size_t>(value);
  FInCount = 0;
  return 0;
}

int TTnInstance::ConfigSetting(const std::string& text, std::string& result) {
  const size_t eq = text.find('=');
  const bool write = eq != std::string::npos;
  const std::string name = text.substr(0, eq);
  const std::string value = write ? text.substr(eq + 1) : std::string();
  const int number = SettingNumber(value);
  int r = 0;
  auto is = [&](const char* n) { return SameText(name, n); };

  if (is("FirewallData")) {
    if (write) FFirewallData = value;
    result.clear();
  } else if (is("MaxLineLength")) {
    if (write) r = SetMaxLineLength(number);
    result = IntToStr(static_cast<int64_t>(FInCapacity));
  } else if (is("InBufferSize") || is("OutBufferSize")) {
    const bool in = is("InBufferSize");
    int& stored = in ? FInBufferSize : FOutBufferSize;
    if (write) {
      stored = number;
      r = ApplyBufferSize(in ? SO_RCVBUF : SO_SNDBUF, stored);
    }
    result = IntToStr(stored);
  } else if (is("AbsoluteTimeout")) {
    if (write) FAbsoluteTimeout = SameText(value, "true") || SameText(value, "yes") || value == "1";
    result = BoolText(FAbsoluteTimeout);
  } else if (is("CodePage")) {
    if (write) FCodePage = number;
    result = IntToStr(FCodePage);
  } else if (write || !ReadOnlySetting(name, FSocket, result)) {
    result.clear();
    return SetError(-1, "Unknown config setting.");
  }
  return r;
}

// ---- result mapping ----

int TTnInstance::MapResult(int code) {
  FLastErrorCode = code;
  if (code == 0) return 0;
  if (code == kTnStopped)
    FLastErrorText = FTimedOut ? "Timeout." : "Interrupted.";
  else if (code == kTnOutOfMemory)
    FLastErrorText = "Out of memory.";
  else if (FLastErrorText.empty())
    FLastErrorText = TnErrorText(code);
  return code;
}
