// Socket options: the Windows levels, names and value layouts mapped onto the host's.
#include "HostSockets.h"  // first: see there

#include <cerrno>
#include <cstring>

#include "Winsock.h"
#include "WinsockInternal.h"

namespace Winsock {

using namespace Detail;

namespace {

enum class TOptKind { okBool, okBufferSize, okLinger, okDontLinger, okError, okType };

struct TOption {
  int HostLevel;
  int HostName;
  TOptKind Kind;
};

// Returns 0 with the host option, or the Windows error for an unknown level or name.
int MapOption(int level, int name, TOption& opt) {
  if (level == SOL_SOCKET) {
    const int sol = HostNet::SolSocket;
    switch (name) {
      case SO_DEBUG: opt = {sol, HostNet::SoDebug, TOptKind::okBool}; return 0;
      case SO_REUSEADDR: opt = {sol, HostNet::SoReuseAddr, TOptKind::okBool}; return 0;
      case SO_KEEPALIVE: opt = {sol, HostNet::SoKeepAlive, TOptKind::okBool}; return 0;
      case SO_BROADCAST: opt = {sol, HostNet::SoBroadcast, TOptKind::okBool}; return 0;
      case SO_OOBINLINE: opt = {sol, HostNet::SoOobInline, TOptKind::okBool}; return 0;
      case SO_SNDBUF: opt = {sol, HostNet::SoSndBuf, TOptKind::okBufferSize}; return 0;
      case SO_RCVBUF: opt = {sol, HostNet::SoRcvBuf, TOptKind::okBufferSize}; return 0;
      case SO_LINGER: opt = {sol, HostNet::SoLinger, TOptKind::okLinger}; return 0;
      case SO_DONTLINGER: opt = {sol, HostNet::SoLinger, TOptKind::okDontLinger}; return 0;
      case SO_ERROR: opt = {sol, HostNet::SoError, TOptKind::okError}; return 0;
      case SO_TYPE: opt = {sol, HostNet::SoType, TOptKind::okType}; return 0;
      default: return WSAENOPROTOOPT;
    }
  }
  if (level == IPPROTO_TCP) {
    if (name == TCP_NODELAY) {
      opt = {::IPPROTO_TCP, HostNet::TcpNoDelay, TOptKind::okBool};
      return 0;
    }
    return WSAENOPROTOOPT;
  }
  return WSAEINVAL;
}

// Windows' linger: two unsigned shorts.
struct TWinLinger {
  uint16_t l_onoff;
  uint16_t l_linger;
};

int HostGet(int fd, const TOption& opt, void* value, socklen_t size) {
  socklen_t len = size;
  if (::getsockopt(fd, opt.HostLevel, opt.HostName, value, &len) != 0) return FailErrno(errno);
  return 0;
}

int HostSet(int fd, const TOption& opt, const void* value, socklen_t size) {
  if (::setsockopt(fd, opt.HostLevel, opt.HostName, value, size) != 0) return FailErrno(errno);
  return 0;
}

int TakeSocketError(int fd, const TOption& opt, int& err) {
  {
    std::lock_guard<std::mutex> g(SocketTable().Lock);
    TSocketState* st = SocketTable().Find(fd);
    if (st && st->PendingError) {
      err = st->PendingError;  // taken from the host by the notifier: still the program's to read
      st->PendingError = 0;
      return 0;
    }
  }
  return HostGet(fd, opt, &err, sizeof err);
}

}  // namespace

int SetSockOpt(TSocket s, int level, int optname, const void* optval, int optlen) {
  int fd = DescriptorOf(s);
  if (fd < 0) return SOCKET_ERROR;
  TOption opt{};
  if (int e = MapOption(level, optname, opt)) return Fail(e);
  if (!optval) return Fail(WSAEFAULT);
  switch (opt.Kind) {
    case TOptKind::okBool:
    case TOptKind::okBufferSize: {
      if (optlen < static_cast<int>(sizeof(int))) return Fail(WSAEFAULT);
      int v;
      std::memcpy(&v, optval, sizeof v);
      if (opt.Kind == TOptKind::okBool) v = v != 0;
      return HostSet(fd, opt, &v, sizeof v);
    }
    case TOptKind::okLinger: {
      if (optlen < static_cast<int>(sizeof(TWinLinger))) return Fail(WSAEFAULT);
      TWinLinger w;
      std::memcpy(&w, optval, sizeof w);
      linger l{w.l_onoff != 0, w.l_linger};
      return HostSet(fd, opt, &l, sizeof l);
    }
    case TOptKind::okDontLinger: {
      if (optlen < static_cast<int>(sizeof(int))) return Fail(WSAEFAULT);
      int v;
      std::memcpy(&v, optval, sizeof v);
      linger l{};
      if (HostGet(fd, opt, &l, sizeof l) != 0) return SOCKET_ERROR;
      l.l_onoff = v == 0;  // keeps the linger time for a later SO_LINGER, as Windows does
      return HostSet(fd, opt, &l, sizeof l);
    }
    case TOptKind::okError:
    case TOptKind::okType: return Fail(WSAENOPROTOOPT);
  }
  return Fail(WSAENOPROTOOPT);
}

int GetSockOpt(TSocket s, int level, int optname, void* optval, int* optlen) {
  int fd = DescriptorOf(s);
  if (fd < 0) return SOCKET_ERROR;
  TOption opt{};
  if (int e = MapOption(level, optname, opt)) return Fail(e);
  if (!optval || !optlen) return Fail(WSAEFAULT);
  if (opt.Kind == TOptKind::okLinger) {
    if (*optlen < static_cast<int>(sizeof(TWinLinger))) return Fail(WSAEFAULT);
    linger l{};
    if (HostGet(fd, opt, &l, sizeof l) != 0) return SOCKET_ERROR;
    TWinLinger w{static_cast<uint16_t>(l.l_onoff != 0), static_cast<uint16_t>(l.l_linger)};
    std::memcpy(optval, &w, sizeof w);
    *optlen = sizeof w;
    return 0;
  }
  if (*optlen < static_cast<int>(sizeof(int))) return Fail(WSAEFAULT);
  int v = 0;
  switch (opt.Kind) {
    case TOptKind::okBool:
      if (HostGet(fd, opt, &v, sizeof v) != 0) return SOCKET_ERROR;
      v = v != 0;
      break;
    case TOptKind::okBufferSize:
      if (HostGet(fd, opt, &v, sizeof v) != 0) return SOCKET_ERROR;
      v /= 2;  // the host doubles the size it is given, for its own bookkeeping, and reports that
      break;
    case TOptKind::okDontLinger: {
      linger l{};
      if (HostGet(fd, opt, &l, sizeof l) != 0) return SOCKET_ERROR;
      v = l.l_onoff == 0;
      break;
    }
    case TOptKind::okError:
      if (TakeSocketError(fd, opt, v) != 0) return SOCKET_ERROR;
      v = ErrorFromErrno(v);
      break;
    case TOptKind::okType:
      if (HostGet(fd, opt, &v, sizeof v) != 0) return SOCKET_ERROR;
      v = v == ::SOCK_DGRAM ? SOCK_DGRAM : v == ::SOCK_STREAM ? SOCK_STREAM : v;
      break;
    case TOptKind::okLinger: break;
  }
  std::memcpy(optval, &v, sizeof v);
  *optlen = sizeof v;
  return 0;
}

}  // namespace Winsock
