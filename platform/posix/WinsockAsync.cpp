// AsyncSelect: a socket's events posted to a window, armed and re-armed as on Windows.
//
// Each event is armed until its message is posted. FD_READ is armed again by every receive
// call, FD_WRITE by a send that failed with WSAEWOULDBLOCK, FD_CONNECT by a connect; FD_CLOSE
// once per connection. The loop watches only what is armed, so a socket with nothing armed is
// not polled at all and an idle program stays asleep.
#include "HostSockets.h"  // first: see there

#include <algorithm>
#include <cerrno>

#include "Winsock.h"
#include "WinsockInternal.h"

namespace Winsock {

using namespace Detail;

namespace {

uint16_t Interest(const TAsyncSelect& a, const TSocketState& st) {
  if (a.Stalled) return 0;
  if (!st.Datagram) {
    if (st.Connect == TConnectPhase::cpConnecting) return weWrite;  // the outcome shows as writable or as an error
    if (!a.Connected) return 0;  // nothing can happen to a stream socket before it connects
  }
  uint16_t ev = 0;
  if (a.ReadArmed && (a.Events & FD_READ)) ev |= weRead;
  if ((a.WriteArmed && (a.Events & FD_WRITE)) || (a.ConnectArmed && (a.Events & FD_CONNECT))) ev |= weWrite;
  if (!st.Datagram && a.CloseArmed && (a.Events & FD_CLOSE)) ev |= wePeerClosed;
  return ev;
}

void Rewatch(TSocketState& st) { SetWatchEvents(st.Async->Watch.get(), Interest(*st.Async, st)); }

void Post(int fd, const TAsyncSelect& a, uint32_t event, int wsaError) {
  if (a.Events & event)
    PostMessage(a.Wnd, a.Msg, static_cast<WPARAM>(fd), WSAMakeSelectReply(event, static_cast<uint32_t>(wsaError)));
}

// The socket's error, read without taking it from the program: the host clears it when it is
// read, so it is kept for the program's next call, which reports it as the host would have.
int PeekError(int fd, TSocketState& st) {
  if (!st.PendingError) {
    int e = 0;
    socklen_t len = sizeof e;
    if (::getsockopt(fd, HostNet::SolSocket, HostNet::SoError, &e, &len) == 0) st.PendingError = e;
  }
  return st.PendingError;
}

int QueuedBytes(int fd) {
  int n = 0;
  return ::ioctl(fd, FIONREAD, &n) == 0 ? n : 0;
}

void ConnectOutcome(int fd, TSocketState& st, uint16_t ready) {
  TAsyncSelect& a = *st.Async;
  st.Connect = TConnectPhase::cpNone;
  a.ConnectTimer.reset();
  int err = PeekError(fd, st);
  // No error but no peer either: someone read the error before us; the reason is lost.
  if (err == 0 && !HasPeer(fd)) err = ENOTCONN;
  if (a.ConnectArmed) Post(fd, a, FD_CONNECT, ErrorFromErrno(err));
  a.ConnectArmed = false;
  if (err != 0) {
    a.Connected = false;
    return;
  }
  a.Connected = true;
  a.CloseArmed = true;
  if (a.WriteArmed && (a.Events & FD_WRITE) && (ready & weWrite)) {
    Post(fd, a, FD_WRITE, 0);
    a.WriteArmed = false;
  }
}

void OnReady(int fd, uint16_t ready) {
  std::lock_guard<std::mutex> g(SocketTable().Lock);
  TSocketState* st = SocketTable().Find(fd);
  if (!st || !st->Async) return;
  TAsyncSelect& a = *st->Async;
  bool progress = false;
  if (!st->Datagram && st->Connect == TConnectPhase::cpConnecting) {
    ConnectOutcome(fd, *st, ready);
    progress = true;
  } else {
    if (a.ConnectArmed && (a.Events & FD_CONNECT) && (ready & weWrite)) {
      Post(fd, a, FD_CONNECT, 0);
      a.ConnectArmed = false;
      progress = true;
    }
    if (a.ReadArmed && (a.Events & FD_READ) && (ready & (weRead | weError))) {
      a.ReadArmed = false;
      progress = true;
      // At the end of a stream the host says "readable" with nothing to read; Windows tells
      // that by FD_CLOSE alone. A datagram may be empty and still be one to read.
      if (st->Datagram || QueuedBytes(fd) > 0) Post(fd, a, FD_READ, 0);
    }
    if (a.WriteArmed && (a.Events & FD_WRITE) && (ready & weWrite)) {
      Post(fd, a, FD_WRITE, 0);
      a.WriteArmed = false;
      progress = true;
    }
    if (!st->Datagram && a.CloseArmed && (a.Events & FD_CLOSE) && (ready & (wePeerClosed | weError))) {
      const int err = (ready & weError) ? PeekError(fd, *st) : 0;
      Post(fd, a, FD_CLOSE, ErrorFromErrno(err));
      a.CloseArmed = false;
      progress = true;
      if (err) {
        a.WriteArmed = false;  // the host calls a reset socket writable; Windows does not
        a.ConnectArmed = false;
      }
    }
  }
  // Ready with nothing to report (an error nobody asked about): polling again would spin.
  if (!progress) a.Stalled = true;
  Rewatch(*st);
}

// A connect that nothing answered by its deadline: FD_CONNECT with WSAETIMEDOUT.
void OnConnectDeadline(int fd) {
  std::lock_guard<std::mutex> g(SocketTable().Lock);
  TSocketState* st = SocketTable().Find(fd);
  if (!st || !st->Async || !ExpireConnect(fd, *st)) return;
  ConnectOutcome(fd, *st, 0);
  Rewatch(*st);
}

void ArmConnectDeadline(int fd, TSocketState& st) {
  TAsyncSelect& a = *st.Async;
  if (st.Datagram || st.Connect != TConnectPhase::cpConnecting || st.ConnectDeadline == 0) {
    a.ConnectTimer.reset();
    return;
  }
  const int64_t left = std::max<int64_t>(st.ConnectDeadline - MonotonicMs(), 0);
  a.ConnectTimer = AddTimer(static_cast<uint32_t>(left), [fd] { OnConnectDeadline(fd); });
}

}  // namespace

namespace Detail {

void AsyncRecvCalled(TSocketState& st) {
  if (!st.Async || (st.Async->ReadArmed && !st.Async->Stalled)) return;
  st.Async->ReadArmed = true;
  st.Async->Stalled = false;
  Rewatch(st);
}

void AsyncSendBlocked(TSocketState& st) {
  if (!st.Async) return;
  st.Async->WriteArmed = true;
  st.Async->Stalled = false;
  Rewatch(st);
}

void AsyncConnectCalled(int fd, TSocketState& st, bool established) {
  if (!st.Async) return;
  TAsyncSelect& a = *st.Async;
  ArmConnectDeadline(fd, st);
  a.ConnectArmed = true;
  a.WriteArmed = true;  // FD_WRITE follows a successful connect
  a.Stalled = false;
  if (!st.Datagram) {
    a.Connected = established;
    a.CloseArmed = established;
  }
  Rewatch(st);
}

}  // namespace Detail

int AsyncSelect(TSocket s, HWND hwnd, uint32_t msg, uint32_t events) {
  int fd = DescriptorOf(s);
  if (fd < 0) return SOCKET_ERROR;
  if (!IsSocketDescriptor(fd)) return Fail(WSAENOTSOCK);
  events &= FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE;
  if (events == 0) {
    std::unique_ptr<TAsyncSelect> ended;
    std::lock_guard<std::mutex> g(SocketTable().Lock);
    if (TSocketState* st = SocketTable().Find(fd)) ended = std::move(st->Async);
    return 0;
  }
  if (!IsWindow(hwnd)) return Fail(WSAEINVAL);
  const int fl = ::fcntl(fd, F_GETFL);
  if (fl < 0) return FailErrno(errno);
  if (!(fl & O_NONBLOCK) && ::fcntl(fd, F_SETFL, fl | O_NONBLOCK) != 0) return FailErrno(errno);
  int type = 0;
  socklen_t tlen = sizeof type;
  if (::getsockopt(fd, HostNet::SolSocket, HostNet::SoType, &type, &tlen) != 0) return FailErrno(errno);
  const bool connected = HasPeer(fd);

  std::lock_guard<std::mutex> g(SocketTable().Lock);
  auto [it, added] = SocketTable().Sockets.try_emplace(fd);
  TSocketState& st = it->second;
  if (added) st.Datagram = type == ::SOCK_DGRAM;  // a socket the layer did not make
  if (!st.Async) st.Async = std::make_unique<TAsyncSelect>();
  TAsyncSelect& a = *st.Async;
  a.Wnd = hwnd;
  a.Msg = msg;
  a.Events = events;
  // As on Windows, a new AsyncSelect reports again whatever already holds.
  a.Connected = !st.Datagram && connected;
  a.ReadArmed = true;
  a.WriteArmed = true;
  a.ConnectArmed = connected || st.Connect == TConnectPhase::cpConnecting;
  a.CloseArmed = a.Connected;
  a.Stalled = false;
  if (!a.Watch) a.Watch = WatchHandle(fd, 0, [fd](uint16_t ready) { OnReady(fd, ready); });
  ArmConnectDeadline(fd, st);
  Rewatch(st);
  return 0;
}

}  // namespace Winsock
