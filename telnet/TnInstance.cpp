// Sections: creation and destruction; events; the window procedure; opening and connecting;
// waiting; receiving; sending; closing; the firewall sink.
#include "TnInstance.h"

#include <new>

#include "SysUtils.h"
#include "TnWinsock.h"

using namespace Winsock;

// ---- creation and destruction ----

TTnInstance::TTnInstance(TTnEventProc callback, void* userData) : FCallback(callback), FUserData(userData) {
  FWnd = AllocateHWnd(&TTnInstance::WindowProc);
  if (FWnd) SetWindowData(FWnd, this);
  TnWinsockAcquire();
  FIn.reset(new (std::nothrow) uint8_t[FInCapacity + 1]);
}

TTnInstance::~TTnInstance() {
  FInterrupt = true;
  CloseSilently();
  if (FWnd) {
    SetWindowData(FWnd, nullptr);
    DeallocateHWnd(FWnd);
  }
  TnWinsockRelease();
}

void TTnInstance::Destroy() {
  if (FDepth == 0) {
    delete this;
    return;
  }
  // Inside a call further up the stack: let it unwind first, quietly.
  FDestroyPending = true;
  FCallback = nullptr;
  FInterrupt = true;
}

// ---- events ----

void TTnInstance::ClearLastError() {
  FLastErrorCode = 0;
  FLastErrorText.clear();
}

int TTnInstance::SetError(int code, const char* text) {
  FLastErrorCode = code;
  FLastErrorText = text;
  return code;
}

std::string TTnInstance::Describe(int code) const {
  if (code == 0) return "OK";
  return FLastErrorText.empty() ? TnErrorText(code) : FLastErrorText;
}

int TTnInstance::Raise(int id, int argc, intptr_t* argv, int* argl) {
  return FCallback ? FCallback(FUserData, id, argc, argv, argl) : 0;
}

int TTnInstance::RaiseValue(int id, int value) {
  intptr_t v[1] = {value};
  int l[1] = {0};
  return Raise(id, 1, v, l);
}

void TTnInstance::RaiseCode(int id, int code, const std::string& description) {
  intptr_t v[2] = {code, reinterpret_cast<intptr_t>(description.c_str())};
  int l[2] = {0, 0};
  Raise(id, 2, v, l);
}

void TTnInstance::RaiseStatus(const char* event, int code, const std::string& description) {
  intptr_t v[3] = {reinterpret_cast<intptr_t>(event), code, reinterpret_cast<intptr_t>(description.c_str())};
  int l[3] = {0, 0, 0};
  Raise(tnevConnectionStatus, 3, v, l);
}

int TTnInstance::RaiseBytes(int id, uint8_t* p, size_t n) {
  // A NUL after the slice for the call only, so a receiver may read it as a C text too; every
  // buffer handed out here has a spare byte past its end for it.
  const uint8_t saved = p[n];
  p[n] = 0;
  intptr_t v[1] = {reinterpret_cast<intptr_t>(p)};
  int l[1] = {static_cast<int>(n)};
  const int r = Raise(id, 1, v, l);
  p[n] = saved;
  return r;
}

struct TTnInstance::TParserHooks {
  TTnInstance& I;
  int Data(uint8_t* p, size_t n) { return I.RaiseBytes(tnevDataIn, p, n); }
  int Command(uint8_t c) { return I.RaiseValue(tnevCommand, c); }
  int Will(uint8_t o) { return I.RaiseValue(tnevWill, o); }
  int Wont(uint8_t o) { return I.RaiseValue(tnevWont, o); }
  int Do(uint8_t o) { return I.RaiseValue(tnevDo, o); }
  int Dont(uint8_t o) { return I.RaiseValue(tnevDont, o); }
  void SubOption(uint8_t* p, size_t n) { I.RaiseBytes(tnevSubOption, p, n); }
  void Error(int code, const char* text) { I.RaiseCode(tnevError, code, text); }
};

// ---- the window procedure ----

LRESULT TTnInstance::WindowProc(HWND hwnd, uint32_t msg, WPARAM w, LPARAM l) {
  auto* inst = static_cast<TTnInstance*>(GetWindowData(hwnd));
  // Late notifications of a socket closed since are not ours any more.
  if (!inst || msg != WM_TNSOCKET || inst->FSocket == INVALID_SOCKET || static_cast<TSocket>(w) != inst->FSocket ||
      inst->FDestroyPending)
    return DefWindowProc(hwnd, msg, w, l);
  TTnCallScope scope(inst);
  inst->Notification(WSAGetSelectEvent(l), WSAGetSelectError(l), l);
  return 0;
}

void TTnInstance::Notification(uint32_t event, uint32_t error, LPARAM l) {
  // Descriptions of what happens now must not repeat the text of an earlier request's failure.
  ClearLastError();
  switch (event) {
    case FD_READ:
      if ((FReceiveEnabled || FFirewall.Negotiating()) && !FInReceive) RunReceive(TRecvMode::rmNormal);
      break;
    case FD_WRITE:
      FReadyToSend = true;
      Raise(tnevReadyToSend, 0, nullptr, nullptr);
      break;
    case FD_CONNECT: {
      FConnected = true;
      const int on = 1;
      // Best effort: without it urgent bytes still arrive, only out of line.
      (void)SetSockOpt(FSocket, SOL_SOCKET, SO_OOBINLINE, &on, sizeof on);
      if (error == 0) {
        ConnectionCompleted();
        break;
      }
      FConnected = false;
      const uint64_t id = FConnectionId;
      ConnectionFailed(static_cast<int>(error));
      if (id == FConnectionId) CloseSilently();
      break;
    }
    case FD_CLOSE: {
      const uint64_t id = FConnectionId;
      RunReceive(TRecvMode::rmFinal);
      // A proxy that hangs up before its answer has refused the connection.
      if (id == FConnectionId && FFirewall.PeerClosed(*this)) break;
      Close(static_cast<uint32_t>(l));
      break;
    }
    default: break;
  }
}

// ---- opening and connecting ----

int TTnInstance::Open() {
  ClearLastError();
  FPendingCloseCode = 0;
  FCloseCode = 0;
  FCloseRecorded = false;
  if (FSocket != INVALID_SOCKET)
    return SetError(104, "Already connected. If you want to reconnect, close the current connection first.");
  FClosePending = false;
  FInCount = 0;
  // A new connection does not inherit the deadline of the last one's final send or receive.
  FDeadline = 0;
  const bool fw = FFirewall.Type() != tfNone;
  const uint32_t addr = fw ? FFirewall.Addr() : FRemoteAddr;
  const uint16_t port = static_cast<uint16_t>(fw ? FFirewall.Port() : FRemotePort);
  if (addr == 0)
    return SetError(
        102, fw ? "The FirewallHost address is invalid (0.0.0.0)." : "The RemoteHost address is invalid (0.0.0.0).");
  if (port == 0)
    return SetError(116, fw ? "The FirewallPort is invalid (0)."
                            : "RemotePort can't be zero. Please specify a valid service port number.");
  FConnected = false;
  const TSocket s = Socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return GetLastError();
  FSocket = s;
  ++FConnectionId;
  if (const int err = PrepareSocket(s)) {
    CloseSilently();
    return err;
  }
  if (Winsock::Connect(s, TSockAddrIn{addr, port}) != 0) {
    const int err = GetLastError();
    if (err == WSAEWOULDBLOCK) return 0;
    CloseSilently();
    return err;
  }
  return 0;
}

int TTnInstance::PrepareSocket(TSocket s) {
  if (Bind(s, TSockAddrIn{FLocalAddr, static_cast<uint16_t>(FLocalPort)}) != 0) return GetLastError();
  if (const int err = ApplyKeepAlive()) return err;
  if (const int err = ApplyLinger(FLinger)) return err;
  if (const int err = ApplyBufferSize(SO_RCVBUF, FInBufferSize)) return err;
  if (const int err = ApplyBufferSize(SO_SNDBUF, FOutBufferSize)) return err;
  const int on = 1;
  if (SetSockOpt(s, SOL_SOCKET, SO_OOBINLINE, &on, sizeof on) != 0 ||
      AsyncSelect(s, FWnd, WM_TNSOCKET, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE) != 0)
    return GetLastError();
  return 0;
}

int TTnInstance::ConnectAndWait() {
  FInterrupt = false;
  if (ConnectedRead()) return 0;
  FConnectResult = 0;
  FConnectResultSet = false;
  FReceiveEnabled = false;
  if (int r = Open()) {
    FReceiveEnabled = true;  // nothing is connecting: later data must not be left unread
    return r;
  }
  while (!ConnectedRead() && !FConnectResultSet) {
    bool go = FSocket != INVALID_SOCKET;  // a handler closed it: no outcome will ever come
    if (!go) FLastErrorText = "Interrupted.";
    if (go) go = WaitStep(10);
    if (!go) {
      // The close runs handlers; a request of theirs must not turn "Timeout." into "Interrupted.".
      const bool timedOut = FTimedOut;
      Close(0);
      FTimedOut = timedOut;
      return kTnStopped;
    }
  }
  SetReceiveEnabled(true);
  if (FConnectResultSet && FConnectResult != 0) {
    FLastErrorText = FSavedErrorText;
    return FConnectResult;
  }
  return 0;
}

void TTnInstance::ConnectionCompleted() {
  FFirewall.SetNegotiating(true);
  if (FFirewall.Type() == tfNone) {
    FFirewall.SetNegotiating(false);
    ReportResult(0);
    return;
  }
  const uint64_t id = FConnectionId;
  RaiseStatus("Firewall connection complete.", 0, "OK");
  if (id == FConnectionId && FConnected) FFirewall.Begin(FRemoteHost, FRemotePort, *this);
}

void TTnInstance::ConnectionFailed(int error) {
  FFirewall.SetNegotiating(false);
  if (FFirewall.Type() != tfNone) RaiseStatus("Firewall connection failed.", error, Describe(error));
  ReportResult(error);
}

void TTnInstance::ReportResult(int code) {
  if (code == 0) RaiseStatus("Remote host connection complete.", 0, "OK");
  FConnectResult = code;
  FConnectResultSet = true;
  FSavedErrorText = FLastErrorText;
  RaiseCode(tnevConnected, code, Describe(code));
}

// ---- waiting ----

bool TTnInstance::WaitStep(int waitMs) {
  auto interrupted = [this] {
    FInterrupt = false;
    FTimedOut = false;
    FLastErrorText = "Interrupted.";
    return false;
  };
  if (FInterrupt) return interrupted();
  TMsg m;
  if (PeekMessage(m)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));  // the application's own loop must still end
      return false;
    }
    TranslateMessage(m);
    DispatchMessage(m);
    if (m.message == WM_CLOSE || !IsWindow(FWnd)) return false;
  } else if (waitMs > 0) {
    WaitMessage(waitMs);
  }
  if (FInterrupt) return interrupted();
  if (FDeadline != 0 && static_cast<int32_t>(GetTickCount() - FDeadline) > 0) {
    FTimedOut = true;
    FLastErrorText = "Timeout.";
    return false;
  }
  return IsWindow(FWnd);
}

void TTnInstance::RearmDeadline() {
  if (FAbsoluteTimeout) return;
  if (FTimeoutMs <= 0) {
    FDeadline = 0;
    return;
  }
  FDeadline = GetTickCount() + static_cast<uint32_t>(FTimeoutMs);
  if (FDeadline == 0) FDeadline = 1;  // 0 means none
}

// ---- receiving ----

int TTnInstance::RunReceive(TRecvMode mode) {
  if (FInReceive) return 0;  // a loop further up the stack owns the input buffer
  FInReceive = true;
  const int r = ReceiveLoop(mode);
  FInReceive = false;
  // A close asked for from inside a data event that the loop did not get to finish.
  if (mode != TRecvMode::rmDrainOnce && FClosePending && FSocket != INVALID_SOCKET) Close(FPendingCloseCode);
  return r;
}

int TTnInstance::ReceiveLoop(TRecvMode mode) {
  for (;;) {
    if (FSocket == INVALID_SOCKET || (!FReceiveEnabled && !FFirewall.Negotiating()) || FInterrupt) return 0;
    if (FInCount > 0) {
      Deliver();
      continue;
    }
    if (mode == TRecvMode::rmNormal && FClosePending) {
      FInReceive = false;
      Close(FPendingCloseCode);
      return 0;
    }
    const int r = Recv(FSocket, FIn.get(), static_cast<int>(FInCapacity), 0);
    if (r > 0 && FFirewall.Negotiating()) {
      RearmDeadline();
      FFirewall.Receive(FIn.get(), static_cast<size_t>(r), *this);
      return 0;
    }
    if (r == SOCKET_ERROR) {
      const int e = GetLastError();
      if (e == WSAEWOULDBLOCK || e == WSAENOTSOCK || e == WSAECONNABORTED || e == WSAECONNRESET) return e;
      RaiseCode(tnevError, e, "socket error in recv: " + IntToStr(e));
      return e;
    }
    if (r > 0) {
      FInCount = static_cast<size_t>(r);
      if (mode == TRecvMode::rmNormal) continue;
      Deliver();
      if (mode == TRecvMode::rmDrainOnce) return 0;
      continue;
    }
    if (mode == TRecvMode::rmDrainOnce) return 0;
    // The peer has closed.
    FInReceive = false;
    if (mode == TRecvMode::rmNormal && !FFirewall.PeerClosed(*this)) Close(FPendingCloseCode);
    return 0;
  }
}

void TTnInstance::Deliver() {
  const size_t n = FInCount;
  FInCount = 0;
  RearmDeadline();
  if (FFirewall.Negotiating()) {
    FFirewall.Receive(FIn.get(), n, *this);
    return;
  }
  TParserHooks hooks{*this};
  FParser.Parse(FIn.get(), n, hooks);
}

void TTnInstance::PutReceived(const uint8_t* p, size_t n) {
  const size_t room = FInCapacity - FInCount;
  if (n > room) n = room;
  std::memcpy(FIn.get() + FInCount, p, n);
  FInCount += n;
}

void TTnInstance::SetReceiveEnabled(bool v) {
  FReceiveEnabled = v;
  if (FSocket == INVALID_SOCKET) return;
  if (v && FConnected) {
    // Picks up what arrived while receiving was off, once the thread next processes messages.
    PostMessage(FWnd, WM_TNSOCKET, static_cast<WPARAM>(FSocket), WSAMakeSelectReply(FD_READ, 0));
  } else if (!FConnected) {
    RunReceive(TRecvMode::rmFinal);
  }
}

// ---- sending ----

int TTnInstance::SendOnce(const uint8_t* p, size_t n, int flags) {
  ClearLastError();
  if (!ConnectedRead()) {
    Winsock::SetLastError(WSAENOTCONN);
    return WSAENOTCONN;
  }
  if (n == 0) return 0;
  const int len = n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(n);
  const int r = Winsock::Send(FSocket, p, len, flags);
  if (r == SOCKET_ERROR) {
    FLastSendCount = 0;
    return GetLastError();
  }
  RearmDeadline();
  FLastSendCount = r;
  if (static_cast<size_t>(r) < n) {
    Winsock::SetLastError(WSAEWOULDBLOCK);
    return WSAEWOULDBLOCK;
  }
  return 0;
}

int TTnInstance::SendAll(const uint8_t* p, size_t n) {
  if (FTimeoutMs <= 0) return SendOnce(p, n);
  size_t done = 0;
  for (;;) {
    const int r = SendOnce(p + done, n - done);
    if (r != WSAEWOULDBLOCK) return r;
    done += static_cast<size_t>(FLastSendCount);
    if (!WaitStep(10)) return kTnStopped;
  }
}

int TTnInstance::SendFrame(std::initializer_list<uint8_t> bytes) { return SendOnce(bytes.begin(), bytes.size()); }

int TTnInstance::SendSubOption(const uint8_t* p, size_t n) {
  uint8_t frame[1024];
  if (n > sizeof frame - 4) n = sizeof frame - 4;
  frame[0] = tcIAC;
  frame[1] = tcSB;
  if (n) std::memcpy(frame + 2, p, n);
  frame[2 + n] = tcIAC;
  frame[3 + n] = tcSE;
  return SendOnce(frame, n + 4);
}

// ---- closing ----

void TTnInstance::ResetConnection() {
  FSocket = INVALID_SOCKET;
  ++FConnectionId;
  FConnected = false;
  FFirewall.Abort();
  FLastSendCount = 0;
  FInReceive = false;
  FClosePending = false;
  FReceiveEnabled = true;
}

void TTnInstance::CloseSilently() {
  if (FSocket != INVALID_SOCKET) {
    (void)AsyncSelect(FSocket, FWnd, 0, 0);  // the socket goes next, and its watch with it
    CloseSocket(FSocket);
  }
  ResetConnection();
}

int TTnInstance::Close(uint32_t code) {
  if (FSocket == INVALID_SOCKET) {
    ResetConnection();
    return 0;
  }
  // Nothing to do on failure: the close below ends the watch whatever this returns.
  (void)AsyncSelect(FSocket, FWnd, 0, 0);
  if (FInReceive) {
    // Asked from inside a data event: the receive loop finishes the close when it unwinds.
    FClosePending = true;
    FPendingCloseCode = code;
    return 0;
  }
  const uint64_t id = FConnectionId;
  const TSocket s = FSocket;
  if (FReceiveEnabled) RunReceive(TRecvMode::rmDrainOnce);
  if (id != FConnectionId) return 0;  // a handler closed it meanwhile
  if (FConnected) {
    FConnected = false;
    const bool fw = FFirewall.Type() != tfNone;
    FFirewall.Abort();
    const int status = static_cast<int>((code >> 16) & 0xFFFF);
    const std::string description = Describe(status);
    if (fw) RaiseStatus("Firewall host disconnected.", status, description);
    if (id == FConnectionId) RaiseStatus("Remote host disconnected.", status, description);
    if (id == FConnectionId) {
      FCloseCode = code;
      FCloseRecorded = true;
      RaiseCode(tnevDisconnected, status, description);
    }
    if (id != FConnectionId) return 0;
  }
  const int err = CloseSocket(s) != 0 ? GetLastError() : 0;
  ResetConnection();
  return err;
}

// ---- socket options ----

int TTnInstance::ApplyKeepAlive() {
  if (FSocket == INVALID_SOCKET) return 0;
  const int v = FKeepAlive ? 1 : 0;
  if (SetSockOpt(FSocket, SOL_SOCKET, SO_KEEPALIVE, &v, sizeof v) == 0) return 0;
  const int err = GetLastError();
  int actual = 0;
  int len = sizeof actual;
  if (GetSockOpt(FSocket, SOL_SOCKET, SO_KEEPALIVE, &actual, &len) == 0) FKeepAlive = actual != 0;
  return err;
}

int TTnInstance::ApplyLinger(bool v) {
  if (FSocket != INVALID_SOCKET) {
    int r;
    if (v) {
      // Closing returns at once and the system finishes sending.
      const int on = 1;
      r = SetSockOpt(FSocket, SOL_SOCKET, SO_DONTLINGER, &on, sizeof on);
    } else {
      // Linger on with no time: closing resets the connection.
      const uint16_t l[2] = {1, 0};
      r = SetSockOpt(FSocket, SOL_SOCKET, SO_LINGER, l, sizeof l);
    }
    if (r != 0) return GetLastError();
  }
  FLinger = v;
  return 0;
}

int TTnInstance::ApplyBufferSize(int option, int& stored) {
  if (FSocket == INVALID_SOCKET || stored <= 2048) return 0;
  if (SetSockOpt(FSocket, SOL_SOCKET, option, &stored, sizeof stored) == 0) return 0;
  const int err = GetLastError();
  int actual = 0;
  int len = sizeof actual;
  if (GetSockOpt(FSocket, SOL_SOCKET, option, &actual, &len) == 0) stored = actual;
  return err;
}

// ---- the firewall sink ----

int TTnInstance::FirewallSend(const uint8_t* p, size_t n) {
  if (!FConnected || FSocket == INVALID_SOCKET) return WSAENOTCONN;
  const int r = Winsock::Send(FSocket, p, static_cast<int>(n), 0);
  if (r == SOCKET_ERROR) return GetLastError();
  RearmDeadline();
  return static_cast<size_t>(r) < n ? WSAEWOULDBLOCK : 0;
}

void TTnInstance::FirewallSucceeded(const uint8_t* rest, size_t n) {
  PutReceived(rest, n);
  // What followed the reply is read at the next readable notification; without a Connect
  // waiting to post one (Connected written true), nothing else might ever bring it.
  if (n && FSocket != INVALID_SOCKET)
    PostMessage(FWnd, WM_TNSOCKET, static_cast<WPARAM>(FSocket), WSAMakeSelectReply(FD_READ, 0));
  ReportResult(0);
}

void TTnInstance::FirewallFailed(const std::string& text, bool close) {
  FLastErrorCode = kTnFirewallFailure;
  FLastErrorText = text;
  const uint64_t id = FConnectionId;
  RaiseCode(tnevError, kTnFirewallFailure, text);
  if (id != FConnectionId) return;
  ReportResult(kTnFirewallFailure);
  if (close && id == FConnectionId) Close(0);
}
